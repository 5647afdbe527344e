#include <windows.h>
#include <shellapi.h>

#include <bitset>

#include "account/credential_store.h"
#include "app/accessible_names.h"
#include "app/wizard_app.h"
#include "wizard/form_rules.h"
#include "wizard/scan_list_views.h"
#include "wizard/scan_lists.h"
#include "wizard/wizard_workers.h"

namespace {

constexpr wchar_t kMaskCharacter = 0x25CF;

// Writes over the field's own copy of a password before the text is replaced, so the control's
// buffer does not keep it.
void OverwriteFieldText(HWND field) {
    const int length = GetWindowTextLengthW(field);
    if (length > 0) {
        SetWindowTextW(field, std::wstring(static_cast<size_t>(length), L' ').c_str());
    }
}

void SetPasswordStyle(HWND field, bool masked) {
    LONG_PTR style = GetWindowLongPtrW(field, GWL_STYLE);
    style = masked ? (style | ES_PASSWORD) : (style & ~static_cast<LONG_PTR>(ES_PASSWORD));
    SetWindowLongPtrW(field, GWL_STYLE, style);
    SendMessageW(field, EM_SETPASSWORDCHAR, masked ? kMaskCharacter : 0, 0);
}

}  // namespace

std::wstring WizardApp::FieldText(ControlIndex index) const {
    HWND field = controls[index];
    const int length = GetWindowTextLengthW(field);
    if (length <= 0) {
        return std::wstring();
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(field, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

void WizardApp::SetFieldText(ControlIndex index, const std::wstring& text) {
    SetWindowTextW(controls[index], text.c_str());
}

void WizardApp::SetStatus(const std::wstring& text) {
    SetWindowTextW(controls[kStatusText], text.c_str());
    AnnounceTextChange(controls[kStatusText]);
    // A sentence longer than the status line makes room for itself.
    RelayoutClient();
}

void WizardApp::FocusControl(ControlIndex index) {
    SetFocus(controls[index]);
}

void WizardApp::ShowWarning(const wchar_t* title, const std::wstring& text) {
    MessageBoxW(window, text.c_str(), title, MB_OK | MB_ICONWARNING);
}

void WizardApp::ShowPage() {
    if (page != WizardPage::Login) {
        FinishStartup();
    }
    std::bitset<kControlCount> visible;
    std::bitset<kControlCount> enabled;
    enabled.set();
    const bool busy = Busy();
    const bool showAccount = LoggedIn() && !wifiOnly;
    switch (page) {
        case WizardPage::Login:
            SetWindowTextW(controls[kPageTitleText], L"Log in to add a base to your account.");
            for (ControlIndex i : {kLogoPicture, kPageTitleText, kUsernameField, kPasswordField,
                                   kLoginButton, kSignUpLink, kWifiOnlyButton, kStatusText}) {
                visible.set(i);
            }
            visible.set(kShowPasswordButton,
                        ShowButtonVisible(passwordIsStored, passwordPlaceholder,
                                          GetWindowTextLengthW(controls[kPasswordField])));
            for (ControlIndex i : {kUsernameField, kPasswordField, kShowPasswordButton,
                                   kLoginButton, kSignUpLink, kWifiOnlyButton}) {
                enabled.set(i, !loginBusy);
            }
            break;
        case WizardPage::BaseUnitSelect:
            SetWindowTextW(controls[kPageTitleText], L"Select Base Unit");
            if (showAccount) {
                SetWindowTextW(controls[kAccountLineText],
                               (L"Configuring for: " + account.accountUsername).c_str());
                visible.set(kAccountLineText);
            }
            for (ControlIndex i : {kPageTitleText, kBaseUnitListView, kBackBaseUnitsButton,
                                   kRefreshBaseUnitsButton, kConnectButton, kStatusText}) {
                visible.set(i);
            }
            for (ControlIndex i :
                 {kBaseUnitListView, kBackBaseUnitsButton, kRefreshBaseUnitsButton}) {
                enabled.set(i, !busy);
            }
            enabled.set(kConnectButton, !busy && SelectedRow(controls[kBaseUnitListView]) >= 0);
            break;
        case WizardPage::WifiSelect:
            SetWindowTextW(controls[kPageTitleText], L"Select Wi-Fi Network");
            if (showAccount) {
                SetWindowTextW(controls[kAccountLineText],
                               (L"Configuring for: " + account.accountUsername).c_str());
                visible.set(kAccountLineText);
            }
            SetWindowTextW(controls[kBaseUnitLineText],
                           (L"Base unit: " + selectedBaseUnitName).c_str());
            for (ControlIndex i : {kPageTitleText, kBaseUnitLineText, kWifiListView,
                                   kRefreshWifiButton, kNetworkNameField, kWifiPasswordField,
                                   kConfigureButton, kBackWifiButton, kStatusText}) {
                visible.set(i);
            }
            visible.set(kShowWifiPasswordButton,
                        ShowButtonVisible(wifiPasswordRemembered, wifiPasswordPlaceholder,
                                          GetWindowTextLengthW(controls[kWifiPasswordField])));
            visible.set(kUsernameOnlyButton, showAccount);
            for (ControlIndex i : {kWifiListView, kRefreshWifiButton, kNetworkNameField,
                                   kWifiPasswordField, kShowWifiPasswordButton, kConfigureButton,
                                   kUsernameOnlyButton, kBackWifiButton}) {
                enabled.set(i, !busy);
            }
            break;
        case WizardPage::Result:
            for (ControlIndex i : {kResultHeadingText, kResultMessageText, kFinishButton}) {
                visible.set(i);
            }
            enabled.set(kFinishButton, !busy);
            break;
    }
    for (size_t i = 0; i < kControlCount; ++i) {
        HWND control = controls[i];
        ParkFocusIfLeaving(i, visible.test(i) && enabled.test(i));
        const bool shown = (GetWindowLongPtrW(control, GWL_STYLE) & WS_VISIBLE) != 0;
        if (shown != visible.test(i)) {
            ShowWindow(control, visible.test(i) ? SW_SHOWNA : SW_HIDE);
        }
        if ((IsWindowEnabled(control) != FALSE) != enabled.test(i)) {
            EnableWindow(control, enabled.test(i) ? TRUE : FALSE);
        }
    }
    UpdateProgress();
    RECT client{};
    if (!IsIconic(window) && GetClientRect(window, &client)) {
        LayoutPage(client.right, client.bottom);
    }
    RequestFocusSettle();
}

void WizardApp::UpdatePasswordToggles() {
    const bool account = page == WizardPage::Login &&
                         ShowButtonVisible(passwordIsStored, passwordPlaceholder,
                                           GetWindowTextLengthW(controls[kPasswordField]));
    const bool wifi = page == WizardPage::WifiSelect &&
                      ShowButtonVisible(wifiPasswordRemembered, wifiPasswordPlaceholder,
                                        GetWindowTextLengthW(controls[kWifiPasswordField]));
    ShowWindow(controls[kShowPasswordButton], account ? SW_SHOWNA : SW_HIDE);
    ShowWindow(controls[kShowWifiPasswordButton], wifi ? SW_SHOWNA : SW_HIDE);
    RECT client{};
    if (!IsIconic(window) && GetClientRect(window, &client)) {
        LayoutPage(client.right, client.bottom);
    }
}

void WizardApp::ClearPlaceholderOnFocus(ControlIndex index) {
    HWND field = controls[index];
    if (index == kUsernameField) {
        if (usernamePlaceholder) {
            usernamePlaceholder = false;
            SetWindowTextW(field, L"");
            InvalidateRect(field, nullptr, TRUE);
        }
        return;
    }
    bool& placeholder = index == kPasswordField ? passwordPlaceholder : wifiPasswordPlaceholder;
    bool& revealed = index == kPasswordField ? passwordRevealed : wifiPasswordRevealed;
    if (placeholder) {
        placeholder = false;
        revealed = false;
        SetWindowTextW(field, L"");
        SetPasswordStyle(field, true);
        InvalidateRect(field, nullptr, TRUE);
    }
}

void WizardApp::RestorePlaceholderIfEmpty(ControlIndex index) {
    HWND field = controls[index];
    if (GetWindowTextLengthW(field) != 0) {
        return;
    }
    if (index == kUsernameField) {
        usernamePlaceholder = true;
        SetWindowTextW(field, L"Username");
    } else {
        // Flag first: the text change must not count as a typed password.
        (index == kPasswordField ? passwordPlaceholder : wifiPasswordPlaceholder) = true;
        SetPasswordStyle(field, false);
        SetWindowTextW(field, L"Password");
        UpdatePasswordToggles();
    }
    InvalidateRect(field, nullptr, TRUE);
}

void WizardApp::ResetWifiPasswordField() {
    if (!wifiPasswordPlaceholder) {
        wifiPasswordPlaceholder = true;
        OverwriteFieldText(controls[kWifiPasswordField]);
        SetPasswordStyle(controls[kWifiPasswordField], false);
        SetWindowTextW(controls[kWifiPasswordField], L"Password");
        InvalidateRect(controls[kWifiPasswordField], nullptr, TRUE);
    }
    wifiPasswordRemembered = false;
    wifiPasswordRevealed = false;
}

void WizardApp::ToggleReveal(bool wifi) {
    HWND field = controls[wifi ? kWifiPasswordField : kPasswordField];
    bool& revealed = wifi ? wifiPasswordRevealed : passwordRevealed;
    const bool stored = wifi ? wifiPasswordRemembered : passwordIsStored;
    const bool placeholder = wifi ? wifiPasswordPlaceholder : passwordPlaceholder;
    // A stored password is never shown in plain, whatever reaches this command.
    if (stored || placeholder) {
        return;
    }
    revealed = !revealed;
    SendMessageW(field, EM_SETPASSWORDCHAR, revealed ? 0 : kMaskCharacter, 0);
    InvalidateRect(field, nullptr, TRUE);
}

void WizardApp::OnPasswordChanged(bool wifi) {
    bool& stored = wifi ? wifiPasswordRemembered : passwordIsStored;
    bool& revealed = wifi ? wifiPasswordRevealed : passwordRevealed;
    const bool placeholder = wifi ? wifiPasswordPlaceholder : passwordPlaceholder;
    if (stored && !placeholder &&
        GetWindowTextLengthW(controls[wifi ? kWifiPasswordField : kPasswordField]) == 0) {
        stored = false;
        revealed = false;
    }
    UpdatePasswordToggles();
}

LRESULT CALLBACK WizardApp::StoredPasswordProcedure(HWND field, UINT message, WPARAM wParam,
                                                    LPARAM lParam, UINT_PTR id, DWORD_PTR data) {
    auto* app = reinterpret_cast<WizardApp*>(data);
    bool& stored = id == 2 ? app->wifiPasswordRemembered : app->passwordIsStored;
    bool& revealed = id == 2 ? app->wifiPasswordRevealed : app->passwordRevealed;
    if ((message == WM_COPY || message == WM_CUT) &&
        (stored || SendMessageW(field, EM_GETPASSWORDCHAR, 0, 0) != 0)) {
        return 0;  // masked text never reaches the clipboard
    }
    const bool wasStored = stored;
    if (message == WM_CHAR) {
        DWORD start = 0;
        DWORD end = 0;
        SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        const int length = GetWindowTextLengthW(field);
        if (TypedCharacterReplacesStored(stored, static_cast<unsigned>(wParam),
                                         length > 0 ? static_cast<size_t>(length) : 0, start,
                                         end)) {
            stored = false;
            revealed = false;
        }
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(field, &WizardApp::StoredPasswordProcedure, id);
        return DefSubclassProc(field, message, wParam, lParam);
    }
    const LRESULT result = DefSubclassProc(field, message, wParam, lParam);
    if (wasStored && !stored) {
        // The edit that replaced the stored value left it in the undo buffer, from where Ctrl+Z
        // or the context menu would put it back into a field the show button can reveal.
        SendMessageW(field, EM_EMPTYUNDOBUFFER, 0, 0);
    }
    return result;
}

void WizardApp::OnCommand(int id, int code) {
    switch (id) {
        case control_id::kUsername:
            if (code == EN_SETFOCUS) {
                ClearPlaceholderOnFocus(kUsernameField);
            } else if (code == EN_KILLFOCUS) {
                RestorePlaceholderIfEmpty(kUsernameField);
            }
            return;
        case control_id::kPassword:
        case control_id::kWifiPassword: {
            const bool wifi = id == control_id::kWifiPassword;
            const ControlIndex index = wifi ? kWifiPasswordField : kPasswordField;
            if (code == EN_SETFOCUS) {
                ClearPlaceholderOnFocus(index);
            } else if (code == EN_KILLFOCUS) {
                RestorePlaceholderIfEmpty(index);
            } else if (code == EN_CHANGE) {
                OnPasswordChanged(wifi);
            }
            return;
        }
        default:
            break;
    }
    if (code != BN_CLICKED) {
        return;
    }
    switch (id) {
        case control_id::kLogin:
            StartLogin();
            break;
        case control_id::kWifiOnly:
            StartWifiOnlySetup();
            break;
        case control_id::kSignUp:
            OpenSignUpPage();
            break;
        case control_id::kShowPassword:
            ToggleReveal(false);
            break;
        case control_id::kShowWifiPassword:
            ToggleReveal(true);
            break;
        case control_id::kRefreshBaseUnits:
            StartBaseUnitScan();
            break;
        case control_id::kConnect:
            StartConnect();
            break;
        case control_id::kBackBaseUnits:
            BackToLogin();
            break;
        case control_id::kRefreshWifi:
            StartWifiScan();
            break;
        case control_id::kUsernameOnly:
            StartConfigure(true);
            break;
        case control_id::kConfigure:
            StartConfigure(false);
            break;
        case control_id::kBackWifi:
            BackToBaseUnits();
            break;
        case control_id::kFinish:
            if (lastSendOk) {
                FinishAndRescan();
            } else {
                RetryConfigure();
            }
            break;
        default:
            break;
    }
}

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
    auto request = std::make_unique<LoginRequest>();
    request->app = this;
    request->username = username;
    request->password = password;
    pendingLoginUsername = username;
    WipeSecret(pendingLoginPassword);
    pendingLoginPassword = password;
    WipeSecret(password);
    loginBusy = true;
    ShowPage();
    SetStatus(L"Logging in...");
    if (StartWorker(&LoginWorker, request.get())) {
        request.release();
        return;
    }
    WipeSecret(request->password);
    request.reset();
    WipeSecret(pendingLoginPassword);
    pendingLoginUsername.clear();
    loginBusy = false;
    SetStatus(L"Could not start login request.");
    ShowPage();
}

void WizardApp::StartWifiOnlySetup() {
    if (loginBusy) {
        return;
    }
    WipeSecret(account.token);
    account.accountUsername.clear();
    wifiOnly = true;
    page = WizardPage::BaseUnitSelect;
    ShowPage();
    SetStatus(L"Scanning for nearby base units...");
    StartBaseUnitScan();
}

void WizardApp::StartBaseUnitScan() {
    if ((!wifiOnly && !LoggedIn()) || bleBusy || page != WizardPage::BaseUnitSelect) {
        return;
    }
    auto request = std::make_unique<BleRequest>();
    request->app = this;
    bleBusy = true;
    ShowPage();
    SetStatus(L"Scanning...");
    if (StartWorker(&BaseUnitScanWorker, request.get())) {
        request.release();
        return;
    }
    request.reset();
    bleBusy = false;
    SetStatus(L"Could not start Bluetooth scan.");
    ShowPage();
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
    auto request = std::make_unique<BleRequest>();
    request->app = this;
    request->address = unit.address;
    bleBusy = true;
    ShowPage();
    SetStatus(L"Connecting...");
    if (StartWorker(&ConnectWorker, request.get())) {
        request.release();
        return;
    }
    request.reset();
    bleBusy = false;
    SetStatus(L"Could not start connection.");
    ShowPage();
}

void WizardApp::StartWifiScan() {
    if (page != WizardPage::WifiSelect || wifiScanBusy || sendBusy) {
        return;
    }
    auto request = std::make_unique<BleRequest>();
    request->app = this;
    wifiScanBusy = true;
    ShowPage();
    SetStatus(L"Scanning Wi-Fi...");
    if (StartWorker(&WifiScanWorker, request.get())) {
        request.release();
        return;
    }
    request.reset();
    wifiScanBusy = false;
    SetStatus(L"Could not start Wi-Fi scan.");
    ShowPage();
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
    auto request = std::make_unique<ConfigureRequest>();
    request->app = this;
    request->ssid = ssid;
    request->password = password;
    lastSsid = ssid;
    WipeSecret(lastWifiPassword);
    lastWifiPassword = password;
    WipeSecret(password);
    lastSendUsernameOnly = usernameOnly;
    sendBusy = true;
    ShowPage();
    SetStatus(L"Sending configuration...");
    if (StartWorker(&ConfigureWorker, request.get())) {
        request.release();
        return;
    }
    WipeSecret(request->password);
    request.reset();
    sendBusy = false;
    SetStatus(L"Could not start configuration request.");
    ShowPage();
}

void WizardApp::ClearWifiPage() {
    selectedBaseUnitName.clear();
    wifiNetworks.clear();
    SendMessageW(controls[kWifiListView], LVM_DELETEALLITEMS, 0, 0);
    SetFieldText(kNetworkNameField, L"");
    ResetWifiPasswordField();
    // The password of an attempt that is over has no further use.
    WipeSecret(lastWifiPassword);
}

void WizardApp::RetryConfigure() {
    if (sendBusy) {
        return;
    }
    if (!wifiOnly && !LoggedIn()) {
        backend->Disconnect();
        ClearWifiPage();  // the next account starts with an empty Wi-Fi page
        page = WizardPage::Login;
        ShowPage();
        SetStatus(L"Please log in again before retrying.");
        return;
    }
    page = WizardPage::WifiSelect;
    ShowPage();
    SetFieldText(kNetworkNameField, lastSsid);
    if (!lastWifiPassword.empty()) {
        HWND field = controls[kWifiPasswordField];
        wifiPasswordPlaceholder = false;
        wifiPasswordRemembered = true;
        wifiPasswordRevealed = false;
        SetPasswordStyle(field, true);
        SetWindowTextW(field, lastWifiPassword.c_str());
        SendMessageW(field, EM_EMPTYUNDOBUFFER, 0, 0);
        UpdatePasswordToggles();
    }
    StartConfigure(lastSendUsernameOnly);
}

void WizardApp::FinishAndRescan() {
    if (Busy()) {
        return;
    }
    backend->Disconnect();
    ClearWifiPage();
    page = WizardPage::BaseUnitSelect;
    ShowPage();
    SetStatus(L"Scanning for nearby base units...");
    StartBaseUnitScan();
}

void WizardApp::BackToLogin() {
    if (Busy()) {
        return;
    }
    backend->Disconnect();
    selectedBaseUnitName.clear();
    baseUnits.clear();
    SendMessageW(controls[kBaseUnitListView], LVM_DELETEALLITEMS, 0, 0);
    SetStatus(L"");
    page = WizardPage::Login;
    ShowPage();
    FocusControl(kUsernameField);
}

void WizardApp::BackToBaseUnits() {
    if (Busy()) {
        return;
    }
    backend->Disconnect();
    ClearWifiPage();
    page = WizardPage::BaseUnitSelect;
    ShowPage();
    SetStatus(L"Scanning for nearby base units...");
    StartBaseUnitScan();
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
        page = WizardPage::BaseUnitSelect;
        ShowPage();
        SetStatus(L"Scanning for nearby base units...");
        StartBaseUnitScan();
        return;
    }
    SetStatus(result->errorText.empty() ? L"Log in failed." : result->errorText);
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
        SetStatus(result->errorText.empty() ? L"Bluetooth scan failed." : result->errorText);
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
        SetStatus(result->errorText.empty() ? L"Could not connect to the selected base unit."
                                            : result->errorText);
        selectedBaseUnitName.clear();
    }
    result.reset();
    ShowPage();
}

void WizardApp::ReturnToBaseUnits(const std::wstring& reason) {
    backend->Disconnect();
    ClearWifiPage();
    page = WizardPage::BaseUnitSelect;
    ShowPage();
    SetStatus(reason.empty() ? L"Could not connect to the selected base unit." : reason);
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
        SetStatus(result->errorText.empty()
                      ? L"Wi-Fi scan failed. You can enter the network manually."
                      : result->errorText);
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
                       result->errorText.empty()
                           ? L"The configuration could not be sent. Check the connection and try "
                             L"again."
                           : result->errorText.c_str());
        SetWindowTextW(controls[kFinishButton], L"Retry");
    }
    result.reset();
    page = WizardPage::Result;
    ShowPage();
    AnnounceTextChange(controls[kResultMessageText]);
}
