#include "tests/ble/ble_test_support.h"

#include <numeric>

namespace {

class Discovery : public SimulatedLinkTest {};

// Four seconds of listening and a grace of 50 milliseconds; other advertisers are left out; at
// most 64 entries, with names of at most 127 units. The order and the strongest reading are
// the scan collection's, checked on their own.
TEST_F(Discovery, ListsThe64StrongestBaseUnitsHeardInFourSeconds) {
    std::vector<SimulatedUnitSetup> many;
    for (int i = 0; i < 70; ++i) {
        many.push_back(Unit(100 + i, L"OV " + std::to_wstring(i), {static_cast<int16_t>(-20 - i)}));
    }
    many[0].name = L"OV" + std::wstring(198, L'n');
    SimulatedBle::Install(many, {{9, L"Headphones", {-10}}});
    const auto start = SimulatedBle::Now();
    ASSERT_TRUE(ScanUnits());
    EXPECT_EQ(ElapsedSince(start), 4050ms);
    EXPECT_TRUE(error.empty());
    ASSERT_EQ(units.size(), 64u);
    EXPECT_EQ(units.front().address, 100u);
    EXPECT_EQ(units.front().name, L"OV" + std::wstring(125, L'n'));
    EXPECT_EQ(units.back().rssi, -83);
    EXPECT_TRUE(units.back().hasRssi);
}

TEST_F(Discovery, FindingNothingIsASuccess) {
    SimulatedBle::Install({}, {{9, L"Speaker", {-40}}});
    units = {BaseUnitInfo{}};
    EXPECT_TRUE(ScanUnits());
    EXPECT_TRUE(units.empty());
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(OvBleScan(nullptr, 0, nullptr, nullptr, 0), 1);  // null outputs are accepted
}

TEST_F(Discovery, ScannerFailuresBecomeSentencesAndLeaveNoHandlerBehind) {
    using S = SimulatedScanner;
    const struct {
        SimulatedScanner scanner;
        uint32_t code;  // of a failing Start or Stop
        std::wstring sentence;
    } cases[] = {
        {S::RadioOff, 0, ble_text::kRadioOff},
        {S::RadioUnavailable, 0, ble_text::kRadioOff},
        {S::ScannerFails, 0, ble_text::kScannerFailed},
        {S::StartFails, 0x800710DFu, ble_text::kRadioOff},
        {S::StartFails, 0x80070015u, L"Windows 10/11 advertisement scan failed (0x80070015)"},
        {S::StopFails, 0x8000000Eu, L"Windows 10/11 advertisement scan failed (0x8000000E)"}};
    for (const auto& c : cases) {
        SimulatedBle::Install({Unit()});
        SimulatedBle::SetScanner(c.scanner, c.code);
        units = {BaseUnitInfo{}};
        EXPECT_FALSE(ScanUnits());
        EXPECT_EQ(error, c.sentence);
        EXPECT_TRUE(units.empty());
        EXPECT_FALSE(SimulatedBle::ScanHandlersRegistered());
    }
}

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

TEST_F(FlatLink, WriteRefusesAFrameOfMoreThan20Bytes) {
    Connect();
    const Bytes frame(21, 0);
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
