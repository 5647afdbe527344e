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

DWORD WINAPI LoginWorker(LPVOID request);
DWORD WINAPI BaseUnitScanWorker(LPVOID request);
DWORD WINAPI ConnectWorker(LPVOID request);
DWORD WINAPI WifiScanWorker(LPVOID request);
DWORD WINAPI ConfigureWorker(LPVOID request);

// Starts one worker on a thread of its own and lets it go. False when no thread could be made;
// the request then still belongs to the caller.
bool StartWorker(LPTHREAD_START_ROUTINE worker, void* request);

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

// Overwrites a secret held in a wide string and empties it.
void WipeSecret(std::wstring& secret);
