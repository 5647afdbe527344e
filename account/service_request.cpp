#include "account/service_request.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <vector>

#include "account/secret_wipe.h"
#include "account/service_origin.h"
#include "common/unique_owner.h"

namespace {

const wchar_t kUserAgent[] = L"TervaneConfigNative/1.0";

std::function<bool(uint32_t)> SecureProtocolsSetter(HINTERNET handle) {
    return [handle](uint32_t protocols) {
        DWORD value = protocols;
        return WinHttpSetOption(handle, WINHTTP_OPTION_SECURE_PROTOCOLS, &value, sizeof value) !=
               FALSE;
    };
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
    // Some systems take the protocol choice on the session only and refuse it on the request
    // (and then offer TLS 1.0 and 1.1 too), so it is set on both.
    if (secure) {
        OfferSecureProtocols(SecureProtocolsSetter(session.get()));
    }

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
        OfferSecureProtocols(SecureProtocolsSetter(request.get()));
    }
    // Redirects are not followed: the platform would send the Authorization header (the
    // token) on to wherever the answer points, and the service never redirects its API.
    DWORD disabled = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled);
    // The wait for the answer's headers has a time-out of its own (90 s by default); hold it
    // to the receive time-out so a stalled service ends within the time-outs above.
    DWORD responseTimeout = static_cast<DWORD>(timeouts.receiveMs);
    WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                     sizeof responseTimeout);

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
    // A status line without a number reads as 0 on some systems: that is no status either.
    if (statusCode < 100 || statusCode > 999) {
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
