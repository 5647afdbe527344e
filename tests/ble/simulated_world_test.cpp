#include "tests/ble/ble_test_support.h"

#include "ble/flat_text.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

class SampleWorld : public SimulatedLinkTest {};

TEST_F(SampleWorld, OffersThreeBaseUnitsWithTheirOwnBehaviour) {
    const SimulatedNeighbourhood world = SampleNeighbourhood();
    SimulatedBle::InstallNeighbourhood(world);
    ASSERT_TRUE(ScanUnits());
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].name, L"OV Living Room");

    ASSERT_TRUE(backend.Connect(world.units[0].address, error));
    ASSERT_TRUE(ScanWifi()) << Narrow(error);
    EXPECT_EQ(networks.size(), 4u);

    const auto slowStart = SimulatedBle::Now();
    ASSERT_TRUE(backend.Connect(world.units[1].address, error));
    ASSERT_TRUE(ScanWifi()) << Narrow(error);
    EXPECT_GE(ElapsedSince(slowStart), 8s);
    ASSERT_TRUE(backend.SendConfiguration("username=\"demo\"", error));
    ASSERT_EQ(SimulatedBle::ReceivedPayloads(world.units[1].address).size(), 1u);

    ASSERT_TRUE(backend.Connect(world.units[2].address, error));
    EXPECT_FALSE(ScanWifi());
    EXPECT_EQ(error, ble_text::kWifiScanError);
}

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
