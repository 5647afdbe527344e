#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "ble/flat_text.h"

#include "tests/app/window_harness.h"
#include "tools/demo/screen_pixels.h"
#include "wizard/scaled_geometry.h"

// The window tests switch the theme here, since Wine never reports a high-contrast theme.
namespace {
bool forcedHighContrast = false;
}
bool HighContrastOn() {
    return forcedHighContrast;
}

namespace {

RECT ClientOnScreen(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class WindowDisplayTest : public WindowTest {
protected:
    int Dpi() { return w->app().dpi; }
    LONG FontHeightOf(ControlIndex control) {
        LOGFONTW font{};
        GetObjectW(
            reinterpret_cast<HFONT>(SendMessageW(w->app().Control(control), WM_GETFONT, 0, 0)),
            sizeof(font), &font);
        return font.lfHeight;
    }
    void ExpectArtworkAt(int dpi);
};

struct ArtworkCase {
    int dpi;
    LONG bodyFont;  // -MulDiv(10 pt, dpi, 72)
    LONG titleFont;
    SIZE logo;
    int signalSide;
};

// Sizes stated per scale, not computed by the program's own helpers.
const ArtworkCase kArtwork[] = {
    {96, -13, -21, {440, 91}, 24},
    {144, -20, -32, {660, 137}, 36},
    {192, -27, -43, {880, 182}, 48},
};

void WindowDisplayTest::ExpectArtworkAt(int dpi) {
    const auto sizes = std::find_if(std::begin(kArtwork), std::end(kArtwork),
                                    [dpi](const ArtworkCase& c) { return c.dpi == dpi; });
    ASSERT_NE(sizes, std::end(kArtwork)) << "no sizes stated for " << dpi << " DPI";
    EXPECT_EQ(FontHeightOf(kUsernameField), sizes->bodyFont);
    EXPECT_EQ(FontHeightOf(kPageTitleText), sizes->titleFont);
    BITMAP logo{};
    GetObjectW(reinterpret_cast<HBITMAP>(
                   SendMessageW(w->app().Control(kLogoPicture), STM_GETIMAGE, IMAGE_BITMAP, 0)),
               sizeof(logo), &logo);
    EXPECT_EQ(logo.bmWidth, sizes->logo.cx);
    EXPECT_EQ(logo.bmHeight, sizes->logo.cy);
    int cx = 0, cy = 0;
    ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(
                              w->app().Control(kWifiListView), LVM_GETIMAGELIST, LVSIL_SMALL, 0)),
                          &cx, &cy);
    EXPECT_EQ(cy, sizes->signalSide);
}

TEST_F(WindowDisplayTest, FontsLogoAndSignalImagesFollowTheDisplayScale) {
    Open();
    if (const char* expected = std::getenv("TERVANE_DISPLAY_DPI")) {
        ASSERT_EQ(Dpi(), std::atoi(expected)) << "the prefix's display scale did not take";
    }
    ExpectArtworkAt(Dpi());
}

TEST_F(WindowDisplayTest, MoveToAMonitorOfAnotherScaleRedrawsAtItsDpiAndKeepsTheSavedSize) {
    Open();
    const int to = Dpi() == 192 ? 96 : 192;
    RECT before{};
    GetWindowRect(w->app().window, &before);
    RECT suggested{before.left, before.top, before.left + ScaleForDpi(600, to),
                   before.top + ScaleForDpi(640, to)};
    SendMessageW(w->app().window, WM_DPICHANGED, MAKEWPARAM(to, to),
                 reinterpret_cast<LPARAM>(&suggested));
    w->Pump();
    RECT after{};
    GetWindowRect(w->app().window, &after);
    EXPECT_EQ(after.right - after.left, suggested.right - suggested.left);
    EXPECT_EQ(after.bottom - after.top, suggested.bottom - suggested.top);
    ExpectArtworkAt(to);
    EXPECT_EQ(w->ClientRectOf(kUsernameField).width, ScaleForDpi(330, to));
    ASSERT_TRUE(w->Close());
    EXPECT_EQ(SavedPlacement()[0], 600u);
}

TEST_F(WindowDisplayTest, HighContrastThemePaintsEveryPageInTheThemesColours) {
    // The colours of a black high-contrast theme.
    const int elements[] = {COLOR_WINDOW,    COLOR_WINDOWTEXT,    COLOR_BTNFACE,  COLOR_BTNTEXT,
                            COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT, COLOR_GRAYTEXT, COLOR_HOTLIGHT};
    const COLORREF theme[] = {RGB(0, 0, 0),       RGB(255, 255, 255), RGB(0, 0, 0),
                              RGB(255, 255, 255), RGB(26, 235, 255),  RGB(0, 0, 0),
                              RGB(63, 242, 63),   RGB(255, 255, 0)};
    COLORREF saved[8];
    for (int i = 0; i < 8; ++i) {
        saved[i] = GetSysColor(elements[i]);
    }
    Open();
    SetSysColors(8, elements, theme);
    forcedHighContrast = true;
    SendMessageW(w->app().window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    w->Pump(200);
    // Spots of plain fill: the window's, an edit field's, and two owner-drawn buttons'.
    const RECT client = ClientOnScreen(w->app().window);
    const ScreenPixels shot = ScreenPixels::Capture(client);
    const ControlRect field = w->ClientRectOf(kUsernameField);
    const ControlRect wifiOnly = w->ClientRectOf(kWifiOnlyButton);
    EXPECT_EQ(shot.At(4, 4), theme[0]);
    EXPECT_EQ(shot.At(field.x + field.width - 6, field.y + field.height / 2), theme[0]);
    EXPECT_EQ(shot.At(wifiOnly.x + 4, wifiOnly.y + 4), theme[2]);
    EXPECT_EQ(shot.At(wifiOnly.x, wifiOnly.y + wifiOnly.height / 2), theme[3]);  // its frame
    ReachWifi(*w);
    SendNetwork(*w, 0, L"home-pass");
    const ControlRect back = w->ClientRectOf(kFinishButton);
    EXPECT_EQ(ScreenPixels::Capture(client).At(back.x + 4, back.y + 4), theme[2]);

    forcedHighContrast = false;
    SetSysColors(8, elements, saved);
    SendMessageW(w->app().window, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    w->Pump(200);
    EXPECT_EQ(ScreenPixels::Capture(client).At(back.x + 4, back.y + 4), RGB(235, 235, 235));
}

// Room for long sentences, clear of the other controls, is computed with the layout; here,
// that the line gets it for the sentence as the window measures it.
TEST_F(WindowDisplayTest, LongStatusSentenceShowsWholeAtTheSmallestWindow) {
    const std::wstring sentence = HresultSentence(ble_text::kNotificationsNotEnabled, 0x80070490u);
    Open();
    LogInAndReachBaseUnits(*w);
    SetWindowPos(w->app().window, nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER);
    w->app().SetStatus(sentence);
    w->Pump(5);
    HWND line = w->app().Control(kStatusText);
    const ControlRect r = w->ClientRectOf(kStatusText);
    HDC dc = GetDC(line);
    SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(line, WM_GETFONT, 0, 0)));
    RECT needed{0, 0, r.width, 0};
    DrawTextW(dc, sentence.c_str(), -1, &needed, DT_CALCRECT | DT_CENTER | DT_WORDBREAK);
    ReleaseDC(line, dc);
    EXPECT_LE(needed.bottom, r.height);
}

}  // namespace
