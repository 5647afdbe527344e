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

TEST(WinrtInterfaceLayout, EveryMethodTheLinkCallsSitsInItsDocumentedSlot) {
    const struct {
        const char* method;
        ptrdiff_t slot;
        ptrdiff_t expected;
    } cases[] = {
        {"Watcher.get_Status", SlotOf(&IBluetoothLEAdvertisementWatcher::get_Status), 10},
        {"Watcher.put_ScanningMode", SlotOf(&IBluetoothLEAdvertisementWatcher::put_ScanningMode),
         12},
        {"Watcher.Start", SlotOf(&IBluetoothLEAdvertisementWatcher::Start), 17},
        {"Watcher.Stop", SlotOf(&IBluetoothLEAdvertisementWatcher::Stop), 18},
        {"Watcher.add_Received", SlotOf(&IBluetoothLEAdvertisementWatcher::add_Received), 19},
        {"Watcher.remove_Received", SlotOf(&IBluetoothLEAdvertisementWatcher::remove_Received), 20},
        {"Watcher.add_Stopped", SlotOf(&IBluetoothLEAdvertisementWatcher::add_Stopped), 21},
        {"Watcher.remove_Stopped", SlotOf(&IBluetoothLEAdvertisementWatcher::remove_Stopped), 22},
        {"ReceivedArgs.get_RawSignalStrengthInDBm",
         SlotOf(&IBluetoothLEAdvertisementReceivedEventArgs::get_RawSignalStrengthInDBm), 6},
        {"ReceivedArgs.get_BluetoothAddress",
         SlotOf(&IBluetoothLEAdvertisementReceivedEventArgs::get_BluetoothAddress), 7},
        {"ReceivedArgs.get_Advertisement",
         SlotOf(&IBluetoothLEAdvertisementReceivedEventArgs::get_Advertisement), 10},
        {"Advertisement.get_LocalName", SlotOf(&IBluetoothLEAdvertisement::get_LocalName), 8},
        {"StoppedArgs.get_Error",
         SlotOf(&IBluetoothLEAdvertisementWatcherStoppedEventArgs::get_Error), 6},
        {"ReceivedHandler.Invoke", SlotOf(&IReceivedHandler::Invoke), 3},
        {"StoppedHandler.Invoke", SlotOf(&IStoppedHandler::Invoke), 3},
        {"ValueChangedHandler.Invoke", SlotOf(&IValueChangedHandler::Invoke), 3},
        {"DeviceStatics.FromBluetoothAddressAsync",
         SlotOf(&IBluetoothLEDeviceStatics::FromBluetoothAddressAsync), 7},
        {"Device.remove_ConnectionStatusChanged",
         SlotOf(&IBluetoothLEDevice::remove_ConnectionStatusChanged), 17},
        {"Device3.GetGattServicesWithCacheModeAsync",
         SlotOf(&IBluetoothLEDevice3::GetGattServicesWithCacheModeAsync), 9},
        {"ServicesResult.get_Status", SlotOf(&IGattDeviceServicesResult::get_Status), 6},
        {"ServicesResult.get_Services", SlotOf(&IGattDeviceServicesResult::get_Services), 8},
        {"ServiceView.GetAt", SlotOf(&IServiceVectorView::GetAt), 6},
        {"ServiceView.get_Size", SlotOf(&IServiceVectorView::get_Size), 7},
        {"Service.get_Uuid", SlotOf(&IGattDeviceService::get_Uuid), 9},
        {"Service3.GetCharacteristicsWithCacheModeAsync",
         SlotOf(&IGattDeviceService3::GetCharacteristicsWithCacheModeAsync), 12},
        {"CharacteristicsResult.get_Status", SlotOf(&IGattCharacteristicsResult::get_Status), 6},
        {"CharacteristicsResult.get_Characteristics",
         SlotOf(&IGattCharacteristicsResult::get_Characteristics), 8},
        {"CharacteristicView.GetAt", SlotOf(&ICharacteristicVectorView::GetAt), 6},
        {"CharacteristicView.get_Size", SlotOf(&ICharacteristicVectorView::get_Size), 7},
        {"Characteristic.get_Uuid", SlotOf(&IGattCharacteristic::get_Uuid), 11},
        {"Characteristic.WriteValueWithOptionAsync",
         SlotOf(&IGattCharacteristic::WriteValueWithOptionAsync), 17},
        {"Characteristic.WriteClientCharacteristicConfigurationDescriptorAsync",
         SlotOf(&IGattCharacteristic::WriteClientCharacteristicConfigurationDescriptorAsync), 19},
        {"Characteristic.add_ValueChanged", SlotOf(&IGattCharacteristic::add_ValueChanged), 20},
        {"Characteristic.remove_ValueChanged", SlotOf(&IGattCharacteristic::remove_ValueChanged),
         21},
        {"ValueChangedArgs.get_CharacteristicValue",
         SlotOf(&IGattValueChangedEventArgs::get_CharacteristicValue), 6},
        {"AsyncOperation.put_Completed", SlotOf(&IAsyncStatusOperation::put_Completed), 6},
        {"AsyncOperation.GetResults", SlotOf(&IAsyncDeviceOperation::GetResults), 8},
        {"AsyncHandler.Invoke", SlotOf(&IAsyncServicesOperationHandler::Invoke), 3},
        {"AsyncInfo.get_ErrorCode", SlotOf(&IAsyncInfo::get_ErrorCode), 8},
        {"AsyncInfo.Cancel", SlotOf(&IAsyncInfo::Cancel), 9},
        {"AsyncInfo.Close", SlotOf(&IAsyncInfo::Close), 10},
        {"Closable.Close", SlotOf(&IClosable::Close), 6},
        {"Buffer.get_Length", SlotOf(&IBuffer::get_Length), 7},
        {"Buffer.put_Length", SlotOf(&IBuffer::put_Length), 8},
        {"BufferFactory.Create", SlotOf(&IBufferFactory::Create), 6},
        {"BufferByteAccess.Buffer", SlotOf(&IBufferByteAccess::Buffer), 3},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.slot, c.expected) << c.method;
    }
}

}  // namespace
