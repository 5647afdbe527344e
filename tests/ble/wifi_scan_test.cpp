#include "tests/ble/ble_test_support.h"

#include "ble/flat_text.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

class WifiScan : public SimulatedLinkTest {};

TEST_F(WifiScan, DecodesAndOrdersTheUnitsList) {
    SimulatedUnitSetup setup = Unit();
    setup.unit.networks = {{"Beta", -50}, {"Alpha", -50}, {"Gamma", -40}, {"Alp", -50}};
    ConnectTo(setup);
    error = L"stale";
    ASSERT_TRUE(ScanWifi()) << Narrow(error);
    EXPECT_TRUE(error.empty());
    ASSERT_EQ(networks.size(), 4u);
    EXPECT_EQ(networks[0].ssid, L"Gamma");
    EXPECT_EQ(networks[0].rssi, -40);
    EXPECT_EQ(networks[1].ssid, L"Alp");
    EXPECT_EQ(networks[2].ssid, L"Alpha");
    EXPECT_EQ(networks[3].ssid, L"Beta");
}

// Far more fragments than the 64 notifications the link holds at once.
TEST_F(WifiScan, ReassemblesAHugeListFromFragmentsWithAndWithoutChecksums) {
    for (const bool checksums : {false, true}) {
        SimulatedUnitSetup setup = Unit();
        setup.unit.checksums = checksums;
        for (int i = 0; i < 250; ++i) {
            setup.unit.networks.push_back({"Network with a long name " + std::to_string(1000 + i),
                                           static_cast<int8_t>(-i / 3)});
        }
        ConnectTo(setup);
        ASSERT_TRUE(ScanWifi()) << Narrow(error);
        ASSERT_EQ(networks.size(), 250u);
        EXPECT_EQ(networks.back().ssid, L"Network with a long name 1249");
        EXPECT_EQ(networks.back().rssi, -83);
    }
}

TEST_F(WifiScan, DecodesListData) {
    const struct {
        Bytes data;
        bool ok;
        std::vector<std::pair<std::wstring, int>> expected;
    } cases[] = {
        {{0x05, 0xC4, 'H', 'o', 'm', 'e'}, true, {{L"Home", -60}}},
        {{0x01, 0xD0, 0x05, 0xC4, 'H', 'o', 'm', 'e'}, true, {{L"Home", -60}}},
        {{}, true, {}},
        {{0x00}, false, {}},
        {{0x06, 0xC4, 'H', 'o', 'm', 'e'}, false, {}},
        {{0x05, 0xC4, 'H', 'o', 'm', 'e', 0x03}, false, {}},
        {{0x06, 0x7F, 'C', 'a', 'f', 0xC3, 0xA9}, true, {{L"Caf\x00E9", 127}}},
        {{0x05, 0x80, 'a', 0xFF, 'b', 'c'},
         true,
         {{L"a\xFFFD"
           L"bc",
           -128}}},
        {{0x05, 0xC4, 0xF0, 0x9F, 0x98, 0x80}, true, {{L"\xD83D\xDE00", -60}}},
    };
    for (const auto& c : cases) {
        ConnectSilent();
        // Already queued before the request: the first list after it counts, queued or not.
        ASSERT_TRUE(SimulatedBle::SendFromConnectedUnit(kBlufiTypeWifiList, c.data));
        EXPECT_EQ(ScanWifi(), c.ok);
        if (!c.ok) {
            EXPECT_EQ(error, ble_text::kWifiListMalformed);
            continue;
        }
        ASSERT_EQ(networks.size(), c.expected.size());
        for (size_t i = 0; i < networks.size(); ++i) {
            EXPECT_EQ(networks[i].ssid, c.expected[i].first);
            EXPECT_EQ(networks[i].rssi, c.expected[i].second);
        }
    }
}

TEST_F(WifiScan, SkipsOtherFramesBeforeTheList) {
    SimulatedUnitSetup setup = HomeUnit();
    setup.unit.misbehaviour.unrelatedFramesFirst = 5;
    ConnectTo(setup);
    ASSERT_TRUE(ScanWifi()) << Narrow(error);
    ASSERT_EQ(networks.size(), 1u);
}

TEST_F(WifiScan, UnitMisbehaviourEndsInTheMatchingSentence) {
    const auto with = [](auto change) {
        SimulatedMisbehaviour fault;
        change(fault);
        return fault;
    };
    const struct {
        SimulatedMisbehaviour fault;
        std::wstring expected;
    } cases[] = {
        {with([](auto& f) { f.answerWithErrorReport = true; }), ble_text::kWifiScanError},
        {with([](auto& f) { f.skipSequence = true; }),
         L"BLUFI receive sequence mismatch. Expected 0, received 1."},
    };
    for (const auto& c : cases) {
        SimulatedUnitSetup setup = HomeUnit();
        setup.unit.misbehaviour = c.fault;
        ConnectTo(setup);
        EXPECT_FALSE(ScanWifi());
        EXPECT_EQ(error, c.expected);
        EXPECT_TRUE(backend.IsConnected());  // no failure disconnects
    }
}

TEST_F(WifiScan, ASilentUnitTimesOutAfter20Seconds) {
    ConnectSilent();
    const auto start = SimulatedBle::Now();
    EXPECT_FALSE(ScanWifi());
    EXPECT_EQ(error, ble_text::kNotificationTimeout);
    EXPECT_EQ(ElapsedSince(start), 20000ms);
}

TEST_F(WifiScan, OnlyOtherFramesUntilTheBudgetIsSpent) {
    // One unrelated frame a second: the twentieth arrives exactly as the budget ends.
    SimulatedUnitSetup setup = HomeUnit();
    setup.unit.misbehaviour.unrelatedFramesFirst = 40;
    setup.notificationSpacing = 1000ms;
    ConnectTo(setup);
    EXPECT_FALSE(ScanWifi());
    EXPECT_EQ(error, ble_text::kWifiScanTimeout);
}

TEST_F(WifiScan, TheBudgetCountsAcrossTheTickCounterWrap) {
    SimulatedBle::UseVirtualTime(true, 0xFFFFFFFFu - 5000);
    SimulatedUnitSetup setup = HomeUnit();
    setup.unit.misbehaviour.unrelatedFramesFirst = 40;
    setup.notificationSpacing = 1500ms;
    ConnectTo(setup);
    const auto start = SimulatedBle::Now();
    EXPECT_FALSE(ScanWifi());
    EXPECT_EQ(error, ble_text::kNotificationTimeout);
    EXPECT_EQ(ElapsedSince(start), 20000ms);
}

TEST_F(WifiScan, ASlowListWithinTheBudgetArrives) {
    SimulatedUnitSetup setup = HomeUnit();
    setup.answerDelay = 19s;
    ConnectTo(setup);
    ASSERT_TRUE(ScanWifi()) << Narrow(error);
    EXPECT_EQ(networks.size(), 1u);
}

TEST_F(WifiScan, ANotificationLeftFromAnEarlierOperationIsPassedThroughTheCodec) {
    ConnectTo(HomeUnit());
    ASSERT_TRUE(ScanWifi()) << Narrow(error);
    ASSERT_TRUE(SimulatedBle::SendFromConnectedUnit(0x00, {}));  // e.g. after the send
    ASSERT_TRUE(ScanWifi()) << Narrow(error);
    EXPECT_EQ(networks.size(), 1u);
    EXPECT_EQ(SimulatedBle::WifiListRequests(kUnitAddress), 2);
}

TEST_F(WifiScan, AFloodBeforeTheRequestLosesTheOldestAndBreaksTheNumbering) {
    SimulatedUnitSetup setup = SilentUnit();
    setup.notificationSpacing = 0ms;  // all at once, faster than anyone takes them
    ConnectTo(setup);
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(SimulatedBle::SendFromConnectedUnit(0x00, {}));
    }
    EXPECT_FALSE(ScanWifi());
    EXPECT_EQ(error, L"BLUFI receive sequence mismatch. Expected 0, received 36.");
}

// A late answer and one that never comes are abandoned alike, and neither disconnects.
TEST_F(WifiScan, AnUnansweredWriteIsAbandonedAfter10Seconds) {
    for (const bool hangs : {false, true}) {
        SimulatedUnitSetup setup = HomeUnit();
        if (hangs) {
            setup.failWriteNumber = 1;
            setup.writeFailure = SimulatedWriteFailure::Hang;
        } else {
            setup.writeLatency = 12s;
        }
        ConnectTo(setup);
        const auto start = SimulatedBle::Now();
        EXPECT_FALSE(ScanWifi());
        EXPECT_EQ(error, L"Windows 10/11 BLUFI write failed (0x800705B4)");
        EXPECT_EQ(ElapsedSince(start), 10000ms);
        SimulatedBle::AdvanceTime(5s);  // a late answer finds nobody waiting
        EXPECT_TRUE(backend.IsConnected());
        if (hangs) {
            EXPECT_TRUE(SimulatedBle::WrittenFrames(kUnitAddress).empty());
        }
    }
}

}  // namespace
