#include "tests/ble/ble_test_support.h"

namespace {

using namespace std::chrono_literals;

// The steady clock and the delivery thread, as the demo runs them.
TEST(SimulatedLinkInRealTime, DeliversAnswersFromItsOwnThread) {
    SimulatedBle::Reset();
    SimulatedUnitSetup setup;
    setup.address = 77;
    setup.unit.networks = {{"Home", -50}, {"Office", -40}};
    setup.answerDelay = 30ms;
    SimulatedBle::Install({setup});
    Windows10Backend backend;
    std::wstring error;
    ASSERT_TRUE(backend.Connect(77, error));
    std::vector<WifiNetwork> networks;
    ASSERT_TRUE(backend.ScanWifiNetworks(networks, error));
    ASSERT_EQ(networks.size(), 2u);
    EXPECT_EQ(networks[0].ssid, L"Office");
    ASSERT_TRUE(backend.SendConfiguration(std::string(40, 'x'), error));
    EXPECT_EQ(SimulatedBle::ReceivedPayloads(77).size(), 1u);
    backend.Disconnect();
    SimulatedBle::Reset();
}

}  // namespace
