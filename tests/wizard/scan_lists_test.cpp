#include "wizard/scan_lists.h"

#include <gtest/gtest.h>

namespace {

TEST(SignalLevel, ThresholdsSplitReadingsIntoFourBars) {
    struct Case {
        int32_t rssi;
        int level;
    };
    const Case cases[] = {{0, 4},   {-60, 4}, {-61, 3},  {-72, 3},       {-73, 2},
                          {-84, 2}, {-85, 1}, {-127, 1}, {INT32_MIN, 1}, {INT32_MAX, 4}};
    for (const Case& c : cases) {
        EXPECT_EQ(SignalLevel(c.rssi, true), c.level) << c.rssi;
    }
    EXPECT_EQ(SignalLevel(-40, false), 0);
}

TEST(SignalText, ShowsSignedDecibelsOrAvailable) {
    EXPECT_EQ(SignalText(-67, true), L"-67 dBm");
    EXPECT_EQ(SignalText(5, true), L"5 dBm");
    EXPECT_EQ(SignalText(-2147483647 - 1, true), L"-2147483648 dBm");
    EXPECT_EQ(SignalText(-67, false), L"Available");
}

std::vector<std::wstring> Names(const std::vector<BaseUnitInfo>& units) {
    std::vector<std::wstring> names;
    for (const BaseUnitInfo& u : units) {
        names.push_back(u.name);
    }
    return names;
}

TEST(SortBaseUnits, ReadingsFirstThenStrongerThenCodeUnitOrder) {
    std::vector<BaseUnitInfo> units = {
        {1, L"OV-aaa", 0, false}, {2, L"OV-b", -80, true},  {3, L"OV-a", -50, true},
        {4, L"OV-B", -80, true},  {5, L"OV-Bx", -80, true}, {6, L"OV-AAA", 0, false},
    };
    SortBaseUnits(units);
    EXPECT_EQ(Names(units), (std::vector<std::wstring>{L"OV-a", L"OV-B", L"OV-Bx", L"OV-b",
                                                       L"OV-AAA", L"OV-aaa"}));
}

TEST(SortBaseUnits, ComparesCodeUnitsAsUnsignedSixteenBitValues) {
    // U+FF21 (fullwidth A) must sort after ASCII, and a surrogate after U+FF21.
    std::vector<BaseUnitInfo> units = {
        {1, std::wstring(L"OV") + wchar_t(0xD83D) + wchar_t(0xDE00), -60, true},
        {2, std::wstring(L"OV") + wchar_t(0xFF21), -60, true},
        {3, L"OVz", -60, true},
    };
    SortBaseUnits(units);
    EXPECT_EQ(units[0].address, 3u);
    EXPECT_EQ(units[1].address, 1u);  // 0xD83D < 0xFF21
    EXPECT_EQ(units[2].address, 2u);
}

TEST(MergeWifiNetworks, KeepsOneEntryPerSsidWithItsStrongestReading) {
    const std::vector<WifiNetwork> scanned = {
        {L"Home", -70}, {L"", -30},     {L"Office", -65},
        {L"Home", -50}, {L"home", -90}, {L"Home", -80},
    };
    const std::vector<WifiNetwork> merged = MergeWifiNetworks(scanned);
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_EQ(merged[0].ssid, L"Home");
    EXPECT_EQ(merged[0].rssi, -50);
    EXPECT_EQ(merged[1].ssid, L"Office");
    EXPECT_EQ(merged[2].ssid, L"home");
}

TEST(MergeWifiNetworks, TreatsSsidsWithEmbeddedNulsAsDistinct) {
    const std::wstring withNul(L"a\0b", 3);
    const std::vector<WifiNetwork> merged = MergeWifiNetworks({{L"a", -60}, {withNul, -50}});
    EXPECT_EQ(merged.size(), 2u);
}

TEST(SortWifiNetworks, StrongerFirstThenCodeUnitOrder) {
    std::vector<WifiNetwork> networks = {{L"b", -60}, {L"B", -60}, {L"a", -40}, {L"Ba", -60}};
    SortWifiNetworks(networks);
    EXPECT_EQ(networks[0].ssid, L"a");
    EXPECT_EQ(networks[1].ssid, L"B");
    EXPECT_EQ(networks[2].ssid, L"Ba");
    EXPECT_EQ(networks[3].ssid, L"b");
}

TEST(CountTexts, UseSingularForOneAndPluralOtherwise) {
    EXPECT_EQ(BaseUnitCountText(0), L"No base units found.");
    EXPECT_EQ(BaseUnitCountText(1), L"1 base unit found.");
    EXPECT_EQ(BaseUnitCountText(12), L"12 base units found.");
    EXPECT_EQ(WifiNetworkCountText(0), L"No Wi-Fi networks found. You can enter one manually.");
    EXPECT_EQ(WifiNetworkCountText(1), L"1 Wi-Fi network found.");
    EXPECT_EQ(WifiNetworkCountText(2), L"2 Wi-Fi networks found.");
}

}  // namespace
