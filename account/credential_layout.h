#pragma once

#include <cstddef>
#include <string>

// The plain content of the credentials file before protection: the username, one zero code
// unit, the password, one zero code unit, all UTF-16LE, nothing else.

// False when either value is empty or holds a zero code unit, which the layout could not give
// back unchanged. The result holds the password: wipe it once protected.
bool EncodeCredentialPlain(const std::wstring& username, const std::wstring& password,
                           std::string& plain);

// False for fewer than 4 bytes, an odd length, a missing terminator or an empty value; both
// outputs are then empty. Bytes after the second terminator are ignored.
bool ParseCredentialPlain(const unsigned char* data, size_t size, std::wstring& username,
                          std::wstring& password);
