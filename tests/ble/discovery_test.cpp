#include "tests/ble/ble_test_support.h"

#include "ble/ov_ble.h"

namespace {

using namespace std::chrono_literals;

class Discovery : public SimulatedLinkTest {};

// Four seconds of listening and a grace of 50 milliseconds; other advertisers are left out. The
// order and the strongest reading are the scan collection's, checked on their own.
TEST_F(Discovery, ListsBaseUnitsStrongestFirstWithTheirStrongestReading) {
    SimulatedBle::Install({Unit(1, L"OV Kitchen", {-80, -62, -75}), Unit(2, L"ov hall", {-50})},
                          {{9, L"Headphones", {-30}}, {11, L"", {-10}}});
    const auto start = SimulatedBle::Now();
    ASSERT_TRUE(ScanUnits());
    EXPECT_EQ(ElapsedSince(start), 4050ms);
    EXPECT_TRUE(error.empty());
    ASSERT_EQ(units.size(), 2u);
    EXPECT_EQ(units[0].name, L"ov hall");
    EXPECT_EQ(units[1].address, 1u);
    EXPECT_EQ(units[1].rssi, -62);
    EXPECT_TRUE(units[1].hasRssi);
}

// The list's limits: 64 entries, and names of at most 127 units.
TEST_F(Discovery, ReturnsThe64StrongestOf70WithLongNamesCut) {
    std::vector<SimulatedUnitSetup> many;
    for (int i = 0; i < 70; ++i) {
        many.push_back(Unit(100 + i, L"OV " + std::to_wstring(i), {static_cast<int16_t>(-20 - i)}));
    }
    many[0].name = L"OV" + std::wstring(198, L'n');
    SimulatedBle::Install(many);
    ASSERT_TRUE(ScanUnits());
    ASSERT_EQ(units.size(), 64u);
    EXPECT_EQ(units.front().name, L"OV" + std::wstring(125, L'n'));
    EXPECT_EQ(units.back().rssi, -83);
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

}  // namespace
