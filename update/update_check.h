#pragma once

#include <cstdint>
#include <string>

#include "update/update_info.h"

// Asking the update service for the latest published build. Windows only; every function
// blocks for up to its time-outs, so it runs on a worker thread, and fills error with one
// sentence on failure.

// Where the update service answers, always over HTTPS. The program asks the account service's
// host; tests aim the same code at a stand-in on a free loopback port.
struct UpdateServer {
    std::wstring host;
    uint16_t port = 443;
};

// The host and port of the built-in service origin. Its scheme is not consulted: both update
// requests go over HTTPS whatever the origin says.
UpdateServer BuiltInUpdateServer();

// One GET of a metadata path, redirects not followed. Any status counts; the body (at most
// 1,048,576 bytes) is read whatever the status.
bool FetchUpdateMetadata(const std::wstring& path, uint32_t& status, std::string& body,
                         std::wstring& error);
bool FetchUpdateMetadataFrom(const UpdateServer& server, const std::wstring& path, uint32_t& status,
                             std::string& body, std::wstring& error);

// The metadata of the build for this kind of copy, validated. A 404 is no failure: it sets
// noPublishedUpdate and returns true.
bool CheckForUpdate(bool installedCopy, UpdateInfo& info, bool& noPublishedUpdate,
                    std::wstring& error);
bool CheckForUpdateAt(const UpdateServer& server, bool installedCopy, UpdateInfo& info,
                      bool& noPublishedUpdate, std::wstring& error);

// An https URL on the service host whose path starts with requiredPrefix (letter case
// significant); gives the path with its query and the port to connect to.
bool ValidateDownloadUrl(const std::wstring& url, const std::wstring& requiredPrefix,
                         std::wstring& pathAndQuery, uint16_t& port, std::wstring& error);
bool ValidateDownloadUrlFor(const std::wstring& serviceHost, const std::wstring& url,
                            const std::wstring& requiredPrefix, std::wstring& pathAndQuery,
                            uint16_t& port, std::wstring& error);
