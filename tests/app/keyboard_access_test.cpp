#include <gtest/gtest.h>

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
          {L"key shift+Tab shift+Tab shift+Tab", kBaseUnitListView},
          {L"key Return", kWifiListView},
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

}  // namespace
