#include "update/update_http.h"

#include "account/service_request.h"
#include "update/update_info.h"

namespace {

// The same protocol choice as the account requests, set on the session and on the request
// because some systems take it on one of them only.
void OfferModernTls(HINTERNET handle) {
    OfferSecureProtocols([handle](uint32_t protocols) {
        DWORD value = protocols;
        return WinHttpSetOption(handle, WINHTTP_OPTION_SECURE_PROTOCOLS, &value, sizeof value) !=
               FALSE;
    });
}

UniqueWinHttpHandle OpenUpdateSession(const std::wstring& host, const UpdateTimeouts& timeouts) {
    // Loopback hosts (the stand-in service) skip the proxy, as the account requests do.
    const DWORD access =
        BypassesProxy(host) ? WINHTTP_ACCESS_TYPE_NO_PROXY : WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY;
    UniqueWinHttpHandle session(
        WinHttpOpen(kUpdateUserAgent, access, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (session) {
        OfferModernTls(session.get());
        WinHttpSetTimeouts(session.get(), timeouts.resolveMs, timeouts.connectMs, timeouts.sendMs,
                           timeouts.receiveMs);
    }
    return session;
}

UniqueWinHttpHandle OpenUpdateRequest(HINTERNET connection, const std::wstring& pathAndQuery,
                                      const UpdateTimeouts& timeouts) {
    UniqueWinHttpHandle request(
        WinHttpOpenRequest(connection, L"GET", pathAndQuery.c_str(), nullptr, WINHTTP_NO_REFERER,
                           WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    if (request) {
        OfferModernTls(request.get());
        // A redirect answer is reported with its status, never followed elsewhere.
        DWORD disabled = WINHTTP_DISABLE_REDIRECTS;
        WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled);
        // The wait for the headers has its own 90 s default; hold it to the receive time-out
        // so a stalled service cannot keep the worker longer than the time-outs promise.
        DWORD responseTimeout = static_cast<DWORD>(timeouts.receiveMs);
        WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                         sizeof responseTimeout);
    }
    return request;
}

}  // namespace

bool OpenUpdateExchange(const std::wstring& host, INTERNET_PORT port,
                        const std::wstring& pathAndQuery, const UpdateTimeouts& timeouts,
                        const UpdateOpenFailures& failures, UpdateExchange& exchange,
                        std::wstring& error) {
    exchange.Close();
    exchange.session = OpenUpdateSession(host, timeouts);
    if (!exchange.session) {
        error = failures.session;
        return false;
    }
    exchange.connection.reset(WinHttpConnect(exchange.session.get(), host.c_str(), port, 0));
    if (!exchange.connection) {
        error = failures.connection;
        return false;
    }
    exchange.request = OpenUpdateRequest(exchange.connection.get(), pathAndQuery, timeouts);
    if (!exchange.request) {
        error = failures.request;
        return false;
    }
    return true;
}

bool SendUpdateRequest(HINTERNET request) {
    return WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0,
                              0, 0) &&
           WinHttpReceiveResponse(request, nullptr);
}

bool QueryUpdateStatus(HINTERNET request, uint32_t& status) {
    DWORD code = 0;
    DWORD size = sizeof code;
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    status = code;
    return true;
}
