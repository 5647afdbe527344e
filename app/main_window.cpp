#include <windows.h>
#include <windowsx.h>

#include "app/accessible_names.h"
#include "app/dpi_scale.h"
#include "app/wizard_app.h"
#include "wizard/scan_list_views.h"

namespace {

constexpr DWORD kListStyles = WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                              LVS_NOSORTHEADER | LVS_SHAREIMAGELISTS;
constexpr DWORD kOwnerDrawn = WS_TABSTOP | BS_OWNERDRAW;
constexpr DWORD kField = WS_TABSTOP | ES_AUTOHSCROLL;

bool IsOwnerDrawnButton(int id) {
    switch (id) {
        case control_id::kShowPassword:
        case control_id::kWifiOnly:
        case control_id::kSignUp:
        case control_id::kRefreshBaseUnits:
        case control_id::kConnect:
        case control_id::kBackBaseUnits:
        case control_id::kRefreshWifi:
        case control_id::kShowWifiPassword:
        case control_id::kUsernameOnly:
        case control_id::kConfigure:
        case control_id::kBackWifi:
        case control_id::kFinish:
            return true;
        default:
            return false;
    }
}

void FillWith(HDC dc, const RECT& rect, COLORREF colour) {
    UniqueBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.get());
}

void FrameWith(HDC dc, const RECT& rect, COLORREF colour) {
    UniqueBrush brush(CreateSolidBrush(colour));
    FrameRect(dc, &rect, brush.get());
}

}  // namespace

const std::array<ControlDefinition, kControlCount> kControlTable = {{
    {control_id::kLogo, L"STATIC", SS_BITMAP | SS_CENTERIMAGE, 0, L"", ControlDefinition::Body,
     nullptr},
    {control_id::kPageTitle, L"STATIC", SS_CENTER, 0, L"", ControlDefinition::Title, nullptr},
    {control_id::kUsername, L"EDIT", kField, WS_EX_CLIENTEDGE, L"", ControlDefinition::Body,
     L"Enter your Tervane account username."},
    {control_id::kPassword, L"EDIT", kField, WS_EX_CLIENTEDGE, L"", ControlDefinition::Body,
     L"Enter your Tervane account password."},
    {control_id::kShowPassword, L"BUTTON", kOwnerDrawn, 0, L"Show password",
     ControlDefinition::Body, L"Show or hide the account password."},
    {control_id::kLogin, L"BUTTON", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, L"Log in",
     ControlDefinition::Body, L"Log in to configure a base unit for your account."},
    {control_id::kWifiOnly, L"BUTTON", kOwnerDrawn, 0, L"Setup wifi network only",
     ControlDefinition::Body, L"Configure Wi-Fi without adding the base unit to an account."},
    // The sign-up tip is the page's address, known only at run time.
    {control_id::kSignUp, L"BUTTON", kOwnerDrawn, 0, L"Don't have an account? Create one.",
     ControlDefinition::Body, nullptr},
    {control_id::kAccountLine, L"STATIC", SS_CENTER, 0, L"", ControlDefinition::Small, nullptr},
    {control_id::kBaseUnitList, WC_LISTVIEWW, kListStyles, WS_EX_CLIENTEDGE, L"",
     ControlDefinition::Body, L"Select a nearby Tervane base unit."},
    {control_id::kRefreshBaseUnits, L"BUTTON", kOwnerDrawn, 0, L"Refresh", ControlDefinition::Body,
     L"Scan again for nearby Tervane base units."},
    {control_id::kConnect, L"BUTTON", kOwnerDrawn, 0, L"Connect", ControlDefinition::Body,
     L"Connect to the selected base unit."},
    {control_id::kBackBaseUnits, L"BUTTON", kOwnerDrawn, 0, L"Back", ControlDefinition::Body,
     L"Return to the login screen."},
    {control_id::kBaseUnitLine, L"STATIC", SS_CENTER, 0, L"", ControlDefinition::Small, nullptr},
    {control_id::kWifiList, WC_LISTVIEWW, kListStyles, WS_EX_CLIENTEDGE, L"",
     ControlDefinition::Body, L"Select the Wi-Fi network the base unit should use."},
    {control_id::kRefreshWifi, L"BUTTON", kOwnerDrawn, 0, L"Refresh", ControlDefinition::Body,
     L"Scan again for Wi-Fi networks."},
    // Typed input is allowed, so a hidden network can be entered by hand.
    {control_id::kNetworkName, L"EDIT", kField, WS_EX_CLIENTEDGE, L"", ControlDefinition::Body,
     L"The selected Wi-Fi network name."},
    {control_id::kWifiPassword, L"EDIT", kField, WS_EX_CLIENTEDGE, L"", ControlDefinition::Body,
     L"Enter the password for the selected Wi-Fi network."},
    {control_id::kShowWifiPassword, L"BUTTON", kOwnerDrawn, 0, L"Show Wi-Fi password",
     ControlDefinition::Body, L"Show or hide the Wi-Fi password."},
    {control_id::kUsernameOnly, L"BUTTON", kOwnerDrawn, 0, L"Username only",
     ControlDefinition::Body, L"Update the account username without changing Wi-Fi settings."},
    {control_id::kConfigure, L"BUTTON", kOwnerDrawn, 0, L"Configure", ControlDefinition::Body,
     L"Send these Wi-Fi settings to the base unit."},
    {control_id::kBackWifi, L"BUTTON", kOwnerDrawn, 0, L"Back", ControlDefinition::Body,
     L"Return to the base unit selection screen."},
    {control_id::kResultHeading, L"STATIC", SS_CENTER, 0, L"", ControlDefinition::Title, nullptr},
    {control_id::kResultMessage, L"STATIC", SS_CENTER, 0, L"", ControlDefinition::Body, nullptr},
    {control_id::kFinish, L"BUTTON", kOwnerDrawn, 0, L"Finish", ControlDefinition::Body,
     L"Continue."},
    {control_id::kStatus, L"STATIC", SS_CENTER, 0, L"", ControlDefinition::Small, nullptr},
}};

bool WizardApp::CreateControls() {
    logoBitmap.reset(static_cast<HBITMAP>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));

    for (size_t i = 0; i < kControlCount; ++i) {
        const ControlDefinition& entry = kControlTable[i];
        controls[i] = CreateWindowExW(
            entry.extendedStyle, entry.className, entry.text, WS_CHILD | entry.styles, 0, 0, 10, 10,
            window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(entry.id)), instance, nullptr);
        if (!controls[i]) {
            return false;
        }
        AttachAccessibleName(controls[i], entry.id);
    }
    // Keyboard users see where the focus is from the start, not only after their first key.
    SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);

    SetWindowSubclass(controls[kPasswordField], &WizardApp::StoredPasswordProcedure, 1,
                      reinterpret_cast<DWORD_PTR>(this));
    SetWindowSubclass(controls[kWifiPasswordField], &WizardApp::StoredPasswordProcedure, 2,
                      reinterpret_cast<DWORD_PTR>(this));

    usernamePlaceholder = passwordPlaceholder = wifiPasswordPlaceholder = true;
    SetWindowTextW(controls[kUsernameField], L"Username");
    SetWindowTextW(controls[kPasswordField], L"Password");
    SetWindowTextW(controls[kWifiPasswordField], L"Password");

    palette = CurrentPalette();
    staticBrush.reset(CreateSolidBrush(palette.background));
    editBrush.reset(CreateSolidBrush(palette.background));
    // Fonts and logo for the monitor the window opens on; what the first page does not show
    // comes after the first paint (FinishStartup).
    ApplyDpi(WindowDpi(window));

    for (size_t i = 0; i < kControlCount; ++i) {
        if (IsOwnerDrawnButton(kControlTable[i].id)) {
            SetWindowSubclass(controls[i], &WizardApp::HoverProcedure, 1,
                              reinterpret_cast<DWORD_PTR>(this));
        }
    }

    if (HMENU systemMenu = GetSystemMenu(window, FALSE)) {
        AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(systemMenu, MF_STRING, IDM_CHECK_FOR_UPDATES, L"Check for updates...");
    }
    return true;
}

void WizardApp::CreateTooltips() {
    tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, instance, nullptr);
    if (!tooltip) {
        return;
    }
    SetWindowPos(tooltip, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, ScaleForDpi(360, dpi));
    const std::wstring signUpTip = webOrigin + L"/signup";
    for (size_t i = 0; i < kControlCount; ++i) {
        const wchar_t* text = kControlTable[i].id == control_id::kSignUp ? signUpTip.c_str()
                                                                         : kControlTable[i].tooltip;
        if (!text || !controls[i]) {
            continue;
        }
        TTTOOLINFOW tool{};
        tool.cbSize = sizeof(tool);
        tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        tool.hwnd = window;
        tool.uId = reinterpret_cast<UINT_PTR>(controls[i]);
        tool.lpszText = const_cast<wchar_t*>(text);
        SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    }
}

void WizardApp::LayoutPage(int clientWidth, int clientHeight) {
    PageGeometryInput input;
    input.clientWidth = clientWidth;
    input.clientHeight = clientHeight;
    // The style bit, not IsWindowVisible: the page is laid out before the window first shows.
    input.showPasswordButtonVisible =
        (GetWindowLongPtrW(controls[kShowPasswordButton], GWL_STYLE) & WS_VISIBLE) != 0;
    input.showWifiPasswordButtonVisible =
        (GetWindowLongPtrW(controls[kShowWifiPasswordButton], GWL_STYLE) & WS_VISIBLE) != 0;
    if (GetWindowTextLengthW(controls[kStatusText]) > 0) {
        input.statusTextHeight = [this](int width) { return StatusTextHeight(width); };
    }
    for (const ControlPlacement& placement : ComputeScaledPageGeometry(page, input, dpi)) {
        HWND control = placement.controlId == control_id::kProgress
                           ? progressBar
                           : ControlById(placement.controlId);
        if (!control) {
            continue;
        }
        const ControlRect& r = placement.rect;
        RECT now{};
        GetWindowRect(control, &now);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&now), 2);
        // A control already in place is left alone: status changes lay the page out again.
        if (now.left != r.x || now.top != r.y || now.right - now.left != r.width ||
            now.bottom - now.top != r.height) {
            MoveWindow(control, r.x, r.y, r.width, r.height, TRUE);
            // The bits the move carries along may show a text drawn for the old size.
            InvalidateRect(control, nullptr, TRUE);
        }
    }
}

LRESULT WizardApp::OnControlColour(UINT message, HDC dc, HWND control) {
    if (message == WM_CTLCOLOREDIT) {
        const bool placeholder =
            (control == controls[kUsernameField] && usernamePlaceholder) ||
            (control == controls[kPasswordField] && passwordPlaceholder) ||
            (control == controls[kWifiPasswordField] && wifiPasswordPlaceholder);
        SetBkColor(dc, palette.background);
        SetTextColor(dc, placeholder ? palette.placeholderText : palette.text);
        return reinterpret_cast<LRESULT>(editBrush.get());
    }
    const bool grey = control == controls[kAccountLineText] ||
                      control == controls[kBaseUnitLineText] || control == controls[kStatusText] ||
                      control == controls[kResultMessageText];
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, grey ? palette.secondaryText : palette.text);
    return reinterpret_cast<LRESULT>(staticBrush.get());
}

void WizardApp::DrawFilledButton(const DRAWITEMSTRUCT& item, COLORREF fill, COLORREF textColour,
                                 const wchar_t* text, int focusInset, bool frame) {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    FillWith(dc, rect, fill);
    if (frame) {
        FrameWith(dc, rect, palette.buttonFrame);
    }
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, textColour);
    {
        ScopedSelect font(dc, bodyFont.get());
        DrawTextW(dc, text, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    if (item.itemState & ODS_FOCUS) {
        RECT focus = rect;
        InflateRect(&focus, -focusInset, -focusInset);
        DrawFocusRect(dc, &focus);
    }
}

void WizardApp::DrawSignUpLink(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    const RECT& rect = item.rcItem;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool hovered = item.hwndItem == hoveredButton;
    if (hovered && !disabled) {
        FillWith(dc, rect, palette.linkHoverFill);
    } else {
        FillRect(dc, &rect, staticBrush.get());
    }
    LOGFONTW logical{};
    GetObjectW(bodyFont.get(), sizeof(logical), &logical);
    logical.lfUnderline = TRUE;
    UniqueFont underlined(CreateFontIndirectW(&logical));

    static const wchar_t kLead[] = L"Don't have an account? ";
    static const wchar_t kLink[] = L"Create one.";
    SIZE leadSize{};
    SIZE linkSize{};
    TEXTMETRICW metrics{};
    {
        ScopedSelect font(dc, bodyFont.get());
        GetTextExtentPoint32W(dc, kLead, static_cast<int>(wcslen(kLead)), &leadSize);
    }
    {
        ScopedSelect font(dc, underlined.get());
        GetTextExtentPoint32W(dc, kLink, static_cast<int>(wcslen(kLink)), &linkSize);
        GetTextMetricsW(dc, &metrics);
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int x = rect.left + (width - leadSize.cx - linkSize.cx) / 2;
    const int y = rect.top + (height - metrics.tmHeight) / 2;
    SetBkMode(dc, TRANSPARENT);
    {
        ScopedSelect font(dc, bodyFont.get());
        SetTextColor(dc, disabled ? palette.disabledText : palette.text);
        TextOutW(dc, x, y, kLead, static_cast<int>(wcslen(kLead)));
    }
    {
        ScopedSelect font(dc, underlined.get());
        SetTextColor(dc, disabled  ? palette.disabledText
                         : hovered ? palette.linkHoverText
                                   : palette.linkText);
        TextOutW(dc, x + leadSize.cx, y, kLink, static_cast<int>(wcslen(kLink)));
    }
    if (item.itemState & ODS_FOCUS) {
        RECT focus = rect;
        InflateRect(&focus, -2, -2);
        DrawFocusRect(dc, &focus);
    }
}

void WizardApp::DrawRevealButton(const DRAWITEMSTRUCT& item) {
    HDC dc = item.hDC;
    RECT rect = item.rcItem;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool hovered = item.hwndItem == hoveredButton;
    FillWith(dc, rect,
             pressed   ? palette.buttonPressedFill
             : hovered ? palette.buttonHoverFill
                       : palette.background);
    FrameWith(dc, rect, palette.buttonFrame);
    if (revealIcon) {
        const int side = ScaleForDpi(20, dpi);
        const int x = rect.left + (rect.right - rect.left - side) / 2;
        const int y = rect.top + (rect.bottom - rect.top - side) / 2;
        DrawIconEx(dc, x, y, revealIcon.get(), side, side, 0, nullptr, DI_NORMAL);
    }
    if (item.itemState & ODS_FOCUS) {
        InflateRect(&rect, -2, -2);
        DrawFocusRect(dc, &rect);
    }
}

LRESULT WizardApp::OnDrawItem(const DRAWITEMSTRUCT& item) {
    const int id = static_cast<int>(item.CtlID);
    if (item.CtlType != ODT_BUTTON || !IsOwnerDrawnButton(id)) {
        return DefWindowProcW(window, WM_DRAWITEM, item.CtlID, reinterpret_cast<LPARAM>(&item));
    }
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    const bool pressed = (item.itemState & ODS_SELECTED) != 0;
    const bool hovered = item.hwndItem == hoveredButton;
    if (id == control_id::kWifiOnly) {
        const COLORREF fill = disabled  ? palette.accentDisabledFill
                              : pressed ? palette.accentPressedFill
                              : hovered ? palette.accentHoverFill
                                        : palette.accentFill;
        // White on the dark fill; in a high-contrast theme it is an ordinary framed button.
        COLORREF text = palette.accentText;
        if (palette.system) {
            text = disabled               ? palette.disabledText
                   : (pressed || hovered) ? palette.buttonHotText
                                          : palette.accentText;
        }
        DrawFilledButton(item, fill, text, L"Setup wifi network only", 0, palette.system);
    } else if (id == control_id::kSignUp) {
        DrawSignUpLink(item);
    } else if (id == control_id::kShowPassword || id == control_id::kShowWifiPassword) {
        DrawRevealButton(item);
    } else {
        wchar_t text[128] = {};
        GetWindowTextW(item.hwndItem, text, 128);
        const COLORREF fill = disabled  ? palette.buttonDisabledFill
                              : pressed ? palette.buttonPressedFill
                              : hovered ? palette.buttonHoverFill
                                        : palette.buttonFill;
        const COLORREF colour = disabled               ? palette.disabledText
                                : (pressed || hovered) ? palette.buttonHotText
                                                       : palette.buttonText;
        DrawFilledButton(item, fill, colour, text, 3, true);
    }
    return TRUE;
}

LRESULT CALLBACK WizardApp::HoverProcedure(HWND button, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR data) {
    auto* app = reinterpret_cast<WizardApp*>(data);
    switch (message) {
        case WM_MOUSEMOVE:
            if (app->hoveredButton != button) {
                HWND previous = app->hoveredButton;
                app->hoveredButton = button;
                if (previous) {
                    InvalidateRect(previous, nullptr, TRUE);
                }
                InvalidateRect(button, nullptr, TRUE);
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, button, 0};
                TrackMouseEvent(&track);
            }
            break;
        case WM_MOUSELEAVE:
            if (app->hoveredButton == button) {
                app->hoveredButton = nullptr;
                InvalidateRect(button, nullptr, TRUE);
            }
            break;
        case WM_NCDESTROY:
            if (app->hoveredButton == button) {
                app->hoveredButton = nullptr;
            }
            RemoveWindowSubclass(button, &WizardApp::HoverProcedure, id);
            break;
        default:
            break;
    }
    return DefSubclassProc(button, message, wParam, lParam);
}

LRESULT WizardApp::OnNotify(const NMHDR& header) {
    const int id = static_cast<int>(header.idFrom);
    if (id != control_id::kBaseUnitList && id != control_id::kWifiList) {
        return DefWindowProcW(window, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
    }
    if (header.code == NM_CUSTOMDRAW) {
        return OnScanListCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)),
                                    palette.system, palette.text, palette.background);
    }
    if (id == control_id::kBaseUnitList) {
        if (header.code == LVN_ITEMCHANGED) {
            ShowPage();
        } else if (header.code == NM_DBLCLK) {
            StartConnect();
        }
        return 0;
    }
    // Arrow keys browse the list: only a row that becomes selected names the network, and only
    // a click on a row moves on to the password.
    if (header.code == LVN_ITEMCHANGED) {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        const bool newlySelected = (change.uChanged & LVIF_STATE) &&
                                   (change.uNewState & LVIS_SELECTED) &&
                                   !(change.uOldState & LVIS_SELECTED);
        if (newlySelected && change.iItem >= 0 &&
            static_cast<size_t>(change.iItem) < wifiNetworks.size()) {
            SetFieldText(kNetworkNameField, wifiNetworks[static_cast<size_t>(change.iItem)].ssid);
        }
    } else if (header.code == NM_CLICK || header.code == NM_DBLCLK) {
        const int row = reinterpret_cast<const NMITEMACTIVATE&>(header).iItem;
        if (row >= 0 && static_cast<size_t>(row) < wifiNetworks.size()) {
            FocusControl(kWifiPasswordField);
        }
    }
    return 0;
}
