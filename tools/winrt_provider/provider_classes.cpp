// The runtime classes: watcher with its event arguments, device statics and device, GATT
// services and characteristics with their results and lists, asynchronous operations, buffers
// and the activation factories, all against the declarations the flat layer uses. Methods the
// flat layer never calls answer E_NOTIMPL and are counted.

#include <windows.h>
#include <activation.h>
#include <roapi.h>
#include <winstring.h>
#include <wrl/client.h>

#include <cstring>
#include <type_traits>

#include "ble/winrt_ble_interfaces.h"
#include "tools/winrt_provider/provider_link.h"
#include "tools/winrt_provider/provider_runtime.h"

using Microsoft::WRL::ComPtr;
using namespace winrt_ble;

namespace winrt_provider {
namespace {

constexpr GUID kIidUnknown = {
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID kIidInspectable = {
    0xaf86e2e0, 0xb12d, 0x4c6a, {0x9c, 0x5a, 0xd7, 0xaa, 0x65, 0x10, 0x1e, 0x90}};
constexpr GUID kIidActivationFactory = {
    0x00000035, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr INT32 kGattSuccess = 0;
constexpr INT32 kGattUnreachable = 1;
constexpr INT32 kGattProtocolError = 2;
constexpr INT32 kGattAccessDenied = 3;
constexpr INT32 kBluetoothRadioNotAvailable = 1;
constexpr INT32 kBluetoothOtherError = 4;

GUID BaseUuid(uint16_t shortId) {
    return GUID{shortId, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};
}

// Takes over the reference a new object starts with. (mingw-w64's ComPtr::Attach adds one
// more, so it cannot be used for that.)
template <typename Interface, typename Object>
void Adopt(ComPtr<Interface>& pointer, Object* object) {
    pointer.Reset();
    *pointer.GetAddressOf() = object;
}

template <typename Interface>
HRESULT Give(Interface* pointer, void** out) {
    *out = pointer;
    pointer->AddRef();
    return S_OK;
}

// Hands out an owned reference, or null when the call is to yield null.
template <typename Interface, typename Held>
HRESULT GiveOut(const char* call, Held* held, Interface** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    if (NullResult(call) || held == nullptr) {
        return S_OK;
    }
    *out = held;
    held->AddRef();
    return S_OK;
}

// The same for a property: the call is entered first.
template <typename Interface, typename Held>
HRESULT GiveOut(const Object* self, const char* call, Held* held, Interface** out) {
    const HRESULT hr = Enter(self, call);
    return FAILED(hr) ? hr : GiveOut(call, held, out);
}

// One interface an object hands out from QueryInterface.
template <typename Interface>
struct Face {
    const GUID& iid;
};

// QueryInterface over the interfaces an object offers; the first one also stands for
// IUnknown and IInspectable.
template <typename Self, typename First, typename... Others>
HRESULT Query(Self* self, REFIID iid, void** out, Face<First> first, Face<Others>... others) {
    if (out == nullptr) {
        return E_POINTER;
    }
    if (iid == kIidUnknown || iid == kIidInspectable || iid == first.iid) {
        return Give(static_cast<First*>(self), out);
    }
    const bool given =
        ((iid == others.iid && Give(static_cast<Others*>(self), out) == S_OK) || ...);
    if (!given) {
        *out = nullptr;
    }
    return given ? S_OK : E_NOINTERFACE;
}

// Returns at once what Enter answers when the call is not to go on.
#define PROVIDER_ENTER(call)                       \
    do {                                           \
        const HRESULT entered = Enter(this, call); \
        if (FAILED(entered))                       \
            return entered;                        \
    } while (false)

// A property read: the call is entered, the out pointer checked, then the value (or what a
// callable yields, for values read under a lock) stored.
template <typename Out, typename Value>
HRESULT Get(const Object* self, const char* call, Out* out, const Value& value) {
    const HRESULT hr = Enter(self, call);
    if (FAILED(hr)) {
        return hr;
    }
    if (out == nullptr) {
        return E_POINTER;
    }
    if constexpr (std::is_invocable_v<const Value&>) {
        *out = value();
    } else {
        *out = value;
    }
    return S_OK;
}

// The IUnknown and IInspectable half of a provider class, answering for the faces given.
#define PROVIDER_INSPECTABLE(className, ...)                                                 \
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {              \
        return Query(this, iid, out, __VA_ARGS__);                                           \
    }                                                                                        \
    ULONG STDMETHODCALLTYPE AddRef() override {                                              \
        return AddRefObject();                                                               \
    }                                                                                        \
    ULONG STDMETHODCALLTYPE Release() override {                                             \
        return ReleaseObject();                                                              \
    }                                                                                        \
    HRESULT STDMETHODCALLTYPE GetIids(ULONG* count, IID** iids) override {                   \
        if (count == nullptr || iids == nullptr)                                             \
            return E_POINTER;                                                                \
        *count = 0;                                                                          \
        *iids = nullptr;                                                                     \
        return S_OK;                                                                         \
    }                                                                                        \
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* name) override {                  \
        if (name == nullptr)                                                                 \
            return E_POINTER;                                                                \
        return WindowsCreateString(className, static_cast<UINT32>(wcslen(className)), name); \
    }                                                                                        \
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* level) override {                    \
        if (level == nullptr)                                                                \
            return E_POINTER;                                                                \
        *level = BaseTrust;                                                                  \
        return S_OK;                                                                         \
    }

#define PROVIDER_UNUSED(call) return Unimplemented(this, call)
// A method the flat layer never calls: counted, and answered E_NOTIMPL.
#define PROVIDER_UNUSED_METHOD(method, call, ...)            \
    HRESULT STDMETHODCALLTYPE method(__VA_ARGS__) override { \
        PROVIDER_UNUSED(call);                               \
    }

// ---- Buffers ---------------------------------------------------------------------------------

class ByteBuffer final : public IBuffer, public IBufferByteAccess, public Object {
public:
    explicit ByteBuffer(UINT32 capacity) : Object("Buffer"), bytes_(capacity) {}
    explicit ByteBuffer(const Bytes& bytes)
        : Object("Buffer"), bytes_(bytes), length_(bytes.size()) {}

    PROVIDER_INSPECTABLE(L"Windows.Storage.Streams.Buffer", Face<IBuffer>{IID_Buffer},
                         Face<IBufferByteAccess>{IID_BufferByteAccess})

    HRESULT STDMETHODCALLTYPE get_Capacity(UINT32* capacity) override {
        return Get(this, "Buffer.get_Capacity", capacity, static_cast<UINT32>(bytes_.size()));
    }
    HRESULT STDMETHODCALLTYPE get_Length(UINT32* length) override {
        return Get(this, "Buffer.get_Length", length, static_cast<UINT32>(length_));
    }
    HRESULT STDMETHODCALLTYPE put_Length(UINT32 length) override {
        PROVIDER_ENTER("Buffer.put_Length");
        if (length > bytes_.size()) {
            return E_INVALIDARG;
        }
        length_ = length;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Buffer(BYTE** bytes) override {
        PROVIDER_ENTER("Buffer.Buffer");
        if (bytes == nullptr) {
            return E_POINTER;
        }
        *bytes = NullResult("Buffer.Buffer") ? nullptr : bytes_.data();
        return S_OK;
    }

    Bytes Content() const { return Bytes(bytes_.begin(), bytes_.begin() + length_); }

private:
    Bytes bytes_;
    size_t length_ = 0;
};

class BufferFactory final : public IActivationFactory, public IBufferFactory, public Object {
public:
    BufferFactory() : Object("BufferFactory") {}

    PROVIDER_INSPECTABLE(L"Windows.Storage.Streams.Buffer",
                         Face<IActivationFactory>{kIidActivationFactory},
                         Face<IBufferFactory>{IID_BufferFactory})

    PROVIDER_UNUSED_METHOD(ActivateInstance, "BufferFactory.ActivateInstance", IInspectable**)
    HRESULT STDMETHODCALLTYPE Create(UINT32 capacity, IBuffer** buffer) override {
        PROVIDER_ENTER("BufferFactory.Create");
        if (buffer == nullptr) {
            return E_POINTER;
        }
        ComPtr<ByteBuffer> made;
        Adopt(made, new ByteBuffer(capacity));
        return GiveOut<IBuffer>("BufferFactory.Create", static_cast<IBuffer*>(made.Get()), buffer);
    }
};

Bytes BytesOf(IBuffer* buffer, HRESULT& hr) {
    hr = E_POINTER;
    if (buffer == nullptr) {
        return {};
    }
    UINT32 length = 0;
    hr = buffer->get_Length(&length);
    if (FAILED(hr)) {
        return {};
    }
    ComPtr<IBufferByteAccess> access;
    hr = buffer->QueryInterface(IID_BufferByteAccess,
                                reinterpret_cast<void**>(access.GetAddressOf()));
    if (FAILED(hr)) {
        return {};
    }
    BYTE* data = nullptr;
    hr = access->Buffer(&data);
    if (FAILED(hr)) {
        return {};
    }
    if (data == nullptr && length > 0) {
        hr = E_POINTER;
        return {};
    }
    return Bytes(data, data + length);
}

// ---- Asynchronous operations --------------------------------------------------------------------

template <typename Operation>
class AsyncOperation final : public Operation, public IAsyncInfo, public Object {
public:
    using Handler = typename Operation::Handler;
    using Result = typename Operation::Result;
    using Stored = std::conditional_t<std::is_pointer<Result>::value,
                                      ComPtr<std::remove_pointer_t<Result>>, Result>;
    struct Outcome {
        INT32 status = kAsyncCompleted;
        Stored value{};
        HRESULT error = S_OK;
    };
    using Work = std::function<Outcome()>;

    AsyncOperation(const char* name, const GUID& iid, const GUID& handlerIid)
        : Object(name), name_(name), iid_(iid), handlerIid_(handlerIid) {}

    // Starts the operation: it finishes after latency with what work yields, never when it
    // hangs; when it finishes relative to put_Completed follows the faults' timing.
    void Begin(std::chrono::milliseconds latency, bool hang, Work work) {
        timing_ = NextTiming();
        if (hang) {
            return;
        }
        work_ = std::move(work);
        latency_ = latency;
        created_ = Clock().Now();
        if (timing_ != CompletionTiming::Later) {
            if (latency.count() > 0) {
                Clock().SleepFor(latency);
            }
            Finish(work_());
        }
    }

    PROVIDER_INSPECTABLE(L"Windows.Foundation.IAsyncOperation`1", Face<Operation>{iid_},
                         Face<IAsyncInfo>{IID_AsyncInfo})

    HRESULT STDMETHODCALLTYPE put_Completed(Handler* handler) override {
        PROVIDER_ENTER(Call(".put_Completed"));
        if (handler == nullptr) {
            return E_INVALIDARG;
        }
        bool finished = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (handler_ != nullptr || handlerSet_) {
                return kHrIllegalDelegateAssignment;
            }
            handler->AddRef();
            CountDelegates(1);
            handler_ = handler;
            handlerSet_ = true;
            finished = status_ != kAsyncStarted;
        }
        if (finished && timing_ == CompletionTiming::InsidePutCompleted) {
            InvokeHandler();
        } else if (finished) {
            // Completion on a provider thread while this call has not yet returned.
            auto invoked = std::make_shared<std::pair<std::mutex, std::condition_variable>>();
            auto done = std::make_shared<bool>(false);
            ComPtr<AsyncOperation> self(this);
            Tasks().ScheduleNow(nullptr, [self, invoked, done] {
                self->InvokeHandler();
                std::lock_guard<std::mutex> lock(invoked->first);
                *done = true;
                invoked->second.notify_all();
            });
            std::unique_lock<std::mutex> lock(invoked->first);
            invoked->second.wait(lock, [&] { return *done; });
        } else if (work_) {
            ComPtr<AsyncOperation> self(this);
            auto returned = returned_;
            TimePoint due = created_ + latency_;
            Tasks().Schedule(due, nullptr, [self, returned] {
                while (!returned->load()) {
                    std::this_thread::yield();
                }
                self->Finish(self->work_());
            });
            returned_->store(true);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE get_Completed(Handler** handler) override {
        PROVIDER_ENTER(Call(".get_Completed"));
        if (handler == nullptr) {
            return E_POINTER;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        *handler = handler_;
        if (handler_ != nullptr) {
            handler_->AddRef();
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetResults(Result* results) override {
        PROVIDER_ENTER(Call(".GetResults"));
        if (results == nullptr) {
            return E_POINTER;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (status_ != kAsyncCompleted || closed_) {
            return kHrIllegalMethodCall;
        }
        if constexpr (std::is_pointer<Result>::value) {
            *results = NullResult(Call(".GetResults")) ? nullptr : value_.Get();
            if (*results != nullptr) {
                (*results)->AddRef();
            }
        } else {
            *results = value_;
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) override {
        if (id == nullptr) {
            return E_POINTER;
        }
        *id = 1;
        return Enter(this, Call(".get_Id"));
    }
    HRESULT STDMETHODCALLTYPE get_Status(INT32* status) override {
        return Get(this, Call(".get_Status"), status, [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return status_;
        });
    }
    HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) override {
        return Get(this, Call(".get_ErrorCode"), code, [&] {
            std::lock_guard<std::mutex> lock(mutex_);
            return error_;
        });
    }
    HRESULT STDMETHODCALLTYPE Cancel() override {
        PROVIDER_ENTER(Call(".Cancel"));
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (status_ != kAsyncStarted) {
                return S_OK;
            }
            status_ = kAsyncCanceled;
        }
        InvokeHandler();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Close() override {
        PROVIDER_ENTER(Call(".Close"));
        std::lock_guard<std::mutex> lock(mutex_);
        if (status_ == kAsyncStarted) {
            return kHrIllegalMethodCall;  // a running operation cannot be closed
        }
        closed_ = true;
        return S_OK;
    }

private:
    const char* Call(const char* method) {
        // The names are a handful of literals; keep them for the call log's lifetime.
        static std::mutex namesMutex;
        static std::map<std::string, std::string>* names = new std::map<std::string, std::string>;
        std::lock_guard<std::mutex> lock(namesMutex);
        std::string& name = (*names)[std::string(name_) + method];
        if (name.empty()) {
            name = std::string(name_) + method;
        }
        return name.c_str();
    }

    void Finish(Outcome outcome) {
        bool invoke = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (status_ != kAsyncStarted) {
                return;  // cancelled meanwhile
            }
            status_ = outcome.status;
            value_ = std::move(outcome.value);
            error_ = outcome.error;
            invoke = handler_ != nullptr;
        }
        if (invoke) {
            InvokeHandler();
        }
    }

    void InvokeHandler() {
        Handler* handler = nullptr;
        INT32 status = kAsyncStarted;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            handler = handler_;
            handler_ = nullptr;
            status = status_;
        }
        if (handler == nullptr) {
            return;
        }
        CountHandlerCall(false);
        handler->Invoke(static_cast<Operation*>(this), status);
        handler->Release();
        CountDelegates(-1);
    }

    void OnFinalRelease() override {
        Handler* handler = nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            handler = handler_;
            handler_ = nullptr;
            value_ = Stored{};
        }
        if (handler != nullptr) {
            handler->Release();
            CountDelegates(-1);
        }
    }

    const char* name_;
    const GUID& iid_;
    const GUID& handlerIid_;
    std::mutex mutex_;
    INT32 status_ = kAsyncStarted;
    Stored value_{};
    HRESULT error_ = S_OK;
    Handler* handler_ = nullptr;
    bool handlerSet_ = false;
    bool closed_ = false;
    CompletionTiming timing_ = CompletionTiming::Later;
    Work work_;
    std::chrono::milliseconds latency_{0};
    TimePoint created_{};
    std::shared_ptr<std::atomic<bool>> returned_ = std::make_shared<std::atomic<bool>>(false);
};

using DeviceOperation = AsyncOperation<IAsyncDeviceOperation>;
using ServicesOperation = AsyncOperation<IAsyncServicesOperation>;
using CharacteristicsOperation = AsyncOperation<IAsyncCharacteristicsOperation>;
using StatusOperation = AsyncOperation<IAsyncStatusOperation>;

// ---- Vector views -------------------------------------------------------------------------------

template <typename View, typename Item>
class VectorView final : public View, public Object {
public:
    VectorView(const char* name, const GUID& iid, std::vector<ComPtr<Item>> items)
        : Object(name), name_(name), iid_(iid), items_(std::move(items)) {}

    PROVIDER_INSPECTABLE(L"Windows.Foundation.Collections.IVectorView`1", Face<View>{iid_})

    HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, Item** item) override {
        HRESULT hr =
            Enter(this, Is("ServiceList") ? "ServiceList.GetAt" : "CharacteristicList.GetAt");
        if (FAILED(hr)) {
            return hr;
        }
        if (item == nullptr) {
            return E_POINTER;
        }
        *item = nullptr;
        if (index >= items_.size()) {
            return kHrBounds;
        }
        return GiveOut(Is("ServiceList") ? "ServiceList.GetAt" : "CharacteristicList.GetAt",
                       items_[index].Get(), item);
    }
    HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) override {
        HRESULT hr =
            Enter(this, Is("ServiceList") ? "ServiceList.get_Size" : "CharacteristicList.get_Size");
        if (FAILED(hr)) {
            return hr;
        }
        if (size == nullptr) {
            return E_POINTER;
        }
        *size = static_cast<UINT32>(items_.size());
        return S_OK;
    }
    PROVIDER_UNUSED_METHOD(IndexOf, "VectorView.IndexOf", Item*, UINT32*, boolean*)
    PROVIDER_UNUSED_METHOD(GetMany, "VectorView.GetMany", UINT32, UINT32, Item**, UINT32*)

private:
    bool Is(const char* name) const { return std::strcmp(name_, name) == 0; }
    void OnFinalRelease() override { items_.clear(); }

    const char* name_;
    const GUID& iid_;
    std::vector<ComPtr<Item>> items_;
};

// ---- Advertisement watcher ----------------------------------------------------------------------

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
    HRESULT STDMETHODCALLTYPE add_Received(IReceivedHandler* handler, Token* token) override {
        PROVIDER_ENTER("Watcher.add_Received");
        return core_->received.Add(handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_Received(Token token) override {
        PROVIDER_ENTER("Watcher.remove_Received");
        return core_->received.Remove(token);
    }
    HRESULT STDMETHODCALLTYPE add_Stopped(IStoppedHandler* handler, Token* token) override {
        PROVIDER_ENTER("Watcher.add_Stopped");
        return core_->stopped.Add(handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_Stopped(Token token) override {
        PROVIDER_ENTER("Watcher.remove_Stopped");
        return core_->stopped.Remove(token);
    }

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

// ---- GATT -----------------------------------------------------------------------------------

// One opened device: the unit behind it and whether it has been closed.
struct Connection {
    std::mutex mutex;
    std::shared_ptr<UnitRecord> record;
    bool closed = false;
    bool holding = false;  // of the link, from the first discovery on
    std::vector<std::weak_ptr<struct NotifyTarget>> targets;

    bool Closed() {
        std::lock_guard<std::mutex> lock(mutex);
        return closed;
    }
};

class Characteristic;

// Where a unit's notifications go. Delivery holds the mutex; the characteristic's last release
// takes it and clears the pointer, so no value change reaches a characteristic that is gone.
struct NotifyTarget {
    std::mutex mutex;
    Characteristic* characteristic = nullptr;
    std::mutex pacing;
    TimePoint last{};
    std::chrono::milliseconds delay{0};
    std::chrono::milliseconds spacing{1};
};

// With a record, the value is lost when the unit's link has changed since epoch.
void Post(const std::shared_ptr<NotifyTarget>& target, Bytes bytes, bool anyThread,
          std::shared_ptr<UnitRecord> record = nullptr, uint64_t epoch = 0);

class ValueChangedArgs final : public IGattValueChangedEventArgs, public Object {
public:
    explicit ValueChangedArgs(Bytes bytes) : Object("ValueChangedArgs"), bytes_(std::move(bytes)) {}

    PROVIDER_INSPECTABLE(
        L"Windows.Devices.Bluetooth.GenericAttributeProfile.GattValueChangedEventArgs",
        Face<IGattValueChangedEventArgs>{IID_ValueChangedEventArgs})

    HRESULT STDMETHODCALLTYPE get_CharacteristicValue(IBuffer** value) override {
        PROVIDER_ENTER("ValueChangedArgs.get_CharacteristicValue");
        ComPtr<ByteBuffer> buffer;
        Adopt(buffer, new ByteBuffer(bytes_));
        return GiveOut<IBuffer>("ValueChangedArgs.get_CharacteristicValue",
                                static_cast<IBuffer*>(buffer.Get()), value);
    }
    PROVIDER_UNUSED_METHOD(get_Timestamp, "ValueChangedArgs.get_Timestamp", DateTime*)

private:
    Bytes bytes_;
};

template <typename Op, typename OpInterface>
HRESULT Launch(const char* call, const char* name, const GUID& iid, const GUID& handlerIid,
               std::chrono::milliseconds latency, bool hang, typename Op::Work work,
               OpInterface** out) {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    ComPtr<Op> op;
    Adopt(op, new Op(name, iid, handlerIid));
    op->Begin(latency, hang, std::move(work));
    return GiveOut<OpInterface>(call, static_cast<OpInterface*>(op.Get()), out);
}

StatusOperation::Outcome StatusOutcome(INT32 status) {
    StatusOperation::Outcome outcome;
    outcome.value = status;
    return outcome;
}

class Characteristic final : public IGattCharacteristic, public Object {
public:
    Characteristic(uint16_t uuid, std::shared_ptr<Connection> connection)
        : Object("Characteristic"),
          uuid_(uuid),
          connection_(std::move(connection)),
          target_(std::make_shared<NotifyTarget>()) {
        target_->characteristic = this;
    }

    PROVIDER_INSPECTABLE(L"Windows.Devices.Bluetooth.GenericAttributeProfile.GattCharacteristic",
                         Face<IGattCharacteristic>{IID_Characteristic})

    PROVIDER_UNUSED_METHOD(GetDescriptors, "Characteristic.GetDescriptors", GUID, IInspectable**)
    PROVIDER_UNUSED_METHOD(get_CharacteristicProperties,
                           "Characteristic.get_CharacteristicProperties", UINT32*)
    PROVIDER_UNUSED_METHOD(get_ProtectionLevel, "Characteristic.get_ProtectionLevel", INT32*)
    PROVIDER_UNUSED_METHOD(put_ProtectionLevel, "Characteristic.put_ProtectionLevel", INT32)
    PROVIDER_UNUSED_METHOD(get_UserDescription, "Characteristic.get_UserDescription", HSTRING*)
    HRESULT STDMETHODCALLTYPE get_Uuid(GUID* uuid) override {
        return Get(this, "Characteristic.get_Uuid", uuid, BaseUuid(uuid_));
    }
    PROVIDER_UNUSED_METHOD(get_AttributeHandle, "Characteristic.get_AttributeHandle", UINT16*)
    PROVIDER_UNUSED_METHOD(get_PresentationFormats, "Characteristic.get_PresentationFormats",
                           IInspectable**)
    PROVIDER_UNUSED_METHOD(ReadValueAsync, "Characteristic.ReadValueAsync", IInspectable**)
    PROVIDER_UNUSED_METHOD(ReadValueWithCacheModeAsync,
                           "Characteristic.ReadValueWithCacheModeAsync", INT32, IInspectable**)
    HRESULT STDMETHODCALLTYPE WriteValueAsync(IBuffer* value,
                                              IAsyncStatusOperation** operation) override {
        PROVIDER_ENTER("Characteristic.WriteValueAsync");
        return Write("Characteristic.WriteValueAsync", value, kWriteWithResponse, operation);
    }
    HRESULT STDMETHODCALLTYPE WriteValueWithOptionAsync(
        IBuffer* value, INT32 option, IAsyncStatusOperation** operation) override {
        PROVIDER_ENTER("Characteristic.WriteValueWithOptionAsync");
        return Write("Characteristic.WriteValueWithOptionAsync", value, option, operation);
    }
    PROVIDER_UNUSED_METHOD(ReadClientCharacteristicConfigurationDescriptorAsync,
                           "Characteristic.ReadClientCharacteristicConfigurationDescriptorAsync",
                           IInspectable**)
    HRESULT STDMETHODCALLTYPE WriteClientCharacteristicConfigurationDescriptorAsync(
        INT32 value, IAsyncStatusOperation** operation) override {
        const char* call = "Characteristic.WriteClientCharacteristicConfigurationDescriptorAsync";
        PROVIDER_ENTER(call);
        if (connection_->Closed()) {
            return kHrClosed;
        }
        const std::shared_ptr<UnitRecord> record = connection_->record;
        const SimulatedConnectFailure failure = record->setup.connectFailure;
        const uint16_t uuid = uuid_;
        const std::shared_ptr<NotifyTarget> target = target_;
        const std::shared_ptr<Connection> connection = connection_;
        return Launch<StatusOperation>(
            call, "DescriptorWriteOperation", IID_IAsyncStatusOperation,
            IID_IAsyncStatusOperationHandler, record->setup.connectStepLatency,
            failure == SimulatedConnectFailure::NotificationSwitchHangs,
            [=]() {
                if (uuid != 0xFF02) {
                    return StatusOutcome(kGattProtocolError);
                }
                if (failure == SimulatedConnectFailure::NotificationsRefused) {
                    return StatusOutcome(kGattAccessDenied);
                }
                if (value == kDescriptorNone) {
                    record->unit->SetNotificationSink(nullptr);
                    return StatusOutcome(kGattSuccess);
                }
                {
                    std::lock_guard<std::mutex> lock(target->pacing);
                    target->delay = record->setup.answerDelay;
                    target->spacing = record->setup.notificationSpacing;
                }
                {
                    std::lock_guard<std::mutex> lock(connection->mutex);
                    connection->targets.push_back(target);
                }
                {
                    World& world = TheWorld();
                    std::lock_guard<std::mutex> lock(world.mutex);
                    record->writesThisConnection = 0;
                }
                const std::weak_ptr<UnitRecord> weak = record;
                record->unit->SetNotificationSink([target, weak](const Bytes& bytes) {
                    const auto unit = weak.lock();
                    if (!unit) {
                        return;
                    }
                    {
                        World& world = TheWorld();
                        std::lock_guard<std::mutex> lock(world.mutex);
                        int& lose = unit->setup.faults.loseNotification;
                        if (lose > 0 && --lose == 0) {
                            return;  // lost on the air
                        }
                    }
                    Post(target, bytes, false, unit, LinkEpoch(unit));
                });
                std::vector<std::function<void()>> inFlight;
                {
                    World& world = TheWorld();
                    std::lock_guard<std::mutex> lock(world.mutex);
                    inFlight.swap(world.inFlight);
                }
                for (const auto& event : inFlight) {
                    event();
                }
                const int flood = Faults().notificationFlood;
                for (int i = 0; i < flood; ++i) {
                    Post(target, Bytes{0x4D, 0x00, static_cast<uint8_t>(i), 0x00}, true);
                }
                return StatusOutcome(kGattSuccess);
            },
            operation);
    }
    HRESULT STDMETHODCALLTYPE add_ValueChanged(IValueChangedHandler* handler,
                                               Token* token) override {
        PROVIDER_ENTER("Characteristic.add_ValueChanged");
        return valueChanged_.Add(handler, token);
    }
    HRESULT STDMETHODCALLTYPE remove_ValueChanged(Token token) override {
        PROVIDER_ENTER("Characteristic.remove_ValueChanged");
        if (Faults().notificationInFlightAtRemoval) {
            KeepInFlight(token);
        }
        return valueChanged_.Remove(token);
    }

    // A value change the platform had already started to deliver when the handler went.
    void KeepInFlight(Token token) {
        struct InFlight {
            ComPtr<IValueChangedHandler> handler;
            ComPtr<IGattCharacteristic> sender;
            ~InFlight() {
                if (handler) {
                    CountDelegates(-1);
                }
            }
        };
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            if (world.inFlightKept) {
                return;
            }
            world.inFlightKept = true;
        }
        auto event = std::make_shared<InFlight>();
        Adopt(event->handler, valueChanged_.Find(token));
        if (!event->handler) {
            return;
        }
        CountDelegates(1);
        event->sender = static_cast<IGattCharacteristic*>(this);
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.inFlight.push_back([event] {
            ComPtr<ValueChangedArgs> args;
            Adopt(args, new ValueChangedArgs(Bytes{0x4D, 0x00, 0x7F, 0x00}));
            CountHandlerCall(true);
            event->handler->Invoke(event->sender.Get(), args.Get());
        });
    }

    void Deliver(const Bytes& bytes) {
        ComPtr<ValueChangedArgs> args;
        Adopt(args, new ValueChangedArgs(bytes));
        valueChanged_.Deliver([&](IValueChangedHandler* handler) {
            handler->Invoke(static_cast<IGattCharacteristic*>(this), args.Get());
        });
    }

private:
    HRESULT Write(const char* call, IBuffer* value, INT32 option,
                  IAsyncStatusOperation** operation) {
        if (operation == nullptr) {
            return E_POINTER;
        }
        *operation = nullptr;
        if (connection_->Closed()) {
            return kHrClosed;
        }
        if (option != kWriteWithResponse) {
            Count(&Counts::writesWithoutResponse);
        }
        HRESULT hr = S_OK;
        Bytes frame = BytesOf(value, hr);
        if (FAILED(hr)) {
            return hr;
        }
        const std::shared_ptr<UnitRecord> record = connection_->record;
        const SimulatedUnitSetup& setup = record->setup;
        int number = 0;
        bool dropAfter = false;
        bool dropBefore = false;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            if (world.radioOff) {
                return kHrDeviceNotReady;
            }
            number = ++record->writesThisConnection;
            SimulatedLinkFaults& faults = record->setup.faults;
            dropBefore = faults.dropBeforeWrite == number;
            dropAfter = faults.dropAfterWrite == number;
            faults.dropBeforeWrite = dropBefore ? 0 : faults.dropBeforeWrite;
            faults.dropAfterWrite = dropAfter ? 0 : faults.dropAfterWrite;
        }
        if (dropBefore) {
            DropUnitLink(record);
        }
        const bool failing = setup.failWriteNumber > 0 && number == setup.failWriteNumber;
        if (failing && setup.writeFailure == SimulatedWriteFailure::Platform) {
            return static_cast<HRESULT>(setup.writeErrorCode);
        }
        const uint16_t uuid = uuid_;
        return Launch<StatusOperation>(
            call, "WriteOperation", IID_IAsyncStatusOperation, IID_IAsyncStatusOperationHandler,
            setup.writeLatency, failing && setup.writeFailure == SimulatedWriteFailure::Hang,
            [record, frame, failing, uuid, dropAfter]() {
                if (failing || uuid != 0xFF01) {
                    return StatusOutcome(kGattUnreachable);
                }
                {
                    World& world = TheWorld();
                    std::lock_guard<std::mutex> lock(world.mutex);
                    record->written.push_back(frame);
                }
                // A write on a link that went down brings it back, as on Windows.
                BringLinkUp(record);
                // The firmware's verdict travels back as notifications, not as the status.
                record->unit->WriteFrame(frame);
                if (dropAfter) {
                    DropUnitLink(record);
                }
                DropWhenIdle(record);
                return StatusOutcome(kGattSuccess);
            },
            operation);
    }

    void OnFinalRelease() override {
        {
            std::lock_guard<std::mutex> lock(target_->mutex);
            target_->characteristic = nullptr;
        }
        valueChanged_.Clear();
    }

    uint16_t uuid_;
    std::shared_ptr<Connection> connection_;
    std::shared_ptr<NotifyTarget> target_;
    EventRegistry<IValueChangedHandler> valueChanged_;
};

void Post(const std::shared_ptr<NotifyTarget>& target, Bytes bytes, bool anyThread,
          std::shared_ptr<UnitRecord> record, uint64_t epoch) {
    TimePoint due = Clock().Now();
    {
        std::lock_guard<std::mutex> lock(target->pacing);
        due += target->delay;
        if (!anyThread && target->last != TimePoint{} && due < target->last + target->spacing) {
            due = target->last + target->spacing;
        }
        if (!anyThread) {
            target->last = due;
        }
    }
    Tasks().Schedule(due, anyThread ? nullptr : target.get(), [target, record, epoch,
                                                               bytes = std::move(bytes)] {
        if (record && LinkEpoch(record) != epoch) {
            return;
        }
        std::lock_guard<std::mutex> lock(target->mutex);
        if (target->characteristic != nullptr) {
            target->characteristic->Deliver(bytes);
        }
    });
}

using CharacteristicList = VectorView<ICharacteristicVectorView, IGattCharacteristic>;
using ServiceList = VectorView<IServiceVectorView, IGattDeviceService>;

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
    HRESULT STDMETHODCALLTYPE
    GetCharacteristicsAsync(IAsyncCharacteristicsOperation** operation) override {
        PROVIDER_ENTER("Service3.GetCharacteristicsAsync");
        Count(&Counts::cachedReads);
        return Read("Service3.GetCharacteristicsAsync", operation);
    }
    HRESULT STDMETHODCALLTYPE GetCharacteristicsWithCacheModeAsync(
        INT32 cacheMode, IAsyncCharacteristicsOperation** operation) override {
        PROVIDER_ENTER("Service3.GetCharacteristicsWithCacheModeAsync");
        if (cacheMode != kUncached) {
            Count(&Counts::cachedReads);
        }
        return Read("Service3.GetCharacteristicsWithCacheModeAsync", operation);
    }
    HRESULT STDMETHODCALLTYPE Close() override {
        PROVIDER_ENTER("Service.Close");
        closed_ = true;
        return S_OK;
    }

private:
    HRESULT Read(const char* call, IAsyncCharacteristicsOperation** operation) {
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
                    Adopt(item, new Characteristic(id, connection));
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
    HRESULT STDMETHODCALLTYPE GetGattServicesAsync(IAsyncServicesOperation** operation) override {
        PROVIDER_ENTER("Device3.GetGattServicesAsync");
        Count(&Counts::cachedReads);
        return Read("Device3.GetGattServicesAsync", operation);
    }
    HRESULT STDMETHODCALLTYPE GetGattServicesWithCacheModeAsync(
        INT32 cacheMode, IAsyncServicesOperation** operation) override {
        PROVIDER_ENTER("Device3.GetGattServicesWithCacheModeAsync");
        if (cacheMode != kUncached) {
            Count(&Counts::cachedReads);
        }
        return Read("Device3.GetGattServicesWithCacheModeAsync", operation);
    }
    HRESULT STDMETHODCALLTYPE Close() override {
        PROVIDER_ENTER("Device.Close");
        DropLink(connection_, true);
        StopHolding(connection_);
        return S_OK;
    }

private:
    HRESULT Read(const char* call, IAsyncServicesOperation** operation) {
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

class DeviceStatics final : public IActivationFactory,
                            public IBluetoothLEDeviceStatics,
                            public Object {
public:
    DeviceStatics() : Object("DeviceStatics") {}

    PROVIDER_INSPECTABLE(L"Windows.Devices.Bluetooth.BluetoothLEDevice",
                         Face<IActivationFactory>{kIidActivationFactory},
                         Face<IBluetoothLEDeviceStatics>{IID_DeviceStatics})

    PROVIDER_UNUSED_METHOD(ActivateInstance, "DeviceStatics.ActivateInstance", IInspectable**)
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

const wchar_t* const kProvidedClasses[] = {kWatcherClass, kDeviceClass, kBufferClass};

std::wstring ModulePath() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&ModulePath), &self)) {
        return {};
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(self, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) {
            return {};
        }
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

constexpr const wchar_t* kActivatableClasses =
    L"Software\\Microsoft\\WindowsRuntime\\ActivatableClassId\\";

}  // namespace

bool RegisterClasses(std::wstring& error) {
    error.clear();
    const std::wstring path = ModulePath();
    if (path.empty()) {
        error = L"the provider's own path is unknown";
        return false;
    }
    for (const wchar_t* name : kProvidedClasses) {
        HKEY key = nullptr;
        const std::wstring subkey = std::wstring(kActivatableClasses) + name;
        LSTATUS status = RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey.c_str(), 0, nullptr, 0,
                                         KEY_SET_VALUE, nullptr, &key, nullptr);
        if (status != ERROR_SUCCESS) {
            error = L"cannot create " + subkey;
            return false;
        }
        const DWORD zero = 0;  // in-process activation, threading model Both
        status =
            RegSetValueExW(key, L"DllPath", 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                           static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
        if (status == ERROR_SUCCESS) {
            status = RegSetValueExW(key, L"ActivationType", 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&zero), sizeof zero);
        }
        if (status == ERROR_SUCCESS) {
            status = RegSetValueExW(key, L"Threading", 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&zero), sizeof zero);
        }
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) {
            error = L"cannot write the values of " + subkey;
            return false;
        }
    }
    return true;
}

void UnregisterClasses() {
    for (const wchar_t* name : kProvidedClasses) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, (std::wstring(kActivatableClasses) + name).c_str());
    }
}

void Install(std::vector<SimulatedUnitSetup> units, std::vector<SimulatedAdvertiser> others) {
    Settle();
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    world.units.clear();
    for (SimulatedUnitSetup& setup : units) {
        auto record = std::make_shared<UnitRecord>();
        record->unit = std::make_shared<SimulatedBaseUnit>(setup.unit);
        record->setup = std::move(setup);
        world.units[record->setup.address] = std::move(record);
    }
    world.others = std::move(others);
    world.radioOff = false;
}

void SetFaults(const PlatformFaults& faults) {
    Tasks().SetThreads(faults.eventThreads);
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    world.faults = faults;
    world.timingTurn = 0;
}

void UseClock(BleClock* clock) {
    SetBleClock(clock);
}

void Reset() {
    Settle();
    std::vector<Object*> parked;
    std::vector<std::function<void()>> inFlight;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        for (auto& entry : world.units) {
            entry.second->unit->SetNotificationSink(nullptr);
        }
        world.units.clear();
        world.others.clear();
        world.faults = PlatformFaults{};
        world.timingTurn = 0;
        world.radioOff = false;
        world.calls.clear();
        world.called.clear();
        world.handlerThreads.clear();
        world.marked = false;
        const long live = world.counts.liveObjects;
        world.counts = Counts{};
        world.counts.liveObjects = live;  // still held: never freed, still counted
        parked.swap(world.parked);
        inFlight.swap(world.inFlight);
        world.inFlightKept = false;
    }
    inFlight.clear();
    Tasks().SetThreads(PlatformFaults{}.eventThreads);
    for (Object* object : parked) {
        delete object;
    }
}

bool Settle(std::chrono::milliseconds timeout) {
    return Tasks().Settle(timeout);
}

void MarkReturned(bool returned) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    world.marked = returned;
}

Counts CurrentCounts() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    Counts counts = world.counts;
    for (const Object* object : world.live) {
        counts.liveKinds.push_back(object->Kind());
    }
    return counts;
}

std::vector<std::string> Calls() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.calls;
}

std::vector<std::vector<uint8_t>> ReceivedPayloads(uint64_t address) {
    const auto record = FindUnit(address);
    return record ? record->unit->ReceivedCustomData() : std::vector<std::vector<uint8_t>>{};
}

std::vector<std::vector<uint8_t>> WrittenFrames(uint64_t address) {
    const auto record = FindUnit(address);
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return record ? record->written : std::vector<std::vector<uint8_t>>{};
}

std::vector<std::string> ProtocolErrors(uint64_t address) {
    const auto record = FindUnit(address);
    return record ? record->unit->ProtocolErrors() : std::vector<std::string>{};
}

}  // namespace winrt_provider

extern "C" __declspec(dllexport) HRESULT WINAPI
    DllGetActivationFactory(HSTRING classId, IActivationFactory** out) {
    using namespace winrt_provider;
    HRESULT hr = Enter(nullptr, "DllGetActivationFactory");
    if (FAILED(hr)) {
        return hr;
    }
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = nullptr;
    UINT32 length = 0;
    const wchar_t* raw = WindowsGetStringRawBuffer(classId, &length);
    const std::wstring name(raw != nullptr ? raw : L"", length);
    ComPtr<IActivationFactory> factory;
    if (name == kWatcherClass) {
        Adopt(factory, new WatcherFactory);
    } else if (name == kDeviceClass) {
        Adopt(factory, static_cast<IActivationFactory*>(new DeviceStatics));
    } else if (name == kBufferClass) {
        Adopt(factory, static_cast<IActivationFactory*>(new BufferFactory));
    } else {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    *out = factory.Detach();
    return S_OK;
}

extern "C" const winrt_provider::ProviderControl* WinrtProviderControl() {
    static const winrt_provider::ProviderControl control = {
        winrt_provider::RegisterClasses,
        [](std::vector<SimulatedUnitSetup> units, std::vector<SimulatedAdvertiser> others) {
            winrt_provider::Install(std::move(units), std::move(others));
        },
        winrt_provider::ReceivedPayloads, winrt_provider::ProtocolErrors};
    return &control;
}

extern "C" __declspec(dllexport) HRESULT WINAPI DllCanUnloadNow() {
    const winrt_provider::Counts counts = winrt_provider::CurrentCounts();
    return counts.liveObjects == 0 ? S_OK : S_FALSE;
}
