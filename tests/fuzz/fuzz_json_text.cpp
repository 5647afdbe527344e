// The JSON readers on any bytes: nothing left behind on failure, no value longer than its text,
// escaped bytes read back unchanged, the field reader agreeing with FindJsonString where the
// text holds no vertical tab or form feed, and a number only where its digits are written.
#include "tests/fuzz/fuzz_check.h"

#include "account/json_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string json = FuzzText(data, size);
    const char* key = FuzzKey(data, size);
    std::string found = "stale";
    const bool hasString = FindJsonString(json, key, found);
    Check(hasString || found.empty());
    Check(found.size() <= json.size());
    Check(!ExtractServiceError(json, 500).empty());
    std::string back;
    Check(FindJsonString("{\"k\":\"" + EscapeJsonString(json) + "\"}", "k", back));
    Check(back == json);

    std::string field = "stale";
    const bool hasField = ReadJsonStringField(json, key, field);
    Check(field.size() <= json.size());
    if (json.find_first_of("\v\f") == std::string::npos) {
        Check(hasString == hasField && (!hasField || found == field));
    }

    uint64_t number = 7;
    const bool hasNumber = ReadJsonUnsignedField(json, key, number);
    Check(!hasNumber || json.find(std::to_string(number)) != std::string::npos);
    Check(json.find_first_of("0123456789") != std::string::npos || (!hasNumber && number == 0));
    return 0;
}
