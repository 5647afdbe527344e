// The strict conversion either refuses bytes or gives text that encodes back to the very same
// bytes; and it refuses exactly where the repairing conversion would have to repair.

#include "common/text_conversion.h"
#include "tests/fuzz/fuzz_check.h"
#include "update/strict_utf8.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::wstring strict = StrictUtf8ToUtf16(bytes);
    if (strict.empty()) {
        Check(bytes.empty() || Utf16ToUtf8(Utf8ToUtf16(bytes)) != bytes);
    } else {
        Check(Utf16ToUtf8(strict) == bytes && Utf8ToUtf16(bytes) == strict);
    }
    return 0;
}
