#include "update/update_check.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <vector>

#include "account/service_origin.h"
#include "common/unique_owner.h"
#include "update/installer_verification.h"
#include "update/update_http.h"
#include "update/update_metadata.h"

namespace {

constexpr UpdateTimeouts kCheckTimeouts{5000, 5000, 10000, 10000};
constexpr DWORD kReadChunk = 8192;

const wchar_t kRequestFailed[] = L"The update server request failed.";

// Reads the whole body in 8192-byte pieces, as announced by the platform; a read that gives
// nothing while data was announced is a failure, not the end.
bool ReadMetadataBody(HINTERNET request, std::string& body, std::wstring& error) {
    std::vector<char> chunk(kReadChunk);
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available)) {
            return false;
        }
        if (available == 0) {
            return true;
        }
        while (available > 0) {
            const DWORD wanted = std::min(available, kReadChunk);
            DWORD read = 0;
            if (!WinHttpReadData(request, chunk.data(), wanted, &read) || read == 0) {
                return false;
            }
            read = std::min(read, wanted);
            body.append(chunk.data(), read);
            if (body.size() > kMaxUpdateMetadataBytes) {
                error = L"The update response was unexpectedly large.";
                return false;
            }
            available -= read;
        }
    }
}

}  // namespace

UpdateServer BuiltInUpdateServer() {
    UpdateServer server;
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    // The origin is a constant of the build; one that does not crack leaves the host empty, and
    // every request then fails to connect.
    if (WinHttpCrackUrl(UpdateServiceOrigin, 0, 0, &parts) && parts.lpszHostName != nullptr) {
        server.host.assign(parts.lpszHostName, parts.dwHostNameLength);
        server.port = parts.nPort;
    }
    return server;
}

bool FetchUpdateMetadataFrom(const UpdateServer& server, const std::wstring& path, uint32_t& status,
                             std::string& body, std::wstring& error) {
    status = 0;
    body.clear();
    error.clear();

    UpdateExchange exchange;
    if (!OpenUpdateExchange(
            server.host, server.port, path, kCheckTimeouts,
            {L"Could not initialise the update connection.",
             L"Could not connect to the update server.", L"Could not create the update request."},
            exchange, error)) {
        return false;
    }
    HINTERNET request = exchange.request.get();
    bool ok = SendUpdateRequest(request) && QueryUpdateStatus(request, status) &&
              ReadMetadataBody(request, body, error);
    if (!ok && error.empty()) {
        error = kRequestFailed;
    }
    return ok;
}

bool FetchUpdateMetadata(const std::wstring& path, uint32_t& status, std::string& body,
                         std::wstring& error) {
    return FetchUpdateMetadataFrom(BuiltInUpdateServer(), path, status, body, error);
}

bool CheckForUpdateAt(const UpdateServer& server, bool installedCopy, UpdateInfo& info,
                      bool& noPublishedUpdate, std::wstring& error) {
    info = UpdateInfo{};
    noPublishedUpdate = false;
    error.clear();

    if (!PinnedSignerConfigured()) {
        error = kPinnedSignerNotConfigured;
        return false;
    }
    uint32_t status = 0;
    std::string body;
    const std::wstring path = installedCopy ? kInstalledMetadataPath : kPortableMetadataPath;
    if (!FetchUpdateMetadataFrom(server, path, status, body, error)) {
        return false;
    }
    if (status == 404) {
        noPublishedUpdate = true;
        return true;
    }
    if (status != 200) {
        error = L"The update server returned HTTP " + std::to_wstring(status) + L".";
        return false;
    }
    if (!ReadUpdateMetadata(body, installedCopy, info, error)) {
        return false;
    }
    std::wstring pathAndQuery;
    uint16_t port = 0;
    return ValidateDownloadUrlFor(
        server.host, info.download_url,
        installedCopy ? kInstallerDownloadPrefix : kPortableDownloadPrefix, pathAndQuery, port,
        error);
}

bool CheckForUpdate(bool installedCopy, UpdateInfo& info, bool& noPublishedUpdate,
                    std::wstring& error) {
    return CheckForUpdateAt(BuiltInUpdateServer(), installedCopy, info, noPublishedUpdate, error);
}

bool ValidateDownloadUrlFor(const std::wstring& serviceHost, const std::wstring& url,
                            const std::wstring& requiredPrefix, std::wstring& pathAndQuery,
                            uint16_t& port, std::wstring& error) {
    pathAndQuery.clear();
    port = 0;
    error.clear();

    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    // A NUL would end the text early for the platform, after the checks saw all of it.
    const bool hasNul = url.find(L'\0') != std::wstring::npos;
    if (url.empty() || hasNul ||
        !WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) {
        error = L"The update server returned an invalid download URL.";
        return false;
    }
    if (parts.nScheme != INTERNET_SCHEME_HTTPS) {
        error = L"The update download URL was not HTTPS.";
        return false;
    }
    const std::wstring host = parts.lpszHostName != nullptr
                                  ? std::wstring(parts.lpszHostName, parts.dwHostNameLength)
                                  : std::wstring();
    if (!EqualsIgnoringAsciiCase(host, serviceHost)) {
        error = L"The update download URL points to an unexpected server.";
        return false;
    }
    const std::wstring urlPath = parts.lpszUrlPath != nullptr
                                     ? std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength)
                                     : std::wstring();
    if (urlPath.compare(0, requiredPrefix.size(), requiredPrefix) != 0) {
        error = L"The update download URL has an unexpected path.";
        return false;
    }
    pathAndQuery = urlPath;
    if (parts.lpszExtraInfo != nullptr) {
        pathAndQuery.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    }
    port = parts.nPort;
    return true;
}

bool ValidateDownloadUrl(const std::wstring& url, const std::wstring& requiredPrefix,
                         std::wstring& pathAndQuery, uint16_t& port, std::wstring& error) {
    return ValidateDownloadUrlFor(BuiltInUpdateServer().host, url, requiredPrefix, pathAndQuery,
                                  port, error);
}
