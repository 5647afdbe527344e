#include "tests/ble/ble_test_support.h"

#include "ble/ov_ble.h"
#include "tests/ble/link_failure_cases.h"

namespace {

using namespace std::chrono_literals;

class Discovery : public SimulatedLinkTest {};

// Four seconds of listening and a grace of 50 milliseconds; other advertisers are left out.
TEST_F(Discovery, ListsBaseUnitsStrongestFirstWithTheirStrongestReading) {
    SimulatedBle::Install(
        {Unit(1, L"OV Kitchen", {-80, -62, -75}), Unit(2, L"ov hall", {-50}),
         Unit(3, L"Ov attic", {-62})},
        {{9, L"Headphones", {-30}}, {10, L"O", {-20}}, {11, L"", {-10}}, {12, L"OW12", {-40}}});
    const auto start = SimulatedBle::Now();
    ASSERT_TRUE(ScanUnits());
    EXPECT_EQ(ElapsedSince(start), 4050ms);
    EXPECT_TRUE(error.empty());
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].address, 2u);
    EXPECT_EQ(units[0].name, L"ov hall");
    EXPECT_EQ(units[1].name, L"OV Kitchen");  // -62 ties with Ov attic; 'K' before 'a'
    EXPECT_EQ(units[1].rssi, -62);
    EXPECT_EQ(units[2].name, L"Ov attic");
    for (const auto& unit : units) {
        EXPECT_TRUE(unit.hasRssi);
    }
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
    EXPECT_EQ(units.front().rssi, -20);
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
    auto cases = ScannerFailureCases();
    cases.push_back({SimulatedScanner::StartFails, 0x800710DFu, ble_text::kRadioOff});
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
