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

// The product version in the fixed part of a version resource (VS_VERSIONINFO); false unless
// the resource holds that part whole, under its own key and signature.
bool ReadFixedProductVersion(const uint8_t* resource, size_t size, VersionParts& version);

// An installer may run only when its own version is the one the update server announced and
// newer than the running program's: a genuine but older signed build offered as newer is
// refused. False with the sentence otherwise.
bool AcceptsInstallerVersion(const VersionParts& installer, const std::wstring& announced,
                             const std::wstring& running, std::wstring& error);
