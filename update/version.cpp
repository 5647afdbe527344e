#include "update/version.h"

#include <cstring>

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

namespace {

uint32_t LittleEndian(const uint8_t* bytes, size_t count) {
    uint32_t value = 0;
    for (size_t i = count; i-- > 0;) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

}  // namespace

bool ReadFixedProductVersion(const uint8_t* resource, size_t size, VersionParts& version) {
    version = VersionParts{};
    // Header (length, value length, type), the key "VS_VERSION_INFO" in UTF-16 with its NUL,
    // padding to four bytes, then the 52-byte fixed part.
    constexpr size_t kKeyOffset = 6;
    constexpr size_t kFixedOffset = 40;
    constexpr size_t kFixedSize = 52;
    static const char kKey[] = "VS_VERSION_INFO";
    if (resource == nullptr || size < kFixedOffset + kFixedSize ||
        LittleEndian(resource, 2) > size || LittleEndian(resource + 2, 2) < kFixedSize) {
        return false;
    }
    for (size_t i = 0; i < sizeof kKey; ++i) {
        if (LittleEndian(resource + kKeyOffset + 2 * i, 2) != static_cast<uint8_t>(kKey[i])) {
            return false;
        }
    }
    const uint8_t* fixed = resource + kFixedOffset;
    if (LittleEndian(fixed, 4) != 0xFEEF04BDu) {
        return false;
    }
    const uint32_t high = LittleEndian(fixed + 16, 4);
    const uint32_t low = LittleEndian(fixed + 20, 4);
    version.parts[0] = high >> 16;
    version.parts[1] = high & 0xFFFFu;
    version.parts[2] = low >> 16;
    version.parts[3] = low & 0xFFFFu;
    return true;
}

bool AcceptsInstallerVersion(const VersionParts& installer, const std::wstring& announced,
                             const std::wstring& running, std::wstring& error) {
    VersionParts expected;
    VersionParts current;
    if (!ParseVersion(announced, expected) ||
        std::memcmp(expected.parts, installer.parts, sizeof expected.parts) != 0) {
        error = L"The update installer is not the version the update server announced.";
        return false;
    }
    if (!ParseVersion(running, current) || !IsNewerVersion(current, installer)) {
        error = L"The update installer is not newer than the installed version.";
        return false;
    }
    return true;
}
