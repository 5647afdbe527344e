#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>

#include "common/unique_owner.h"

// The WinHTTP steps the update check and the update download share.

struct UpdateTimeouts {
    int resolveMs;
    int connectMs;
    int sendMs;
    int receiveMs;
};

// A synchronous session with the update user agent and the given time-outs, offering TLS 1.2
// and 1.3 only (1.2 alone where the system refuses that choice).
UniqueWinHttpHandle OpenUpdateSession(const std::wstring& host, const UpdateTimeouts& timeouts);

// An HTTPS GET that never follows a redirect, with the same protocol choice as the session. The
// system validates the server certificate.
UniqueWinHttpHandle OpenUpdateRequest(HINTERNET connection, const std::wstring& pathAndQuery,
                                      const UpdateTimeouts& timeouts);

// Sends the request without headers or body and waits for the answer's headers.
bool SendUpdateRequest(HINTERNET request);

bool QueryUpdateStatus(HINTERNET request, uint32_t& status);
