#include "update/strict_utf8.h"

#include "common/portable_text_conversion.h"

#include <climits>

#ifdef _WIN32
#include <windows.h>
#endif

// Well-formed UTF-8 is exactly what survives the repairing conversion unchanged: anything
// ill-formed comes back with U+FFFD (EF BF BD) where its own bytes stood.
std::wstring PortableStrictUtf8ToUtf16(const std::string& bytes) {
    std::wstring text = PortableUtf8ToUtf16(bytes);
    if (PortableUtf16ToUtf8(text) != bytes) {
        return std::wstring();
    }
    return text;
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
