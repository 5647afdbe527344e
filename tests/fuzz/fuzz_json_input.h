#pragma once

#include <cstdint>
#include <string>

#include "tests/fuzz/fuzz_check.h"

// The first byte picks a key, so nested and repeated names are explored too; the rest is the
// text.
inline const char* FuzzKey(const uint8_t* data, size_t size) {
    static const char* const kKeys[] = {"token",   "tervane_username", "detail", "error",
                                        "message", "size_bytes",       "k",      ""};
    return size == 0 ? "k" : kKeys[data[0] % (sizeof kKeys / sizeof kKeys[0])];
}

inline std::string FuzzText(const uint8_t* data, size_t size) {
    return size == 0 ? std::string()
                     : std::string(reinterpret_cast<const char*>(data + 1), size - 1);
}
