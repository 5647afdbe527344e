#include <windows.h>

#include "app/dpi_scale.h"
#include "app/wizard_app.h"
#include "wizard/scan_list_views.h"

namespace {

// Segoe UI at the given size for the window's DPI.
HFONT MakeFont(int dpi, int points, int weight) {
    return CreateFontW(-MulDiv(points, dpi, 72), 0, 0, 0, weight, FALSE, FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY,
                       DEFAULT_PITCH, L"Segoe UI");
}

constexpr int kLogoWidth = 440;
constexpr int kLogoHeight = 91;

}  // namespace

void WizardApp::ApplyDpi(int newDpi) {
    dpi = newDpi > 0 ? newDpi : kLayoutDpi;
    // The controls take the new fonts before the old ones are deleted.
    UniqueFont title(MakeFont(dpi, 16, FW_BOLD));
    UniqueFont body(MakeFont(dpi, 10, FW_NORMAL));
    UniqueFont smallText(MakeFont(dpi, 9, FW_NORMAL));
    for (size_t i = 0; i < kControlCount; ++i) {
        const ControlDefinition::Font kind = kControlTable[i].font;
        HFONT font = kind == ControlDefinition::Title   ? title.get()
                     : kind == ControlDefinition::Small ? smallText.get()
                                                        : body.get();
        SendMessageW(controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    }
    titleFont = std::move(title);
    bodyFont = std::move(body);
    smallFont = std::move(smallText);

    RefreshLogo();
    if (startupFinished) {
        LoadRevealIcon();
        RebuildSignalImages();
        SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, ScaleForDpi(360, dpi));
    }
}

void WizardApp::LoadRevealIcon() {
    const int side = ScaleForDpi(20, dpi);
    revealIcon.reset(static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_REVEAL), IMAGE_ICON, side, side, 0)));
}

void WizardApp::FinishStartup() {
    if (startupFinished || !window) {
        return;
    }
    startupFinished = true;
    KillTimer(window, kFinishStartupTimerId);
    SetUpScanListView(controls[kBaseUnitListView], L"Base unit", nullptr);
    SetUpScanListView(controls[kWifiListView], L"Wi-Fi network", nullptr);
    LoadRevealIcon();
    RebuildSignalImages();
    CreateTooltips();
    // Named for screen readers; shown only while a long step runs.
    progressBar = CreateWindowExW(
        0, PROGRESS_CLASSW, L"Working", WS_CHILD | PBS_MARQUEE, 0, 0, 10, 10, window,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id::kProgress)), instance, nullptr);
}

void WizardApp::RefreshLogo() {
    // The artwork is drawn for 96 DPI; elsewhere a smoothly stretched copy is shown.
    UniqueBitmap previous = std::move(shownLogo);
    if (logoBitmap && dpi != kLayoutDpi) {
        shownLogo.reset(StretchedBitmap(logoBitmap.get(), ScaleForDpi(kLogoWidth, dpi),
                                        ScaleForDpi(kLogoHeight, dpi)));
    }
    if (logoBitmap && palette.system) {
        shownLogo.reset(TwoColourCopy(shownLogo ? shownLogo.get() : logoBitmap.get(), palette.text,
                                      palette.background));
    }
    HBITMAP logo = shownLogo ? shownLogo.get() : logoBitmap.get();
    if (logo) {
        SendMessageW(controls[kLogoPicture], STM_SETIMAGE, IMAGE_BITMAP,
                     reinterpret_cast<LPARAM>(logo));
    }
}

void WizardApp::RebuildSignalImages() {
    UniqueImageList images(BuildSignalImageList(dpi, palette.signalOn, palette.signalOff));
    ScaleScanListView(controls[kBaseUnitListView], images.get(), dpi);
    ScaleScanListView(controls[kWifiListView], images.get(), dpi);
    signalImages = std::move(images);
}

void WizardApp::OnDpiChanged(int newDpi, const RECT& suggested) {
    ApplyDpi(newDpi);
    // The suggested rectangle keeps the window's physical size; its WM_SIZE lays the page out.
    SetWindowPos(window, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                 suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    RelayoutClient();
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void WizardApp::ApplyColours() {
    palette = CurrentPalette();
    staticBrush.reset(CreateSolidBrush(palette.background));
    editBrush.reset(CreateSolidBrush(palette.background));
    RefreshLogo();
    if (startupFinished) {
        RebuildSignalImages();
    }
    for (HWND list : {controls[kBaseUnitListView], controls[kWifiListView]}) {
        // Lists keep the colours they were created with unless told.
        SendMessageW(list, LVM_SETBKCOLOR, 0, palette.background);
        SendMessageW(list, LVM_SETTEXTBKCOLOR, 0, palette.background);
        SendMessageW(list, LVM_SETTEXTCOLOR, 0, palette.text);
        SendMessageW(list, WM_SYSCOLORCHANGE, 0, 0);
        SendMessageW(reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0)),
                     WM_SYSCOLORCHANGE, 0, 0);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

int WizardApp::StatusTextHeight(int width) const {
    HWND status = controls[kStatusText];
    const int length = GetWindowTextLengthW(status);
    if (length <= 0 || width <= 0) {
        return 0;
    }
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(status, &text[0], length + 1)));
    ScopedWindowDc dc(status);
    ScopedSelect font(dc.get(), smallFont.get());
    // As the centred static control breaks its lines.
    RECT box{0, 0, width, 0};
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &box,
              DT_CALCRECT | DT_CENTER | DT_WORDBREAK | DT_EXPANDTABS);
    return box.bottom - box.top;
}

void WizardApp::RelayoutClient() {
    RECT client{};
    if (window && !IsIconic(window) && GetClientRect(window, &client)) {
        LayoutPage(client.right - client.left, client.bottom - client.top);
    }
}

void WizardApp::UpdateProgress() {
    if (!progressBar) {
        return;
    }
    const bool moving = (page == WizardPage::BaseUnitSelect && bleBusy) ||
                        (page == WizardPage::WifiSelect && (wifiScanBusy || sendBusy));
    const bool shown = (GetWindowLongPtrW(progressBar, GWL_STYLE) & WS_VISIBLE) != 0;
    if (moving != shown) {
        SendMessageW(progressBar, PBM_SETMARQUEE, moving ? TRUE : FALSE, 30);
        ShowWindow(progressBar, moving ? SW_SHOWNA : SW_HIDE);
    }
}
