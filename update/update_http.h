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

// The three handles of one update GET. They close in the reverse order: request, connection,
// session.
struct UpdateExchange {
    UniqueWinHttpHandle session;
    UniqueWinHttpHandle connection;
    UniqueWinHttpHandle request;

    void Close() {
        request.reset();
        connection.reset();
        session.reset();
    }
};

// The sentence for each step that can fail while an exchange is opened.
struct UpdateOpenFailures {
    const wchar_t* session;
    const wchar_t* connection;
    const wchar_t* request;
};

// Opens an HTTPS GET of the path that never follows a redirect. The session uses the update user
// agent and the given time-outs and offers TLS 1.2 and 1.3 only (1.2 alone where the system
// refuses that choice); the request makes the same choice, and the system validates the server
// certificate. False, with that step's sentence, when a handle cannot be had.
bool OpenUpdateExchange(const std::wstring& host, INTERNET_PORT port,
                        const std::wstring& pathAndQuery, const UpdateTimeouts& timeouts,
                        const UpdateOpenFailures& failures, UpdateExchange& exchange,
                        std::wstring& error);

// Sends the request without headers or body and waits for the answer's headers.
bool SendUpdateRequest(HINTERNET request);

bool QueryUpdateStatus(HINTERNET request, uint32_t& status);
