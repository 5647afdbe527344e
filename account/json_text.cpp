#include "account/json_text.h"

#include <cstring>

#include "account/secret_wipe.h"
#include "common/text_conversion.h"

namespace {

constexpr size_t kNone = std::string::npos;

// Which bytes count as white space: JSON's four, or the classic-locale isspace set that also
// takes vertical tab and form feed. Bytes are classified as unsigned values, never through the
// C library.
enum class Spaces { Json, Classic };

bool IsSpace(unsigned char byte, Spaces spaces) {
    if (byte == 0x20 || byte == 0x09 || byte == 0x0D || byte == 0x0A) {
        return true;
    }
    return spaces == Spaces::Classic && (byte == 0x0B || byte == 0x0C);
}

unsigned char At(const std::string& text, size_t pos) {
    return static_cast<unsigned char>(text[pos]);
}

size_t SkipSpaces(const std::string& text, size_t pos, Spaces spaces) {
    while (pos < text.size() && IsSpace(At(text, pos), spaces)) {
        ++pos;
    }
    return pos;
}

// pos is at an opening quote; gives the position after the closing quote, or kNone.
size_t SkipString(const std::string& text, size_t pos) {
    for (size_t i = pos + 1; i < text.size(); ++i) {
        const unsigned char byte = At(text, i);
        if (byte == '\\') {
            ++i;
        } else if (byte == '"') {
            return i + 1;
        }
    }
    return kNone;
}

// pos is at the first byte of a member's value; gives the position after it, or kNone. Nested
// containers are skipped by counting brackets, without recursion, so depth costs no stack.
size_t SkipValue(const std::string& text, size_t pos, Spaces spaces) {
    const unsigned char first = At(text, pos);
    if (first == '"') {
        return SkipString(text, pos);
    }
    if (first == '{' || first == '[') {
        size_t depth = 0;
        for (size_t i = pos; i < text.size(); ++i) {
            const unsigned char byte = At(text, i);
            if (byte == '"') {
                i = SkipString(text, i);
                if (i == kNone) {
                    return kNone;
                }
                --i;
            } else if (byte == '{' || byte == '[') {
                ++depth;
            } else if (byte == '}' || byte == ']') {
                if (--depth == 0) {
                    return i + 1;
                }
            }
        }
        return kNone;
    }
    size_t i = pos;
    while (i < text.size()) {
        const unsigned char byte = At(text, i);
        if (IsSpace(byte, spaces) || std::strchr(",}]:\"{[", byte) != nullptr || byte == 0) {
            break;
        }
        ++i;
    }
    return i == pos ? kNone : i;
}

// Walks the members of the top-level object and gives the position just after the colon that
// follows the first member name equal to the key (bytes compared exactly, nothing unescaped),
// or kNone. Values and nested objects are stepped over, so they can never match.
size_t LocateMember(const std::string& text, const char* key, Spaces spaces) {
    const size_t keyLength = std::strlen(key);
    if (keyLength + 2 > text.size()) {
        return kNone;
    }
    size_t pos = SkipSpaces(text, 0, spaces);
    if (pos >= text.size() || At(text, pos) != '{') {
        return kNone;
    }
    ++pos;
    for (;;) {
        pos = SkipSpaces(text, pos, spaces);
        if (pos >= text.size() || At(text, pos) != '"') {
            return kNone;
        }
        const size_t nameEnd = SkipString(text, pos);
        if (nameEnd == kNone) {
            return kNone;
        }
        const bool matches = nameEnd - pos - 2 == keyLength &&
                             std::memcmp(text.data() + pos + 1, key, keyLength) == 0;
        pos = SkipSpaces(text, nameEnd, spaces);
        if (pos >= text.size() || At(text, pos) != ':') {
            return kNone;
        }
        ++pos;
        if (matches) {
            return pos;
        }
        pos = SkipSpaces(text, pos, spaces);
        if (pos >= text.size()) {
            return kNone;
        }
        pos = SkipValue(text, pos, spaces);
        if (pos == kNone) {
            return kNone;
        }
        pos = SkipSpaces(text, pos, spaces);
        if (pos >= text.size() || At(text, pos) != ',') {
            return kNone;
        }
        ++pos;
    }
}

// After the colon: the opening quote of a string value, or kNone.
size_t LocateStringValue(const std::string& text, const char* key, Spaces spaces) {
    size_t pos = LocateMember(text, key, spaces);
    if (pos == kNone || pos >= text.size()) {
        return kNone;
    }
    pos = SkipSpaces(text, pos, spaces);
    if (pos >= text.size() || At(text, pos) != '"' || pos + 1 >= text.size()) {
        return kNone;
    }
    return pos;
}

int HexValue(unsigned char byte) {
    if (byte >= '0' && byte <= '9')
        return byte - '0';
    if (byte >= 'a' && byte <= 'f')
        return byte - 'a' + 10;
    if (byte >= 'A' && byte <= 'F')
        return byte - 'A' + 10;
    return -1;
}

// Reads "\uXXXX" at pos (pos at the backslash); false when it is not exactly that.
bool ReadUnicodeEscape(const std::string& text, size_t pos, unsigned& unit) {
    if (pos + 6 > text.size() || At(text, pos) != '\\' || At(text, pos + 1) != 'u') {
        return false;
    }
    unit = 0;
    for (size_t k = 0; k < 4; ++k) {
        const int digit = HexValue(At(text, pos + 2 + k));
        if (digit < 0) {
            return false;
        }
        unit = unit * 16 + static_cast<unsigned>(digit);
    }
    return true;
}

// Decodes the string whose opening quote is at pos, appending to out. The caller reserved
// room for the whole rest of the string, so a secret is never copied by a reallocation.
bool DecodeString(const std::string& text, size_t pos, std::string& out) {
    size_t i = pos + 1;
    while (i < text.size()) {
        const unsigned char byte = At(text, i);
        if (byte == '"') {
            return true;
        }
        if (byte != '\\') {
            out.push_back(static_cast<char>(byte));
            ++i;
            continue;
        }
        if (i + 1 >= text.size()) {
            return false;
        }
        const unsigned char escaped = At(text, i + 1);
        char simple = 0;
        switch (escaped) {
            case '"':
                simple = '"';
                break;
            case '/':
                simple = '/';
                break;
            case '\\':
                simple = '\\';
                break;
            case 'b':
                simple = 0x08;
                break;
            case 'f':
                simple = 0x0C;
                break;
            case 'n':
                simple = 0x0A;
                break;
            case 'r':
                simple = 0x0D;
                break;
            case 't':
                simple = 0x09;
                break;
            case 'u':
                break;
            default:
                return false;
        }
        if (escaped != 'u') {
            out.push_back(simple);
            i += 2;
            continue;
        }
        unsigned unit = 0;
        if (!ReadUnicodeEscape(text, i, unit)) {
            return false;
        }
        i += 6;
        std::wstring units(1, static_cast<wchar_t>(unit));
        unsigned low = 0;
        // A high surrogate escape directly followed by a low one is one character outside the
        // Basic Multilingual Plane; any other surrogate becomes U+FFFD on its own.
        if (unit >= 0xD800 && unit <= 0xDBFF && ReadUnicodeEscape(text, i, low) && low >= 0xDC00 &&
            low <= 0xDFFF) {
            units.push_back(static_cast<wchar_t>(low));
            i += 6;
        }
        std::string utf8 = Utf16ToUtf8(units);
        out.append(utf8);
        WipeSecret(utf8);
        WipeSecret(units);
    }
    return false;
}

size_t RoomFor(const std::string& text, size_t quote) {
    const size_t end = SkipString(text, quote);
    return (end == kNone ? text.size() : end) - quote;
}

}  // namespace

std::string EscapeJsonString(const std::string& utf8) {
    // Sized before writing, so the escaped password is never left behind in a grown buffer.
    size_t length = 0;
    for (const char c : utf8) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte == 0x08 || byte == 0x09 || byte == 0x0A || byte == 0x0C || byte == 0x0D ||
            byte == '"' || byte == '\\') {
            length += 2;
        } else if (byte < 0x20) {
            length += 6;
        } else {
            length += 1;
        }
    }
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(length);
    for (const char c : utf8) {
        const unsigned char byte = static_cast<unsigned char>(c);
        switch (byte) {
            case 0x08:
                out += "\\b";
                break;
            case 0x09:
                out += "\\t";
                break;
            case 0x0A:
                out += "\\n";
                break;
            case 0x0C:
                out += "\\f";
                break;
            case 0x0D:
                out += "\\r";
                break;
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (byte < 0x20) {
                    out += "\\u00";
                    out.push_back(kHex[byte >> 4]);
                    out.push_back(kHex[byte & 0x0F]);
                } else {
                    out.push_back(static_cast<char>(byte));
                }
        }
    }
    return out;
}

bool FindJsonString(const std::string& json, const char* key, std::string& value) {
    WipeSecret(value);
    const size_t quote = LocateStringValue(json, key, Spaces::Json);
    if (quote == kNone) {
        return false;
    }
    std::string decoded;
    decoded.reserve(RoomFor(json, quote));
    if (!DecodeString(json, quote, decoded)) {
        WipeSecret(decoded);
        return false;
    }
    value.swap(decoded);
    return true;
}

std::wstring ExtractServiceError(const std::string& json, uint32_t status) {
    for (const char* key : {"detail", "error", "message"}) {
        std::string text;
        if (FindJsonString(json, key, text) && !text.empty()) {
            return Utf8ToUtf16(text);
        }
    }
    return L"Tervane server returned HTTP " + std::to_wstring(status) + L".";
}

bool ReadJsonStringField(const std::string& json, const char* key, std::string& value) {
    value.clear();
    const size_t quote = LocateStringValue(json, key, Spaces::Classic);
    if (quote == kNone) {
        return false;
    }
    value.reserve(RoomFor(json, quote));
    return DecodeString(json, quote, value);
}

bool ReadJsonUnsignedField(const std::string& json, const char* key, uint64_t& value) {
    value = 0;
    size_t pos = LocateMember(json, key, Spaces::Classic);
    if (pos == kNone || pos >= json.size()) {
        return false;
    }
    pos = SkipSpaces(json, pos, Spaces::Classic);
    if (pos >= json.size() || At(json, pos) < '0' || At(json, pos) > '9') {
        return false;
    }
    constexpr uint64_t kMax = UINT64_MAX;
    for (; pos < json.size() && At(json, pos) >= '0' && At(json, pos) <= '9'; ++pos) {
        const uint64_t digit = At(json, pos) - '0';
        if (value > (kMax - digit) / 10) {
            return false;
        }
        value = value * 10 + digit;
    }
    return true;
}
