#include "tests/ble/ble_test_support.h"

#include "ble/flat_text.h"
#include "ble/ov_ble.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

class GattConnect : public SimulatedLinkTest {};

TEST_F(GattConnect, ConnectsAndSwitchesNotificationsOn) {
    SimulatedBle::Install({Unit()});
    ASSERT_TRUE(backend.Connect(kUnitAddress, error));
    EXPECT_TRUE(error.empty());
    EXPECT_TRUE(backend.IsConnected());
    EXPECT_EQ(SimulatedBle::ConnectedAddress(), kUnitAddress);
    EXPECT_TRUE(SimulatedBle::NotificationHandlerRegistered());
}

TEST_F(GattConnect, EachFailureHasItsSentenceAndLeavesNothingHeld) {
    const struct {
        SimulatedConnectFailure failure;
        std::wstring expected;
    } cases[] = {
        {SimulatedConnectFailure::DeviceNotFound, ble_text::kDeviceNotOpened},
        {SimulatedConnectFailure::ServiceDiscoveryFails, ble_text::kServicesNotRead},
        {SimulatedConnectFailure::NoBlufiService, ble_text::kNoBlufiService},
        {SimulatedConnectFailure::CharacteristicDiscoveryFails, ble_text::kCharacteristicsNotRead},
        {SimulatedConnectFailure::MissingWriteCharacteristic, ble_text::kCharacteristicMissing},
        {SimulatedConnectFailure::MissingNotifyCharacteristic, ble_text::kCharacteristicMissing},
        {SimulatedConnectFailure::NotificationsRefused, ble_text::kNotificationsNotEnabled},
        {SimulatedConnectFailure::PlatformError,
         L"Windows 10/11 Bluetooth connection failed (0x80070005)"},
    };
    for (const auto& c : cases) {
        SimulatedUnitSetup setup = Unit();
        setup.connectFailure = c.failure;
        SimulatedBle::Install({setup});
        EXPECT_FALSE(backend.Connect(kUnitAddress, error));
        EXPECT_EQ(error, c.expected);
        EXPECT_FALSE(backend.IsConnected());
        EXPECT_EQ(SimulatedBle::ConnectedAddress(), 0u);
        EXPECT_FALSE(SimulatedBle::NotificationHandlerRegistered());
        EXPECT_EQ(backend.SendConfiguration("x", error), false);
        EXPECT_EQ(error, ble_text::kConnectFirst);
    }
}

TEST_F(GattConnect, AStepThatNeverCompletesIsAbandonedAfter60Seconds) {
    for (const auto failure :
         {SimulatedConnectFailure::OpenHangs, SimulatedConnectFailure::NotificationSwitchHangs}) {
        SimulatedUnitSetup setup = Unit();
        setup.connectFailure = failure;
        setup.connectStepLatency = 200ms;
        SimulatedBle::Install({setup});
        const auto start = SimulatedBle::Now();
        EXPECT_FALSE(backend.Connect(kUnitAddress, error));
        EXPECT_EQ(error, L"Windows 10/11 Bluetooth connection failed (0x800705B4)");
        EXPECT_GE(ElapsedSince(start), 60s);
        EXPECT_LT(ElapsedSince(start), 61s);
        EXPECT_EQ(SimulatedBle::ConnectedAddress(), 0u);
        EXPECT_FALSE(SimulatedBle::NotificationHandlerRegistered());
    }
}

// Open, services, characteristics and the notification switch share one bound.
TEST_F(GattConnect, AllStepsTogetherHaveOneMinute) {
    const struct {
        std::chrono::milliseconds latency;
        bool connects;
    } cases[] = {{14s, true}, {16s, false}};
    for (const auto& c : cases) {
        SimulatedUnitSetup setup = Unit();
        setup.connectStepLatency = c.latency;
        SimulatedBle::Install({setup});
        const auto start = SimulatedBle::Now();
        EXPECT_EQ(backend.Connect(kUnitAddress, error), c.connects) << Narrow(error);
        EXPECT_LE(ElapsedSince(start), 60s);
    }
}

TEST_F(GattConnect, ConnectingAgainRestartsTheNumbering) {
    ConnectTo(HomeUnit());
    ASSERT_TRUE(ScanWifi()) << Narrow(error);
    ASSERT_TRUE(backend.Connect(kUnitAddress, error));
    ASSERT_TRUE(ScanWifi()) << Narrow(error);
    backend.Disconnect();
    ASSERT_TRUE(backend.Connect(kUnitAddress, error));
    ASSERT_TRUE(ScanWifi()) << Narrow(error);
    const auto frames = SimulatedBle::WrittenFrames(kUnitAddress);
    ASSERT_EQ(frames.size(), 3u);
    for (const auto& frame : frames) {
        EXPECT_EQ(frame, (Bytes{0x24, 0x00, 0x00, 0x00}));
    }
}

// Before the first connection and after any number of disconnects alike.
TEST_F(GattConnect, BluFiOperationsWithoutAConnectionAreRefusedWithoutTouchingTheLink) {
    SimulatedBle::Install({Unit()});
    backend.Disconnect();
    for (int round = 0; round < 2; ++round) {
        EXPECT_FALSE(backend.IsConnected());
        EXPECT_EQ(SimulatedBle::ConnectedAddress(), 0u);
        EXPECT_FALSE(ScanWifi());
        EXPECT_EQ(error, ble_text::kConnectFirst);
        EXPECT_FALSE(backend.SendConfiguration("payload", error));
        EXPECT_EQ(error, ble_text::kConnectFirst);
        EXPECT_TRUE(SimulatedBle::WrittenFrames(kUnitAddress).empty());
        ASSERT_TRUE(backend.Connect(kUnitAddress, error));
        backend.Disconnect();
        backend.Disconnect();
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
    EXPECT_EQ(OvBleWrite(frame.data(), 3, text), 0);
    EXPECT_EQ(Text(), ble_text::kNotConnected);
    Connect();
    EXPECT_EQ(OvBleWrite(frame.data(), 21, text), 0);
    EXPECT_EQ(Text(), ble_text::kWriteTooLong);
    EXPECT_EQ(OvBleWrite(frame.data(), 21, nullptr), 0);  // no message wanted
}

TEST_F(FlatLink, WaitWithTimeOutZeroReturnsAtOnce) {
    Connect();
    const auto start = SimulatedBle::Now();
    EXPECT_EQ(OvBleWaitNotification(buffer, &length, 0, text), 0);
    EXPECT_EQ(length, 0);
    EXPECT_EQ(Text(), ble_text::kNotificationTimeout);
    EXPECT_EQ(ElapsedSince(start), 0ms);
    ASSERT_TRUE(SimulatedBle::InjectNotification({1, 2, 3}));
    EXPECT_EQ(OvBleWaitNotification(buffer, &length, 0, text), 1);
    EXPECT_EQ(length, 3);
    EXPECT_EQ(text[0], L'\0');
}

TEST_F(FlatLink, StoresAtMost512BytesOfANotification) {
    Connect();
    Bytes big(700);
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<uint8_t>(i);
    }
    ASSERT_TRUE(SimulatedBle::InjectNotification(big));
    Bytes out(kOvBleNotificationCapacity + 8, 0xEE);
    ASSERT_EQ(OvBleWaitNotification(out.data(), &length, 0, nullptr), 1);
    EXPECT_EQ(length, 512);
    EXPECT_EQ(out[511], static_cast<uint8_t>(511));
    EXPECT_EQ(out[512], 0xEE);
}

TEST_F(FlatLink, DisconnectDropsQueuedNotificationsAndTheWriteCharacteristic) {
    Connect();
    ASSERT_TRUE(SimulatedBle::InjectNotification({1}));
    OvBleDisconnect();
    OvBleDisconnect();
    EXPECT_EQ(OvBleWaitNotification(buffer, &length, 0, nullptr), 0);
    const uint8_t frame[4] = {0x24, 0, 0, 0};
    EXPECT_EQ(OvBleWrite(frame, 4, text), 0);
    EXPECT_EQ(Text(), ble_text::kNotConnected);
}

TEST_F(FlatLink, ConnectDiscardsNotificationsOfTheEarlierConnection) {
    Connect();
    ASSERT_TRUE(SimulatedBle::InjectNotification({1}));
    ASSERT_EQ(OvBleConnect(kUnitAddress, text, kOvBleErrorCapacity), 1);
    EXPECT_EQ(OvBleWaitNotification(nullptr, nullptr, 0, nullptr), 0);
}

TEST_F(FlatLink, ConnectMessageIsCutToTheCallersCapacity) {
    SimulatedBle::Install({});
    wchar_t shortText[10];
    EXPECT_EQ(OvBleConnect(kUnitAddress, shortText, 10), 0);
    EXPECT_EQ(TextOfBuffer(shortText, 10), std::wstring(ble_text::kDeviceNotOpened).substr(0, 9));
}

}  // namespace
