#include "common/portable_text_conversion.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

void AppendUtf16(std::wstring& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<wchar_t>(cp));
    } else {
        cp -= 0x10000;
        out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
    }
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

}  // namespace

std::string PortableUtf16ToUtf8(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<char32_t>(text[i]);
        if (unit > 0xFFFF) {
            AppendUtf8(out, kReplacement);
        } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() &&
                   static_cast<char32_t>(text[i + 1]) >= 0xDC00 &&
                   static_cast<char32_t>(text[i + 1]) <= 0xDFFF) {
            const char32_t low = static_cast<char32_t>(text[i + 1]);
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            AppendUtf8(out, kReplacement);  // a lone surrogate
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

// Ill-formed input follows the system conversion: the lead byte fixes the sequence length;
// a sequence cut short by the end of the input becomes one U+FFFD for all that is left; a
// continuation byte that does not fit starts afresh; an overlong, surrogate or out-of-range
// value is noticed after its second byte, and those two bytes become one U+FFFD.
std::wstring PortableUtf8ToUtf16(const std::string& bytes) {
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
        if (lead >= 0xC2 && lead <= 0xDF) {
            trailing = 1;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            trailing = 2;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            trailing = 3;
            cp = lead & 0x07;
        } else {
            out.push_back(static_cast<wchar_t>(kReplacement));
            ++i;
            continue;
        }
        if (size - i - 1 < trailing) {
            out.push_back(static_cast<wchar_t>(kReplacement));
            break;
        }
        size_t next = i + 1;
        bool valid = true;
        for (size_t k = 0; k < trailing; ++k) {
            const auto byte = static_cast<unsigned char>(bytes[next]);
            if (!IsContinuation(byte)) {
                valid = false;
                break;
            }
            cp = (cp << 6) | (byte & 0x3F);
            ++next;
            if (k == 0 && trailing == 2 && (cp < 0x20 || (cp >= 0x360 && cp < 0x380))) {
                valid = false;  // overlong, or a surrogate half
                break;
            }
            if (k == 0 && trailing == 3 && (cp < 0x10 || cp >= 0x110)) {
                valid = false;  // overlong, or above U+10FFFF
                break;
            }
        }
        if (valid) {
            AppendUtf16(out, cp);
        } else {
            out.push_back(static_cast<wchar_t>(kReplacement));
        }
        i = next;
    }
    return out;
}
