#include <gtest/gtest.h>

#include "tests/app/window_harness.h"
#include "tests/support/windows_files.h"
#include "wizard/scaled_geometry.h"

std::ostream& operator<<(std::ostream& os, const ControlRect& r) {
    return os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

namespace {

using WindowShellTest = WindowTest;

void WritePlacement(std::initializer_list<std::pair<const wchar_t*, DWORD>> values) {
    for (const auto& value : values) {
        ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kPlacementKey, value.first, REG_DWORD,
                                  &value.second, sizeof(DWORD)),
                  ERROR_SUCCESS);
    }
}

struct PlacementCase {
    std::initializer_list<std::pair<const wchar_t*, DWORD>> saved;
    LONG width;
    LONG height;
    bool maximized = false;
};

// The restored size comes back within its limits, maximized if it was, and is saved again.
TEST_F(WindowShellTest, SavedPlacementComesBackWithinLimitsAndIsSavedAgainOnClosing) {
    const PlacementCase cases[] = {
        {{}, 600, 620},
        {{{L"Width", 300}, {L"Height", 300}}, 520, 540},
        {{{L"Width", 1601}, {L"Height", 700}}, 600, 700},
        {{{L"Width", 1600}, {L"Height", 1400}}, 1600, 1400},
        {{{L"Width", 800}, {L"Height", 1401}}, 800, 620},
        {{{L"Width", 0xFFFFFFFF}}, 520, 620},  // negative as a signed number
        {{{L"Width", 700}, {L"Height", 650}, {L"Maximized", 1}}, 700, 650, true},
    };
    for (const PlacementCase& c : cases) {
        RegDeleteTreeW(HKEY_CURRENT_USER, kPlacementKey);
        if (c.saved.size() > 0) {
            WritePlacement(c.saved);
        }
        Open();
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        GetWindowPlacement(w->app().window, &placement);  // the restored size, even if maximized
        const RECT& r = placement.rcNormalPosition;
        EXPECT_EQ(r.right - r.left, c.width);
        EXPECT_EQ(r.bottom - r.top, c.height);
        EXPECT_EQ(IsZoomed(w->app().window) != FALSE, c.maximized);
        ASSERT_TRUE(w->Close());
        EXPECT_EQ(SavedPlacement(),
                  (std::vector<DWORD>{static_cast<DWORD>(c.width), static_cast<DWORD>(c.height),
                                      c.maximized ? 1u : 0u}));
    }
}

TEST_F(WindowShellTest, ClosingSavesTheCurrentSize) {
    Open();
    SetWindowPos(w->app().window, nullptr, 0, 0, 777, 666, SWP_NOMOVE | SWP_NOZORDER);
    w->Pump();
    ASSERT_TRUE(w->Close());
    EXPECT_EQ(SavedPlacement(), (std::vector<DWORD>{777, 666, 0}));
    EXPECT_GE(w->backend().disconnects(), 1);
}

// The layout itself is checked on the host; here, that every page's visible controls get it at
// the smallest and a wide window, in the display's physical size.
TEST_F(WindowShellTest, ControlsSitWhereTheGeometrySaysAtEverySize) {
    Open();
    LogInAndReachBaseUnits(*w);
    const int dpi = w->app().dpi;
    for (const SIZE at96 : {SIZE{1, 1}, SIZE{1000, 640}}) {
        w->ResizeClient(ScaleForDpi(at96.cx, dpi), ScaleForDpi(at96.cy, dpi));
        if (at96.cx == 1) {  // no smaller than the minimum, the same physical size everywhere
            RECT r{};
            GetWindowRect(w->app().window, &r);
            EXPECT_EQ(r.right - r.left, ScaleForDpi(520, dpi));
            EXPECT_EQ(r.bottom - r.top, ScaleForDpi(540, dpi));
        }
        RECT client{};
        GetClientRect(w->app().window, &client);
        PageGeometryInput in;
        in.clientWidth = UnscaleForDpi(client.right, dpi);
        in.clientHeight = UnscaleForDpi(client.bottom, dpi);
        for (WizardPage page : {WizardPage::Login, WizardPage::BaseUnitSelect,
                                WizardPage::WifiSelect, WizardPage::Result}) {
            w->app().page = page;
            w->app().ShowPage();
            w->Pump(5);
            for (const ControlPlacement& p : ComputePageGeometry(page, in)) {
                for (size_t i = 0; i < kControlCount; ++i) {
                    if (w->app().controls[i] == w->app().ControlById(p.controlId) &&
                        w->Visible(static_cast<ControlIndex>(i))) {
                        EXPECT_EQ(w->ClientRectOf(static_cast<ControlIndex>(i)),
                                  ScaleRect(p.rect, dpi))
                            << "control " << p.controlId << " page " << static_cast<int>(page)
                            << " client " << client.right << "x" << client.bottom;
                    }
                }
            }
        }
    }
}

TEST_F(WindowShellTest, TabCyclesThroughVisibleEnabledStopsInCreationOrder) {
    Open();
    WizardApp& app = w->app();
    const struct {
        bool shift;
        ControlIndex focus;
    } logIn[] = {{false, kPasswordField}, {false, kLoginButton},   {false, kWifiOnlyButton},
                 {false, kSignUpLink},    {false, kUsernameField}, {true, kSignUpLink}},
      // No row is selected, so the disabled Connect button is skipped.
        baseUnits[] = {{false, kRefreshBaseUnitsButton},
                       {false, kBackBaseUnitsButton},
                       {false, kBaseUnitListView}};
    SetFocus(app.Control(kUsernameField));
    for (const auto& step : logIn) {
        w->PressKey(VK_TAB, step.shift);
        EXPECT_EQ(w->Focused(), app.Control(step.focus)) << step.focus;
    }
    LogInAndReachBaseUnits(*w);
    SetFocus(app.Control(kBaseUnitListView));
    for (const auto& step : baseUnits) {
        w->PressKey(VK_TAB, step.shift);
        EXPECT_EQ(w->Focused(), app.Control(step.focus)) << step.focus;
    }
}

TEST_F(WindowShellTest, SystemMenuOffersTheUpdateCheck) {
    Open();
    HMENU menu = GetSystemMenu(w->app().window, FALSE);
    wchar_t text[64] = {};
    ASSERT_GT(GetMenuStringW(menu, IDM_CHECK_FOR_UPDATES, text, 64, MF_BYCOMMAND), 0);
    EXPECT_STREQ(text, L"Check for updates...");
}

TEST_F(WindowShellTest, UnusualInputReachesTheLowerLayersUnchanged) {
    Open();
    const std::wstring longName(1500, L'n');
    const std::wstring password =
        std::wstring(L"p\x00e4\x00df ") + wchar_t(0xD83D) + wchar_t(0xDE00) + L" \x4e2d";
    w->PasteInto(kUsernameField, longName);
    w->PasteInto(kPasswordField, password);
    ASSERT_TRUE(w->ClickAndWait(kLoginButton));
    EXPECT_EQ(FakeAccount().logins, (std::vector<FakeAccountScript::Login>{{longName, password}}));

    ConnectFirstUnitAndReachWifi(*w);
    const std::wstring ssid =
        std::wstring(L" tab\there \"quoted\" \\ ") + wchar_t(0xD83D) + wchar_t(0xDE00);
    const std::wstring wifiPassword(1200, L'\x00e9');
    w->PasteInto(kNetworkNameField, ssid);
    w->PasteInto(kWifiPasswordField, wifiPassword);
    ASSERT_TRUE(w->ClickAndWait(kConfigureButton));
    EXPECT_EQ(w->backend().payloads(), Sent(ssid, wifiPassword, L"anna.k"));
    EXPECT_EQ(w->Text(kResultHeadingText), L"Configuration Sent");
}

TEST_F(WindowShellTest, StartUpDeletesTheObsoleteTokenFile) {
    const std::wstring path = TempFolder() + L"tervane-test-token.dat";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    FakeAccount().tokenFilePath = path;
    Open();
    EXPECT_FALSE(Exists(path));
}

}  // namespace
