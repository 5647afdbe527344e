#include "account/service_request.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <vector>

#include "account/secret_wipe.h"
#include "account/service_origin.h"
#include "account/unique_handle.h"

namespace {

// TLS 1.0 and 1.1 are deprecated and invite downgrades: offer 1.2 and 1.3, and 1.2 alone
// where the system does not know 1.3.
constexpr DWORD kTls12 = 0x00000800;
constexpr DWORD kTls12And13 = 0x00002800;

const wchar_t kUserAgent[] = L"TervaneConfigNative/1.0";

void SetSecureProtocols(HINTERNET request) {
    DWORD protocols = kTls12And13;
    if (!WinHttpSetOption(request, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols)) {
        protocols = kTls12;
        WinHttpSetOption(request, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof protocols);
    }
}

// Grows the body without leaving copies of it (it may hold a token) in released memory.
void AppendKeepingSecret(std::string& body, const char* data, size_t size) {
    if (body.size() + size > body.capacity()) {
        std::string larger;
        larger.reserve(std::max(body.capacity() * 2, body.size() + size));
        larger.assign(body);
        WipeSecret(body);
        body.swap(larger);
    }
    body.append(data, size);
}

}  // namespace

bool SendServiceRequestTo(const wchar_t* origin, const std::wstring& verb, const std::wstring& path,
                          const std::wstring& authorization, const std::string& body,
                          uint32_t& status, std::string& responseBody, std::wstring& errorText,
                          const ServiceTimeouts& timeouts) {
    status = 0;
    WipeSecret(responseBody);
    errorText.clear();

    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwSchemeLength = static_cast<DWORD>(-1);
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    if (origin == nullptr || !WinHttpCrackUrl(origin, 0, 0, &parts)) {
        errorText = L"The configured Tervane server URL is invalid.";
        return false;
    }
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    const INTERNET_PORT port = parts.nPort;
    const std::wstring host(parts.lpszHostName != nullptr ? parts.lpszHostName : L"",
                            parts.lpszHostName != nullptr ? parts.dwHostNameLength : 0);

    const DWORD access =
        BypassesProxy(host) ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
    UniqueWinHttpHandle session(
        WinHttpOpen(kUserAgent, access, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        errorText = L"Could not initialize Windows HTTP services.";
        return false;
    }
    WinHttpSetTimeouts(session.get(), timeouts.resolveMs, timeouts.connectMs, timeouts.sendMs,
                       timeouts.receiveMs);

    UniqueWinHttpHandle connection(WinHttpConnect(session.get(), host.c_str(), port, 0));
    if (!connection) {
        errorText = L"Could not connect to the Tervane server.";
        return false;
    }
    UniqueWinHttpHandle request(WinHttpOpenRequest(
        connection.get(), verb.c_str(), path.c_str(), nullptr, WINHTTP_NO_REFERER,
        WINHTTP_DEFAULT_ACCEPT_TYPES, secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) {
        errorText = L"Could not create the server request.";
        return false;
    }
    if (secure) {
        SetSecureProtocols(request.get());
    }

    std::wstring headers;
    headers.reserve(64 + authorization.size());
    headers.append(L"Accept: application/json\r\n");
    if (!authorization.empty()) {
        headers.append(L"Authorization: ").append(authorization).append(L"\r\n");
    }
    if (!body.empty()) {
        headers.append(L"Content-Type: application/json; charset=utf-8\r\n");
    }

    const DWORD bodyLength = static_cast<DWORD>(body.size());
    BOOL sent =
        WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(-1),
                           body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data()),
                           bodyLength, bodyLength, 0);
    if (sent) {
        sent = WinHttpReceiveResponse(request.get(), nullptr);
    }
    if (!sent) {
        const DWORD code = GetLastError();
        WipeSecret(headers);
        errorText = L"The Tervane server request failed (Windows error " +
                    std::to_wstring(static_cast<unsigned long>(code)) + L").";
        return false;
    }
    WipeSecret(headers);

    DWORD statusCode = 0;
    DWORD statusSize = sizeof statusCode;
    if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &statusCode, &statusSize,
                             WINHTTP_NO_HEADER_INDEX)) {
        errorText = L"The Tervane server response did not contain a status code.";
        return false;
    }
    status = statusCode;

    std::vector<char> chunk;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available)) {
            errorText = L"Could not read the Tervane server response.";
            break;
        }
        if (available == 0) {
            break;
        }
        // Never hold more than one byte past the cap, whatever the server claims is ready.
        const size_t room = kMaxServiceResponseBytes + 1 - responseBody.size();
        const DWORD wanted = static_cast<DWORD>(std::min<size_t>(available, room));
        chunk.assign(wanted, 0);
        DWORD read = 0;
        const BOOL ok = WinHttpReadData(request.get(), chunk.data(), wanted, &read);
        if (ok) {
            AppendKeepingSecret(responseBody, chunk.data(), std::min<DWORD>(read, wanted));
        }
        WipeBytes(chunk.data(), chunk.size());
        if (!ok) {
            errorText = L"Could not read the Tervane server response.";
            break;
        }
        if (responseBody.size() > kMaxServiceResponseBytes) {
            errorText = L"The Tervane server response was unexpectedly large.";
            break;
        }
        if (read == 0) {
            break;
        }
    }
    return errorText.empty();
}

bool SendServiceRequest(const std::wstring& verb, const std::wstring& path,
                        const std::wstring& authorization, const std::string& body,
                        uint32_t& status, std::string& responseBody, std::wstring& errorText) {
    return SendServiceRequestTo(ServiceOrigin, verb, path, authorization, body, status,
                                responseBody, errorText);
}
