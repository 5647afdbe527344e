#include "update/version.h"

bool ParseVersion(const std::wstring& text, VersionParts& parts) {
    parts = VersionParts{};
    if (text.empty()) {
        return false;
    }
    size_t position = 0;
    int count = 0;
    for (;;) {
        if (count == 4) {
            return false;  // a fifth component, or a dot after the fourth
        }
        uint32_t value = 0;
        size_t digits = 0;
        while (position < text.size() && text[position] >= L'0' && text[position] <= L'9') {
            value = value * 10 + static_cast<uint32_t>(text[position] - L'0');
            if (value > 65535) {
                return false;
            }
            ++position;
            ++digits;
        }
        if (digits == 0) {
            return false;  // an empty component
        }
        parts.parts[count++] = value;
        if (position == text.size()) {
            break;
        }
        if (text[position] != L'.') {
            return false;  // a letter, sign or blank
        }
        ++position;
    }
    if (count < 3) {
        parts = VersionParts{};
        return false;
    }
    return true;
}

bool IsNewerVersion(const VersionParts& current, const VersionParts& candidate) {
    for (int i = 0; i < 4; ++i) {
        if (candidate.parts[i] != current.parts[i]) {
            return candidate.parts[i] > current.parts[i];
        }
    }
    return false;
}
