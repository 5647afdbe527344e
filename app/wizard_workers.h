#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "account/account_session.h"
#include "ble/ble_backend.h"

class WizardApp;

// Records handed to the worker threads and posted back to the window. The window thread
// allocates a request, the worker owns it once running; the worker allocates the result, the
// window procedure owns it once the message arrives.

struct LoginRequest {
    WizardApp* app = nullptr;
    std::wstring username;
    std::wstring password;
};

struct LoginResult {
    bool ok = false;
    AccountSession account;
    std::wstring errorText;
};

struct BleRequest {
    WizardApp* app = nullptr;
    uint64_t address = 0;  // connect only
};

struct BleOperationResult {
    bool ok = false;
    std::wstring errorText;
    std::vector<BaseUnitInfo> devices;
    std::vector<WifiNetwork> networks;
    bool connectionLost = false;  // failed, and the backend could not reconnect
};

struct ConfigureRequest {
    WizardApp* app = nullptr;
    std::wstring ssid;
    std::wstring password;
};

struct ConfigureResult {
    bool ok = false;
    bool accountRejected = false;
    std::wstring accountUsername;
    std::wstring errorText;
    bool connectionLost = false;
};

// Overwrites a secret held in a wide string and empties it.
void WipeSecret(std::wstring& secret);

// Moves a secret into the copy kept for later: the old kept value and the source are wiped.
inline void ReplaceSecret(std::wstring& kept, std::wstring& secret) {
    WipeSecret(kept);
    kept = secret;
    WipeSecret(secret);
}

// Wipes what a request carries that must not outlive it.
inline void ForgetSecrets(BleRequest&) {}
inline void ForgetSecrets(LoginRequest& request) {
    WipeSecret(request.password);
}
inline void ForgetSecrets(ConfigureRequest& request) {
    WipeSecret(request.password);
}

DWORD WINAPI LoginWorker(LPVOID request);
DWORD WINAPI BaseUnitScanWorker(LPVOID request);
DWORD WINAPI ConnectWorker(LPVOID request);
DWORD WINAPI WifiScanWorker(LPVOID request);
DWORD WINAPI ConfigureWorker(LPVOID request);

bool StartThread(LPTHREAD_START_ROUTINE worker, void* request);

// Starts one worker on a thread of its own and lets it go; the worker owns the request from
// then on. False when no thread could be made; the request then still belongs to the caller.
template <typename Request>
bool StartWorker(LPTHREAD_START_ROUTINE worker, std::unique_ptr<Request>& request) {
    if (!StartThread(worker, request.get())) {
        return false;
    }
    request.release();
    return true;
}

// Hands the result to the window, even a null one (allocation failed): the handler still clears
// the busy flag. If the window is gone the record is freed here instead of leaking; false then.
template <typename Result>
bool PostResult(HWND window, UINT message, std::unique_ptr<Result> result) {
    if (!PostMessageW(window, message, 0, reinterpret_cast<LPARAM>(result.get()))) {
        return false;
    }
    result.release();
    return true;
}

// A failed operation's own sentence, or the page's fallback when it gave none (out of memory).
inline std::wstring ErrorOr(const std::wstring& errorText, const wchar_t* fallback) {
    return errorText.empty() ? fallback : errorText;
}

// The window's side of PostResult: owns the posted record again at once.
template <typename Result>
std::unique_ptr<Result> TakeResult(LPARAM posted) {
    return std::unique_ptr<Result>(reinterpret_cast<Result*>(posted));
}
