#include "app/wizard_workers.h"

#include <exception>
#include <memory>

#include "app/wizard_app.h"
#include "blufi/configuration_payload.h"
#include "common/unique_owner.h"

void WipeSecret(std::wstring& secret) {
    if (!secret.empty()) {
        SecureZeroMemory(&secret[0], secret.size() * sizeof(wchar_t));
    }
    secret.clear();
}

bool StartWorker(LPTHREAD_START_ROUTINE worker, void* request) {
    UniqueHandle thread(CreateThread(nullptr, 0, worker, request, 0, nullptr));
    return static_cast<bool>(thread);
}

namespace {

template <typename Operation>
DWORD RunBleWorker(LPVOID raw, UINT message, Operation operation) {
    std::unique_ptr<BleRequest> request(static_cast<BleRequest*>(raw));
    std::unique_ptr<BleOperationResult> result;
    try {
        result = std::make_unique<BleOperationResult>();
        result->ok = operation(*request, *result);
    } catch (const std::exception&) {
        // Out of memory below the wizard: report a plain failure with the fallback sentence.
        if (result) {
            result->ok = false;
            result->errorText.clear();
        }
    }
    PostResult(request->app->window, message, std::move(result));
    return 0;
}

}  // namespace

DWORD WINAPI LoginWorker(LPVOID raw) {
    std::unique_ptr<LoginRequest> request(static_cast<LoginRequest*>(raw));
    std::unique_ptr<LoginResult> result;
    try {
        result = std::make_unique<LoginResult>();
        result->ok = LoginToService(request->username, request->password, result->account,
                                    result->errorText);
    } catch (const std::exception&) {
        if (result) {
            result->ok = false;
            result->errorText.clear();
        }
    }
    WipeSecret(request->password);
    PostResult(request->app->window, WM_APP_LOGIN_DONE, std::move(result));
    return 0;
}

DWORD WINAPI BaseUnitScanWorker(LPVOID raw) {
    return RunBleWorker(
        raw, WM_APP_BASE_SCAN_DONE, [](BleRequest& request, BleOperationResult& result) {
            return request.app->backend->ScanBaseUnits(result.devices, result.errorText);
        });
}

DWORD WINAPI ConnectWorker(LPVOID raw) {
    return RunBleWorker(raw, WM_APP_CONNECT_DONE,
                        [](BleRequest& request, BleOperationResult& result) {
                            return request.app->backend->Connect(request.address, result.errorText);
                        });
}

DWORD WINAPI WifiScanWorker(LPVOID raw) {
    return RunBleWorker(
        raw, WM_APP_WIFI_SCAN_DONE, [](BleRequest& request, BleOperationResult& result) {
            IBleBackend& backend = *request.app->backend;
            const bool ok = backend.ScanWifiNetworks(result.networks, result.errorText);
            result.connectionLost = !ok && !backend.IsConnected();
            return ok;
        });
}

DWORD WINAPI ConfigureWorker(LPVOID raw) {
    std::unique_ptr<ConfigureRequest> request(static_cast<ConfigureRequest*>(raw));
    std::unique_ptr<ConfigureResult> result;
    try {
        result = std::make_unique<ConfigureResult>();
        WizardApp& app = *request->app;
        std::wstring usernameToSend;
        if (!app.account.token.empty() && !app.account.accountUsername.empty() && !app.wifiOnly) {
            AccountSession checked;
            std::wstring checkError;
            if (CheckServiceAccount(app.account.token, checked, checkError)) {
                usernameToSend = checked.accountUsername;
                result->accountUsername = checked.accountUsername;
            } else {
                result->accountRejected = true;
                result->errorText =
                    L"Your Tervane account could not be verified.\r\n\r\n" + checkError;
            }
        }
        if (!result->accountRejected) {
            std::string payload;
            if (BuildConfigurationPayload(request->ssid, request->password, usernameToSend, payload,
                                          result->errorText)) {
                result->ok = app.backend->SendConfiguration(payload, result->errorText);
                result->connectionLost = !result->ok && !app.backend->IsConnected();
            }
            // The payload holds the Wi-Fi password in plain text.
            if (!payload.empty()) {
                SecureZeroMemory(&payload[0], payload.size());
            }
        }
    } catch (const std::exception&) {
        if (result) {
            result->ok = false;
            result->errorText.clear();
        }
    }
    WipeSecret(request->password);
    PostResult(request->app->window, WM_APP_CONFIGURE_DONE, std::move(result));
    return 0;
}
