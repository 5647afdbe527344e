#include <gtest/gtest.h>

#include "tests/app/window_harness.h"

namespace {

using WizardFlowTest = WindowTest;

// Finish after a send and Back both scan afresh, with nothing of the Wi-Fi page left.
void ExpectFreshScanWithEmptyWifiPage(WizardWindow& w, ControlIndex button) {
    const int scans = w.backend().scans();
    ASSERT_TRUE(w.ClickAndWait(button));
    EXPECT_EQ(w.app().page, WizardPage::BaseUnitSelect);
    EXPECT_EQ(w.backend().scans(), scans + 1);
    EXPECT_EQ(w.Rows(kWifiListView), 0);
    EXPECT_EQ(w.Text(kNetworkNameField), L"");
    EXPECT_TRUE(w.app().wifiPasswordPlaceholder);
    EXPECT_EQ(w.Text(kWifiPasswordField), L"Password");
    EXPECT_TRUE(w.app().lastWifiPassword.empty());
}

// Which entry is named is checked with the rules; here, the wiring of Return to the warning,
// and the focus put on what it names, with a field's placeholder gone and its text masked.
TEST_F(WizardFlowTest, ReturnWithAMissingEntryNamesItFocusesItAndDoesNothingElse) {
    const struct {
        void (*reach)(WizardWindow&);
        ControlIndex focusedBefore;
        SeenDialog dialog;
        ControlIndex named;
    } cases[] = {
        {[](WizardWindow& w) { w.TypeInto(kUsernameField, L"anna"); },
         kLoginButton,
         {L"Log in", L"Please enter your password.", SeenDialog::Warning},
         kPasswordField},
        {LogInAndReachBaseUnits,
         kBaseUnitListView,
         {L"Select Base Unit", L"Please select a base unit before continuing.",
          SeenDialog::Warning},
         kBaseUnitListView},
        {[](WizardWindow& w) {
             ReachWifi(w);
             w.SelectRow(kWifiListView, 0);
         },
         kConfigureButton,
         {L"Wi-Fi Password", L"Please enter the Wi-Fi password before continuing.",
          SeenDialog::Warning},
         kWifiPasswordField},
    };
    for (const auto& c : cases) {
        Open();
        c.reach(*w);
        const WizardPage page = w->app().page;
        const size_t logins = FakeAccount().logins.size(),
                     connects = w->backend().connects().size();
        SetFocus(w->app().Control(c.focusedBefore));
        w->PressKey(VK_RETURN);
        EXPECT_EQ(Answerer().Take(), Dialogs{c.dialog});
        HWND named = w->app().Control(c.named);
        EXPECT_EQ(w->Focused(), named);
        if (c.named != kBaseUnitListView) {
            EXPECT_EQ(w->Text(c.named), L"");
            EXPECT_EQ(SendMessageW(named, EM_GETPASSWORDCHAR, 0, 0), 0x25CF);
        }
        EXPECT_EQ(w->app().page, page);
        EXPECT_EQ(FakeAccount().logins.size(), logins);
        EXPECT_EQ(w->backend().connects().size(), connects);
        EXPECT_TRUE(w->backend().payloads().empty());
    }
}

TEST_F(WizardFlowTest, FailedLogInShowsTheServiceSentenceAndKeepsTheFields) {
    FakeAccount().loginOk = false;
    FakeAccount().loginError = L"The username or password is incorrect.";
    Open();
    w->TypeInto(kUsernameField, L"anna");
    w->TypeInto(kPasswordField, L"wrong");
    ASSERT_TRUE(w->ClickAndWait(kLoginButton));
    EXPECT_EQ(w->app().page, WizardPage::Login);
    EXPECT_EQ(w->Text(kStatusText), L"The username or password is incorrect.");
    EXPECT_EQ(w->Text(kPasswordField), L"wrong");
    EXPECT_TRUE(w->app().pendingLoginPassword.empty());
    EXPECT_TRUE(FakeAccount().saved.empty());
    EXPECT_TRUE(Answerer().Take().empty());
}

TEST_F(WizardFlowTest, FailedBaseUnitScanShowsItsSentenceAndKeepsTheList) {
    Open();
    LogInAndReachBaseUnits(*w);
    ScriptedBackend::Script script;
    script.scanOk = false;
    script.scanError = L"Bluetooth is turned off.";
    w->backend().SetScript(script);
    ASSERT_TRUE(w->ClickAndWait(kRefreshBaseUnitsButton));
    EXPECT_EQ(w->Text(kStatusText), L"Bluetooth is turned off.");
    EXPECT_EQ(w->Rows(kBaseUnitListView), 3);
}

TEST_F(WizardFlowTest, FailedConnectStaysOnBaseUnitsWithTheSentence) {
    ScriptedBackend::Script script = ThreeUnitsScript();
    script.connectOk = false;
    Open(script);
    LogInAndReachBaseUnits(*w);
    w->SelectRow(kBaseUnitListView, 1);
    ASSERT_TRUE(w->ClickAndWait(kConnectButton));
    EXPECT_EQ(w->backend().connects(), std::vector<uint64_t>{0x11});
    EXPECT_EQ(w->app().page, WizardPage::BaseUnitSelect);
    EXPECT_EQ(w->Text(kStatusText), L"Could not connect to the selected base unit.");
    EXPECT_TRUE(w->app().selectedBaseUnitName.empty());
}

TEST_F(WizardFlowTest, FailedSendOffersRetryThatResendsTheRememberedSettings) {
    ScriptedBackend::Script script = ThreeUnitsScript();
    script.sendOk = false;
    script.sendError = L"The base unit did not confirm the write.";
    Open(script);
    ReachWifi(*w);
    SendNetwork(*w, 0, L"first-try");
    EXPECT_EQ(w->Text(kResultHeadingText), L"Configuration Failed");
    EXPECT_EQ(w->Text(kResultMessageText), L"The base unit did not confirm the write.");
    EXPECT_EQ(w->Text(kFinishButton), L"Retry");

    script.sendOk = true;
    w->backend().SetScript(script);
    w->backend().gate.Hold(true);
    w->PressKey(VK_RETURN);  // Return on the result page retries
    ASSERT_TRUE(w->PumpUntil([&] { return w->backend().gate.Waiting(); }));
    EXPECT_EQ(w->app().page, WizardPage::WifiSelect);
    EXPECT_EQ(w->Text(kNetworkNameField), L"HomeNet");
    EXPECT_TRUE(w->app().wifiPasswordRemembered);
    EXPECT_FALSE(w->Visible(kShowWifiPasswordButton)) << "a remembered password is never shown";
    w->backend().gate.Hold(false);
    ASSERT_TRUE(w->WaitIdle());
    EXPECT_EQ(w->Text(kResultHeadingText), L"Configuration Sent");
    const std::string expected = Payload(L"HomeNet", L"first-try", L"anna.k");
    EXPECT_EQ(w->backend().payloads(), (std::vector<std::string>{expected, expected}));
}

// The backend's own reconnect failed: every action of the page would only say "Connect to a
// Tervane first.", so the wizard goes back to the base units with the reason.
TEST_F(WizardFlowTest, AFailedReconnectLeadsBackToTheBaseUnitsWithItsReason) {
    for (const bool whileSending : {false, true}) {
        ScriptedBackend::Script script = ThreeUnitsScript();
        script.wifiOk = whileSending;
        script.sendOk = !whileSending;
        script.staysConnected = false;
        script.wifiError = script.sendError = L"Please switch the base unit off and on.";
        Open(script);
        LogInAndReachBaseUnits(*w);
        w->SelectRow(kBaseUnitListView, 0);
        ASSERT_TRUE(w->Click(kConnectButton));
        ASSERT_TRUE(w->WaitIdle());
        if (whileSending) {
            ASSERT_TRUE(w->ClickAndWait(kUsernameOnlyButton));
        }
        EXPECT_EQ(w->app().page, WizardPage::BaseUnitSelect);
        EXPECT_EQ(w->Text(kStatusText), L"Please switch the base unit off and on.");
        EXPECT_GE(w->backend().disconnects(), 1);
    }
}

TEST_F(WizardFlowTest, RejectedAccountSendsNothingAndRetryLeadsBackToLogIn) {
    FakeAccount().checkOk = false;
    FakeAccount().checkError = L"Your session has expired.";
    Open();
    ReachWifi(*w);
    SendNetwork(*w, 0, L"pw");
    EXPECT_TRUE(w->backend().payloads().empty());
    EXPECT_EQ(w->Text(kResultHeadingText), L"Configuration Failed");
    EXPECT_EQ(w->Text(kResultMessageText),
              L"Your Tervane account could not be verified.\r\n\r\nYour session has expired.");
    EXPECT_TRUE(w->app().account.token.empty());

    const int disconnectsBefore = w->backend().disconnects();
    ASSERT_TRUE(w->Click(kFinishButton));
    EXPECT_EQ(w->app().page, WizardPage::Login);
    EXPECT_EQ(w->Text(kStatusText), L"Please log in again before retrying.");
    EXPECT_EQ(w->backend().disconnects(), disconnectsBefore + 1);
    EXPECT_TRUE(w->app().wifiNetworks.empty());
    EXPECT_TRUE(w->app().lastWifiPassword.empty()) << "not offered again to the next log-in";
    EXPECT_EQ(w->Text(kWifiPasswordField), L"Password");
}

TEST_F(WizardFlowTest, FinishRescansWithAnEmptyWifiPageAndTheAccountKept) {
    Open();
    ReachWifi(*w);
    FakeAccount().checkAccountName = L"";  // the service confirms no name this time
    SendNetwork(*w, 0, L"pw");
    EXPECT_EQ(w->backend().payloads(), Sent(L"HomeNet", L"pw", L""));
    EXPECT_EQ(w->app().account.accountUsername, L"anna.k") << "an empty name keeps the old one";
    ExpectFreshScanWithEmptyWifiPage(*w, kFinishButton);
    EXPECT_EQ(w->Text(kAccountLineText), L"Configuring for: anna.k");
}

TEST_F(WizardFlowTest, BackButtonsReturnOnePageAndClearWhatWasBehind) {
    Open();
    ReachWifi(*w);
    w->SelectRow(kWifiListView, 0);
    w->TypeInto(kWifiPasswordField, L"pw");
    ExpectFreshScanWithEmptyWifiPage(*w, kBackWifiButton);

    ASSERT_TRUE(w->Click(kBackBaseUnitsButton));
    EXPECT_EQ(w->app().page, WizardPage::Login);
    EXPECT_EQ(w->Rows(kBaseUnitListView), 0);
    EXPECT_EQ(w->Text(kStatusText), L"");
    EXPECT_EQ(w->Focused(), w->app().Control(kUsernameField));
    EXPECT_FALSE(w->app().account.token.empty()) << "the account stays";
}

// While a log-in or a scan runs, the page's controls, Return and closing are all refused.
TEST_F(WizardFlowTest, BusyPageRefusesActionsReturnAndClosing) {
    for (const bool loggingIn : {true, false}) {
        SCOPED_TRACE(loggingIn ? "logging in" : "scanning");
        Open();
        Gate& gate = loggingIn ? FakeAccount().loginGate : w->backend().gate;
        w->TypeInto(kUsernameField, L"anna");
        w->TypeInto(kPasswordField, L"pa55word");
        if (!loggingIn) {
            ASSERT_TRUE(w->ClickAndWait(kLoginButton));
        }
        gate.Hold(true);
        ASSERT_TRUE(w->Click(loggingIn ? kLoginButton : kRefreshBaseUnitsButton));
        ASSERT_TRUE(w->PumpUntil([&] { return gate.Waiting(); }));
        EXPECT_EQ(w->Text(kStatusText), loggingIn ? L"Logging in..." : L"Scanning...");
        const std::vector<ControlIndex> page =
            loggingIn ? std::vector<ControlIndex>{kUsernameField, kPasswordField, kLoginButton,
                                                  kWifiOnlyButton, kSignUpLink}
                      : std::vector<ControlIndex>{kBaseUnitListView, kBackBaseUnitsButton,
                                                  kRefreshBaseUnitsButton, kConnectButton};
        for (ControlIndex c : page) {
            EXPECT_FALSE(w->Enabled(c)) << c;
        }
        const WizardPage before = w->app().page;
        const int disconnects = w->backend().disconnects();
        EXPECT_FALSE(w->Click(loggingIn ? kWifiOnlyButton : kBackBaseUnitsButton));
        EXPECT_EQ(w->app().page, before);
        EXPECT_FALSE(w->app().wifiOnly);
        EXPECT_EQ(w->backend().disconnects(), disconnects);
        w->PressKey(VK_RETURN);
        EXPECT_TRUE(Answerer().Take().empty()) << "Return is swallowed";
        EXPECT_FALSE(w->Close());
        EXPECT_EQ(Answerer().Take(),
                  (Dialogs{{L"Tervane",
                            L"Please wait for the current operation to finish before closing the "
                            L"application.",
                            SeenDialog::Information}}));
        gate.Hold(false);
        ASSERT_TRUE(w->WaitIdle());
        EXPECT_EQ(FakeAccount().logins.size(), 1u) << "one log-in despite Return";
        EXPECT_TRUE(w->app().pendingLoginPassword.empty());
        EXPECT_TRUE(w->Close());
        FakeAccount().Reset();
    }
}

}  // namespace
