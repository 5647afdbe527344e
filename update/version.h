#pragma once

#include <cstdint>
#include <string>

// Dotted version numbers of published builds: three or four decimal components, each at most
// 65535; a missing fourth component is 0.
struct VersionParts {
    uint32_t parts[4] = {0, 0, 0, 0};
};

// False for anything else, including text after a fourth component.
bool ParseVersion(const std::wstring& text, VersionParts& parts);

// True when candidate is strictly greater, comparing component by component.
bool IsNewerVersion(const VersionParts& current, const VersionParts& candidate);
