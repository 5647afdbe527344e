// The advertisement watcher with its event arguments, and its activation factory.

#include <memory>
#include <mutex>
#include <string>

#include "tools/winrt_provider/provider_com.h"
#include "tools/winrt_provider/provider_link.h"

namespace winrt_provider {
namespace {

class Advertisement final : public IBluetoothLEAdvertisement, public Object {
public:
    explicit Advertisement(std::wstring name) : Object("Advertisement"), name_(std::move(name)) {}

    PROVIDER_INSPECTABLE(L"Windows.Devices.Bluetooth.Advertisement.BluetoothLEAdvertisement",
                         Face<IBluetoothLEAdvertisement>{IID_Advertisement})

    PROVIDER_UNUSED_METHOD(get_Flags, "Advertisement.get_Flags", IInspectable**)
    PROVIDER_UNUSED_METHOD(put_Flags, "Advertisement.put_Flags", IInspectable*)
    HRESULT STDMETHODCALLTYPE get_LocalName(HSTRING* name) override {
        PROVIDER_ENTER("Advertisement.get_LocalName");
        if (name == nullptr) {
            return E_POINTER;
        }
        *name = nullptr;
        if (NullResult("Advertisement.get_LocalName") || name_.empty()) {
            return S_OK;  // a null HSTRING is the empty name
        }
        return WindowsCreateString(name_.c_str(), static_cast<UINT32>(name_.size()), name);
    }
    PROVIDER_UNUSED_METHOD(put_LocalName, "Advertisement.put_LocalName", HSTRING)
    PROVIDER_UNUSED_METHOD(get_ServiceUuids, "Advertisement.get_ServiceUuids", IInspectable**)
    PROVIDER_UNUSED_METHOD(get_ManufacturerData, "Advertisement.get_ManufacturerData",
                           IInspectable**)
    PROVIDER_UNUSED_METHOD(get_DataSections, "Advertisement.get_DataSections", IInspectable**)
    PROVIDER_UNUSED_METHOD(GetManufacturerDataByCompanyId,
                           "Advertisement.GetManufacturerDataByCompanyId", UINT16, IInspectable**)
    PROVIDER_UNUSED_METHOD(GetSectionsByType, "Advertisement.GetSectionsByType", BYTE,
                           IInspectable**)

private:
    std::wstring name_;
};

class ReceivedArgs final : public IBluetoothLEAdvertisementReceivedEventArgs, public Object {
public:
    ReceivedArgs(uint64_t address, int16_t rssi, const std::wstring& name)
        : Object("ReceivedArgs"), address_(address), rssi_(rssi) {
        Adopt(advertisement_, new Advertisement(name));
    }

    PROVIDER_INSPECTABLE(
        L"Windows.Devices.Bluetooth.Advertisement.BluetoothLEAdvertisementReceivedEventArgs",
        Face<IBluetoothLEAdvertisementReceivedEventArgs>{IID_AdvertisementReceivedEventArgs})

    HRESULT STDMETHODCALLTYPE get_RawSignalStrengthInDBm(INT16* rssi) override {
        return Get(this, "ReceivedArgs.get_RawSignalStrengthInDBm", rssi, rssi_);
    }
    HRESULT STDMETHODCALLTYPE get_BluetoothAddress(UINT64* address) override {
        return Get(this, "ReceivedArgs.get_BluetoothAddress", address, address_);
    }
    PROVIDER_UNUSED_METHOD(get_AdvertisementType, "ReceivedArgs.get_AdvertisementType", INT32*)
    PROVIDER_UNUSED_METHOD(get_Timestamp, "ReceivedArgs.get_Timestamp", DateTime*)
    HRESULT STDMETHODCALLTYPE
    get_Advertisement(IBluetoothLEAdvertisement** advertisement) override {
        return GiveOut<IBluetoothLEAdvertisement>(this, "ReceivedArgs.get_Advertisement",
                                                  advertisement_.Get(), advertisement);
    }

private:
    void OnFinalRelease() override { advertisement_.Reset(); }

    uint64_t address_;
    int16_t rssi_;
    ComPtr<Advertisement> advertisement_;
};

class StoppedArgs final : public IBluetoothLEAdvertisementWatcherStoppedEventArgs, public Object {
public:
    explicit StoppedArgs(INT32 error) : Object("StoppedArgs"), error_(error) {}

    PROVIDER_INSPECTABLE(
        L"Windows.Devices.Bluetooth.Advertisement.BluetoothLEAdvertisementWatcherStoppedEventArgs",
        Face<IBluetoothLEAdvertisementWatcherStoppedEventArgs>{IID_WatcherStoppedEventArgs})

    HRESULT STDMETHODCALLTYPE get_Error(INT32* error) override {
        return Get(this, "StoppedArgs.get_Error", error, error_);
    }

private:
    INT32 error_;
};

// What the watcher's scheduled events need; outlives the watcher object by design, so an
// event due after the last release finds it dead and does nothing.
struct WatcherCore {
    std::mutex mutex;
    bool alive = true;
    INT32 status = kWatcherCreated;
    int afterStop = 0;
    IBluetoothLEAdvertisementWatcher* self = nullptr;
    EventRegistry<IReceivedHandler> received;
    EventRegistry<IStoppedHandler> stopped;
};

void DeliverAdvertisement(const std::shared_ptr<WatcherCore>& core, uint64_t address, int16_t rssi,
                          const std::wstring& name) {
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        if (!core->alive) {
            return;
        }
        if (core->status != kWatcherStarted) {
            if (core->afterStop <= 0) {
                return;
            }
            --core->afterStop;
        }
    }
    ComPtr<ReceivedArgs> args;
    Adopt(args, new ReceivedArgs(address, rssi, name));
    core->received.Deliver(
        [&](IReceivedHandler* handler) { handler->Invoke(core->self, args.Get()); });
}

void DeliverStopped(const std::shared_ptr<WatcherCore>& core, INT32 error, bool abort) {
    {
        std::lock_guard<std::mutex> lock(core->mutex);
        if (!core->alive) {
            return;
        }
        if (abort) {
            core->status = kWatcherAborted;
        }
    }
    ComPtr<StoppedArgs> args;
    Adopt(args, new StoppedArgs(error));
    core->stopped.Deliver(
        [&](IStoppedHandler* handler) { handler->Invoke(core->self, args.Get()); });
    if (Faults().forgetHandlers) {
        core->received.Clear();
        core->stopped.Clear();
    }
}

class Watcher final : public IBluetoothLEAdvertisementWatcher, public Object {
public:
    Watcher() : Object("Watcher"), core_(std::make_shared<WatcherCore>()) { core_->self = this; }

    PROVIDER_INSPECTABLE(L"Windows.Devices.Bluetooth.Advertisement.BluetoothLEAdvertisementWatcher",
                         Face<IBluetoothLEAdvertisementWatcher>{IID_AdvertisementWatcher})

    PROVIDER_UNUSED_METHOD(get_MinSamplingInterval, "Watcher.get_MinSamplingInterval", TimeSpan*)
    PROVIDER_UNUSED_METHOD(get_MaxSamplingInterval, "Watcher.get_MaxSamplingInterval", TimeSpan*)
    PROVIDER_UNUSED_METHOD(get_MinOutOfRangeTimeout, "Watcher.get_MinOutOfRangeTimeout", TimeSpan*)
    PROVIDER_UNUSED_METHOD(get_MaxOutOfRangeTimeout, "Watcher.get_MaxOutOfRangeTimeout", TimeSpan*)
    HRESULT STDMETHODCALLTYPE get_Status(INT32* status) override {
        return Get(this, "Watcher.get_Status", status, [&] {
            std::lock_guard<std::mutex> lock(core_->mutex);
            return core_->status;
        });
    }
    PROVIDER_UNUSED_METHOD(get_ScanningMode, "Watcher.get_ScanningMode", INT32*)
    HRESULT STDMETHODCALLTYPE put_ScanningMode(INT32 mode) override {
        PROVIDER_ENTER("Watcher.put_ScanningMode");
        return mode == kScanningPassive || mode == kScanningActive ? S_OK : E_INVALIDARG;
    }
    PROVIDER_UNUSED_METHOD(get_SignalStrengthFilter, "Watcher.get_SignalStrengthFilter",
                           IInspectable**)
    PROVIDER_UNUSED_METHOD(put_SignalStrengthFilter, "Watcher.put_SignalStrengthFilter",
                           IInspectable*)
    PROVIDER_UNUSED_METHOD(get_AdvertisementFilter, "Watcher.get_AdvertisementFilter",
                           IInspectable**)
    PROVIDER_UNUSED_METHOD(put_AdvertisementFilter, "Watcher.put_AdvertisementFilter",
                           IInspectable*)
    HRESULT STDMETHODCALLTYPE Start() override {
        PROVIDER_ENTER("Watcher.Start");
        const PlatformFaults faults = Faults();
        if (faults.scanner == SimulatedScanner::RadioOff) {
            return kHrDeviceNotReady;
        }
        if (faults.scanner == SimulatedScanner::StartFails) {
            return static_cast<HRESULT>(faults.scannerErrorCode);
        }
        {
            std::lock_guard<std::mutex> lock(core_->mutex);
            if (core_->status == kWatcherStarted) {
                return S_OK;
            }
            core_->status = kWatcherStarted;
        }
        const TimePoint start = Clock().Now();
        const std::shared_ptr<WatcherCore> core = core_;
        if (faults.scanner == SimulatedScanner::RadioUnavailable ||
            faults.scanner == SimulatedScanner::ScannerFails) {
            const INT32 error = faults.scanner == SimulatedScanner::RadioUnavailable
                                    ? kBluetoothRadioNotAvailable
                                    : kBluetoothOtherError;
            Tasks().Schedule(start + std::chrono::milliseconds(20), core.get(),
                             [core, error] { DeliverStopped(core, error, true); });
            return S_OK;
        }
        std::vector<SimulatedAdvertiser> heard;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            for (const auto& entry : world.units) {
                heard.push_back(
                    {entry.first, entry.second->setup.name, entry.second->setup.rssiReadings});
            }
            heard.insert(heard.end(), world.others.begin(), world.others.end());
        }
        firstHeard_ = heard.empty() ? SimulatedAdvertiser{} : heard.front();
        for (const SimulatedAdvertiser& advertiser : heard) {
            const size_t count = advertiser.rssiReadings.size();
            for (size_t i = 0; i < count; ++i) {
                const auto offset = faults.advertisementWindow * static_cast<int64_t>(i + 1) /
                                    static_cast<int64_t>(count + 1);
                const int16_t rssi = advertiser.rssiReadings[i];
                Tasks().Schedule(start + offset, core.get(), [core, advertiser, rssi] {
                    DeliverAdvertisement(core, advertiser.address, rssi, advertiser.name);
                });
            }
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stop() override {
        PROVIDER_ENTER("Watcher.Stop");
        const PlatformFaults faults = Faults();
        if (faults.scanner == SimulatedScanner::StopFails) {
            return static_cast<HRESULT>(faults.scannerErrorCode);
        }
        {
            std::lock_guard<std::mutex> lock(core_->mutex);
            if (core_->status != kWatcherStarted) {
                return S_OK;
            }
            core_->status = kWatcherStopped;
            core_->afterStop = faults.advertisementsAfterStop;
        }
        if (faults.forgetHandlers) {
            // At once, so the caller's removals after Stop always find them gone.
            core_->received.Clear();
            core_->stopped.Clear();
        }
        const std::shared_ptr<WatcherCore> core = core_;
        const TimePoint now = Clock().Now();
        const SimulatedAdvertiser late = firstHeard_;
        for (int i = 0; i < faults.advertisementsAfterStop; ++i) {
            Tasks().Schedule(now + std::chrono::milliseconds(i), core.get(), [core, late] {
                DeliverAdvertisement(core, late.address, -20, late.name);
            });
        }
        Tasks().Schedule(now + std::chrono::milliseconds(faults.advertisementsAfterStop),
                         core.get(), [core] { DeliverStopped(core, 0, false); });
        return S_OK;
    }
    PROVIDER_EVENT("Watcher", Received, IReceivedHandler, core_->received)
    PROVIDER_EVENT("Watcher", Stopped, IStoppedHandler, core_->stopped)

private:
    void OnFinalRelease() override {
        {
            std::lock_guard<std::mutex> lock(core_->mutex);
            core_->alive = false;
        }
        core_->received.Clear();
        core_->stopped.Clear();
    }

    std::shared_ptr<WatcherCore> core_;
    SimulatedAdvertiser firstHeard_;
};

class WatcherFactory final : public IActivationFactory, public Object {
public:
    WatcherFactory() : Object("WatcherFactory") {}

    PROVIDER_INSPECTABLE(L"Windows.Devices.Bluetooth.Advertisement.BluetoothLEAdvertisementWatcher",
                         Face<IActivationFactory>{kIidActivationFactory})

    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) override {
        PROVIDER_ENTER("WatcherFactory.ActivateInstance");
        if (instance == nullptr) {
            return E_POINTER;
        }
        ComPtr<Watcher> watcher;
        Adopt(watcher, new Watcher);
        return GiveOut<IInspectable>("WatcherFactory.ActivateInstance",
                                     static_cast<IBluetoothLEAdvertisementWatcher*>(watcher.Get()),
                                     instance);
    }
};

}  // namespace

IActivationFactory* NewWatcherFactory() {
    return new WatcherFactory;
}

}  // namespace winrt_provider
