// The OvBle functions of the demo program, handed to one of the two flat layers linked into it.
// Each layer's own functions are compiled under a prefixed name (see CMakeLists.txt).
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

#include "ble/ov_ble.h"
#include "tools/demo/demo_flat_layer.h"

#define DEMO_FLAT_LAYER(layer)                                            \
    int layer##OvBleScan(OV_BLE_SCAN_DEVICE*, int, int*, wchar_t*, int);  \
    int layer##OvBleConnect(uint64_t, wchar_t*, int);                     \
    int layer##OvBleWrite(const uint8_t*, int, wchar_t*);                 \
    int layer##OvBleWaitNotification(uint8_t*, int*, uint32_t, wchar_t*); \
    int layer##OvBleLinkIntact();                                         \
    void layer##OvBleDisconnect();

extern "C" {
DEMO_FLAT_LAYER(Simulated)
DEMO_FLAT_LAYER(Winrt)
}

namespace {

constexpr wchar_t kChoice[] = L"winrt-sim";

bool Chosen() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    bool chosen = false;
    for (int i = 1; arguments != nullptr && i < count; ++i) {
        chosen = chosen || std::wstring(arguments[i]) == std::wstring(L"--ble=") + kChoice;
    }
    LocalFree(arguments);
    wchar_t value[32] = {};
    const DWORD length = GetEnvironmentVariableW(L"TERVANE_DEMO_BLE", value, 32);
    return chosen || (length > 0 && length < 32 && std::wcscmp(value, kChoice) == 0);
}

}  // namespace

bool DemoUsesRuntimeProvider() {
    static const bool chosen = Chosen();
    return chosen;
}

extern "C" int OvBleScan(OV_BLE_SCAN_DEVICE* devices, int capacity, int* count,
                         wchar_t* errorBuffer, int errorCapacity) {
    return DemoUsesRuntimeProvider()
               ? WinrtOvBleScan(devices, capacity, count, errorBuffer, errorCapacity)
               : SimulatedOvBleScan(devices, capacity, count, errorBuffer, errorCapacity);
}

extern "C" int OvBleConnect(uint64_t address, wchar_t* errorBuffer, int errorCapacity) {
    return DemoUsesRuntimeProvider() ? WinrtOvBleConnect(address, errorBuffer, errorCapacity)
                                     : SimulatedOvBleConnect(address, errorBuffer, errorCapacity);
}

extern "C" int OvBleWrite(const uint8_t* bytes, int count, wchar_t* errorBuffer) {
    return DemoUsesRuntimeProvider() ? WinrtOvBleWrite(bytes, count, errorBuffer)
                                     : SimulatedOvBleWrite(bytes, count, errorBuffer);
}

extern "C" int OvBleWaitNotification(uint8_t* buffer, int* length, uint32_t timeoutMs,
                                     wchar_t* errorBuffer) {
    return DemoUsesRuntimeProvider()
               ? WinrtOvBleWaitNotification(buffer, length, timeoutMs, errorBuffer)
               : SimulatedOvBleWaitNotification(buffer, length, timeoutMs, errorBuffer);
}

extern "C" int OvBleLinkIntact() {
    return DemoUsesRuntimeProvider() ? WinrtOvBleLinkIntact() : SimulatedOvBleLinkIntact();
}

extern "C" void OvBleDisconnect() {
    if (DemoUsesRuntimeProvider()) {
        WinrtOvBleDisconnect();
    } else {
        SimulatedOvBleDisconnect();
    }
}
