// Which controls each page shows, the commands they send, and the moves between pages.

#include <windows.h>
#include <shellapi.h>

#include <bitset>
#include <initializer_list>

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
    auto show = [&visible](std::initializer_list<ControlIndex> indexes) {
        for (ControlIndex i : indexes) {
            visible.set(i);
        }
    };
    auto enable = [&enabled](std::initializer_list<ControlIndex> indexes, bool on) {
        for (ControlIndex i : indexes) {
            enabled.set(i, on);
        }
    };
    auto showTitle = [&](const wchar_t* title) {
        SetWindowTextW(controls[kPageTitleText], title);
        if (showAccount) {
            SetWindowTextW(controls[kAccountLineText],
                           (L"Configuring for: " + account.accountUsername).c_str());
            visible.set(kAccountLineText);
        }
    };
    switch (page) {
        case WizardPage::Login:
            SetWindowTextW(controls[kPageTitleText], L"Log in to add a base to your account.");
            show({kLogoPicture, kPageTitleText, kUsernameField, kPasswordField, kLoginButton,
                  kSignUpLink, kWifiOnlyButton, kStatusText});
            visible.set(kShowPasswordButton,
                        ShowButtonVisible(passwordIsStored, passwordPlaceholder,
                                          GetWindowTextLengthW(controls[kPasswordField])));
            enable({kUsernameField, kPasswordField, kShowPasswordButton, kLoginButton, kSignUpLink,
                    kWifiOnlyButton},
                   !loginBusy);
            break;
        case WizardPage::BaseUnitSelect:
            showTitle(L"Select Base Unit");
            show({kPageTitleText, kBaseUnitListView, kBackBaseUnitsButton, kRefreshBaseUnitsButton,
                  kConnectButton, kStatusText});
            enable({kBaseUnitListView, kBackBaseUnitsButton, kRefreshBaseUnitsButton}, !busy);
            enabled.set(kConnectButton, !busy && SelectedRow(controls[kBaseUnitListView]) >= 0);
            break;
        case WizardPage::WifiSelect:
            showTitle(L"Select Wi-Fi Network");
            SetWindowTextW(controls[kBaseUnitLineText],
                           (L"Base unit: " + selectedBaseUnitName).c_str());
            show({kPageTitleText, kBaseUnitLineText, kWifiListView, kRefreshWifiButton,
                  kNetworkNameField, kWifiPasswordField, kConfigureButton, kBackWifiButton,
                  kStatusText});
            visible.set(kShowWifiPasswordButton,
                        ShowButtonVisible(wifiPasswordRemembered, wifiPasswordPlaceholder,
                                          GetWindowTextLengthW(controls[kWifiPasswordField])));
            visible.set(kUsernameOnlyButton, showAccount);
            enable(
                {kWifiListView, kRefreshWifiButton, kNetworkNameField, kWifiPasswordField,
                 kShowWifiPasswordButton, kConfigureButton, kUsernameOnlyButton, kBackWifiButton},
                !busy);
            break;
        case WizardPage::Result:
            show({kResultHeadingText, kResultMessageText, kFinishButton});
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
    static const struct {
        int id;
        void (*run)(WizardApp& app);
    } kButtonActions[] = {
        {control_id::kLogin, [](WizardApp& app) { app.StartLogin(); }},
        {control_id::kWifiOnly, [](WizardApp& app) { app.StartWifiOnlySetup(); }},
        {control_id::kSignUp, [](WizardApp& app) { app.OpenSignUpPage(); }},
        {control_id::kShowPassword, [](WizardApp& app) { app.ToggleReveal(false); }},
        {control_id::kShowWifiPassword, [](WizardApp& app) { app.ToggleReveal(true); }},
        {control_id::kRefreshBaseUnits, [](WizardApp& app) { app.StartBaseUnitScan(); }},
        {control_id::kConnect, [](WizardApp& app) { app.StartConnect(); }},
        {control_id::kBackBaseUnits, [](WizardApp& app) { app.BackToLogin(); }},
        {control_id::kRefreshWifi, [](WizardApp& app) { app.StartWifiScan(); }},
        {control_id::kUsernameOnly, [](WizardApp& app) { app.StartConfigure(true); }},
        {control_id::kConfigure, [](WizardApp& app) { app.StartConfigure(false); }},
        {control_id::kBackWifi, [](WizardApp& app) { app.BackToBaseUnits(); }},
        {control_id::kFinish, [](WizardApp& app) { app.FinishOrRetry(); }},
    };
    for (const auto& button : kButtonActions) {
        if (button.id == id) {
            button.run(*this);
            return;
        }
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

void WizardApp::FinishOrRetry() {
    if (lastSendOk) {
        BackToBaseUnits();
    } else {
        RetryConfigure();
    }
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
    ScanOnBaseUnitPage();
}

void WizardApp::ScanOnBaseUnitPage() {
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
    SetStatus(ErrorOr(reason, L"Could not connect to the selected base unit."));
}
