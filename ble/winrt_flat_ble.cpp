// The flat Bluetooth functions over the Windows Runtime, through its raw ABI. Linked into the
// shipping program only. Every platform failure becomes an HRESULT for the shared link logic,
// which turns it into the user's sentence; nothing here throws.

#include <windows.h>
#include <objbase.h>
#include <roapi.h>
#include <winstring.h>
#include <wrl/client.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "ble/async_completion.h"
#include "ble/flat_text.h"
#include "ble/gatt_link.h"
#include "ble/ov_ble.h"
#include "ble/scan_runner.h"
#include "ble/winrt_ble_interfaces.h"

using Microsoft::WRL::ComPtr;
using namespace winrt_ble;

namespace {

// An HSTRING we own.
class HString {
public:
    HString() = default;
    ~HString() { WindowsDeleteString(value_); }
    HString(const HString&) = delete;
    HString& operator=(const HString&) = delete;

    HRESULT Set(const wchar_t* text) {
        WindowsDeleteString(value_);
        value_ = nullptr;
        return WindowsCreateString(text, static_cast<UINT32>(wcslen(text)), &value_);
    }
    HSTRING Get() const { return value_; }
    HSTRING* Put() {
        WindowsDeleteString(value_);
        value_ = nullptr;
        return &value_;
    }
    std::wstring Text() const {
        UINT32 length = 0;
        const wchar_t* raw = WindowsGetStringRawBuffer(value_, &length);
        return raw != nullptr ? std::wstring(raw, length) : std::wstring();
    }

private:
    HSTRING value_ = nullptr;
};

template <typename To, typename From>
HRESULT QueryAs(From* from, const GUID& iid, ComPtr<To>& to) {
    if (from == nullptr) {
        return E_POINTER;
    }
    return from->QueryInterface(iid, reinterpret_cast<void**>(to.ReleaseAndGetAddressOf()));
}

int32_t Code(HRESULT hr) {
    return static_cast<int32_t>(hr);
}

BleUuid ToBleUuid(const GUID& guid) {
    BleUuid uuid;
    uuid.data1 = guid.Data1;
    uuid.data2 = guid.Data2;
    uuid.data3 = guid.Data3;
    for (int i = 0; i < 8; ++i) {
        uuid.data4[i] = guid.Data4[i];
    }
    return uuid;
}

// The common tail of the two GATT discovery reads: the result's communication status, then the
// UUID of every entry of the list it holds (kept in list for the caller's later pick).
template <typename Result, typename List, typename Item>
int32_t CollectUuids(Result* result, HRESULT (STDMETHODCALLTYPE Result::*getList)(List**),
                     ComPtr<List>& list, int32_t& status, std::vector<BleUuid>& uuids) {
    if (result == nullptr) {
        return Code(E_POINTER);
    }
    INT32 communication = 0;
    HRESULT hr = result->get_Status(&communication);
    if (FAILED(hr)) {
        return Code(hr);
    }
    status = communication;
    if (communication != kCommunicationSuccess) {
        return 0;
    }
    hr = (result->*getList)(list.ReleaseAndGetAddressOf());
    if (FAILED(hr) || !list) {
        return Code(FAILED(hr) ? hr : E_POINTER);
    }
    UINT32 size = 0;
    hr = list->get_Size(&size);
    for (UINT32 i = 0; SUCCEEDED(hr) && i < size; ++i) {
        ComPtr<Item> item;
        hr = list->GetAt(i, item.GetAddressOf());
        GUID uuid{};
        if (SUCCEEDED(hr) && item) {
            hr = item->get_Uuid(&uuid);
        }
        uuids.push_back(ToBleUuid(uuid));
    }
    return Code(hr);
}

// A delegate of our own: atomic reference count, agile, no exception leaves Invoke.
template <typename Interface, typename... Args>
class Delegate final : public Interface {
public:
    Delegate(const GUID& iid, std::function<void(Args...)> body)
        : iid_(iid), body_(std::move(body)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override {
        if (object == nullptr) {
            return E_POINTER;
        }
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, iid_) ||
            IsEqualGUID(riid, IID_AgileObject)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE Invoke(Args... args) override {
        try {
            body_(args...);
        } catch (...) {
            // A platform callback must not throw; the event is lost.
        }
        return S_OK;
    }

private:
    ~Delegate() = default;

    std::atomic<ULONG> references_{1};
    const GUID& iid_;
    std::function<void(Args...)> body_;
};

template <typename Interface, typename... Args, typename Body>
ComPtr<Interface> MakeDelegate(const GUID& iid, Body body) {
    // Adopts the reference the delegate starts with: mingw-w64's ComPtr::Attach would add a
    // second one, and the delegate would never be freed.
    ComPtr<Interface> pointer;
    *pointer.GetAddressOf() =
        new Delegate<Interface, Args...>(iid, std::function<void(Args...)>(std::move(body)));
    return pointer;
}

HRESULT EnterApartment() {
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(hr) || hr == RPC_E_CHANGED_MODE) {
        return S_OK;  // never left again: worker threads end without uninitialising
    }
    return hr;
}

// Waits for an asynchronous operation for at most timeout; on time-out it is cancelled and the
// result is kHrTimeout. The completion may still arrive later and then finds nobody waiting.
template <typename Operation>
HRESULT Await(Operation* operation, const GUID& handlerIid, std::chrono::milliseconds timeout,
              typename Operation::Result* result) {
    using Handler = typename Operation::Handler;
    if (operation == nullptr) {
        return E_POINTER;
    }
    auto done = std::make_shared<AsyncCompletion>();
    ComPtr<Handler> handler = MakeDelegate<Handler, Operation*, INT32>(
        handlerIid, [done](Operation*, INT32 status) { done->Complete(status); });
    HRESULT hr = operation->put_Completed(handler.Get());
    if (FAILED(hr)) {
        return hr;
    }
    ComPtr<IAsyncInfo> info;
    QueryAs(operation, IID_AsyncInfo, info);
    int32_t status = kAsyncStarted;
    if (!done->WaitFor(timeout, status)) {
        if (info) {
            info->Cancel();
            info->Close();
        }
        return static_cast<HRESULT>(kHrTimeout);
    }
    if (status == kAsyncCompleted) {
        hr = operation->GetResults(result);
    } else {
        hr = E_FAIL;
        if (info) {
            HRESULT code = S_OK;
            if (SUCCEEDED(info->get_ErrorCode(&code)) && FAILED(code)) {
                hr = code;
            }
        }
        if (status == kAsyncCanceled && hr == E_FAIL) {
            hr = E_ABORT;
        }
    }
    if (info) {
        info->Close();
    }
    return hr;
}

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

// Lets the value-change handler of one connection queue notifications until that connection
// closes. The platform may still be delivering a value change when remove_ValueChanged returns;
// once shut, such a late one is dropped instead of reaching the next connection's queue.
class NotificationGate {
public:
    explicit NotificationGate(std::shared_ptr<NotificationQueue> queue)
        : queue_(std::move(queue)) {}

    void Push(std::vector<uint8_t> notification) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_) {
            queue_->Push(std::move(notification));
        }
    }
    void Shut() {
        std::lock_guard<std::mutex> lock(mutex_);
        open_ = false;
    }

private:
    std::mutex mutex_;
    bool open_ = true;
    std::shared_ptr<NotificationQueue> queue_;
};

// The process-wide GATT connection record.
class GattConnection final : public GattPlatform {
public:
    int32_t EnsureApartment() override { return Code(EnterApartment()); }

    int32_t OpenDevice(uint64_t address, std::chrono::milliseconds timeout, bool& opened) override {
        opened = false;
        HString name;
        HRESULT hr = name.Set(kDeviceClass);
        if (FAILED(hr)) {
            return Code(hr);
        }
        ComPtr<IBluetoothLEDeviceStatics> statics;
        hr = RoGetActivationFactory(name.Get(), IID_DeviceStatics,
                                    reinterpret_cast<void**>(statics.GetAddressOf()));
        if (FAILED(hr)) {
            return Code(hr);
        }
        ComPtr<IAsyncDeviceOperation> operation;
        hr = statics->FromBluetoothAddressAsync(address, operation.GetAddressOf());
        if (FAILED(hr)) {
            return Code(hr);
        }
        // GetResults hands over a reference of its own; ComPtr::Attach would add another.
        hr = Await(operation.Get(), IID_IAsyncDeviceOperationHandler, timeout,
                   device_.ReleaseAndGetAddressOf());
        if (FAILED(hr)) {
            device_.Reset();
            return Code(hr);
        }
        opened = device_ != nullptr;
        return 0;
    }

    int32_t ReadConnectionStatus(bool& connected) override {
        connected = false;
        if (!device_) {
            return Code(E_POINTER);
        }
        INT32 status = kDisconnected;
        const HRESULT hr = device_->get_ConnectionStatus(&status);
        connected = SUCCEEDED(hr) && status == kConnected;
        return Code(hr);
    }

    // The event rather than a read before each step: a drop that a write has already repaired
    // reads Connected again, though the unit has started its numbering afresh.
    int32_t RegisterStatusHandler(std::function<void(bool)> handler) override {
        if (!device_) {
            return Code(E_POINTER);
        }
        auto delegate = MakeDelegate<IDeviceHandler, IBluetoothLEDevice*, IInspectable*>(
            IID_DeviceHandler, [handler](IBluetoothLEDevice* sender, IInspectable*) {
                INT32 status = kDisconnected;
                if (sender != nullptr && SUCCEEDED(sender->get_ConnectionStatus(&status))) {
                    handler(status == kConnected);
                }
            });
        const HRESULT hr = device_->add_ConnectionStatusChanged(delegate.Get(), &statusToken_);
        statusRegistered_ = SUCCEEDED(hr);
        return Code(hr);
    }

    int32_t ReadServices(std::chrono::milliseconds timeout, int32_t& status,
                         std::vector<BleUuid>& services) override {
        ComPtr<IBluetoothLEDevice3> device3;
        HRESULT hr = QueryAs(device_.Get(), IID_Device3, device3);
        if (FAILED(hr)) {
            return Code(hr);
        }
        ComPtr<IAsyncServicesOperation> operation;
        hr = device3->GetGattServicesWithCacheModeAsync(kUncached, operation.GetAddressOf());
        if (FAILED(hr)) {
            return Code(hr);
        }
        ComPtr<IGattDeviceServicesResult> result;
        hr = Await(operation.Get(), IID_IAsyncServicesOperationHandler, timeout,
                   result.GetAddressOf());
        if (FAILED(hr)) {
            return Code(hr);
        }
        return CollectUuids<IGattDeviceServicesResult, IServiceVectorView, IGattDeviceService>(
            result.Get(), &IGattDeviceServicesResult::get_Services, serviceList_, status, services);
    }

    int32_t KeepService(size_t index) override {
        if (!serviceList_) {
            return Code(E_POINTER);
        }
        const HRESULT hr =
            serviceList_->GetAt(static_cast<UINT32>(index), service_.ReleaseAndGetAddressOf());
        serviceList_.Reset();
        return Code(SUCCEEDED(hr) && !service_ ? E_POINTER : hr);
    }

    int32_t ReadCharacteristics(std::chrono::milliseconds timeout, int32_t& status,
                                std::vector<BleUuid>& characteristics) override {
        ComPtr<IGattDeviceService3> service3;
        HRESULT hr = QueryAs(service_.Get(), IID_DeviceService3, service3);
        if (FAILED(hr)) {
            return Code(hr);
        }
        ComPtr<IAsyncCharacteristicsOperation> operation;
        hr = service3->GetCharacteristicsWithCacheModeAsync(kUncached, operation.GetAddressOf());
        if (FAILED(hr)) {
            return Code(hr);
        }
        ComPtr<IGattCharacteristicsResult> result;
        hr = Await(operation.Get(), IID_IAsyncCharacteristicsOperationHandler, timeout,
                   result.GetAddressOf());
        if (FAILED(hr)) {
            return Code(hr);
        }
        return CollectUuids<IGattCharacteristicsResult, ICharacteristicVectorView,
                            IGattCharacteristic>(result.Get(),
                                                 &IGattCharacteristicsResult::get_Characteristics,
                                                 characteristicList_, status, characteristics);
    }

    int32_t KeepCharacteristics(size_t writeIndex, size_t notifyIndex) override {
        if (!characteristicList_) {
            return Code(E_POINTER);
        }
        HRESULT hr = characteristicList_->GetAt(static_cast<UINT32>(writeIndex),
                                                write_.ReleaseAndGetAddressOf());
        if (SUCCEEDED(hr)) {
            hr = characteristicList_->GetAt(static_cast<UINT32>(notifyIndex),
                                            notify_.ReleaseAndGetAddressOf());
        }
        characteristicList_.Reset();
        if (SUCCEEDED(hr) && (!write_ || !notify_)) {
            hr = E_POINTER;
        }
        if (FAILED(hr)) {
            notify_.Reset();
            write_.Reset();
        }
        return Code(hr);
    }

    int32_t RegisterNotificationHandler(const std::shared_ptr<NotificationQueue>& queue) override {
        auto gate = std::make_shared<NotificationGate>(queue);
        gate_ = gate;
        auto handler =
            MakeDelegate<IValueChangedHandler, IGattCharacteristic*, IGattValueChangedEventArgs*>(
                IID_ValueChangedHandler,
                [gate](IGattCharacteristic*, IGattValueChangedEventArgs* args) {
                    if (args == nullptr) {
                        return;
                    }
                    ComPtr<IBuffer> value;
                    if (FAILED(args->get_CharacteristicValue(value.GetAddressOf())) || !value) {
                        return;
                    }
                    UINT32 length = 0;
                    if (FAILED(value->get_Length(&length))) {
                        return;
                    }
                    std::vector<uint8_t> bytes;
                    if (length > 0) {
                        ComPtr<IBufferByteAccess> access;
                        BYTE* data = nullptr;
                        if (FAILED(QueryAs(value.Get(), IID_BufferByteAccess, access)) ||
                            FAILED(access->Buffer(&data)) || data == nullptr) {
                            return;
                        }
                        bytes.assign(data, data + length);
                    }
                    gate->Push(std::move(bytes));
                });
        const HRESULT hr = notify_->add_ValueChanged(handler.Get(), &valueChangedToken_);
        if (SUCCEEDED(hr)) {
            valueChangedRegistered_ = true;
        }
        return Code(hr);
    }

    int32_t EnableNotifications(std::chrono::milliseconds timeout, int32_t& status) override {
        ComPtr<IAsyncStatusOperation> operation;
        HRESULT hr = notify_->WriteClientCharacteristicConfigurationDescriptorAsync(
            kDescriptorNotify, operation.GetAddressOf());
        if (FAILED(hr)) {
            return Code(hr);
        }
        INT32 communication = 0;
        hr = Await(operation.Get(), IID_IAsyncStatusOperationHandler, timeout, &communication);
        status = communication;
        return Code(hr);
    }

    bool HasWriteCharacteristic() override { return write_ != nullptr; }

    int32_t WriteWithResponse(const uint8_t* bytes, size_t count, std::chrono::milliseconds timeout,
                              int32_t& status) override {
        HString name;
        HRESULT hr = name.Set(kBufferClass);
        if (FAILED(hr)) {
            return Code(hr);
        }
        ComPtr<IBufferFactory> factory;
        hr = RoGetActivationFactory(name.Get(), IID_BufferFactory,
                                    reinterpret_cast<void**>(factory.GetAddressOf()));
        if (FAILED(hr)) {
            return Code(hr);
        }
        ComPtr<IBuffer> buffer;
        hr = factory->Create(static_cast<UINT32>(count), buffer.GetAddressOf());
        if (FAILED(hr) || !buffer) {
            return Code(FAILED(hr) ? hr : E_POINTER);
        }
        if (count > 0) {
            ComPtr<IBufferByteAccess> access;
            BYTE* data = nullptr;
            hr = QueryAs(buffer.Get(), IID_BufferByteAccess, access);
            if (SUCCEEDED(hr)) {
                hr = access->Buffer(&data);
            }
            if (FAILED(hr) || data == nullptr) {
                return Code(FAILED(hr) ? hr : E_POINTER);
            }
            memcpy(data, bytes, count);
        }
        hr = buffer->put_Length(static_cast<UINT32>(count));
        if (FAILED(hr)) {
            return Code(hr);
        }
        ComPtr<IAsyncStatusOperation> operation;
        hr = write_->WriteValueWithOptionAsync(buffer.Get(), kWriteWithResponse,
                                               operation.GetAddressOf());
        if (FAILED(hr)) {
            return Code(hr);
        }
        INT32 communication = 0;
        hr = Await(operation.Get(), IID_IAsyncStatusOperationHandler, timeout, &communication);
        status = communication;
        return Code(hr);
    }

    void Close() override {
        if (gate_) {
            gate_->Shut();
            gate_.reset();
        }
        if (notify_ && valueChangedRegistered_) {
            notify_->remove_ValueChanged(valueChangedToken_);
        }
        valueChangedRegistered_ = false;
        if (device_ && statusRegistered_) {
            device_->remove_ConnectionStatusChanged(statusToken_);
        }
        statusRegistered_ = false;
        ComPtr<IClosable> closable;
        if (service_ && SUCCEEDED(QueryAs(service_.Get(), IID_Closable, closable))) {
            closable->Close();
        }
        if (device_ && SUCCEEDED(QueryAs(device_.Get(), IID_Closable, closable))) {
            closable->Close();
        }
        closable.Reset();
        notify_.Reset();
        write_.Reset();
        characteristicList_.Reset();
        serviceList_.Reset();
        service_.Reset();
        device_.Reset();
    }

private:
    ComPtr<IBluetoothLEDevice> device_;
    ComPtr<IServiceVectorView> serviceList_;
    ComPtr<IGattDeviceService> service_;
    ComPtr<ICharacteristicVectorView> characteristicList_;
    ComPtr<IGattCharacteristic> write_;
    ComPtr<IGattCharacteristic> notify_;
    Token valueChangedToken_{};
    bool valueChangedRegistered_ = false;
    Token statusToken_{};
    bool statusRegistered_ = false;
    std::shared_ptr<NotificationGate> gate_;
};

GattLink& Link() {
    // Never destroyed: the window thread may disconnect during shutdown after statics go.
    static GattConnection* platform = new GattConnection;
    static GattLink* link = new GattLink(*platform);
    return *link;
}

}  // namespace

extern "C" int OvBleScan(OV_BLE_SCAN_DEVICE* devices, int capacity, int* count,
                         wchar_t* errorBuffer, int errorCapacity) {
    WinrtScanPlatform platform;
    return RunAdvertisementScan(platform, devices, capacity, count, errorBuffer, errorCapacity);
}

extern "C" int OvBleConnect(uint64_t address, wchar_t* errorBuffer, int errorCapacity) {
    return Link().Connect(address, errorBuffer, errorCapacity);
}

extern "C" int OvBleWrite(const uint8_t* bytes, int count, wchar_t* errorBuffer) {
    return Link().Write(bytes, count, errorBuffer);
}

extern "C" int OvBleWaitNotification(uint8_t* buffer, int* length, uint32_t timeoutMs,
                                     wchar_t* errorBuffer) {
    return Link().WaitNotification(buffer, length, timeoutMs, errorBuffer);
}

extern "C" int OvBleLinkIntact() {
    return Link().LinkIntact();
}

extern "C" void OvBleDisconnect() {
    Link().Disconnect();
}
