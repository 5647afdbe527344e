#pragma once

#include <string>

#include "update/version.h"

// The tests a downloaded installer must pass before it may run: its SHA-256 digest, a valid
// Authenticode signature, and a signing certificate whose fingerprint is the pinned one.
// Windows only. Every function fills error with one sentence on failure.

bool VerifyUpdateSha256(const std::wstring& path, const std::wstring& expectedHex,
                        std::wstring& error);

// The build pins a well-formed fingerprint. Without one no update can ever pass, so none is
// checked for or downloaded.
bool PinnedSignerConfigured();
constexpr wchar_t kPinnedSignerNotConfigured[] =
    L"The updater's signing-certificate fingerprint is not configured.";

// With the program's own pinned fingerprint.
bool VerifyInstallerSignature(const std::wstring& path, std::wstring& error);
// With a given pinned fingerprint (64 hexadecimal digits, any letter case).
bool VerifyInstallerSignatureWith(const std::wstring& path, const std::wstring& pinnedSha256,
                                  std::wstring& error);

// The product version the installer's own version resource states; false when it has none.
bool ReadInstallerVersion(const std::wstring& path, VersionParts& version);

// The installer states the announced version, newer than this program's (see
// AcceptsInstallerVersion).
bool VerifyInstallerVersion(const std::wstring& path, const std::wstring& announced,
                            std::wstring& error);

// The display name and certificate fingerprint (lower-case hex) of the first signer, as the
// Authenticode check validated it.
bool IdentifyInstallerSigner(const std::wstring& path, std::wstring& signerName,
                             std::wstring& fingerprint);
