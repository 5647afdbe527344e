#pragma once

#include <cstdint>
#include <string>

#include "update/update_info.h"

// Fetching the installer a check announced into the user's temporary folder. Windows only;
// blocks for up to its time-outs, so it runs on a worker thread.

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
                        const std::wstring& path, uint64_t expectedSize, std::wstring& error);

// The download worker's whole task: a new temporary name, the download, then the SHA-256,
// Authenticode and pinned-signer tests. On success installerPath names the verified file; on
// any failure no file is left and error holds the sentence.
bool FetchVerifiedInstaller(const UpdateInfo& info, std::wstring& installerPath,
                            std::wstring& error);
bool FetchVerifiedInstallerFrom(const std::wstring& serviceHost, const UpdateInfo& info,
                                std::wstring& installerPath, std::wstring& error);
