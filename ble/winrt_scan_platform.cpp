// The advertisement scan over the Windows Runtime watcher; the shared scan runner drives it.

#include <windows.h>
#include <wrl/client.h>

#include <cstdint>

#include "ble/ov_ble.h"
#include "ble/scan_runner.h"
#include "ble/winrt_abi.h"
#include "ble/winrt_ble_interfaces.h"

using namespace winrt_ble;

namespace {

class WinrtScanPlatform final : public ScanPlatform {
public:
    ~WinrtScanPlatform() override {
        UnregisterHandlers();
        ReleaseWatcher();
    }

    int32_t EnsureApartment() override { return Code(EnterApartment()); }

    int32_t CreateWatcher() override {
        HString name;
        HRESULT hr = name.Set(kWatcherClass);
        if (FAILED(hr)) {
            return Code(hr);
        }
        ComPtr<IInspectable> instance;
        hr = RoActivateInstance(name.Get(), instance.GetAddressOf());
        if (FAILED(hr)) {
            return Code(hr);
        }
        hr = QueryAs(instance.Get(), IID_AdvertisementWatcher, watcher_);
        if (FAILED(hr)) {
            return Code(hr);
        }
        return Code(watcher_->put_ScanningMode(kScanningActive));
    }

    int32_t RegisterHandlers(const std::shared_ptr<ScanCollection>& collection) override {
        auto received = MakeDelegate<IReceivedHandler, IBluetoothLEAdvertisementWatcher*,
                                     IBluetoothLEAdvertisementReceivedEventArgs*>(
            IID_ReceivedHandler, [collection](IBluetoothLEAdvertisementWatcher*,
                                              IBluetoothLEAdvertisementReceivedEventArgs* args) {
                if (args == nullptr) {
                    return;
                }
                ComPtr<IBluetoothLEAdvertisement> advertisement;
                if (FAILED(args->get_Advertisement(advertisement.GetAddressOf())) ||
                    !advertisement) {
                    return;
                }
                HString name;
                if (FAILED(advertisement->get_LocalName(name.Put()))) {
                    return;
                }
                UINT64 address = 0;
                INT16 rssi = 0;
                if (FAILED(args->get_BluetoothAddress(&address)) ||
                    FAILED(args->get_RawSignalStrengthInDBm(&rssi))) {
                    return;
                }
                collection->RecordAdvertisement(address, rssi, name.Text());
            });
        HRESULT hr = watcher_->add_Received(received.Get(), &receivedToken_);
        if (FAILED(hr)) {
            return Code(hr);
        }
        receivedRegistered_ = true;
        auto stopped = MakeDelegate<IStoppedHandler, IBluetoothLEAdvertisementWatcher*,
                                    IBluetoothLEAdvertisementWatcherStoppedEventArgs*>(
            IID_StoppedHandler,
            [collection](IBluetoothLEAdvertisementWatcher*,
                         IBluetoothLEAdvertisementWatcherStoppedEventArgs* args) {
                INT32 error = 0;
                if (args != nullptr && SUCCEEDED(args->get_Error(&error))) {
                    collection->RecordStop(error);
                }
            });
        hr = watcher_->add_Stopped(stopped.Get(), &stoppedToken_);
        if (FAILED(hr)) {
            return Code(hr);
        }
        stoppedRegistered_ = true;
        return 0;
    }

    int32_t Start() override { return Code(watcher_->Start()); }

    int32_t IsStarted(bool& started) override {
        INT32 status = kWatcherCreated;
        const HRESULT hr = watcher_->get_Status(&status);
        started = status == kWatcherStarted;
        return Code(hr);
    }

    int32_t Stop() override { return Code(watcher_->Stop()); }

    void UnregisterHandlers() override {
        if (!watcher_) {
            return;
        }
        if (receivedRegistered_) {
            watcher_->remove_Received(receivedToken_);
            receivedRegistered_ = false;
        }
        if (stoppedRegistered_) {
            watcher_->remove_Stopped(stoppedToken_);
            stoppedRegistered_ = false;
        }
    }

    void ReleaseWatcher() override { watcher_.Reset(); }

private:
    ComPtr<IBluetoothLEAdvertisementWatcher> watcher_;
    Token receivedToken_{};
    Token stoppedToken_{};
    bool receivedRegistered_ = false;
    bool stoppedRegistered_ = false;
};

}  // namespace

extern "C" int OvBleScan(OV_BLE_SCAN_DEVICE* devices, int capacity, int* count,
                         wchar_t* errorBuffer, int errorCapacity) {
    WinrtScanPlatform platform;
    return RunAdvertisementScan(platform, devices, capacity, count, errorBuffer, errorCapacity);
}
