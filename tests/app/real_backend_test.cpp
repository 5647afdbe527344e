#include <gtest/gtest.h>

#include "ble/windows10_backend.h"
#include "tests/app/ble_world.h"

#include "tests/app/window_harness.h"

namespace {

std::vector<uint8_t> PayloadBytes(const std::wstring& ssid, const std::wstring& password,
                                  const std::wstring& username) {
    const std::string payload = Payload(ssid, password, username);
    return std::vector<uint8_t>(payload.begin(), payload.end());
}

// The wizard over the real backend and the simulated radio: what reaches the base unit is
// what the person chose.
class RealBackendTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        SimulatedUnitSetup kitchen;
        kitchen.address = 0xA1;
        kitchen.name = L"OV Kitchen";
        kitchen.rssiReadings = {-75, -70, -72};
        kitchen.unit.networks = {{"HomeNet", -55}, {"Caf\xC3\xA9", -70}, {"HomeNet", -61}};
        SimulatedUnitSetup hall;
        hall.address = 0xB2;
        hall.name = L"OV Hall";
        hall.rssiReadings = {-50};
        hall.unit.networks = {{"HallNet", -40}};
        hall.unit.misbehaviour.answerWithErrorReport = true;
        SimulatedAdvertiser stranger;
        stranger.address = 0xC3;
        stranger.name = L"Headphones";
        test_ble_world::Install({kitchen, hall}, {stranger});
    }
    void TearDown() override {
        WindowTest::TearDown();
        std::string problem;
        EXPECT_TRUE(test_ble_world::Reset(problem)) << problem;
    }
    void Open() {
        w = std::make_unique<WizardWindow>(std::make_unique<Windows10Backend>());
        ASSERT_TRUE(w->initialised());
    }
    void ConnectAndReachWifi(int row) {
        w->SelectRow(kBaseUnitListView, row);
        ASSERT_TRUE(w->Click(kConnectButton));
        ASSERT_TRUE(w->WaitIdle(20000));
        ASSERT_EQ(w->app().page, WizardPage::WifiSelect);
    }
};

TEST_F(RealBackendTest, FullSetupDeliversThePayloadToTheChosenUnit) {
    Open();
    LogInAndReachBaseUnits(*w);
    ASSERT_EQ(w->Rows(kBaseUnitListView), 2) << "only names starting with OV are listed";
    EXPECT_EQ(w->RowText(kBaseUnitListView, 1, 0), L"OV Kitchen");
    ConnectAndReachWifi(1);
    ASSERT_EQ(w->Rows(kWifiListView), 2);
    EXPECT_EQ(w->RowText(kWifiListView, 0, 0), L"HomeNet");
    EXPECT_EQ(w->RowText(kWifiListView, 1, 0), L"Caf\x00e9");
    w->SelectRow(kWifiListView, 1);
    w->TypeInto(kWifiPasswordField, L"cr\x00e8me");
    w->PressKey(VK_RETURN);
    ASSERT_TRUE(w->WaitIdle(20000));
    EXPECT_EQ(w->Text(kResultHeadingText), L"Configuration Sent");
    EXPECT_EQ(
        test_ble_world::ReceivedPayloads(0xA1),
        std::vector<std::vector<uint8_t>>{PayloadBytes(L"Caf\x00e9", L"cr\x00e8me", L"anna.k")});
    EXPECT_TRUE(test_ble_world::ReceivedPayloads(0xB2).empty());
}

TEST_F(RealBackendTest, UnitAnsweringWithAnErrorLeavesTheWifiPageUsable) {
    Open();
    w->PressKey(VK_RETURN);  // with both fields empty: Wi-Fi only, no account
    ASSERT_TRUE(w->WaitIdle(20000));
    ConnectAndReachWifi(0);  // OV Hall, the strongest
    EXPECT_FALSE(w->Visible(kUsernameOnlyButton) || w->Visible(kAccountLineText));
    EXPECT_EQ(w->Rows(kWifiListView), 0);
    EXPECT_EQ(w->Text(kStatusText), L"The Tervane returned a BLUFI error while scanning Wi-Fi.");
    EXPECT_TRUE(w->Enabled(kRefreshWifiButton));
    w->TypeInto(kNetworkNameField, L"HallNet");
    w->TypeInto(kWifiPasswordField, L"hall-pass");
    ASSERT_TRUE(w->Click(kConfigureButton));
    ASSERT_TRUE(w->WaitIdle(20000));
    EXPECT_EQ(w->Text(kResultHeadingText), L"Configuration Sent");
    EXPECT_EQ(test_ble_world::ReceivedPayloads(0xB2),
              std::vector<std::vector<uint8_t>>{PayloadBytes(L"HallNet", L"hall-pass", L"")});
}

}  // namespace
