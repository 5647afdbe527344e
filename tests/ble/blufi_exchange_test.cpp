#include "tests/ble/ble_test_support.h"

#include <numeric>

namespace {

class WifiScan : public SimulatedLinkTest {};

// Far more fragments than the 64 notifications the link holds at once.
TEST_F(WifiScan, ReassemblesAHugeListFromFragments) {
    SimulatedUnitSetup setup = Unit();
    for (int i = 0; i < 250; ++i) {
        setup.unit.networks.push_back(
            {"Network with a long name " + std::to_string(1000 + i), static_cast<int8_t>(-i / 3)});
    }
    ConnectTo(setup);
    ASSERT_TRUE(ScanWifi()) << Narrow(error);
    ASSERT_EQ(networks.size(), 250u);
    EXPECT_EQ(networks.back().ssid, L"Network with a long name 1249");
    EXPECT_EQ(networks.back().rssi, -83);
}

// Entries of length, signed rssi and UTF-8 name, listed strongest first, then by name.
TEST_F(WifiScan, DecodesAndOrdersListData) {
    const struct {
        Bytes data;
        bool ok;
        std::vector<std::pair<std::wstring, int>> expected;
    } cases[] = {
        {{0x01, 0xD0, 0x05, 0xC4, 'H', 'o', 'm', 'e'}, true, {{L"Home", -60}}},
        {{0x02, 0xCE, 'b', 0x03, 0xCE, 'a', 'b', 0x02, 0xCE, 'a', 0x02, 0xD8, 'z'},
         true,
         {{L"z", -40}, {L"a", -50}, {L"ab", -50}, {L"b", -50}}},
        {{}, true, {}},
        {{0x00}, false, {}},
        {{0x06, 0xC4, 'H', 'o', 'm', 'e'}, false, {}},
        {{0x06, 0x7F, 'C', 'a', 'f', 0xC3, 0xA9}, true, {{L"Caf\x00E9", 127}}},
        {{0x05, 0x80, 'a', 0xFF, 'b', 'c'}, true, {{L"a\uFFFDbc", -128}}},
    };
    for (const auto& c : cases) {
        ConnectTo(SilentUnit());
        // Already queued before the request: the first list after it counts, queued or not.
        ASSERT_TRUE(SimulatedBle::SendFromConnectedUnit(0x45, c.data));
        EXPECT_EQ(ScanWifi(), c.ok);
        EXPECT_EQ(error, c.ok ? L"" : ble_text::kWifiListMalformed);
        std::vector<std::pair<std::wstring, int>> listed;
        for (const auto& network : networks) {
            listed.emplace_back(network.ssid, network.rssi);
        }
        EXPECT_EQ(listed, c.expected);
    }
}

TEST_F(WifiScan, UnitMisbehaviourEndsInTheMatchingSentenceWithoutDisconnecting) {
    const struct {
        bool SimulatedMisbehaviour::*fault;
        std::wstring expected;
    } cases[] = {
        {&SimulatedMisbehaviour::answerWithErrorReport, ble_text::kWifiScanError},
        {&SimulatedMisbehaviour::skipSequence,
         L"BLUFI receive sequence mismatch. Expected 0, received 1."},
    };
    for (const auto& c : cases) {
        SimulatedUnitSetup setup = HomeUnit();
        setup.unit.misbehaviour.*c.fault = true;
        ConnectTo(setup);
        EXPECT_FALSE(ScanWifi());
        EXPECT_EQ(error, c.expected);
        EXPECT_TRUE(backend.IsConnected());
    }
}

// Frames of other types ahead of the list are passed over but do not extend its 20 seconds,
// counted across the wrap of the 32-bit tick counter too.
TEST_F(WifiScan, TheListIsAwaitedPastOtherFramesForAtMost20Seconds) {
    const struct {
        uint32_t startTick;
        int unrelatedFrames;
        std::chrono::milliseconds spacing, answerDelay;
        std::wstring expected;
    } cases[] = {
        {0, 0, 0ms, 19s, L""},
        {0, 5, 0ms, 0ms, L""},
        {0, 0, 0ms, 21s, ble_text::kNotificationTimeout},
        {0, 40, 1000ms, 0ms, ble_text::kWifiScanTimeout},  // the 20th as the budget ends
        {0xFFFFFFFFu - 5000, 40, 1500ms, 0ms, ble_text::kNotificationTimeout},
    };
    for (const auto& c : cases) {
        SimulatedBle::UseVirtualTime(true, c.startTick);
        SimulatedUnitSetup setup = HomeUnit();
        setup.unit.misbehaviour.unrelatedFramesFirst = c.unrelatedFrames;
        setup.notificationSpacing = c.spacing;
        setup.answerDelay = c.answerDelay;
        ConnectTo(setup);
        const auto start = SimulatedBle::Now();
        EXPECT_EQ(ScanWifi(), c.expected.empty());
        EXPECT_EQ(error, c.expected);
        if (!c.expected.empty()) {
            EXPECT_EQ(ElapsedSince(start), 20000ms);
        }
    }
}

// A late answer and one that never comes are abandoned alike, and neither disconnects.
TEST_F(WifiScan, AnUnansweredWriteIsAbandonedAfter10Seconds) {
    for (const bool hangs : {false, true}) {
        SimulatedUnitSetup setup = HomeUnit();
        setup.failWriteNumber = hangs ? 1 : 0;
        setup.writeFailure = SimulatedWriteFailure::Hang;
        setup.writeLatency = hangs ? 0s : 12s;
        ConnectTo(setup);
        const auto start = SimulatedBle::Now();
        EXPECT_FALSE(ScanWifi());
        EXPECT_EQ(error, L"Windows 10/11 BLUFI write failed (0x800705B4)");
        EXPECT_EQ(ElapsedSince(start), 10000ms);
        SimulatedBle::AdvanceTime(5s);  // a late answer finds nobody waiting
        EXPECT_TRUE(backend.IsConnected());
        EXPECT_TRUE(SimulatedBle::WrittenFrames(kUnitAddress).empty());
    }
}

class ConfigurationSend : public SimulatedLinkTest {};

std::string PayloadOf(size_t length) {
    std::string payload(length, ' ');
    std::iota(payload.begin(), payload.end(), 'a');
    return payload;
}

TEST_F(ConfigurationSend, SplitsIntoFramesTenMillisecondsApart) {
    const struct {
        size_t length;
        size_t frames;
    } cases[] = {{16, 1}, {17, 2}, {600, 43}};
    for (const auto& c : cases) {
        SimulatedUnitSetup setup = Unit();
        setup.writeLatency = 15ms;
        ConnectTo(setup);
        const std::string payload = PayloadOf(c.length);
        const auto start = SimulatedBle::Now();
        ASSERT_TRUE(backend.SendConfiguration(payload, error)) << Narrow(error);
        ASSERT_EQ(SimulatedBle::WrittenFrames(kUnitAddress).size(), c.frames);
        const auto times = SimulatedBle::WriteTimes(kUnitAddress);
        for (size_t i = 1; i < times.size(); ++i) {
            EXPECT_EQ(times[i] - times[i - 1], 25ms);  // pause plus the next write's response
        }
        EXPECT_EQ(ElapsedSince(start), c.frames * 15ms + (c.frames - 1) * 10ms +
                                           std::chrono::milliseconds(kRefusalListenMs));
        EXPECT_EQ(SimulatedBle::ReceivedPayloads(kUnitAddress),
                  std::vector<Bytes>{Bytes(payload.begin(), payload.end())});
    }
}

// Neither an empty payload nor an oversized frame reaches the link or uses up a number.
TEST_F(ConfigurationSend, RefusesWhatCannotBeSentBeforeWriting) {
    ConnectTo(Unit());
    EXPECT_FALSE(backend.SendConfiguration("", error));
    EXPECT_EQ(error, ble_text::kConfigurationEmpty);
    EXPECT_FALSE(backend.WriteBlufiFrame(Bytes(21, 0), error));
    EXPECT_EQ(error, ble_text::kFrameTooLong);
    EXPECT_TRUE(backend.SendConfiguration("x", error));
    const auto frames = SimulatedBle::WrittenFrames(kUnitAddress);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0][2], 0);
}

// The unit never saw the frames after the failing one and would refuse every later frame, so
// the next exchange, a Wi-Fi scan or a send, connects afresh.
TEST_F(ConfigurationSend, AWriteFailingPartWayStopsTheSendAndTheNextExchangeConnectsAfresh) {
    const struct {
        SimulatedWriteFailure failure;
        std::wstring sentence;
    } cases[] = {
        {SimulatedWriteFailure::Status, ble_text::kWriteRejected},
        {SimulatedWriteFailure::Platform, L"Windows 10/11 BLUFI write failed (0x80650003)"},
        {SimulatedWriteFailure::Hang, L"Windows 10/11 BLUFI write failed (0x800705B4)"}};
    for (const auto& c : cases) {
        SimulatedUnitSetup setup = HomeUnit();
        setup.failWriteNumber = 3;
        setup.writeFailure = c.failure;
        ConnectTo(setup);
        EXPECT_FALSE(backend.SendConfiguration(PayloadOf(60), error));  // five frames
        EXPECT_EQ(error, c.sentence);
        EXPECT_EQ(SimulatedBle::WrittenFrames(kUnitAddress).size(), 2u);
        EXPECT_TRUE(backend.IsConnected());
        ASSERT_TRUE(ScanWifi()) << Narrow(error);
        EXPECT_EQ(networks.size(), 1u);
        const std::string payload = PayloadOf(16);  // one frame, clear of a failing third
        EXPECT_TRUE(backend.SendConfiguration(payload, error)) << Narrow(error);
        const auto frames = SimulatedBle::WrittenFrames(kUnitAddress);
        ASSERT_EQ(frames.size(), 4u);
        EXPECT_EQ(frames[2], (Bytes{0x24, 0x00, 0x00, 0x00}));  // numbered afresh
        EXPECT_EQ(frames[3][2], 1);
        EXPECT_EQ(SimulatedBle::ReceivedPayloads(kUnitAddress),
                  std::vector<Bytes>{Bytes(payload.begin(), payload.end())});
        EXPECT_TRUE(SimulatedBle::ProtocolErrors(kUnitAddress).empty());
    }
}

}  // namespace
