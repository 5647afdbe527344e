#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>

#include "account/unique_handle.h"

// The WinHTTP steps the update check and the update download share.

struct UpdateTimeouts {
    int resolveMs;
    int connectMs;
    int sendMs;
    int receiveMs;
};

// A synchronous session with the update user agent and the given time-outs.
UniqueWinHttpHandle OpenUpdateSession(const std::wstring& host, const UpdateTimeouts& timeouts);

// A GET that never follows a redirect. No TLS option is touched: the system validates the
// server certificate and picks the protocol versions.
UniqueWinHttpHandle OpenUpdateRequest(HINTERNET connection, const std::wstring& pathAndQuery,
                                      bool secure, const UpdateTimeouts& timeouts);

// Sends the request without headers or body and waits for the answer's headers.
bool SendUpdateRequest(HINTERNET request);

bool QueryUpdateStatus(HINTERNET request, uint32_t& status);

