#include "update/hex_digest.h"

std::wstring HexEncodeLower(const uint8_t* bytes, size_t length) {
    static const wchar_t kAlphabet[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(length * 2);
    for (size_t i = 0; i < length; ++i) {
        text.push_back(kAlphabet[bytes[i] >> 4]);
        text.push_back(kAlphabet[bytes[i] & 0x0F]);
    }
    return text;
}

std::wstring LowerAscii(const std::wstring& text) {
    std::wstring lowered(text);
    for (wchar_t& ch : lowered) {
        if (ch >= L'A' && ch <= L'Z') {
            ch = static_cast<wchar_t>(ch - L'A' + L'a');
        }
    }
    return lowered;
}

bool IsLowerHexSha256(const std::wstring& text) {
    if (text.size() != 64) {
        return false;
    }
    for (const wchar_t ch : text) {
        if (!((ch >= L'0' && ch <= L'9') || (ch >= L'a' && ch <= L'f'))) {
            return false;
        }
    }
    return true;
}
