#pragma once

#include <cstdlib>

// A broken property aborts, so libFuzzer keeps the input that broke it.
inline void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}
