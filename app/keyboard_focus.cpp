#include "app/keyboard_focus.h"

#include "app/wizard_app.h"
#include "wizard/scan_list_views.h"

namespace {

bool Usable(HWND control) {
    return control && IsWindow(control) && IsWindowVisible(control) && IsWindowEnabled(control);
}

}  // namespace

void FocusKeeper::Park(HWND frame, HWND control) {
    remembered_ = control;
    SetFocus(frame);
}

void FocusKeeper::Settle(HWND frame, HWND first, bool busy) {
    // A control has the focus (leave it there), or the window is inactive (activation settles).
    if (GetFocus() != frame || busy) {
        return;
    }
    HWND target = Usable(remembered_) ? remembered_ : first;
    remembered_ = nullptr;
    if (Usable(target)) {
        SetFocus(target);
    }
}

bool FocusKeeper::OnActivate(HWND frame, WPARAM wParam, HWND first, bool busy) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(frame, focus)) {
            remembered_ = focus;
        }
        return false;
    }
    SetFocus(frame);
    if (HIWORD(wParam) == 0) {
        Settle(frame, first, busy);  // else restoring from the icon settles (WM_SIZE)
    }
    return true;
}

HWND WizardApp::FirstFocus() const {
    auto empty = [this](ControlIndex field, bool placeholder) {
        return placeholder || GetWindowTextLengthW(controls[field]) == 0;
    };
    switch (page) {
        case WizardPage::Login:
            if (empty(kUsernameField, usernamePlaceholder)) {
                return controls[kUsernameField];
            }
            // A stored password is used as it is: Return logs in.
            return passwordIsStored && !passwordPlaceholder ? controls[kLoginButton]
                                                            : controls[kPasswordField];
        case WizardPage::BaseUnitSelect:
            return SendMessageW(controls[kBaseUnitListView], LVM_GETITEMCOUNT, 0, 0) > 0
                       ? controls[kBaseUnitListView]
                       : controls[kRefreshBaseUnitsButton];
        case WizardPage::WifiSelect:
            if (!empty(kNetworkNameField, false)) {
                return controls[kWifiPasswordField];
            }
            return SendMessageW(controls[kWifiListView], LVM_GETITEMCOUNT, 0, 0) > 0
                       ? controls[kWifiListView]
                       : controls[kNetworkNameField];
        case WizardPage::Result:
            return controls[kFinishButton];
    }
    return nullptr;
}

bool WizardApp::ReturnOnFocusedControl() {
    HWND focus = GetFocus();
    for (size_t i = 0; i < kControlCount; ++i) {
        if (controls[i] != focus || !IsWindowVisible(focus) || !IsWindowEnabled(focus)) {
            continue;
        }
        if (wcscmp(kControlTable[i].className, L"BUTTON") == 0) {
            OnCommand(kControlTable[i].id, BN_CLICKED);
            return true;
        }
        // Return on a chosen network moves on to its password, as a click on the row does.
        const int row = SelectedRow(focus);
        if (i == kWifiListView && row >= 0 && static_cast<size_t>(row) < wifiNetworks.size()) {
            FocusControl(kWifiPasswordField);
            return true;
        }
        return false;
    }
    return false;
}

void WizardApp::ParkFocusIfLeaving(size_t index, bool staysUsable) {
    if (!staysUsable && controls[index] == GetFocus()) {
        focusKeeper.Park(window, controls[index]);
    }
}

void WizardApp::RequestFocusSettle() {
    if (!focusSettlePending && window) {
        focusSettlePending = PostMessageW(window, WM_APP_SETTLE_FOCUS, 0, 0) != FALSE;
    }
}

void WizardApp::SettleFocus() {
    focusSettlePending = false;
    focusKeeper.Settle(window, FirstFocus(), Busy());
}
