// The Windows Runtime calls the link's interfaces by vtable position, and a method in the wrong
// slot only shows on real Windows. This reads each position the compiler assigned (g++ encodes
// a pointer to a virtual member as 1 + its byte offset in the vtable) and compares it with the
// slot the platform documents for that method.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "ble/winrt_ble_interfaces.h"

namespace {

using namespace winrt_ble;

template <typename Member>
ptrdiff_t SlotOf(Member member) {
    struct {
        ptrdiff_t pointer;
        ptrdiff_t adjustment;
    } representation;
    static_assert(sizeof(member) == sizeof(representation), "unexpected member pointer layout");
    std::memcpy(&representation, &member, sizeof representation);
    return (representation.pointer - 1) / static_cast<ptrdiff_t>(sizeof(void*));
}

#define SLOT(Interface, Method, expected) \
    { #Interface "::" #Method, SlotOf(&Interface::Method), expected }

TEST(WinrtInterfaceLayout, EveryMethodTheLinkCallsSitsInItsDocumentedSlot) {
    const struct {
        const char* method;
        ptrdiff_t slot;
        ptrdiff_t expected;
    } cases[] = {
        SLOT(IBluetoothLEAdvertisementWatcher, get_Status, 10),
        SLOT(IBluetoothLEAdvertisementWatcher, put_ScanningMode, 12),
        SLOT(IBluetoothLEAdvertisementWatcher, Start, 17),
        SLOT(IBluetoothLEAdvertisementWatcher, Stop, 18),
        SLOT(IBluetoothLEAdvertisementWatcher, add_Received, 19),
        SLOT(IBluetoothLEAdvertisementWatcher, remove_Received, 20),
        SLOT(IBluetoothLEAdvertisementWatcher, add_Stopped, 21),
        SLOT(IBluetoothLEAdvertisementWatcher, remove_Stopped, 22),
        SLOT(IBluetoothLEAdvertisementReceivedEventArgs, get_RawSignalStrengthInDBm, 6),
        SLOT(IBluetoothLEAdvertisementReceivedEventArgs, get_BluetoothAddress, 7),
        SLOT(IBluetoothLEAdvertisementReceivedEventArgs, get_Advertisement, 10),
        SLOT(IBluetoothLEAdvertisement, get_LocalName, 8),
        SLOT(IBluetoothLEAdvertisementWatcherStoppedEventArgs, get_Error, 6),
        SLOT(IReceivedHandler, Invoke, 3),
        SLOT(IStoppedHandler, Invoke, 3),
        SLOT(IValueChangedHandler, Invoke, 3),
        SLOT(IBluetoothLEDeviceStatics, FromBluetoothAddressAsync, 7),
        SLOT(IBluetoothLEDevice, remove_ConnectionStatusChanged, 17),
        SLOT(IBluetoothLEDevice3, GetGattServicesWithCacheModeAsync, 9),
        SLOT(IGattDeviceServicesResult, get_Status, 6),
        SLOT(IGattDeviceServicesResult, get_Services, 8),
        SLOT(IServiceVectorView, GetAt, 6),
        SLOT(IServiceVectorView, get_Size, 7),
        SLOT(IGattDeviceService, get_Uuid, 9),
        SLOT(IGattDeviceService3, GetCharacteristicsWithCacheModeAsync, 12),
        SLOT(IGattCharacteristicsResult, get_Status, 6),
        SLOT(IGattCharacteristicsResult, get_Characteristics, 8),
        SLOT(ICharacteristicVectorView, GetAt, 6),
        SLOT(ICharacteristicVectorView, get_Size, 7),
        SLOT(IGattCharacteristic, get_Uuid, 11),
        SLOT(IGattCharacteristic, WriteValueWithOptionAsync, 17),
        SLOT(IGattCharacteristic, WriteClientCharacteristicConfigurationDescriptorAsync, 19),
        SLOT(IGattCharacteristic, add_ValueChanged, 20),
        SLOT(IGattCharacteristic, remove_ValueChanged, 21),
        SLOT(IGattValueChangedEventArgs, get_CharacteristicValue, 6),
        SLOT(IAsyncStatusOperation, put_Completed, 6),
        SLOT(IAsyncDeviceOperation, GetResults, 8),
        SLOT(IAsyncServicesOperationHandler, Invoke, 3),
        SLOT(IAsyncInfo, get_ErrorCode, 8),
        SLOT(IAsyncInfo, Cancel, 9),
        SLOT(IAsyncInfo, Close, 10),
        SLOT(IClosable, Close, 6),
        SLOT(IBuffer, get_Length, 7),
        SLOT(IBuffer, put_Length, 8),
        SLOT(IBufferFactory, Create, 6),
        SLOT(IBufferByteAccess, Buffer, 3),
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.slot, c.expected) << c.method;
    }
}

#undef SLOT

}  // namespace
