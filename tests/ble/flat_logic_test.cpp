#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ble/flat_text.h"
#include "ble/gatt_link.h"
#include "ble/scan_collection.h"

namespace {

std::string Canonical(const BleUuid& uuid) {
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  static_cast<unsigned>(uuid.data1), uuid.data2, uuid.data3, uuid.data4[0],
                  uuid.data4[1], uuid.data4[2], uuid.data4[3], uuid.data4[4], uuid.data4[5],
                  uuid.data4[6], uuid.data4[7]);
    return text;
}

// The simulated link offers its services with the same expansion, so only these literals
// stand between a wrong digit and a program that finds no base unit's service anywhere.
TEST(BluetoothUuid, ExpandsShortIdsOnTheBluetoothBaseUuid) {
    EXPECT_EQ(Canonical(BluetoothUuid(0xFFFF)), "0000ffff-0000-1000-8000-00805f9b34fb");
    EXPECT_EQ(Canonical(BluetoothUuid(0xFF01)), "0000ff01-0000-1000-8000-00805f9b34fb");
    EXPECT_EQ(Canonical(BluetoothUuid(0xFF02)), "0000ff02-0000-1000-8000-00805f9b34fb");
    BleUuid otherBase = BluetoothUuid(0xFF01);
    otherBase.data4[7] ^= 1;
    EXPECT_FALSE(otherBase == BluetoothUuid(0xFF01));
}

TEST(CopyToErrorBuffer, CutsToCapacityMinusOneAndAlwaysTerminates) {
    std::vector<wchar_t> buffer(kOvBleErrorCapacity, L'?');
    CopyToErrorBuffer(std::wstring(600, L'x'), buffer.data(), kOvBleErrorCapacity);
    EXPECT_EQ(TextOfBuffer(buffer.data(), kOvBleErrorCapacity), std::wstring(511, L'x'));
    wchar_t one[2] = {L'?', L'?'};
    CopyToErrorBuffer(L"text", one, 0);
    EXPECT_EQ(one[0], L'?');
    CopyToErrorBuffer(L"text", one, 1);
    EXPECT_EQ(one[0], L'\0');
    CopyToErrorBuffer(L"text", nullptr, 10);     // the caller wants no message
    const wchar_t full[3] = {L'a', L'b', L'c'};  // read back without a terminator
    EXPECT_EQ(TextOfBuffer(full, 3), L"abc");
}

// Not O with diaeresis, not full-width letters.
TEST(BaseUnitNamePrefix, AcceptsOvInEitherCaseOnly) {
    for (const std::wstring name : {L"OV", L"ov base"}) {
        EXPECT_TRUE(HasBaseUnitNamePrefix(name)) << name.size();
    }
    for (const std::wstring name : {L"O", L"OW1", L"VO", L"\x00D6V", L"\xFF2F\xFF36"}) {
        EXPECT_FALSE(HasBaseUnitNamePrefix(name)) << name.size();
    }
}

// Per address the strongest reading with the name that came with it (the first of equals);
// packets without a base-unit name, such as an advertisement before its scan response, count
// for nothing.
TEST(ScanCollection, KeepsTheStrongestNamedReadingPerAddress) {
    const struct {
        int16_t firstRssi;
        const wchar_t* firstName;
        int16_t secondRssi;
        const wchar_t* secondName;
        int32_t rssi;
        const wchar_t* name;
    } cases[] = {
        {-70, L"OV weak", -60, L"OV strong", -60, L"OV strong"},
        {-60, L"OV first", -60, L"OV second", -60, L"OV first"},
        {-40, L"", -80, L"OV late", -80, L"OV late"},
        {-80, L"OV kept", -30, L"Headphones", -80, L"OV kept"},
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

TEST(ScanCollection, AClosedCollectionNoLongerChangesAndOwnStopKeepsAnEarlierError) {
    ScanCollection collection;
    collection.RecordAdvertisement(1, -70, L"OV one");
    collection.RecordStop(1);
    collection.RecordStop(0);
    collection.Close();
    collection.RecordAdvertisement(2, -10, L"OV two");
    collection.RecordStop(4);
    ASSERT_EQ(collection.SortedDevices().size(), 1u);
    EXPECT_EQ(collection.StopError(), 1);
}

}  // namespace
