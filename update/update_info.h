#pragma once

#include <cstdint>
#include <string>

// Records the update check and the update download hand to the window. Plain data: the window
// thread owns a result once it has been posted to it.

// The validated metadata of one published build.
struct UpdateInfo {
    uint32_t schema_version = 0;
    std::wstring package_type;
    std::wstring version;
    std::wstring release_notes;  // empty when the service sends none
    std::wstring filename;
    uint64_t size_bytes = 0;
    std::wstring sha256;  // 64 lower-case hexadecimal digits
    std::wstring download_url;
};

struct UpdateCheckResult {
    bool succeeded = false;
    bool noPublishedUpdate = false;  // the service answered 404
    bool newerAvailable = false;
    bool interactive = false;
    bool installedCopy = false;
    UpdateInfo info;  // meaningful only when succeeded and a build is published
    std::wstring errorMessage;
};

struct UpdateDownloadResult {
    bool succeeded = false;
    std::wstring installerPath;  // the verified installer; empty on failure
    std::wstring errorMessage;
};

// The program's own version, as in the window title and the user agent "TervaneConfig/<version>".
// Fixed when the program is linked (app_version.cpp), so one build can make two versions.
extern const wchar_t APP_VERSION[];
extern const wchar_t kUpdateUserAgent[];

constexpr wchar_t kInstalledMetadataPath[] = L"/api/app/windows/latest/";
constexpr wchar_t kPortableMetadataPath[] = L"/api/app/windows/latest/?package_type=portable";
constexpr wchar_t kInstallerDownloadPrefix[] = L"/app/windows/installer/download/";
constexpr wchar_t kPortableDownloadPrefix[] = L"/app/windows/portable/download/";

constexpr size_t kMaxUpdateMetadataBytes = 0x100000;
