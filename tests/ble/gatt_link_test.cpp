#include "tests/ble/ble_test_support.h"

#include <numeric>

#include "ble/ov_ble.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

class GattConnect : public SimulatedLinkTest {};

TEST_F(GattConnect, EachFailureHasItsSentenceAndLeavesNothingHeld) {
    using F = SimulatedConnectFailure;
    const struct {
        SimulatedConnectFailure failure;
        std::wstring sentence;
    } cases[] = {{F::DeviceNotFound, ble_text::kDeviceNotOpened},
                 {F::ServiceDiscoveryFails, ble_text::kServicesNotRead},
                 {F::NoBlufiService, ble_text::kNoBlufiService},
                 {F::CharacteristicDiscoveryFails, ble_text::kCharacteristicsNotRead},
                 {F::MissingWriteCharacteristic, ble_text::kCharacteristicMissing},
                 {F::MissingNotifyCharacteristic, ble_text::kCharacteristicMissing},
                 {F::NotificationsRefused, ble_text::kNotificationsNotEnabled},
                 {F::PlatformError, L"Windows 10/11 Bluetooth connection failed (0x80070005)"}};
    for (const auto& c : cases) {
        SimulatedUnitSetup setup = Unit();
        setup.connectFailure = c.failure;
        SimulatedBle::Install({setup});
        EXPECT_FALSE(backend.Connect(kUnitAddress, error));
        EXPECT_EQ(error, c.sentence);
        EXPECT_FALSE(backend.IsConnected());
        EXPECT_EQ(SimulatedBle::ConnectedAddress(), 0u);
        EXPECT_FALSE(SimulatedBle::NotificationHandlerRegistered());
        EXPECT_FALSE(backend.SendConfiguration("x", error));
        EXPECT_EQ(error, ble_text::kConnectFirst);
    }
}

// Open, services, characteristics and the notification switch share one bound of a minute, and
// a step that never completes is abandoned there.
TEST_F(GattConnect, AllStepsTogetherHaveOneMinute) {
    const struct {
        SimulatedConnectFailure failure;
        std::chrono::milliseconds latency;
        bool connects;
    } cases[] = {{SimulatedConnectFailure::None, 14s, true},
                 {SimulatedConnectFailure::None, 16s, false},
                 {SimulatedConnectFailure::OpenHangs, 200ms, false}};
    for (const auto& c : cases) {
        SimulatedUnitSetup setup = Unit();
        setup.connectFailure = c.failure;
        setup.connectStepLatency = c.latency;
        SimulatedBle::Install({setup});
        const auto start = SimulatedBle::Now();
        EXPECT_EQ(backend.Connect(kUnitAddress, error), c.connects) << Narrow(error);
        EXPECT_LE(ElapsedSince(start), 60s);
        if (!c.connects) {
            EXPECT_EQ(error, L"Windows 10/11 Bluetooth connection failed (0x800705B4)");
            EXPECT_GE(ElapsedSince(start), 60s);
            EXPECT_FALSE(SimulatedBle::NotificationHandlerRegistered());
        }
    }
}

class FlatLink : public SimulatedLinkTest {
protected:
    FlatLink() { std::fill(std::begin(text), std::end(text), L'?'); }
    void Connect() {
        SimulatedBle::Install({SilentUnit()});
        ASSERT_EQ(OvBleConnect(kUnitAddress, text, kOvBleErrorCapacity), 1);
        EXPECT_EQ(text[0], L'\0');
    }
    std::wstring Text() const { return TextOfBuffer(text, kOvBleErrorCapacity); }

    wchar_t text[kOvBleErrorCapacity] = {};
    uint8_t buffer[kOvBleNotificationCapacity] = {};
    int length = -1;
};

TEST_F(FlatLink, WriteChecksTheConnectionBeforeTheLength) {
    const Bytes frame(21, 0);
    EXPECT_EQ(OvBleWrite(frame.data(), 21, text), 0);
    EXPECT_EQ(Text(), ble_text::kNotConnected);
    Connect();
    EXPECT_EQ(OvBleWrite(frame.data(), 21, text), 0);
    EXPECT_EQ(Text(), ble_text::kWriteTooLong);
    EXPECT_EQ(OvBleWrite(frame.data(), 21, nullptr), 0);  // no message wanted
}

// At most 512 bytes of a notification are stored; time-out zero returns at once.
TEST_F(FlatLink, WaitTakesWhatIsQueuedWithoutWaitingAtTimeOutZero) {
    Connect();
    const auto start = SimulatedBle::Now();
    EXPECT_EQ(OvBleWaitNotification(buffer, &length, 0, text), 0);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(Text(), ble_text::kNotificationTimeout);
    EXPECT_EQ(ElapsedSince(start), 0ms);
    Bytes big(700);
    std::iota(big.begin(), big.end(), uint8_t{0});
    ASSERT_TRUE(SimulatedBle::InjectNotification(big));
    Bytes out(kOvBleNotificationCapacity + 8, 0xEE);
    ASSERT_EQ(OvBleWaitNotification(out.data(), &length, 0, text), 1);
    EXPECT_EQ(text[0], L'\0');
    EXPECT_EQ(length, 512);
    EXPECT_EQ(out[511], static_cast<uint8_t>(511));
    EXPECT_EQ(out[512], 0xEE);
}

// Neither a disconnect nor a new connection lets notifications of the old one through.
TEST_F(FlatLink, NotificationsOfAClosedConnectionAreDropped) {
    Connect();
    ASSERT_TRUE(SimulatedBle::InjectNotification({1}));
    ASSERT_EQ(OvBleConnect(kUnitAddress, text, kOvBleErrorCapacity), 1);
    EXPECT_EQ(OvBleWaitNotification(nullptr, nullptr, 0, nullptr), 0);
    ASSERT_TRUE(SimulatedBle::InjectNotification({1}));
    OvBleDisconnect();
    OvBleDisconnect();
    EXPECT_EQ(OvBleWaitNotification(buffer, &length, 0, nullptr), 0);
    const uint8_t frame[4] = {0x24, 0, 0, 0};
    EXPECT_EQ(OvBleWrite(frame, 4, text), 0);
    EXPECT_EQ(Text(), ble_text::kNotConnected);
}

}  // namespace
