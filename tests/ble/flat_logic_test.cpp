#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ble/flat_text.h"
#include "ble/scan_collection.h"

namespace {

TEST(HresultSentence, AppendsTheCodeAsEightUpperCaseHexDigitsInParentheses) {
    EXPECT_EQ(HresultSentence(ble_text::kScanFailed, 0x0000000Au),
              L"Windows 10/11 advertisement scan failed (0x0000000A)");
    EXPECT_EQ(HresultSentence(ble_text::kScanFailed, 0xDEADBEEFu),
              L"Windows 10/11 advertisement scan failed (0xDEADBEEF)");
}

TEST(CopyToErrorBuffer, CutsToCapacityMinusOneAndAlwaysTerminatesEvenWhenEmpty) {
    const std::wstring longMessage(600, L'x');
    std::vector<wchar_t> buffer(kOvBleErrorCapacity, L'?');
    CopyToErrorBuffer(longMessage, buffer.data(), kOvBleErrorCapacity);
    EXPECT_EQ(TextOfBuffer(buffer.data(), kOvBleErrorCapacity), std::wstring(511, L'x'));
    EXPECT_EQ(buffer[511], L'\0');

    wchar_t one[1] = {L'?'};
    CopyToErrorBuffer(L"text", one, 1);
    EXPECT_EQ(one[0], L'\0');

    wchar_t untouched[2] = {L'?', L'?'};
    CopyToErrorBuffer(L"text", untouched, 0);
    EXPECT_EQ(untouched[0], L'?');
    CopyToErrorBuffer(L"text", nullptr, 10);  // the caller wants no message

    wchar_t old[8] = {L'o', L'l', L'd', 0};
    CopyToErrorBuffer(std::wstring(), old, 8);
    EXPECT_EQ(TextOfBuffer(old, 8), L"");
}

TEST(TextOfBuffer, StopsAtCapacityWithoutATerminator) {
    const wchar_t full[3] = {L'a', L'b', L'c'};
    EXPECT_EQ(TextOfBuffer(full, 3), L"abc");
}

TEST(BaseUnitNamePrefix, AcceptsOvInEitherCaseOnly) {
    const struct {
        std::wstring name;
        bool accepted;
    } cases[] = {
        {L"OV", true},
        {L"ov", true},
        {L"Ov-12", true},
        {L"oV base", true},
        {L"O", false},
        {L"", false},
        {L"OW1", false},
        {L"VO", false},
        {L" OV", false},
        {L"\x00D6V", false},       // O with diaeresis is not O
        {L"\xFF2F\xFF36", false},  // full-width letters are not ASCII
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HasBaseUnitNamePrefix(c.name), c.accepted) << c.name.size();
    }
}

TEST(ScanCollection, KeepsTheStrongestReadingWithTheNameThatCameWithIt) {
    const struct {
        int16_t firstRssi;
        const wchar_t* firstName;
        int16_t secondRssi;
        const wchar_t* secondName;
        int32_t rssi;
        const wchar_t* name;
    } cases[] = {
        {-70, L"OV weak", -60, L"OV strong", -60, L"OV strong"},
        {-60, L"OV strong", -70, L"OV weak", -60, L"OV strong"},
        {-60, L"OV first", -60, L"OV second", -60, L"OV first"},
    };
    for (const auto& c : cases) {
        ScanCollection collection;
        collection.RecordAdvertisement(7, c.firstRssi, c.firstName);
        collection.RecordAdvertisement(7, c.secondRssi, c.secondName);
        const auto devices = collection.SortedDevices();
        ASSERT_EQ(devices.size(), 1u);
        EXPECT_EQ(devices[0].rssi, c.rssi);
        EXPECT_EQ(devices[0].name, c.name);
    }
}

TEST(ScanCollection, IgnoresPacketsWithoutABaseUnitName) {
    ScanCollection collection;
    collection.RecordAdvertisement(1, -40, L"");         // a packet without its name
    collection.RecordAdvertisement(1, -80, L"OV late");  // the scan response that names it
    collection.RecordAdvertisement(2, -30, L"Headphones");
    const auto devices = collection.SortedDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].rssi, -80);
}

TEST(ScanCollection, SortsStrongestFirstThenByNameInCodeUnitOrder) {
    ScanCollection collection;
    collection.RecordAdvertisement(1, -70, L"OV b");
    collection.RecordAdvertisement(2, -50, L"OV zz");
    collection.RecordAdvertisement(3, -70, L"OV");
    collection.RecordAdvertisement(4, -70, L"OV \xFF10");  // above every ASCII unit
    collection.RecordAdvertisement(5, -70, L"OV a");
    std::vector<uint64_t> order;
    for (const auto& device : collection.SortedDevices()) {
        order.push_back(device.address);
    }
    EXPECT_EQ(order, (std::vector<uint64_t>{2, 3, 5, 1, 4}));
}

TEST(ScanCollection, AClosedCollectionNoLongerChanges) {
    ScanCollection collection;
    collection.RecordAdvertisement(1, -70, L"OV one");
    collection.Close();
    collection.RecordAdvertisement(1, -10, L"OV louder");
    collection.RecordAdvertisement(2, -10, L"OV two");
    collection.RecordStop(4);
    const auto devices = collection.SortedDevices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].rssi, -70);
    EXPECT_EQ(collection.StopError(), 0);
}

TEST(ScanCollection, OwnStopKeepsAnEarlierStopError) {
    ScanCollection collection;
    collection.RecordStop(1);
    collection.RecordStop(0);
    EXPECT_EQ(collection.StopError(), 1);
}

TEST(WriteScanDevices, FillsAtMostTheCapacityAndCutsNamesTo127Units) {
    std::vector<HeardDevice> heard;
    for (int i = 0; i < 5; ++i) {
        heard.push_back({static_cast<uint64_t>(i), -40 - i, std::wstring(200, L'a' + i)});
    }
    std::vector<OV_BLE_SCAN_DEVICE> out(3);
    ASSERT_EQ(WriteScanDevices(heard, out.data(), 3), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(out[i].address, static_cast<uint64_t>(i));
        EXPECT_EQ(out[i].rssi, -40 - i);
        EXPECT_EQ(TextOfBuffer(out[i].name, 128), std::wstring(127, L'a' + i));
    }
    EXPECT_EQ(WriteScanDevices(heard, out.data(), 0), 0);
    EXPECT_EQ(WriteScanDevices(heard, out.data(), -5), 0);
}

}  // namespace
