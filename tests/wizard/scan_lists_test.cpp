#include "wizard/scan_lists.h"

#include <gtest/gtest.h>

namespace {

TEST(SignalLevel, ThresholdsSplitReadingsIntoFourBars) {
    const int32_t cases[][2] = {{0, 4},   {-60, 4}, {-61, 3},  {-72, 3},       {-73, 2},
                                {-84, 2}, {-85, 1}, {-127, 1}, {INT32_MIN, 1}, {INT32_MAX, 4}};
    for (const auto& c : cases)
        EXPECT_EQ(SignalLevel(c[0], true), c[1]) << c[0];
    EXPECT_EQ(SignalLevel(-40, false), 0);
}

TEST(ListTexts, ShowSignedDecibelsAndCountsInSingularOrPlural) {
    EXPECT_EQ(SignalText(-67, true), L"-67 dBm");
    EXPECT_EQ(SignalText(5, true), L"5 dBm");
    EXPECT_EQ(SignalText(INT32_MIN, true), L"-2147483648 dBm");
    EXPECT_EQ(SignalText(-67, false), L"Available");
    EXPECT_EQ(BaseUnitCountText(0), L"No base units found.");
    EXPECT_EQ(BaseUnitCountText(1), L"1 base unit found.");
    EXPECT_EQ(BaseUnitCountText(12), L"12 base units found.");
    EXPECT_EQ(WifiNetworkCountText(0), L"No Wi-Fi networks found. You can enter one manually.");
    EXPECT_EQ(WifiNetworkCountText(1), L"1 Wi-Fi network found.");
    EXPECT_EQ(WifiNetworkCountText(2), L"2 Wi-Fi networks found.");
}

// Names compare as unsigned 16-bit code units: U+FF21 (fullwidth A) after ASCII, a surrogate
// (0xD83D) between them.
TEST(SortBaseUnits, ReadingsFirstThenStrongerThenCodeUnitOrder) {
    const std::wstring smiley = std::wstring(L"OV") + wchar_t(0xD83D) + wchar_t(0xDE00);
    const std::wstring fullwidth = std::wstring(L"OV") + wchar_t(0xFF21);
    std::vector<BaseUnitInfo> units = {
        {1, L"OV-aaa", 0, false},  {2, L"OV-b", -80, true},  {3, L"OV-a", -50, true},
        {4, L"OV-B", -80, true},   {5, L"OV-Bx", -80, true}, {6, L"OV-AAA", 0, false},
        {7, fullwidth, -90, true}, {8, smiley, -90, true},   {9, L"OVz", -90, true},
    };
    SortBaseUnits(units);
    std::vector<uint64_t> order;
    for (const BaseUnitInfo& u : units)
        order.push_back(u.address);
    EXPECT_EQ(order, (std::vector<uint64_t>{3, 4, 5, 2, 9, 8, 7, 6, 1}));
}

// Each network as "ssid:rssi", in order.
std::wstring Listed(const std::vector<WifiNetwork>& networks) {
    std::wstring text;
    for (const WifiNetwork& n : networks)
        text += n.ssid + L":" + std::to_wstring(n.rssi) + L" ";
    return text;
}

TEST(WifiNetworks, MergeKeepsTheStrongestReadingPerSsidAndSortStrongerFirst) {
    const std::wstring nul(L"a\0b", 3);
    EXPECT_EQ(Listed(MergeWifiNetworks({{L"Home", -70},
                                        {L"", -30},
                                        {L"Office", -65},
                                        {L"Home", -50},
                                        {L"home", -90},
                                        {L"Home", -80},
                                        {L"a", -60},
                                        {nul, -50}})),
              L"Home:-50 Office:-65 home:-90 a:-60 " + nul + L":-50 ");
    std::vector<WifiNetwork> networks = {{L"b", -60}, {L"B", -60}, {L"a", -40}, {L"Ba", -60}};
    SortWifiNetworks(networks);
    EXPECT_EQ(Listed(networks), L"a:-40 B:-60 Ba:-60 b:-60 ");
}

}  // namespace
