#include "ble/gatt_link.h"
#include "tests/ble/ble_test_support.h"

#include <random>

namespace {

class UnkindLink : public SimulatedLinkTest {
protected:
    static SimulatedUnitSetup Unit(std::chrono::milliseconds linger) {
        SimulatedUnitSetup setup = HomeUnit();
        setup.linger = linger;
        setup.writeLatency = 5ms;
        return setup;
    }
    // The configuration the unit holds last.
    static std::string Last() {
        const auto received = SimulatedBle::ReceivedPayloads(kUnitAddress);
        return received.empty() ? "" : std::string(received.back().begin(), received.back().end());
    }
    void ExpectSent(const std::string& payload) {
        ASSERT_TRUE(backend.SendConfiguration(payload, error)) << Narrow(error);
        EXPECT_EQ(Last(), payload);
    }
};

const std::string kPayload = "ssid=\"Home\";pw=\"x1\"";  // two frames

// What the unit does behind the program's back between connect and send (the person typing the
// password) or in the middle of the send: the send reports success only for a configuration
// the unit kept, and a failed one is followed by one that succeeds.
TEST_F(UnkindLink, ASendSucceedsOnlyWhenTheUnitKeptTheConfiguration) {
    const auto faults = [](SimulatedLinkFaults f) {
        return [f] { SimulatedBle::SetFaults(kUnitAddress, f); };
    };
    const struct {
        std::function<void()> fault;
        const wchar_t* failure;  // nullptr: the send recovers by itself and succeeds
    } cases[] = {
        {[] { SimulatedBle::DropLink(); }, nullptr},  // while the password is typed
        {faults({2, 0, 0}), ble_text::kLinkLost},
        {faults({0, 2, 0}), ble_text::kLinkLost},
        {[] { SimulatedBle::SendFromConnectedUnit(0x49, {0x00}); },
         ble_text::kConfigurationRefused},
        {[] { SimulatedBle::SetRadioOff(true); }, ble_text::kRadioOff},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        ConnectTo(Unit(3s));
        c.fault();
        EXPECT_EQ(backend.SendConfiguration(kPayload, error), c.failure == nullptr);
        if (c.failure == nullptr) {
            EXPECT_EQ(Last(), kPayload);
        } else {
            EXPECT_EQ(error, c.failure);
        }
        SimulatedBle::SetRadioOff(false);
        if (!backend.IsConnected()) {
            ASSERT_TRUE(backend.Connect(kUnitAddress, error)) << Narrow(error);
        }
        ExpectSent(kPayload + "!");
    }
}

// A close followed at once by a reopen would reach the unit's old connection and numbering.
TEST_F(UnkindLink, AReconnectWaitsForTheLingeringLinkToGoDown) {
    const struct {
        std::chrono::milliseconds linger;
        bool connects;
    } cases[] = {{0ms, true}, {4s, true}, {kLinkDownBound + 5s, false}};
    for (const auto& c : cases) {
        ConnectTo(Unit(c.linger));
        backend.Disconnect();
        const auto start = SimulatedBle::Now();
        EXPECT_EQ(backend.Connect(kUnitAddress, error), c.connects);
        if (!c.connects) {
            EXPECT_EQ(error, ble_text::kLinkStaysUp);
            EXPECT_LE(ElapsedSince(start), kLinkDownBound + kLinkStatusPoll);
            continue;
        }
        EXPECT_GE(ElapsedSince(start), c.linger);
        ExpectSent(kPayload);
        EXPECT_TRUE(SimulatedBle::ProtocolErrors(kUnitAddress).empty());
    }
}

TEST_F(UnkindLink, TheFirstDiscoveryFindingTheUnitUnreachableIsTriedOnceMore) {
    SimulatedUnitSetup setup = Unit(0ms);
    setup.connectFailure = SimulatedConnectFailure::ServiceDiscoveryUnreachableOnce;
    ConnectTo(setup);
    EXPECT_TRUE(ScanWifi()) << Narrow(error);
}

// Seeded schedules of what a real radio does to the program (lingering links, drops at every
// step, lost notifications, error reports, the radio switched off). Whenever the wizard would
// show "Configuration Sent" the unit holds exactly that configuration; once the faults stop,
// the next attempt succeeds. A few hundred; a failure names its seed.
TEST_F(UnkindLink, SeededSchedulesNeverReportADiscardedConfigurationAsSent) {
    for (unsigned seed = 1; seed <= 300 && !HasFailure(); ++seed) {
        SCOPED_TRACE("schedule seed " + std::to_string(seed));
        std::mt19937 random(seed);
        const auto pick = [&](int below) {
            return static_cast<int>(random() % static_cast<unsigned>(below));
        };
        SimulatedUnitSetup setup = Unit(std::chrono::milliseconds(pick(8000)));  // within bound
        setup.unit.notificationDataLimit = static_cast<size_t>(3 + pick(14));
        setup.writeLatency = std::chrono::milliseconds(pick(30));
        ConnectTo(setup);
        std::vector<std::string> sent;
        for (int step = 0; step < 8; ++step) {
            switch (pick(7)) {
                case 0:
                    SimulatedBle::DropLink();
                    break;
                case 1:
                    SimulatedBle::SetFaults(kUnitAddress,
                                            {pick(4), pick(4), pick(5),
                                             std::chrono::milliseconds(pick(2) * pick(5000))});
                    break;
                case 2:
                    SimulatedBle::SetRadioOff(pick(4) == 0);
                    break;
                case 3:
                    SimulatedBle::AdvanceTime(std::chrono::milliseconds(pick(10000)));
                    break;
                case 4:
                    ScanWifi();
                    break;
                default:
                    sent.push_back("configuration " + std::to_string(step) +
                                   std::string(static_cast<size_t>(pick(60)), '*'));
                    if (!backend.IsConnected()) {
                        backend.Connect(kUnitAddress, error);
                    }
                    if (backend.SendConfiguration(sent.back(), error)) {
                        ASSERT_EQ(Last(), sent.back());
                    } else {
                        ASSERT_FALSE(error.empty());
                    }
            }
        }
        for (const auto& received : SimulatedBle::ReceivedPayloads(kUnitAddress)) {
            EXPECT_NE(
                std::find(sent.begin(), sent.end(), std::string(received.begin(), received.end())),
                sent.end());
        }
        SimulatedBle::SetFaults(kUnitAddress, {});
        SimulatedBle::SetRadioOff(false);
        if (!backend.IsConnected()) {
            ASSERT_TRUE(backend.Connect(kUnitAddress, error)) << Narrow(error);
        }
        ExpectSent("the configuration after the faults");
        ASSERT_TRUE(ScanWifi()) << Narrow(error);
        ASSERT_EQ(networks.size(), 1u);
        backend.Disconnect();
    }
}

}  // namespace
