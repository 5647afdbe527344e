// ReadJsonUnsignedField on any bytes: a number it reports is written in the text as decimal
// digits, and a text without any digit gives nothing.
#include "tests/fuzz/fuzz_json_input.h"

#include "account/json_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string json = FuzzText(data, size);
    uint64_t number = 7;
    const bool found = ReadJsonUnsignedField(json, FuzzKey(data, size), number);
    if (found) {
        Check(json.find(std::to_string(number)) != std::string::npos);
    }
    if (json.find_first_of("0123456789") == std::string::npos) {
        Check(!found && number == 0);
    }
    return 0;
}
