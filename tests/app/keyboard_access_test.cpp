#include <windows.h>
#include <oleacc.h>

#include <gtest/gtest.h>

#include <algorithm>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/app/fake_account.h"
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
};

TEST_F(KeyboardAccessTest, KeyboardAloneCompletesEachKindOfSetup) {
    const Journey journeys[] = {
        {"full setup",
         {{L"type anna", kUsernameField},
          {L"key Tab", kPasswordField},
          {L"type pa55word", kPasswordField},
          {L"key Return", kBaseUnitListView},
          {L"key Down", kBaseUnitListView},
          {L"key Return", kWifiListView},
          {L"key Down Down Up", kWifiListView},  // browsing keeps the focus in the list
          {L"key Return", kWifiPasswordField},
          {L"type wifi-secret", kWifiPasswordField},
          {L"key Return", kFinishButton}},
         L"HomeNet",
         L"wifi-secret",
         L"anna.k"},
        {"Wi-Fi only",
         {{L"key Tab Tab Tab", kWifiOnlyButton},
          {L"key Return", kBaseUnitListView},
          {L"key Down Down", kBaseUnitListView},
          {L"key Tab Tab Tab", kBackBaseUnitsButton},
          {L"key Return", kUsernameField},  // Return on Back goes back, it does not connect
          {L"key Tab Tab Tab", kWifiOnlyButton},
          {L"key Return", kBaseUnitListView},
          {L"key Down Down Return", kWifiListView},
          {L"key Down Down", kWifiListView},
          {L"key Return", kWifiPasswordField},
          {L"type cafe-pass", kWifiPasswordField},
          {L"key Return", kFinishButton}},
         L"Cafe",
         L"cafe-pass",
         L""},
        {"username only",
         {{L"type anna", kUsernameField},
          {L"key Tab", kPasswordField},
          {L"type pa55word", kPasswordField},
          {L"key Return", kBaseUnitListView},
          {L"key Down Return", kWifiListView},
          {L"key Tab Tab Tab Tab", kUsernameOnlyButton},
          {L"key Return", kFinishButton}},
         L"",
         L"",
         L"anna.k"},
    };
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
        EXPECT_EQ(w->backend().payloads(), std::vector<std::string>{Payload(
                                               journey.ssid, journey.password, journey.username)});
        EXPECT_TRUE(Answerer().Take().empty());
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
        FakeAccount().haveStored = true;
        FakeAccount().storedUsername = L"anna";
        FakeAccount().storedPassword = secret;
        w = std::make_unique<WizardWindow>(ThreeUnitsScript());
        ASSERT_TRUE(w->PumpUntil([&] { return w->Focused() == w->app().Control(kLoginButton); }))
            << "with stored credentials the log-in page starts on Log in";
        ASSERT_TRUE(w->Xdotool(L"key shift+Tab"));
        return;
    }
    ScriptedBackend::Script script = ThreeUnitsScript();
    script.sendOk = false;
    w = std::make_unique<WizardWindow>(script);
    ReachWifi(*w);
    w->SelectRow(kWifiListView, 0);
    w->TypeInto(kWifiPasswordField, secret);
    ASSERT_TRUE(w->ClickAndWait(kConfigureButton));
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
            if (w->Click(reveal)) {
                EXPECT_FALSE(SendMessageW(w->app().Control(field), EM_GETPASSWORDCHAR, 0, 0) == 0 &&
                             w->Text(field) == secret);
            }
            w.reset();
        }
    }
}

}  // namespace

namespace {

struct ReaderView {
    ControlIndex control;
    const wchar_t* name;
    long role;
};

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

std::wstring AccessibleName(IAccessible* object) {
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    std::wstring text;
    if (SUCCEEDED(object->get_accName(self, &name)) && name) {
        text = name;
        SysFreeString(name);
    }
    return text;
}

// Every visible control is announced with exactly the name and role listed, and every listed
// control is visible.
void ExpectReaderSees(WizardWindow& w, const std::vector<ReaderView>& page) {
    for (size_t i = 0; i < kControlCount; ++i) {
        const auto control = static_cast<ControlIndex>(i);
        const auto entry = std::find_if(page.begin(), page.end(),
                                        [&](const ReaderView& v) { return v.control == control; });
        ASSERT_EQ(w.Visible(control), entry != page.end()) << "control " << i;
        if (entry == page.end()) {
            continue;
        }
        IAccessible* object = nullptr;
        ASSERT_HRESULT_SUCCEEDED(
            AccessibleObjectFromWindow(w.app().Control(control), static_cast<DWORD>(OBJID_CLIENT),
                                       __uuidof(IAccessible), reinterpret_cast<void**>(&object)));
        VARIANT self{};
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        VARIANT role{};
        EXPECT_HRESULT_SUCCEEDED(object->get_accRole(self, &role));
        EXPECT_EQ(AccessibleName(object), entry->name) << "control " << i;
        EXPECT_EQ(role.lVal, entry->role) << entry->name;
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
        *w, {{kLogoPicture, L"Tervane", ROLE_SYSTEM_GRAPHIC},
             {kPageTitleText, L"Log in to add a base to your account.", ROLE_SYSTEM_STATICTEXT},
             {kUsernameField, L"Username", ROLE_SYSTEM_TEXT},
             {kPasswordField, L"Password", ROLE_SYSTEM_TEXT},
             {kShowPasswordButton, L"Show password", ROLE_SYSTEM_PUSHBUTTON},
             {kLoginButton, L"Log in", ROLE_SYSTEM_PUSHBUTTON},
             {kWifiOnlyButton, L"Setup wifi network only", ROLE_SYSTEM_PUSHBUTTON},
             {kSignUpLink, L"Don't have an account? Create one.", ROLE_SYSTEM_LINK},
             {kStatusText, L"", ROLE_SYSTEM_STATICTEXT}});
    w->TypeInto(kUsernameField, L"anna");
    ASSERT_TRUE(w->ClickAndWait(kLoginButton));
    ExpectReaderSees(*w, {{kPageTitleText, L"Select Base Unit", ROLE_SYSTEM_STATICTEXT},
                          {kAccountLineText, L"Configuring for: anna.k", ROLE_SYSTEM_STATICTEXT},
                          {kBaseUnitListView, L"Base units", ROLE_SYSTEM_LIST},
                          {kRefreshBaseUnitsButton, L"Refresh", ROLE_SYSTEM_PUSHBUTTON},
                          {kConnectButton, L"Connect", ROLE_SYSTEM_PUSHBUTTON},
                          {kBackBaseUnitsButton, L"Back", ROLE_SYSTEM_PUSHBUTTON},
                          {kStatusText, L"3 base units found.", ROLE_SYSTEM_STATICTEXT}});
    EXPECT_NE(std::find(announced.begin(), announced.end(), w->app().Control(kStatusText)),
              announced.end())
        << "status changes are announced";
    ConnectFirstUnitAndReachWifi(*w);
    w->TypeInto(kWifiPasswordField, L"pw");
    ExpectReaderSees(*w, {{kPageTitleText, L"Select Wi-Fi Network", ROLE_SYSTEM_STATICTEXT},
                          {kAccountLineText, L"Configuring for: anna.k", ROLE_SYSTEM_STATICTEXT},
                          {kBaseUnitLineText, L"Base unit: OV-Hall", ROLE_SYSTEM_STATICTEXT},
                          {kWifiListView, L"Wi-Fi networks", ROLE_SYSTEM_LIST},
                          {kRefreshWifiButton, L"Refresh", ROLE_SYSTEM_PUSHBUTTON},
                          {kNetworkNameField, L"Wi-Fi network name", ROLE_SYSTEM_TEXT},
                          {kWifiPasswordField, L"Wi-Fi password", ROLE_SYSTEM_TEXT},
                          {kShowWifiPasswordButton, L"Show Wi-Fi password", ROLE_SYSTEM_PUSHBUTTON},
                          {kUsernameOnlyButton, L"Username only", ROLE_SYSTEM_PUSHBUTTON},
                          {kConfigureButton, L"Configure", ROLE_SYSTEM_PUSHBUTTON},
                          {kBackWifiButton, L"Back", ROLE_SYSTEM_PUSHBUTTON},
                          {kStatusText, L"2 Wi-Fi networks found.", ROLE_SYSTEM_STATICTEXT}});
    ASSERT_TRUE(w->ClickAndWait(kUsernameOnlyButton));
    ExpectReaderSees(*w, {{kResultHeadingText, L"Configuration Sent", ROLE_SYSTEM_STATICTEXT},
                          {kResultMessageText,
                           L"The configuration was successfully sent to the Tervane base unit.",
                           ROLE_SYSTEM_STATICTEXT},
                          {kFinishButton, L"Finish", ROLE_SYSTEM_PUSHBUTTON}});
    UnhookWinEvent(hook);
}

}  // namespace
