// The pages' actions: each starts a worker, and its completion moves the wizard on.

#include <windows.h>
#include <shellapi.h>

#include <bitset>

#include "account/credential_store.h"
#include "app/accessible_names.h"
#include "app/password_field.h"
#include "app/wizard_app.h"
#include "app/wizard_workers.h"
#include "wizard/form_rules.h"
#include "wizard/scan_list_views.h"
#include "wizard/scan_lists.h"

namespace {

// Marks the page busy and hands the request to its worker. When no thread can be made the
// request's secrets are wiped, the page is free again and the status says so; false then.
template <typename Request>
bool LaunchWorker(WizardApp& app, LPTHREAD_START_ROUTINE worker, std::unique_ptr<Request> request,
                  bool& busy, const wchar_t* status, const wchar_t* failure) {
    busy = true;
    app.ShowPage();
    app.SetStatus(status);
    if (StartWorker(worker, request)) {
        return true;
    }
    ForgetSecrets(*request);
    request.reset();
    busy = false;
    app.SetStatus(failure);
    app.ShowPage();
    return false;
}

}  // namespace

void WizardApp::OpenSignUpPage() {
    const std::wstring address = webOrigin + L"/signup/";
    ShellExecuteW(window, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void WizardApp::StartLogin() {
    if (loginBusy) {
        return;
    }
    std::wstring username = usernamePlaceholder ? std::wstring() : FieldText(kUsernameField);
    std::wstring password = passwordPlaceholder ? std::wstring() : FieldText(kPasswordField);
    const std::wstring problem = LoginValidationMessage(username, password);
    if (!problem.empty()) {
        WipeSecret(password);
        ShowWarning(L"Log in", problem);
        FocusControl(username.empty() ? kUsernameField : kPasswordField);
        return;
    }
    // Built in place: a temporary would leave a copy of the password behind.
    std::unique_ptr<LoginRequest> request(new LoginRequest{this, username, password});
    pendingLoginUsername = username;
    ReplaceSecret(pendingLoginPassword, password);
    if (!LaunchWorker(*this, &LoginWorker, std::move(request), loginBusy, L"Logging in...",
                      L"Could not start login request.")) {
        WipeSecret(pendingLoginPassword);
        pendingLoginUsername.clear();
    }
}

void WizardApp::StartWifiOnlySetup() {
    if (loginBusy) {
        return;
    }
    WipeSecret(account.token);
    account.accountUsername.clear();
    wifiOnly = true;
    ScanOnBaseUnitPage();
}

void WizardApp::StartBaseUnitScan() {
    if ((!wifiOnly && !LoggedIn()) || bleBusy || page != WizardPage::BaseUnitSelect) {
        return;
    }
    LaunchWorker(*this, &BaseUnitScanWorker, std::make_unique<BleRequest>(BleRequest{this}),
                 bleBusy, L"Scanning...", L"Could not start Bluetooth scan.");
}

void WizardApp::StartConnect() {
    if ((!wifiOnly && !LoggedIn()) || bleBusy || page != WizardPage::BaseUnitSelect) {
        return;
    }
    const int row = SelectedRow(controls[kBaseUnitListView]);
    if (row < 0 || static_cast<size_t>(row) >= baseUnits.size()) {
        return;
    }
    const BaseUnitInfo& unit = baseUnits[static_cast<size_t>(row)];
    selectedBaseUnitName = unit.name;
    LaunchWorker(*this, &ConnectWorker,
                 std::make_unique<BleRequest>(BleRequest{this, unit.address}), bleBusy,
                 L"Connecting...", L"Could not start connection.");
}

void WizardApp::StartWifiScan() {
    if (page != WizardPage::WifiSelect || wifiScanBusy || sendBusy) {
        return;
    }
    LaunchWorker(*this, &WifiScanWorker, std::make_unique<BleRequest>(BleRequest{this}),
                 wifiScanBusy, L"Scanning Wi-Fi...", L"Could not start Wi-Fi scan.");
}

void WizardApp::StartConfigure(bool usernameOnly) {
    if (page != WizardPage::WifiSelect || sendBusy || wifiScanBusy) {
        return;
    }
    if (usernameOnly && (wifiOnly || !LoggedIn())) {
        return;
    }
    std::wstring ssid = usernameOnly ? std::wstring() : FieldText(kNetworkNameField);
    std::wstring password =
        (usernameOnly || wifiPasswordPlaceholder) ? std::wstring() : FieldText(kWifiPasswordField);
    switch (CheckConfigureInput(ssid, password, usernameOnly)) {
        case ConfigureProblem::MissingNetwork:
            WipeSecret(password);
            ShowWarning(L"Wi-Fi Network",
                        L"Please select a Wi-Fi network before continuing or setup Username only.");
            FocusControl(kWifiListView);
            return;
        case ConfigureProblem::MissingPassword:
            ShowWarning(L"Wi-Fi Password", L"Please enter the Wi-Fi password before continuing.");
            FocusControl(kWifiPasswordField);
            return;
        case ConfigureProblem::None:
            break;
    }
    std::unique_ptr<ConfigureRequest> request(new ConfigureRequest{this, ssid, password});
    lastSsid = ssid;
    ReplaceSecret(lastWifiPassword, password);
    lastSendUsernameOnly = usernameOnly;
    LaunchWorker(*this, &ConfigureWorker, std::move(request), sendBusy, L"Sending configuration...",
                 L"Could not start configuration request.");
}

void WizardApp::OnLoginDone(std::unique_ptr<LoginResult> result) {
    loginBusy = false;
    if (!result) {
        WipeSecret(pendingLoginPassword);
        pendingLoginUsername.clear();
        SetStatus(L"Log in failed.");
        ShowPage();
        return;
    }
    if (result->ok) {
        account = result->account;
        wifiOnly = false;
        SaveCredentials(pendingLoginUsername, pendingLoginPassword);
        if (!passwordPlaceholder) {
            passwordPlaceholder = true;
            // The field no longer holds the stored value either.
            passwordIsStored = false;
            passwordRevealed = false;
            OverwriteFieldText(controls[kPasswordField]);
            SetPasswordStyle(controls[kPasswordField], false);
            SetWindowTextW(controls[kPasswordField], L"Password");
            InvalidateRect(controls[kPasswordField], nullptr, TRUE);
        }
        WipeSecret(pendingLoginPassword);
        pendingLoginUsername.clear();
        WipeSecret(result->account.token);
        result.reset();
        ScanOnBaseUnitPage();
        return;
    }
    SetStatus(ErrorOr(result->errorText, L"Log in failed."));
    WipeSecret(pendingLoginPassword);
    pendingLoginUsername.clear();
    result.reset();
    ShowPage();
}

void WizardApp::OnBaseScanDone(std::unique_ptr<BleOperationResult> result) {
    bleBusy = false;
    if (result && result->ok) {
        baseUnits = std::move(result->devices);
        SortBaseUnits(baseUnits);
        FillBaseUnitList(controls[kBaseUnitListView], baseUnits);
        SetStatus(BaseUnitCountText(baseUnits.size()));
    } else if (result) {
        SetStatus(ErrorOr(result->errorText, L"Bluetooth scan failed."));
    }
    result.reset();
    ShowPage();
}

void WizardApp::OnConnectDone(std::unique_ptr<BleOperationResult> result) {
    bleBusy = false;
    if (result && result->ok) {
        result.reset();
        page = WizardPage::WifiSelect;
        ShowPage();
        SetStatus(L"Scanning Wi-Fi networks...");
        StartWifiScan();
        return;
    }
    if (result) {
        SetStatus(ErrorOr(result->errorText, L"Could not connect to the selected base unit."));
        selectedBaseUnitName.clear();
    }
    result.reset();
    ShowPage();
}

void WizardApp::OnWifiScanDone(std::unique_ptr<BleOperationResult> result) {
    wifiScanBusy = false;
    if (result && result->connectionLost) {
        ReturnToBaseUnits(result->errorText);
        return;
    }
    if (result && result->ok) {
        wifiNetworks = MergeWifiNetworks(result->networks);
        SortWifiNetworks(wifiNetworks);
        FillWifiList(controls[kWifiListView], wifiNetworks);
        SetStatus(WifiNetworkCountText(wifiNetworks.size()));
    } else if (result) {
        SetStatus(
            ErrorOr(result->errorText, L"Wi-Fi scan failed. You can enter the network manually."));
    }
    result.reset();
    ShowPage();
}

void WizardApp::OnConfigureDone(std::unique_ptr<ConfigureResult> result) {
    sendBusy = false;
    if (!result) {
        ShowPage();
        return;
    }
    if (result->connectionLost) {
        ReturnToBaseUnits(result->errorText);
        return;
    }
    if (result->ok) {
        if (!result->accountUsername.empty()) {
            account.accountUsername = result->accountUsername;
        }
        lastSendOk = true;
        // A sent password has no further use: Finish is the only way on from here.
        WipeSecret(lastWifiPassword);
        ResetWifiPasswordField();
        SetWindowTextW(controls[kResultHeadingText], L"Configuration Sent");
        SetWindowTextW(controls[kResultMessageText],
                       L"The configuration was successfully sent to the Tervane base unit.");
        SetWindowTextW(controls[kFinishButton], L"Finish");
    } else {
        if (result->accountRejected) {
            WipeSecret(account.token);
            account.accountUsername.clear();
        }
        lastSendOk = false;
        SetWindowTextW(controls[kResultHeadingText], L"Configuration Failed");
        SetWindowTextW(controls[kResultMessageText],
                       ErrorOr(result->errorText,
                               L"The configuration could not be sent. Check the connection and try "
                               L"again.")
                           .c_str());
        SetWindowTextW(controls[kFinishButton], L"Retry");
    }
    result.reset();
    page = WizardPage::Result;
    ShowPage();
    AnnounceTextChange(controls[kResultMessageText]);
}
