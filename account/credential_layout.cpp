#include "account/credential_layout.h"

#include "account/secret_wipe.h"

namespace {

unsigned UnitAt(const unsigned char* data, size_t index) {
    return static_cast<unsigned>(data[2 * index]) |
           (static_cast<unsigned>(data[2 * index + 1]) << 8);
}

void AppendUnits(std::string& plain, const std::wstring& text) {
    for (const wchar_t unit : text) {
        const auto value = static_cast<unsigned>(unit) & 0xFFFF;
        plain.push_back(static_cast<char>(value & 0xFF));
        plain.push_back(static_cast<char>(value >> 8));
    }
    plain.push_back('\0');
    plain.push_back('\0');
}

// Sized in one go so the text is never copied by a reallocation.
void TakeUnits(const unsigned char* data, size_t first, size_t end, std::wstring& out) {
    out.assign(end - first, L'\0');
    for (size_t i = first; i < end; ++i) {
        out[i - first] = static_cast<wchar_t>(UnitAt(data, i));
    }
}

}  // namespace

bool EncodeCredentialPlain(const std::wstring& username, const std::wstring& password,
                           std::string& plain) {
    WipeSecret(plain);
    if (username.empty() || password.empty() || username.find(L'\0') != std::wstring::npos ||
        password.find(L'\0') != std::wstring::npos) {
        return false;
    }
    plain.reserve(2 * (username.size() + password.size() + 2));
    AppendUnits(plain, username);
    AppendUnits(plain, password);
    return true;
}

bool ParseCredentialPlain(const unsigned char* data, size_t size, std::wstring& username,
                          std::wstring& password) {
    WipeSecret(username);
    WipeSecret(password);
    if (data == nullptr || size < 4 || size % 2 != 0) {
        return false;
    }
    const size_t units = size / 2;
    size_t first = 0;
    while (first < units && UnitAt(data, first) != 0) {
        ++first;
    }
    if (first == units || first == 0) {
        return false;
    }
    size_t second = first + 1;
    while (second < units && UnitAt(data, second) != 0) {
        ++second;
    }
    if (second == units || second == first + 1) {
        return false;
    }
    TakeUnits(data, 0, first, username);
    TakeUnits(data, first + 1, second, password);
    return true;
}
