#pragma once

#include <string>

#include "update/update_info.h"

// The metadata rules of the update check that need no network: reading the fields of a
// 200 answer's body in their fixed order and validating them. Portable.

// Fills info from body and checks schema, platform, package type, digest and version. The
// download URL is checked separately (it needs the system's URL cracking). On failure info is
// empty and error holds the sentence.
bool ReadUpdateMetadata(const std::string& body, bool installedCopy, UpdateInfo& info,
                        std::wstring& error);

// Compares ignoring the case of the ASCII letters only, the same on every system.
bool EqualsIgnoringAsciiCase(const std::wstring& left, const std::wstring& right);
