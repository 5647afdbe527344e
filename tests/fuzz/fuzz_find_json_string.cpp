// FindJsonString and the error text built on it, on any bytes: nothing left behind on failure,
// no value longer than its text, and escaped bytes always read back unchanged.
#include "tests/fuzz/fuzz_json_input.h"

#include "account/json_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string json = FuzzText(data, size);
    std::string found = "stale";
    const bool hasString = FindJsonString(json, FuzzKey(data, size), found);
    Check(hasString || found.empty());
    Check(found.size() <= json.size());
    Check(!ExtractServiceError(json, 500).empty());

    std::string back;
    Check(FindJsonString("{\"k\":\"" + EscapeJsonString(json) + "\"}", "k", back));
    Check(back == json);
    return 0;
}
