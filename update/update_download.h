#pragma once

#include <cstdint>
#include <string>

#include "update/update_info.h"

// Fetching the installer a check announced into the user's temporary folder. Windows only;
// blocks for up to its time-outs, so it runs on a worker thread.

// What one download may take: an announced size above maxBytes is refused before any request;
// the download ends when no byte came for stallMs, or deadlineMs after its request went out.
struct DownloadLimits {
    uint64_t maxBytes;
    uint32_t deadlineMs;
    uint32_t stallMs;
};

// 64 MiB is some eighty times today's installer yet harmless to any disk; five minutes carry
// that much over a 2 Mbit/s line, and the window that waits for the download stays closable
// within them; 30 s without a byte is the receive time-out every request has.
constexpr DownloadLimits kDownloadLimits{64ull << 20, 5 * 60 * 1000, 30 * 1000};

// A new name "OVC<unique hex>.exe" in the temporary folder, with no file behind it; empty when
// the folder or a unique name cannot be had.
std::wstring MakeUpdateTempPath();

// Streams the installer at url into a new file at path through one 64 KiB buffer and succeeds
// only with exactly expectedSize bytes; stops at the first byte past it. On every failure the
// file it created is gone again and error holds the sentence.
bool DownloadUpdate(const std::wstring& url, const std::wstring& path, uint64_t expectedSize,
                    std::wstring& error);
// The same against the given service host (the port comes from the URL), for the stand-in.
bool DownloadUpdateFrom(const std::wstring& serviceHost, const std::wstring& url,
                        const std::wstring& path, uint64_t expectedSize, std::wstring& error,
                        const DownloadLimits& limits = kDownloadLimits);

// The download worker's whole task: a new temporary name, the download, then the SHA-256,
// Authenticode, pinned-signer and version tests. On success installerPath names the verified
// file; on any failure no file is left and error holds the sentence. A build without a pinned
// signer fails at once.
bool FetchVerifiedInstaller(const UpdateInfo& info, std::wstring& installerPath,
                            std::wstring& error);
bool FetchVerifiedInstallerFrom(const std::wstring& serviceHost, const UpdateInfo& info,
                                std::wstring& installerPath, std::wstring& error);
