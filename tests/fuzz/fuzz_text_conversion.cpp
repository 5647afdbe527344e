// Round trips through the text conversions: decoding never yields a lone surrogate, and what
// was decoded encodes and decodes back unchanged; well-formed UTF-8 survives byte for byte. The
// strict conversion refuses exactly where the repairing one has to repair.

#include "common/text_conversion.h"
#include "tests/fuzz/fuzz_check.h"
#include "update/strict_utf8.h"

namespace {

bool WellFormedUtf16(const std::wstring& text) {
    const auto in = [](wchar_t unit, uint32_t low, uint32_t high) {
        return static_cast<uint32_t>(unit) >= low && static_cast<uint32_t>(unit) <= high;
    };
    for (size_t i = 0; i < text.size(); ++i) {
        if (!in(text[i], 0, 0xFFFF) || in(text[i], 0xDC00, 0xDFFF)) {
            return false;
        }
        if (in(text[i], 0xD800, 0xDBFF) && (++i >= text.size() || !in(text[i], 0xDC00, 0xDFFF))) {
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
    const std::wstring strict = StrictUtf8ToUtf16(bytes);
    Check(strict.empty() ? bytes.empty() || encoded != bytes
                         : strict == decoded && encoded == bytes);

    std::wstring units;
    for (size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    }
    const std::wstring back = Utf8ToUtf16(Utf16ToUtf8(units));
    Check(WellFormedUtf16(back));
    Check(!WellFormedUtf16(units) || back == units);
    return 0;
}
