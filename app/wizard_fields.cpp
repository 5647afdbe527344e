// The text fields of the pages: their text, placeholders and the masked password fields.

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
