#include "common/text_conversion.h"

#ifdef _WIN32
#include <windows.h>

#include <climits>

std::string Utf16ToUtf8(const std::wstring& text) {
    if (text.empty() || text.size() > static_cast<size_t>(INT_MAX)) {
        return std::string();
    }
    const int units = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr,
                                           nullptr);
    if (needed <= 0) {
        return std::string();
    }
    std::string bytes(static_cast<size_t>(needed), '\0');
    const int written = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, &bytes[0], needed,
                                            nullptr, nullptr);
    if (written <= 0) {
        return std::string();
    }
    bytes.resize(static_cast<size_t>(written));
    return bytes;
}

std::wstring Utf8ToUtf16(const std::string& bytes) {
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) {
        return std::wstring();
    }
    const int length = static_cast<int>(bytes.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, nullptr, 0);
    if (needed <= 0) {
        return std::wstring();
    }
    std::wstring text(static_cast<size_t>(needed), L'\0');
    const int written = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), length, &text[0], needed);
    if (written <= 0) {
        return std::wstring();
    }
    text.resize(static_cast<size_t>(written));
    return text;
}

#else
#include "common/portable_text_conversion.h"

std::string Utf16ToUtf8(const std::wstring& text) { return PortableUtf16ToUtf8(text); }
std::wstring Utf8ToUtf16(const std::string& bytes) { return PortableUtf8ToUtf16(bytes); }
#endif
