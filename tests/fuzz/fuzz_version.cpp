// Whatever text arrives as a published version, the parser either refuses it or yields
// components that print back to an equivalent version.

#include "tests/fuzz/fuzz_check.h"
#include "update/version.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::wstring text;
    for (size_t i = 0; i + 1 < size; i += 2) {
        text.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    }
    VersionParts parts;
    if (!ParseVersion(text, parts)) {
        return 0;
    }
    std::wstring printed;
    for (int i = 0; i < 4; ++i) {
        Check(parts.parts[i] <= 65535);
        printed += std::to_wstring(parts.parts[i]);
        if (i < 3)
            printed += L'.';
    }
    VersionParts again;
    Check(ParseVersion(printed, again) && !IsNewerVersion(parts, again) &&
          !IsNewerVersion(again, parts));
    return 0;
}
