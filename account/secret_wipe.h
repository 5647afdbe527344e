#pragma once

#include <string>

// Overwrites a secret's characters with zeros before its storage goes back to the allocator.
// The volatile writes keep the compiler from dropping stores to memory that is about to die,
// which is what the platform's zeroing routine guarantees too.
template <typename Char>
inline void WipeSecret(std::basic_string<Char>& secret) {
    volatile Char* p = secret.empty() ? nullptr : &secret[0];
    for (size_t i = 0; i < secret.size(); ++i) {
        p[i] = Char();
    }
    secret.clear();
}

inline void WipeBytes(void* data, size_t size) {
    volatile unsigned char* p = static_cast<volatile unsigned char*>(data);
    for (size_t i = 0; i < size; ++i) {
        p[i] = 0;
    }
}
