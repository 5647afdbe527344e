// ReadJsonStringField on any bytes: never longer than its text, and where the text holds no
// vertical tab or form feed it finds exactly what FindJsonString finds.
#include "tests/fuzz/fuzz_json_input.h"

#include "account/json_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string json = FuzzText(data, size);
    const char* key = FuzzKey(data, size);
    std::string field = "stale";
    const bool hasField = ReadJsonStringField(json, key, field);
    Check(field.size() <= json.size());
    if (json.find('\v') == std::string::npos && json.find('\f') == std::string::npos) {
        std::string found;
        Check(FindJsonString(json, key, found) == hasField);
        if (hasField) {
            Check(found == field);
        }
    }
    return 0;
}
