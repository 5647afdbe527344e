#pragma once

#include <cstdint>
#include <string>

// Digests and fingerprints as text: two lower-case hexadecimal characters per byte, high four
// bits first.
std::wstring HexEncodeLower(const uint8_t* bytes, size_t length);

// Lower-cases the ASCII letters only; no other character lower-cases to a hexadecimal digit, so
// comparisons of digests come out as with a full lower-casing.
std::wstring LowerAscii(const std::wstring& text);

// Exactly 64 characters, each 0-9 or a-f.
bool IsLowerHexSha256(const std::wstring& text);
