// The flat Bluetooth functions over the Windows Runtime, through its raw ABI. Linked into the
// shipping program only. Every platform failure becomes an HRESULT for the shared link logic,
// which turns it into the user's sentence; nothing here throws.

#include <windows.h>
#include <wrl/client.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "ble/async_completion.h"
#include "ble/flat_text.h"
#include "ble/gatt_link.h"
#include "ble/ov_ble.h"
#include "ble/winrt_abi.h"
#include "ble/winrt_ble_interfaces.h"

using namespace winrt_ble;

namespace {

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

// One uncached discovery through the source's newer interface: starts it, awaits the result
// within the bound and collects the UUIDs, keeping the list for the Keep step.
template <typename Source3, typename Item, typename Source, typename Operation, typename Result,
          typename List>
int32_t ReadUncached(Source* source, const GUID& source3Iid,
                     HRESULT (STDMETHODCALLTYPE Source3::*start)(INT32, Operation**),
                     const GUID& handlerIid, HRESULT (STDMETHODCALLTYPE Result::*getList)(List**),
                     std::chrono::milliseconds timeout, ComPtr<List>& list, int32_t& status,
                     std::vector<BleUuid>& uuids) {
    ComPtr<Source3> source3;
    HRESULT hr = QueryAs(source, source3Iid, source3);
    if (FAILED(hr)) {
        return Code(hr);
    }
    ComPtr<Operation> operation;
    hr = (source3.Get()->*start)(kUncached, operation.GetAddressOf());
    if (FAILED(hr)) {
        return Code(hr);
    }
    ComPtr<Result> result;
    hr = Await(operation.Get(), handlerIid, timeout, result.GetAddressOf());
    if (FAILED(hr)) {
        return Code(hr);
    }
    return CollectUuids<Result, List, Item>(result.Get(), getList, list, status, uuids);
}

// A GATT write the platform has started (or failed to start), awaited within the bound for the
// communication status it ends in.
int32_t AwaitStatus(HRESULT started, IAsyncStatusOperation* operation,
                    std::chrono::milliseconds timeout, int32_t& status) {
    if (FAILED(started)) {
        return Code(started);
    }
    INT32 communication = 0;
    const HRESULT hr = Await(operation, IID_IAsyncStatusOperationHandler, timeout, &communication);
    status = communication;
    return Code(hr);
}

// The process-wide GATT connection record.
class GattConnection final : public GattPlatform {
public:
    int32_t EnsureApartment() override { return Code(EnterApartment()); }

    int32_t OpenDevice(uint64_t address, std::chrono::milliseconds timeout, bool& opened) override {
        opened = false;
        ComPtr<IBluetoothLEDeviceStatics> statics;
        HRESULT hr = GetFactory(kDeviceClass, IID_DeviceStatics, statics);
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
        return ReadUncached<IBluetoothLEDevice3, IGattDeviceService>(
            device_.Get(), IID_Device3, &IBluetoothLEDevice3::GetGattServicesWithCacheModeAsync,
            IID_IAsyncServicesOperationHandler, &IGattDeviceServicesResult::get_Services, timeout,
            serviceList_, status, services);
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
        return ReadUncached<IGattDeviceService3, IGattCharacteristic>(
            service_.Get(), IID_DeviceService3,
            &IGattDeviceService3::GetCharacteristicsWithCacheModeAsync,
            IID_IAsyncCharacteristicsOperationHandler,
            &IGattCharacteristicsResult::get_Characteristics, timeout, characteristicList_, status,
            characteristics);
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
        const HRESULT hr = notify_->WriteClientCharacteristicConfigurationDescriptorAsync(
            kDescriptorNotify, operation.GetAddressOf());
        return AwaitStatus(hr, operation.Get(), timeout, status);
    }

    bool HasWriteCharacteristic() override { return write_ != nullptr; }

    int32_t WriteWithResponse(const uint8_t* bytes, size_t count, std::chrono::milliseconds timeout,
                              int32_t& status) override {
        ComPtr<IBufferFactory> factory;
        HRESULT hr = GetFactory(kBufferClass, IID_BufferFactory, factory);
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
        return AwaitStatus(hr, operation.Get(), timeout, status);
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

}  // namespace

GattLink& FlatGattLink() {
    // Never destroyed: the window thread may disconnect during shutdown after statics go.
    static GattConnection* platform = new GattConnection;
    static GattLink* link = new GattLink(*platform);
    return *link;
}
