#pragma once

#include <string>

// The tests a downloaded installer must pass before it may run: its SHA-256 digest, a valid
// Authenticode signature, and a signing certificate whose fingerprint is the pinned one.
// Windows only. Every function fills error with one sentence on failure.

bool VerifyUpdateSha256(const std::wstring& path, const std::wstring& expectedHex,
                        std::wstring& error);

// With the program's own pinned fingerprint.
bool VerifyInstallerSignature(const std::wstring& path, std::wstring& error);
// With a given pinned fingerprint (64 hexadecimal digits, any letter case).
bool VerifyInstallerSignatureWith(const std::wstring& path, const std::wstring& pinnedSha256,
                                  std::wstring& error);

// The first signer's display name and certificate fingerprint (lower-case hex).
bool IdentifyInstallerSigner(const std::wstring& path, std::wstring& signerName,
                             std::wstring& fingerprint);
