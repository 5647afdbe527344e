#include "update/strict_utf8.h"

#include <climits>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

std::wstring PortableStrictUtf8ToUtf16(const std::string& bytes) {
    std::wstring out;
    out.reserve(bytes.size());
    const size_t size = bytes.size();
    size_t i = 0;
    while (i < size) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(static_cast<wchar_t>(lead));
            ++i;
            continue;
        }
        size_t trailing = 0;
        char32_t cp = 0;
        char32_t lowest = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trailing = 1;
            cp = lead & 0x1F;
            lowest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trailing = 2;
            cp = lead & 0x0F;
            lowest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trailing = 3;
            cp = lead & 0x07;
            lowest = 0x10000;
        } else {
            return std::wstring();
        }
        if (size - i - 1 < trailing) {
            return std::wstring();
        }
        for (size_t k = 1; k <= trailing; ++k) {
            const auto byte = static_cast<unsigned char>(bytes[i + k]);
            if (!IsContinuation(byte)) {
                return std::wstring();
            }
            cp = (cp << 6) | (byte & 0x3F);
        }
        if (cp < lowest || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return std::wstring();
        }
        if (cp < 0x10000) {
            out.push_back(static_cast<wchar_t>(cp));
        } else {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
        }
        i += trailing + 1;
    }
    return out;
}

#ifdef _WIN32
std::wstring StrictUtf8ToUtf16(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) {
        return std::wstring();
    }
    const int length = static_cast<int>(bytes.size());
    const int needed =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (needed <= 0) {
        return std::wstring();
    }
    std::wstring text(static_cast<size_t>(needed), L'\0');
    const int written =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), length, &text[0], needed);
    if (written <= 0) {
        return std::wstring();
    }
    text.resize(static_cast<size_t>(written));
    return text;
}
#else
std::wstring StrictUtf8ToUtf16(const std::string& bytes) {
    return PortableStrictUtf8ToUtf16(bytes);
}
#endif
