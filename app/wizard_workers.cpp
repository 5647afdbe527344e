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

bool StartThread(LPTHREAD_START_ROUTINE worker, void* request) {
    UniqueHandle thread(CreateThread(nullptr, 0, worker, request, 0, nullptr));
    return static_cast<bool>(thread);
}

namespace {

// Runs one operation for the window: an allocation failure below the wizard becomes a plain
// failure with the fallback sentence, and the request's secrets are wiped before the result is
// posted.
template <typename Request, typename Result, typename Operation>
DWORD RunWorker(LPVOID raw, UINT message, Operation operation) {
    std::unique_ptr<Request> request(static_cast<Request*>(raw));
    std::unique_ptr<Result> result;
    try {
        result = std::make_unique<Result>();
        result->ok = operation(*request, *result);
    } catch (const std::exception&) {
        if (result) {
            result->ok = false;
            result->errorText.clear();
        }
    }
    ForgetSecrets(*request);
    PostResult(request->app->window, message, std::move(result));
    return 0;
}

template <typename Operation>
DWORD RunBleWorker(LPVOID raw, UINT message, Operation operation) {
    return RunWorker<BleRequest, BleOperationResult>(raw, message, operation);
}

}  // namespace

DWORD WINAPI LoginWorker(LPVOID raw) {
    return RunWorker<LoginRequest, LoginResult>(
        raw, WM_APP_LOGIN_DONE, [](LoginRequest& request, LoginResult& result) {
            return LoginToService(request.username, request.password, result.account,
                                  result.errorText);
        });
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
    return RunWorker<ConfigureRequest, ConfigureResult>(
        raw, WM_APP_CONFIGURE_DONE, [](ConfigureRequest& request, ConfigureResult& result) {
            WizardApp& app = *request.app;
            std::wstring usernameToSend;
            if (!app.account.token.empty() && !app.account.accountUsername.empty() &&
                !app.wifiOnly) {
                AccountSession checked;
                std::wstring checkError;
                if (!CheckServiceAccount(app.account.token, checked, checkError)) {
                    result.accountRejected = true;
                    result.errorText =
                        L"Your Tervane account could not be verified.\r\n\r\n" + checkError;
                    return false;
                }
                usernameToSend = checked.accountUsername;
                result.accountUsername = checked.accountUsername;
            }
            std::string payload;
            bool ok = false;
            if (BuildConfigurationPayload(request.ssid, request.password, usernameToSend, payload,
                                          result.errorText)) {
                ok = app.backend->SendConfiguration(payload, result.errorText);
                result.connectionLost = !ok && !app.backend->IsConnected();
            }
            // The payload holds the Wi-Fi password in plain text.
            if (!payload.empty()) {
                SecureZeroMemory(&payload[0], payload.size());
            }
            return ok;
        });
}
