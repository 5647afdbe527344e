// Which controls each page shows, the commands they send, and the moves between pages.

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

void WizardApp::ReturnToBaseUnits(const std::wstring& reason) {
    backend->Disconnect();
    ClearWifiPage();
    page = WizardPage::BaseUnitSelect;
    ShowPage();
    SetStatus(reason.empty() ? L"Could not connect to the selected base unit." : reason);
}
