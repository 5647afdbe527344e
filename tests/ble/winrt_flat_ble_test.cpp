// Runs where the Bluetooth Windows Runtime classes are not registered (Wine): the link asks for
// them from whatever apartment the caller's thread is in, and says why they are missing.
#include <windows.h>
#include <objbase.h>
#include <roapi.h>
#include <winstring.h>

#include <gtest/gtest.h>

#include <thread>

#include "ble/flat_text.h"
#include "ble/ov_ble.h"

namespace {

// Asked of the platform directly, so a fault of the link cannot make the suite skip itself.
bool BluetoothRuntimePresent() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    const wchar_t* name =
        L"Windows.Devices.Bluetooth.Advertisement.BluetoothLEAdvertisementWatcher";
    HSTRING className = nullptr;
    WindowsCreateString(name, static_cast<UINT32>(wcslen(name)), &className);
    IInspectable* factory = nullptr;
    const HRESULT hr = RoGetActivationFactory(className, __uuidof(IInspectable),
                                              reinterpret_cast<void**>(&factory));
    WindowsDeleteString(className);
    if (factory != nullptr) {
        factory->Release();
    }
    return hr != REGDB_E_CLASSNOTREG;
}

const wchar_t* const kConnectNotRegistered =
    L"Windows 10/11 Bluetooth connection failed (0x80040154)";

class WinrtWithoutBluetooth : public ::testing::Test {
protected:
    void SetUp() override {
        if (BluetoothRuntimePresent()) {
            GTEST_SKIP() << "the Bluetooth runtime classes are present here";
        }
    }
};

// A caller's thread in a single-threaded apartment is accepted as it is.
TEST_F(WinrtWithoutBluetooth, AThreadInAnotherApartmentIsAccepted) {
    std::wstring said;
    std::thread worker([&] {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        wchar_t text[kOvBleErrorCapacity];
        OvBleConnect(1, text, kOvBleErrorCapacity);
        said = TextOfBuffer(text, kOvBleErrorCapacity);
        CoUninitialize();
    });
    worker.join();
    EXPECT_EQ(said, kConnectNotRegistered);
}

}  // namespace
