// The device statics, the device they open, its services and the discovery results.

#include <memory>
#include <mutex>
#include <vector>

#include "tools/winrt_provider/provider_async.h"
#include "tools/winrt_provider/provider_gatt.h"

namespace winrt_provider {
namespace {

using CharacteristicList = VectorView<ICharacteristicVectorView, IGattCharacteristic>;
using ServiceList = VectorView<IServiceVectorView, IGattDeviceService>;

// Tests count cached reads: the link must read afresh, or it misses a unit that changed.
void CountCachedRead(INT32 cacheMode) {
    if (cacheMode != kUncached) {
        Count(&Counts::cachedReads);
    }
}

// A discovery method and its cache-mode variant, both over the class's Read.
#define PROVIDER_DISCOVERY(face, method, Operation)                                              \
    HRESULT STDMETHODCALLTYPE method##Async(Operation** operation) override {                    \
        return Read(face "." #method "Async", kCached, operation);                               \
    }                                                                                            \
    HRESULT STDMETHODCALLTYPE method##WithCacheModeAsync(INT32 cacheMode, Operation** operation) \
        override {                                                                               \
        return Read(face "." #method "WithCacheModeAsync", cacheMode, operation);                \
    }

// What a discovery yields: a GATT status and the list found.
template <typename Interface, typename ListView, typename List>
class ListResult : public Interface, public Object {
public:
    ListResult(const char* kind, const wchar_t* className, const GUID& iid, INT32 status,
               ComPtr<List> list)
        : Object(kind), className_(className), iid_(iid), status_(status), list_(std::move(list)) {}

    PROVIDER_INSPECTABLE(className_, Face<Interface>{iid_})

    HRESULT STDMETHODCALLTYPE get_Status(INT32* status) override {
        return Get(this, CallOf(".get_Status").c_str(), status, status_);
    }
    HRESULT STDMETHODCALLTYPE get_ProtocolError(IInspectable**) override {
        PROVIDER_UNUSED(CallOf(".get_ProtocolError").c_str());
    }

protected:
    HRESULT GiveList(const char* method, ListView** list) {
        return GiveOut<ListView>(this, CallOf(method).c_str(), static_cast<ListView*>(list_.Get()),
                                 list);
    }

private:
    std::string CallOf(const char* method) const { return std::string(Kind()) + method; }
    void OnFinalRelease() override { list_.Reset(); }

    const wchar_t* className_;
    const GUID& iid_;
    INT32 status_;
    ComPtr<List> list_;
};

class CharacteristicsResult final
    : public ListResult<IGattCharacteristicsResult, ICharacteristicVectorView, CharacteristicList> {
public:
    CharacteristicsResult(INT32 status, ComPtr<CharacteristicList> list)
        : ListResult("CharacteristicsResult",
                     L"Windows.Devices.Bluetooth.GenericAttributeProfile.GattCharacteristicsResult",
                     IID_CharacteristicsResult, status, std::move(list)) {}

    HRESULT STDMETHODCALLTYPE
    get_Characteristics(ICharacteristicVectorView** characteristics) override {
        return GiveList(".get_Characteristics", characteristics);
    }
};

class ServicesResult final
    : public ListResult<IGattDeviceServicesResult, IServiceVectorView, ServiceList> {
public:
    ServicesResult(INT32 status, ComPtr<ServiceList> list)
        : ListResult("ServicesResult",
                     L"Windows.Devices.Bluetooth.GenericAttributeProfile.GattDeviceServicesResult",
                     IID_DeviceServicesResult, status, std::move(list)) {}

    HRESULT STDMETHODCALLTYPE get_Services(IServiceVectorView** services) override {
        return GiveList(".get_Services", services);
    }
};

class Service final : public IGattDeviceService,
                      public IGattDeviceService3,
                      public IClosable,
                      public Object {
public:
    Service(uint16_t uuid, std::shared_ptr<Connection> connection)
        : Object("Service"), uuid_(uuid), connection_(std::move(connection)) {}

    PROVIDER_INSPECTABLE(L"Windows.Devices.Bluetooth.GenericAttributeProfile.GattDeviceService",
                         Face<IGattDeviceService>{IID_DeviceService},
                         Face<IGattDeviceService3>{IID_DeviceService3},
                         Face<IClosable>{IID_Closable})

    PROVIDER_UNUSED_METHOD(GetCharacteristics, "Service.GetCharacteristics", GUID,
                           ICharacteristicVectorView**)
    PROVIDER_UNUSED_METHOD(GetIncludedServices, "Service.GetIncludedServices", GUID,
                           IServiceVectorView**)
    PROVIDER_UNUSED_METHOD(get_DeviceId, "Service.get_DeviceId", HSTRING*)
    HRESULT STDMETHODCALLTYPE get_Uuid(GUID* uuid) override {
        return Get(this, "Service.get_Uuid", uuid, BaseUuid(uuid_));
    }
    PROVIDER_UNUSED_METHOD(get_AttributeHandle, "Service.get_AttributeHandle", UINT16*)
    PROVIDER_UNUSED_METHOD(get_DeviceAccessInformation, "Service3.get_DeviceAccessInformation",
                           IInspectable**)
    PROVIDER_UNUSED_METHOD(get_Session, "Service3.get_Session", IInspectable**)
    PROVIDER_UNUSED_METHOD(get_SharingMode, "Service3.get_SharingMode", INT32*)
    PROVIDER_UNUSED_METHOD(RequestAccessAsync, "Service3.RequestAccessAsync", IInspectable**)
    PROVIDER_UNUSED_METHOD(OpenAsync, "Service3.OpenAsync", INT32, IInspectable**)
    PROVIDER_DISCOVERY("Service3", GetCharacteristics, IAsyncCharacteristicsOperation)
    HRESULT STDMETHODCALLTYPE Close() override {
        PROVIDER_ENTER("Service.Close");
        closed_ = true;
        return S_OK;
    }

private:
    HRESULT Read(const char* call, INT32 cacheMode, IAsyncCharacteristicsOperation** operation) {
        PROVIDER_ENTER(call);
        CountCachedRead(cacheMode);
        if (closed_ || connection_->Closed()) {
            return kHrClosed;
        }
        const std::shared_ptr<Connection> connection = connection_;
        const SimulatedConnectFailure failure = connection->record->setup.connectFailure;
        const uint16_t uuid = uuid_;
        return Launch<CharacteristicsOperation>(
            call, "CharacteristicsOperation", IID_IAsyncCharacteristicsOperation,
            IID_IAsyncCharacteristicsOperationHandler, connection->record->setup.connectStepLatency,
            false,
            [connection, failure, uuid]() {
                std::vector<ComPtr<IGattCharacteristic>> items;
                const auto add = [&](uint16_t id) {
                    ComPtr<IGattCharacteristic> item;
                    Adopt(item, NewCharacteristic(id, connection));
                    items.push_back(item);
                };
                if (uuid == 0xFFFF) {
                    if (failure != SimulatedConnectFailure::MissingWriteCharacteristic) {
                        add(0xFF01);
                    }
                    if (failure != SimulatedConnectFailure::MissingNotifyCharacteristic) {
                        add(0xFF02);
                    }
                }
                ComPtr<CharacteristicList> list;
                Adopt(list, new CharacteristicList("CharacteristicList",
                                                   IID_CharacteristicVectorView, items));
                CharacteristicsOperation::Outcome outcome;
                Adopt(outcome.value,
                      new CharacteristicsResult(
                          failure == SimulatedConnectFailure::CharacteristicDiscoveryFails
                              ? kGattUnreachable
                              : kGattSuccess,
                          list));
                return outcome;
            },
            operation);
    }

    uint16_t uuid_;
    std::shared_ptr<Connection> connection_;
    std::atomic<bool> closed_{false};
};

void DropLink(const std::shared_ptr<Connection>& connection, bool closing) {
    std::vector<std::weak_ptr<NotifyTarget>> targets;
    {
        std::lock_guard<std::mutex> lock(connection->mutex);
        if (connection->closed) {
            return;
        }
        connection->closed = true;
        targets.swap(connection->targets);
    }
    connection->record->unit->SetNotificationSink(nullptr);
    if (!closing) {
        return;
    }
    const int late = Faults().notificationsAfterClose;
    for (const auto& weak : targets) {
        if (const auto target = weak.lock()) {
            for (int i = 0; i < late; ++i) {
                Post(target, Bytes{0x4D, 0x04, static_cast<uint8_t>(i), 0x00}, false);
            }
        }
    }
}

class Device final : public IBluetoothLEDevice,
                     public IBluetoothLEDevice3,
                     public IClosable,
                     public Object {
public:
    explicit Device(std::shared_ptr<UnitRecord> record)
        : Object("Device"),
          connection_(std::make_shared<Connection>()),
          status_(std::make_shared<StatusSource>()) {
        status_->device = static_cast<IBluetoothLEDevice*>(this);
        WatchLink(record, status_);
        connection_->record = std::move(record);
    }

    PROVIDER_INSPECTABLE(L"Windows.Devices.Bluetooth.BluetoothLEDevice",
                         Face<IBluetoothLEDevice>{IID_Device},
                         Face<IBluetoothLEDevice3>{IID_Device3}, Face<IClosable>{IID_Closable})

    PROVIDER_UNUSED_METHOD(get_DeviceId, "Device.get_DeviceId", HSTRING*)
    PROVIDER_UNUSED_METHOD(get_Name, "Device.get_Name", HSTRING*)
    PROVIDER_UNUSED_METHOD(get_GattServices, "Device.get_GattServices", IInspectable**)
    HRESULT STDMETHODCALLTYPE get_ConnectionStatus(INT32* status) override {
        return Get(this, "Device.get_ConnectionStatus", status,
                   LinkUp(connection_->record) ? kConnected : kDisconnected);
    }
    HRESULT STDMETHODCALLTYPE get_BluetoothAddress(UINT64* address) override {
        return Get(this, "Device.get_BluetoothAddress", address,
                   connection_->record->setup.address);
    }
    PROVIDER_UNUSED_METHOD(GetGattService, "Device.GetGattService", GUID, IGattDeviceService**)
    PROVIDER_UNUSED_METHOD(add_NameChanged, "Device.add_NameChanged", IUnknown*, Token*)
    PROVIDER_UNUSED_METHOD(remove_NameChanged, "Device.remove_NameChanged", Token)
    PROVIDER_UNUSED_METHOD(add_GattServicesChanged, "Device.add_GattServicesChanged", IUnknown*,
                           Token*)
    PROVIDER_UNUSED_METHOD(remove_GattServicesChanged, "Device.remove_GattServicesChanged", Token)
    HRESULT STDMETHODCALLTYPE add_ConnectionStatusChanged(IUnknown* handler,
                                                          Token* token) override {
        PROVIDER_ENTER("Device.add_ConnectionStatusChanged");
        // The platform takes only the event's own delegate type.
        ComPtr<IDeviceHandler> typed;
        if (handler == nullptr ||
            FAILED(handler->QueryInterface(IID_DeviceHandler,
                                           reinterpret_cast<void**>(typed.GetAddressOf())))) {
            return E_INVALIDARG;
        }
        return status_->handlers.Add(typed.Get(), token);
    }
    HRESULT STDMETHODCALLTYPE remove_ConnectionStatusChanged(Token token) override {
        PROVIDER_ENTER("Device.remove_ConnectionStatusChanged");
        return status_->handlers.Remove(token);
    }
    PROVIDER_UNUSED_METHOD(get_DeviceAccessInformation, "Device3.get_DeviceAccessInformation",
                           IInspectable**)
    PROVIDER_UNUSED_METHOD(RequestAccessAsync, "Device3.RequestAccessAsync", IInspectable**)
    PROVIDER_DISCOVERY("Device3", GetGattServices, IAsyncServicesOperation)
    HRESULT STDMETHODCALLTYPE Close() override {
        PROVIDER_ENTER("Device.Close");
        DropLink(connection_, true);
        StopHolding(connection_);
        return S_OK;
    }

private:
    HRESULT Read(const char* call, INT32 cacheMode, IAsyncServicesOperation** operation) {
        PROVIDER_ENTER(call);
        CountCachedRead(cacheMode);
        if (connection_->Closed()) {
            return kHrClosed;
        }
        const std::shared_ptr<Connection> connection = connection_;
        const SimulatedConnectFailure failure = connection->record->setup.connectFailure;
        return Launch<ServicesOperation>(
            call, "ServicesOperation", IID_IAsyncServicesOperation,
            IID_IAsyncServicesOperationHandler, connection->record->setup.connectStepLatency, false,
            [connection, failure]() {
                BringLinkUp(connection->record);
                bool hold = false;
                {
                    std::lock_guard<std::mutex> lock(connection->mutex);
                    hold = !connection->closed && !connection->holding;
                    connection->holding = connection->holding || hold;
                }
                if (hold) {
                    HoldLink(connection->record);
                }
                std::vector<ComPtr<IGattDeviceService>> items;
                std::vector<uint16_t> ids = {0x1800, 0x180A};
                if (failure != SimulatedConnectFailure::NoBlufiService) {
                    ids.push_back(0xFFFF);
                }
                for (uint16_t id : ids) {
                    ComPtr<IGattDeviceService> item;
                    Adopt(item, static_cast<IGattDeviceService*>(new Service(id, connection)));
                    items.push_back(item);
                }
                ComPtr<ServiceList> list;
                Adopt(list, new ServiceList("ServiceList", IID_ServiceVectorView, items));
                ServicesOperation::Outcome outcome;
                Adopt(outcome.value,
                      new ServicesResult(failure == SimulatedConnectFailure::ServiceDiscoveryFails
                                             ? kGattUnreachable
                                             : kGattSuccess,
                                         list));
                return outcome;
            },
            operation);
    }

    static void StopHolding(const std::shared_ptr<Connection>& connection) {
        bool held = false;
        {
            std::lock_guard<std::mutex> lock(connection->mutex);
            held = connection->holding;
            connection->holding = false;
        }
        if (held) {
            ReleaseLink(connection->record);
        }
    }

    // The link drops once nothing holds the device.
    void OnFinalRelease() override {
        DropLink(connection_, false);
        StopHolding(connection_);
        {
            std::lock_guard<std::mutex> lock(status_->mutex);
            status_->device = nullptr;
        }
        status_->handlers.Clear();
    }

    std::shared_ptr<Connection> connection_;
    std::shared_ptr<StatusSource> status_;
};

class DeviceStatics final : public StaticsFactory<IBluetoothLEDeviceStatics> {
public:
    DeviceStatics()
        : StaticsFactory("DeviceStatics", L"Windows.Devices.Bluetooth.BluetoothLEDevice",
                         IID_DeviceStatics) {}

    PROVIDER_UNUSED_METHOD(FromIdAsync, "DeviceStatics.FromIdAsync", HSTRING,
                           IAsyncDeviceOperation**)
    HRESULT STDMETHODCALLTYPE
    FromBluetoothAddressAsync(UINT64 address, IAsyncDeviceOperation** operation) override {
        const char* call = "DeviceStatics.FromBluetoothAddressAsync";
        PROVIDER_ENTER(call);
        if (RadioOff()) {
            return kHrDeviceNotReady;
        }
        const std::shared_ptr<UnitRecord> record = FindUnit(address);
        const SimulatedConnectFailure failure =
            record ? record->setup.connectFailure : SimulatedConnectFailure::DeviceNotFound;
        return Launch<DeviceOperation>(
            call, "DeviceOperation", IID_IAsyncDeviceOperation, IID_IAsyncDeviceOperationHandler,
            record ? record->setup.connectStepLatency : std::chrono::milliseconds(0),
            failure == SimulatedConnectFailure::OpenHangs,
            [record, failure]() {
                DeviceOperation::Outcome outcome;
                if (failure == SimulatedConnectFailure::PlatformError) {
                    outcome.status = kAsyncError;
                    outcome.error = static_cast<HRESULT>(record->setup.connectErrorCode);
                } else if (failure != SimulatedConnectFailure::DeviceNotFound) {
                    Adopt(outcome.value, static_cast<IBluetoothLEDevice*>(new Device(record)));
                }
                return outcome;
            },
            operation);
    }
    PROVIDER_UNUSED_METHOD(GetDeviceSelector, "DeviceStatics.GetDeviceSelector", HSTRING*)
};

}  // namespace

IActivationFactory* NewDeviceStatics() {
    return static_cast<IActivationFactory*>(new DeviceStatics);
}

}  // namespace winrt_provider
