// Round trips through the text conversions: decoding never yields a lone surrogate, and what
// was decoded encodes and decodes back unchanged; well-formed UTF-8 survives byte for byte.
#include <cstdint>
#include <string>

#include "common/text_conversion.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

bool WellFormedUtf16(const std::wstring& text) {
    for (size_t i = 0; i < text.size(); ++i) {
        const auto unit = static_cast<uint32_t>(text[i]);
        if (unit > 0xFFFF) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (i + 1 >= text.size()) return false;
            const auto low = static_cast<uint32_t>(text[i + 1]);
            if (low < 0xDC00 || low > 0xDFFF) return false;
            ++i;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring decoded = Utf8ToUtf16(bytes);
    Check(WellFormedUtf16(decoded));
    Check(decoded.size() <= bytes.size());
    const std::string encoded = Utf16ToUtf8(decoded);
    Check(Utf8ToUtf16(encoded) == decoded);
    Check(Utf16ToUtf8(Utf8ToUtf16(encoded)) == encoded);

    std::wstring units;
    for (size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    }
    const std::string utf8 = Utf16ToUtf8(units);
    const std::wstring back = Utf8ToUtf16(utf8);
    Check(WellFormedUtf16(back));
    if (WellFormedUtf16(units)) {
        Check(back == units);
    }
    return 0;
}
