#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>

#include "tests/app/window_harness.h"

namespace {

using KeyboardAccessTest = WindowTest;

// One person's key presses (xdotool arguments) and where the focus must be afterwards.
struct KeyStep {
    const wchar_t* keys;
    ControlIndex focus;
};

struct Journey {
    const char* name;
    std::vector<KeyStep> steps;
    const wchar_t *ssid, *password, *username;  // what the base unit receives
    const wchar_t* unitLine;
};

TEST_F(KeyboardAccessTest, KeyboardAloneCompletesEachKindOfSetup) {
    const std::vector<KeyStep> logIn = {{L"type anna", kUsernameField},
                                        {L"key Tab", kPasswordField},
                                        {L"type pa55word", kPasswordField},
                                        {L"key Return", kBaseUnitListView}};
    std::vector<KeyStep> full = logIn, usernameOnly = logIn;
    full.insert(full.end(), {{L"key Down", kBaseUnitListView},
                             {L"key Return", kWifiListView},
                             // browsing keeps the focus in the list
                             {L"key Down Down Up", kWifiListView},
                             {L"key Return", kWifiPasswordField},
                             {L"type wifi-secret", kWifiPasswordField},
                             {L"key Return", kFinishButton}});
    usernameOnly.insert(usernameOnly.end(), {{L"key Down Return", kWifiListView},
                                             {L"key Tab Tab Tab Tab", kUsernameOnlyButton},
                                             {L"key Return", kFinishButton}});
    const std::vector<KeyStep> wifiOnly = {{L"key Tab Tab Tab", kWifiOnlyButton},
                                           {L"key Return", kBaseUnitListView},
                                           {L"key Down Down", kBaseUnitListView},
                                           {L"key Tab Tab Tab", kBackBaseUnitsButton},
                                           // Return on Back goes back, it does not connect
                                           {L"key Return", kUsernameField},
                                           // Return with both log-in fields empty: Wi-Fi only
                                           {L"key Return", kBaseUnitListView},
                                           {L"key Down Down Return", kWifiListView},
                                           {L"key Down Down", kWifiListView},
                                           {L"key Return", kWifiPasswordField},
                                           {L"type cafe-pass", kWifiPasswordField},
                                           {L"key Return", kFinishButton}};
    const Journey journeys[] = {
        {"full setup", full, L"HomeNet", L"wifi-secret", L"anna.k", L"Base unit: OV-Hall"},
        {"Wi-Fi only", wifiOnly, L"Cafe", L"cafe-pass", L"", L"Base unit: OV-Kitchen"},
        {"username only", usernameOnly, L"", L"", L"anna.k", L"Base unit: OV-Hall"}};
    for (const Journey& journey : journeys) {
        SCOPED_TRACE(journey.name);
        FakeAccount().Reset();
        Open();
        ASSERT_TRUE(w->PumpUntil([&] { return w->Focused() == w->app().Control(kUsernameField); }))
            << "the log-in page starts in the username field";
        for (const KeyStep& step : journey.steps) {
            ASSERT_TRUE(w->Xdotool(step.keys));
            ASSERT_TRUE(w->WaitIdle());
            w->Pump(60);
            ASSERT_EQ(w->Focused(), w->app().Control(step.focus)) << "after " << step.keys;
        }
        EXPECT_EQ(w->app().page, WizardPage::Result);
        EXPECT_EQ(w->backend().payloads(), Sent(journey.ssid, journey.password, journey.username));
        EXPECT_EQ(w->Text(kResultHeadingText), L"Configuration Sent");
        EXPECT_EQ(w->Text(kBaseUnitLineText), journey.unitLine);
        EXPECT_TRUE(Answerer().Take().empty());
        // A sent password is wiped at once; the log-in is kept for next time, and the account
        // is confirmed with its token before anything is sent.
        EXPECT_TRUE(w->app().lastWifiPassword.empty());
        EXPECT_EQ(w->Text(kWifiPasswordField), L"Password");
        const bool account = *journey.username != L'\0';
        EXPECT_EQ(FakeAccount().logins.size(), account ? 1u : 0u);
        EXPECT_EQ(FakeAccount().saved, FakeAccount().logins);
        EXPECT_EQ(FakeAccount().checkedTokens,
                  account ? std::vector<std::wstring>{L"token-1"} : std::vector<std::wstring>{});
        if (account) {
            EXPECT_EQ(w->Text(kAccountLineText), L"Configuring for: anna.k");
        }
        w.reset();
    }
}

void SetClipboardText(const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(data), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(data);
    SetClipboardData(CF_UNICODETEXT, data);
    CloseClipboard();
}

// The stored account password, or the remembered Wi-Fi password, with the keyboard in it.
void OpenWithSecretInField(std::unique_ptr<WizardWindow>& w, bool wifi,
                           const std::wstring& secret) {
    if (!wifi) {
        FakeAccount().Store(secret);
        w = std::make_unique<WizardWindow>(ThreeUnitsScript());
        ASSERT_TRUE(w->PumpUntil([&] { return w->Focused() == w->app().Control(kLoginButton); }))
            << "with stored credentials the log-in page starts on Log in";
        ASSERT_EQ(w->Text(kUsernameField) + L"|" + w->Text(kPasswordField), L"anna|" + secret);
        ASSERT_TRUE(w->Xdotool(L"key shift+Tab"));
        return;
    }
    ScriptedBackend::Script script = ThreeUnitsScript();
    script.sendOk = false;
    w = std::make_unique<WizardWindow>(script);
    ReachWifi(*w);
    SendNetwork(*w, 0, secret);
    ASSERT_TRUE(w->ClickAndWait(kFinishButton));  // Retry fills in the remembered password
    ASSERT_TRUE(w->app().wifiPasswordRemembered);
    // No page lets the keyboard reach the remembered field after the retry; it is shown again
    // here so that the field's own defences are what is tried.
    w->app().page = WizardPage::WifiSelect;
    w->app().ShowPage();
    SetFocus(w->app().Control(kWifiPasswordField));
    w->Pump();
}

TEST_F(KeyboardAccessTest, StoredPasswordNeverComesBackInPlain) {
    const wchar_t* attempts[] = {
        L"key Home shift+End x ctrl+z",            // replace, then undo
        L"key Home shift+End BackSpace ctrl+z",    // delete, then undo
        L"key Home shift+End x Menu Down Return",  // replace, then Undo from the context menu
        L"key Home shift+End ctrl+v ctrl+z",       // paste over it, then undo
    };
    const std::wstring secret = L"s3cret-kept";
    for (bool wifi : {false, true}) {
        const ControlIndex field = wifi ? kWifiPasswordField : kPasswordField;
        const ControlIndex reveal = wifi ? kShowWifiPasswordButton : kShowPasswordButton;
        for (const wchar_t* keys : attempts) {
            SCOPED_TRACE(testing::Message() << (wifi ? "remembered: " : "stored: ") << keys);
            FakeAccount().Reset();
            OpenWithSecretInField(w, wifi, secret);
            ASSERT_EQ(w->Focused(), w->app().Control(field));
            SetClipboardText(L"pasted");
            ASSERT_TRUE(w->Xdotool(keys));
            const bool stored = wifi ? w->app().wifiPasswordRemembered : w->app().passwordIsStored;
            if (w->Text(field) == secret) {
                EXPECT_TRUE(stored);
                EXPECT_FALSE(w->Visible(reveal));
            }
            w->Click(reveal);  // even while hidden
            EXPECT_FALSE(SendMessageW(w->app().Control(field), EM_GETPASSWORDCHAR, 0, 0) == 0 &&
                         w->Text(field) == secret);
            w.reset();
        }
    }
}

TEST_F(KeyboardAccessTest, FocusComesBackToItsControlWhenTheWindowIsActivatedAgain) {
    Open();
    HWND other = CreateWindowExW(0, L"STATIC", L"elsewhere", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, nullptr, nullptr);
    w->TypeInto(kPasswordField, L"half-typed");
    SetActiveWindow(other);  // as Alt+Tab to a password manager does
    w->Pump();
    ASSERT_NE(w->Focused(), w->app().Control(kPasswordField));
    SetActiveWindow(w->app().window);
    w->Pump();
    EXPECT_EQ(w->Focused(), w->app().Control(kPasswordField));
    DestroyWindow(other);
}

// What a screen reader is told of each control. A line of text is named by what it shows.
const struct {
    ControlIndex control;
    const wchar_t* name;  // null: the text it shows
    long role;
} kReaderView[] = {
    {kLogoPicture, L"Tervane", ROLE_SYSTEM_GRAPHIC},
    {kUsernameField, L"Username", ROLE_SYSTEM_TEXT},
    {kPasswordField, L"Password", ROLE_SYSTEM_TEXT},
    {kShowPasswordButton, L"Show password", ROLE_SYSTEM_PUSHBUTTON},
    {kLoginButton, L"Log in", ROLE_SYSTEM_PUSHBUTTON},
    {kWifiOnlyButton, L"Setup wifi network only", ROLE_SYSTEM_PUSHBUTTON},
    {kSignUpLink, L"Don't have an account? Create one.", ROLE_SYSTEM_LINK},
    {kBaseUnitListView, L"Base units", ROLE_SYSTEM_LIST},
    {kRefreshBaseUnitsButton, L"Refresh", ROLE_SYSTEM_PUSHBUTTON},
    {kConnectButton, L"Connect", ROLE_SYSTEM_PUSHBUTTON},
    {kBackBaseUnitsButton, L"Back", ROLE_SYSTEM_PUSHBUTTON},
    {kWifiListView, L"Wi-Fi networks", ROLE_SYSTEM_LIST},
    {kRefreshWifiButton, L"Refresh", ROLE_SYSTEM_PUSHBUTTON},
    {kNetworkNameField, L"Wi-Fi network name", ROLE_SYSTEM_TEXT},
    {kWifiPasswordField, L"Wi-Fi password", ROLE_SYSTEM_TEXT},
    {kShowWifiPasswordButton, L"Show Wi-Fi password", ROLE_SYSTEM_PUSHBUTTON},
    {kUsernameOnlyButton, L"Username only", ROLE_SYSTEM_PUSHBUTTON},
    {kConfigureButton, L"Configure", ROLE_SYSTEM_PUSHBUTTON},
    {kBackWifiButton, L"Back", ROLE_SYSTEM_PUSHBUTTON},
    {kFinishButton, L"Finish", ROLE_SYSTEM_PUSHBUTTON},
    {kPageTitleText, nullptr, ROLE_SYSTEM_STATICTEXT},
    {kAccountLineText, nullptr, ROLE_SYSTEM_STATICTEXT},
    {kBaseUnitLineText, nullptr, ROLE_SYSTEM_STATICTEXT},
    {kStatusText, nullptr, ROLE_SYSTEM_STATICTEXT},
    {kResultHeadingText, nullptr, ROLE_SYSTEM_STATICTEXT},
    {kResultMessageText, nullptr, ROLE_SYSTEM_STATICTEXT},
};
static_assert(sizeof(kReaderView) / sizeof(kReaderView[0]) == kControlCount, "every control");

// Exactly the controls listed are visible, and the reader hears each one's name and role.
void ExpectReaderSees(WizardWindow& w, const std::vector<ControlIndex>& visible) {
    for (const auto& view : kReaderView) {
        const bool listed =
            std::find(visible.begin(), visible.end(), view.control) != visible.end();
        ASSERT_EQ(w.Visible(view.control), listed) << "control " << view.control;
        if (!listed) {
            continue;
        }
        IAccessible* object = nullptr;
        ASSERT_HRESULT_SUCCEEDED(AccessibleObjectFromWindow(
            w.app().Control(view.control), static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
            reinterpret_cast<void**>(&object)));
        VARIANT self{}, role{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        BSTR name = nullptr;
        EXPECT_HRESULT_SUCCEEDED(object->get_accRole(self, &role));
        object->get_accName(self, &name);
        EXPECT_EQ(std::wstring(name ? name : L""), view.name ? view.name : w.Text(view.control))
            << "control " << view.control;
        EXPECT_EQ(role.lVal, view.role) << "control " << view.control;
        SysFreeString(name);
        object->Release();
    }
}

TEST_F(KeyboardAccessTest, ReaderHearsNameAndRoleOfEveryVisibleControlOnEveryPage) {
    std::vector<HWND> announced;
    static std::vector<HWND>* record = nullptr;
    record = &announced;
    HWINEVENTHOOK hook = SetWinEventHook(
        EVENT_OBJECT_NAMECHANGE, EVENT_OBJECT_NAMECHANGE, nullptr,
        [](HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD) {
            record->push_back(window);
        },
        GetCurrentProcessId(), 0, WINEVENT_OUTOFCONTEXT);
    Open();
    w->TypeInto(kPasswordField, L"pw");
    ExpectReaderSees(
        *w, {kLogoPicture, kPageTitleText, kUsernameField, kPasswordField, kShowPasswordButton,
             kLoginButton, kWifiOnlyButton, kSignUpLink, kStatusText});
    w->TypeInto(kUsernameField, L"anna");
    ASSERT_TRUE(w->ClickAndWait(kLoginButton));
    EXPECT_EQ(w->Text(kStatusText), L"3 base units found.");
    ExpectReaderSees(*w,
                     {kPageTitleText, kAccountLineText, kBaseUnitListView, kRefreshBaseUnitsButton,
                      kConnectButton, kBackBaseUnitsButton, kStatusText});
    EXPECT_NE(std::find(announced.begin(), announced.end(), w->app().Control(kStatusText)),
              announced.end())
        << "status changes are announced";
    ConnectFirstUnitAndReachWifi(*w);
    w->TypeInto(kWifiPasswordField, L"pw");
    ExpectReaderSees(
        *w, {kPageTitleText, kAccountLineText, kBaseUnitLineText, kWifiListView, kRefreshWifiButton,
             kNetworkNameField, kWifiPasswordField, kShowWifiPasswordButton, kUsernameOnlyButton,
             kConfigureButton, kBackWifiButton, kStatusText});
    ASSERT_TRUE(w->ClickAndWait(kUsernameOnlyButton));
    ExpectReaderSees(*w, {kResultHeadingText, kResultMessageText, kFinishButton});
    UnhookWinEvent(hook);
}

}  // namespace
