// The flat GATT functions of ov_ble.h, the same over every platform: each flat layer supplies
// only its link.

#include "ble/gatt_link.h"
#include "ble/ov_ble.h"

extern "C" int OvBleConnect(uint64_t address, wchar_t* errorBuffer, int errorCapacity) {
    return FlatGattLink().Connect(address, errorBuffer, errorCapacity);
}

extern "C" int OvBleWrite(const uint8_t* bytes, int count, wchar_t* errorBuffer) {
    return FlatGattLink().Write(bytes, count, errorBuffer);
}

extern "C" int OvBleWaitNotification(uint8_t* buffer, int* length, uint32_t timeoutMs,
                                     wchar_t* errorBuffer) {
    return FlatGattLink().WaitNotification(buffer, length, timeoutMs, errorBuffer);
}

extern "C" int OvBleLinkIntact() {
    return FlatGattLink().LinkIntact();
}

extern "C" void OvBleDisconnect() {
    FlatGattLink().Disconnect();
}
