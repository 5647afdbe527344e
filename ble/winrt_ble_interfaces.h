#pragma once

// Windows Runtime Bluetooth LE interfaces as the raw ABI lays them out (mingw-w64 ships no
// headers for them). Slots 0-2 are IUnknown, 3-5 IInspectable; each struct lists its own
// methods from slot 6 in vtable order, so the order here must never change. Delegates derive
// from IUnknown and have Invoke at slot 3. Only the interfaces the link uses are declared;
// a test provider of these classes can reuse them.

#include <windows.h>
#include <inspectable.h>
#include <winstring.h>
#include <eventtoken.h>

#include <cstdint>

namespace winrt_ble {

using Token = EventRegistrationToken;

struct TimeSpan {
    INT64 Duration;  // 100 ns units
};
struct DateTime {
    INT64 UniversalTime;  // 100 ns units since 1601-01-01 UTC
};

// Enumerations (all 32-bit on the ABI).
enum ScanningMode : INT32 { kScanningPassive = 0, kScanningActive = 1 };
enum WatcherStatus : INT32 {
    kWatcherCreated = 0,
    kWatcherStarted = 1,
    kWatcherStopping = 2,
    kWatcherStopped = 3,
    kWatcherAborted = 4
};
enum CacheMode : INT32 { kCached = 0, kUncached = 1 };
enum ConnectionStatus : INT32 { kDisconnected = 0, kConnected = 1 };
enum CommunicationStatus : INT32 { kCommunicationSuccess = 0 };
enum WriteOption : INT32 { kWriteWithResponse = 0, kWriteWithoutResponse = 1 };
enum DescriptorValue : INT32 { kDescriptorNone = 0, kDescriptorNotify = 1 };
enum AsyncState : INT32 {
    kAsyncStarted = 0,
    kAsyncCompleted = 1,
    kAsyncCanceled = 2,
    kAsyncError = 3
};

// {00000036-0000-0000-c000-000000000046}
inline constexpr GUID IID_AsyncInfo = {
    0x00000036, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
struct IAsyncInfo : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Id(UINT32* id) = 0;            // 6
    virtual HRESULT STDMETHODCALLTYPE get_Status(INT32* status) = 0;     // 7
    virtual HRESULT STDMETHODCALLTYPE get_ErrorCode(HRESULT* code) = 0;  // 8
    virtual HRESULT STDMETHODCALLTYPE Cancel() = 0;                      // 9
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;                       // 10
};

// {30d5a829-7fa4-4026-83bb-d75bae4ea99e}
inline constexpr GUID IID_Closable = {
    0x30d5a829, 0x7fa4, 0x4026, {0x83, 0xbb, 0xd7, 0x5b, 0xae, 0x4e, 0xa9, 0x9e}};
struct IClosable : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;  // 6
};

// ---- Buffers -------------------------------------------------------------------------------

// {905a0fe0-bc53-11df-8c49-001e4fc686da}
inline constexpr GUID IID_Buffer = {
    0x905a0fe0, 0xbc53, 0x11df, {0x8c, 0x49, 0x00, 0x1e, 0x4f, 0xc6, 0x86, 0xda}};
struct IBuffer : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Capacity(UINT32* capacity) = 0;  // 6
    virtual HRESULT STDMETHODCALLTYPE get_Length(UINT32* length) = 0;      // 7
    virtual HRESULT STDMETHODCALLTYPE put_Length(UINT32 length) = 0;       // 8
};

// {71af914d-c10f-484b-bc50-14bc623b3a27}
inline constexpr GUID IID_BufferFactory = {
    0x71af914d, 0xc10f, 0x484b, {0xbc, 0x50, 0x14, 0xbc, 0x62, 0x3b, 0x3a, 0x27}};
struct IBufferFactory : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE Create(UINT32 capacity, IBuffer** buffer) = 0;  // 6
};

// Classic COM. {905a0fef-bc53-11df-8c49-001e4fc686da}
inline constexpr GUID IID_BufferByteAccess = {
    0x905a0fef, 0xbc53, 0x11df, {0x8c, 0x49, 0x00, 0x1e, 0x4f, 0xc6, 0x86, 0xda}};
struct IBufferByteAccess : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Buffer(BYTE** bytes) = 0;  // 3
};

// ---- Advertisement watcher -------------------------------------------------------------------

// {066fb2b7-33d1-4e7d-8367-cf81d0f79653}
inline constexpr GUID IID_Advertisement = {
    0x066fb2b7, 0x33d1, 0x4e7d, {0x83, 0x67, 0xcf, 0x81, 0xd0, 0xf7, 0x96, 0x53}};
struct IBluetoothLEAdvertisement : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Flags(IInspectable** flags) = 0;            // 6
    virtual HRESULT STDMETHODCALLTYPE put_Flags(IInspectable* flags) = 0;             // 7
    virtual HRESULT STDMETHODCALLTYPE get_LocalName(HSTRING* name) = 0;               // 8
    virtual HRESULT STDMETHODCALLTYPE put_LocalName(HSTRING name) = 0;                // 9
    virtual HRESULT STDMETHODCALLTYPE get_ServiceUuids(IInspectable** uuids) = 0;     // 10
    virtual HRESULT STDMETHODCALLTYPE get_ManufacturerData(IInspectable** data) = 0;  // 11
    virtual HRESULT STDMETHODCALLTYPE get_DataSections(IInspectable** sections) = 0;  // 12
    virtual HRESULT STDMETHODCALLTYPE
    GetManufacturerDataByCompanyId(UINT16 company,
                                   IInspectable** data) = 0;  // 13
    virtual HRESULT STDMETHODCALLTYPE GetSectionsByType(BYTE type,
                                                        IInspectable** sections) = 0;  // 14
};

// {27987ddf-e596-41be-8d43-9e6731d4a913}
inline constexpr GUID IID_AdvertisementReceivedEventArgs = {
    0x27987ddf, 0xe596, 0x41be, {0x8d, 0x43, 0x9e, 0x67, 0x31, 0xd4, 0xa9, 0x13}};
struct IBluetoothLEAdvertisementReceivedEventArgs : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_RawSignalStrengthInDBm(INT16* rssi) = 0;  // 6
    virtual HRESULT STDMETHODCALLTYPE get_BluetoothAddress(UINT64* address) = 0;    // 7
    virtual HRESULT STDMETHODCALLTYPE get_AdvertisementType(INT32* type) = 0;       // 8
    virtual HRESULT STDMETHODCALLTYPE get_Timestamp(DateTime* timestamp) = 0;       // 9
    virtual HRESULT STDMETHODCALLTYPE
    get_Advertisement(IBluetoothLEAdvertisement** advertisement) = 0;  // 10
};

// {dd40f84d-e7b9-43e3-9c04-0685d085fd8c}
inline constexpr GUID IID_WatcherStoppedEventArgs = {
    0xdd40f84d, 0xe7b9, 0x43e3, {0x9c, 0x04, 0x06, 0x85, 0xd0, 0x85, 0xfd, 0x8c}};
struct IBluetoothLEAdvertisementWatcherStoppedEventArgs : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Error(INT32* error) = 0;  // 6, a BluetoothError
};

struct IBluetoothLEAdvertisementWatcher;

// TypedEventHandler<Sender, Args>; each instance has its own id.
template <typename Sender, typename Args>
struct ITypedEventHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(Sender* sender, Args* args) = 0;  // 3
};

// TypedEventHandler<BluetoothLEAdvertisementWatcher, BluetoothLEAdvertisementReceivedEventArgs>
// {90eb4eca-d465-5ea0-a61c-033c8c5ecef2}
inline constexpr GUID IID_ReceivedHandler = {
    0x90eb4eca, 0xd465, 0x5ea0, {0xa6, 0x1c, 0x03, 0x3c, 0x8c, 0x5e, 0xce, 0xf2}};
using IReceivedHandler = ITypedEventHandler<IBluetoothLEAdvertisementWatcher,
                                            IBluetoothLEAdvertisementReceivedEventArgs>;

// TypedEventHandler<BluetoothLEAdvertisementWatcher, ...WatcherStoppedEventArgs>
// {9936a4db-dc99-55c3-9e9b-bf4854bd9eab}
inline constexpr GUID IID_StoppedHandler = {
    0x9936a4db, 0xdc99, 0x55c3, {0x9e, 0x9b, 0xbf, 0x48, 0x54, 0xbd, 0x9e, 0xab}};
using IStoppedHandler = ITypedEventHandler<IBluetoothLEAdvertisementWatcher,
                                           IBluetoothLEAdvertisementWatcherStoppedEventArgs>;

// {a6ac336f-f3d3-4297-8d6c-c81ea6623f40}
inline constexpr GUID IID_AdvertisementWatcher = {
    0xa6ac336f, 0xf3d3, 0x4297, {0x8d, 0x6c, 0xc8, 0x1e, 0xa6, 0x62, 0x3f, 0x40}};
struct IBluetoothLEAdvertisementWatcher : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_MinSamplingInterval(TimeSpan* value) = 0;         // 6
    virtual HRESULT STDMETHODCALLTYPE get_MaxSamplingInterval(TimeSpan* value) = 0;         // 7
    virtual HRESULT STDMETHODCALLTYPE get_MinOutOfRangeTimeout(TimeSpan* value) = 0;        // 8
    virtual HRESULT STDMETHODCALLTYPE get_MaxOutOfRangeTimeout(TimeSpan* value) = 0;        // 9
    virtual HRESULT STDMETHODCALLTYPE get_Status(INT32* status) = 0;                        // 10
    virtual HRESULT STDMETHODCALLTYPE get_ScanningMode(INT32* mode) = 0;                    // 11
    virtual HRESULT STDMETHODCALLTYPE put_ScanningMode(INT32 mode) = 0;                     // 12
    virtual HRESULT STDMETHODCALLTYPE get_SignalStrengthFilter(IInspectable** filter) = 0;  // 13
    virtual HRESULT STDMETHODCALLTYPE put_SignalStrengthFilter(IInspectable* filter) = 0;   // 14
    virtual HRESULT STDMETHODCALLTYPE get_AdvertisementFilter(IInspectable** filter) = 0;   // 15
    virtual HRESULT STDMETHODCALLTYPE put_AdvertisementFilter(IInspectable* filter) = 0;    // 16
    virtual HRESULT STDMETHODCALLTYPE Start() = 0;                                          // 17
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;                                           // 18
    virtual HRESULT STDMETHODCALLTYPE add_Received(IReceivedHandler* handler,
                                                   Token* token) = 0;    // 19
    virtual HRESULT STDMETHODCALLTYPE remove_Received(Token token) = 0;  // 20
    virtual HRESULT STDMETHODCALLTYPE add_Stopped(IStoppedHandler* handler,
                                                  Token* token) = 0;    // 21
    virtual HRESULT STDMETHODCALLTYPE remove_Stopped(Token token) = 0;  // 22
};

// ---- Asynchronous operations -----------------------------------------------------------------

// IAsyncOperation<T>: 6 put_Completed, 7 get_Completed, 8 GetResults (the setter comes first).
// AsyncOperationCompletedHandler<T>: 3 Invoke(operation, status).
#define WINRT_BLE_ASYNC_OPERATION(Name, ResultAbi, OpIid, HandlerIid)                 \
    struct Name;                                                                      \
    inline constexpr GUID IID_##Name = OpIid;                                         \
    inline constexpr GUID IID_##Name##Handler = HandlerIid;                           \
    struct Name##Handler : IUnknown {                                                 \
        using Operation = Name;                                                       \
        virtual HRESULT STDMETHODCALLTYPE Invoke(Name* operation, INT32 status) = 0;  \
    };                                                                                \
    struct Name : IInspectable {                                                      \
        using Handler = Name##Handler;                                                \
        using Result = ResultAbi;                                                     \
        virtual HRESULT STDMETHODCALLTYPE put_Completed(Name##Handler* handler) = 0;  \
        virtual HRESULT STDMETHODCALLTYPE get_Completed(Name##Handler** handler) = 0; \
        virtual HRESULT STDMETHODCALLTYPE GetResults(ResultAbi* results) = 0;         \
    };

#define WINRT_BLE_GUID(l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    GUID {                                                        \
        l, w1, w2, {                                              \
            b1, b2, b3, b4, b5, b6, b7, b8                        \
        }                                                         \
    }

struct IBluetoothLEDevice;
struct IGattDeviceServicesResult;
struct IGattCharacteristicsResult;

// IAsyncOperation<BluetoothLEDevice> {375f9d67-74a2-5f91-a11d-169093718d41},
// its handler {9156b79f-c54a-5277-8f8b-d2cc43c7e004}
WINRT_BLE_ASYNC_OPERATION(IAsyncDeviceOperation, IBluetoothLEDevice*,
                          WINRT_BLE_GUID(0x375f9d67, 0x74a2, 0x5f91, 0xa1, 0x1d, 0x16, 0x90, 0x93,
                                         0x71, 0x8d, 0x41),
                          WINRT_BLE_GUID(0x9156b79f, 0xc54a, 0x5277, 0x8f, 0x8b, 0xd2, 0xcc, 0x43,
                                         0xc7, 0xe0, 0x04))
// IAsyncOperation<GattDeviceServicesResult> {e7c667f6-e874-500f-86ff-760ca6f07a58},
// its handler {74ab0892-a631-5d6c-b1b4-bd2e1a741a9b}
WINRT_BLE_ASYNC_OPERATION(IAsyncServicesOperation, IGattDeviceServicesResult*,
                          WINRT_BLE_GUID(0xe7c667f6, 0xe874, 0x500f, 0x86, 0xff, 0x76, 0x0c, 0xa6,
                                         0xf0, 0x7a, 0x58),
                          WINRT_BLE_GUID(0x74ab0892, 0xa631, 0x5d6c, 0xb1, 0xb4, 0xbd, 0x2e, 0x1a,
                                         0x74, 0x1a, 0x9b))
// IAsyncOperation<GattCharacteristicsResult> {0972194a-ac1c-5536-9886-27e58a18f273},
// its handler {d6a15475-1e72-5c56-98e8-88f4bc3e0313}
WINRT_BLE_ASYNC_OPERATION(IAsyncCharacteristicsOperation, IGattCharacteristicsResult*,
                          WINRT_BLE_GUID(0x0972194a, 0xac1c, 0x5536, 0x98, 0x86, 0x27, 0xe5, 0x8a,
                                         0x18, 0xf2, 0x73),
                          WINRT_BLE_GUID(0xd6a15475, 0x1e72, 0x5c56, 0x98, 0xe8, 0x88, 0xf4, 0xbc,
                                         0x3e, 0x03, 0x13))
// IAsyncOperation<GattCommunicationStatus> {3ff69516-1bfb-52e9-9ee6-e5cdb78e1683},
// its handler {2154117a-978d-59db-99cf-6b690cb3389b}
WINRT_BLE_ASYNC_OPERATION(IAsyncStatusOperation, INT32,
                          WINRT_BLE_GUID(0x3ff69516, 0x1bfb, 0x52e9, 0x9e, 0xe6, 0xe5, 0xcd, 0xb7,
                                         0x8e, 0x16, 0x83),
                          WINRT_BLE_GUID(0x2154117a, 0x978d, 0x59db, 0x99, 0xcf, 0x6b, 0x69, 0x0c,
                                         0xb3, 0x38, 0x9b))

// ---- Device -----------------------------------------------------------------------------------

// {c8cf1a19-f0b6-4bf0-8689-41303de2d9f4}
inline constexpr GUID IID_DeviceStatics = {
    0xc8cf1a19, 0xf0b6, 0x4bf0, {0x86, 0x89, 0x41, 0x30, 0x3d, 0xe2, 0xd9, 0xf4}};
struct IBluetoothLEDeviceStatics : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE FromIdAsync(HSTRING id,
                                                  IAsyncDeviceOperation** operation) = 0;  // 6
    virtual HRESULT STDMETHODCALLTYPE
    FromBluetoothAddressAsync(UINT64 address, IAsyncDeviceOperation** operation) = 0;  // 7
    virtual HRESULT STDMETHODCALLTYPE GetDeviceSelector(HSTRING* selector) = 0;        // 8
};

struct IGattDeviceService;

// {b5ee2f7b-4ad8-4642-ac48-80a0b500e887}
inline constexpr GUID IID_Device = {
    0xb5ee2f7b, 0x4ad8, 0x4642, {0xac, 0x48, 0x80, 0xa0, 0xb5, 0x00, 0xe8, 0x87}};
struct IBluetoothLEDevice : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_DeviceId(HSTRING* id) = 0;                  // 6
    virtual HRESULT STDMETHODCALLTYPE get_Name(HSTRING* name) = 0;                    // 7
    virtual HRESULT STDMETHODCALLTYPE get_GattServices(IInspectable** services) = 0;  // 8
    virtual HRESULT STDMETHODCALLTYPE get_ConnectionStatus(INT32* status) = 0;        // 9
    virtual HRESULT STDMETHODCALLTYPE get_BluetoothAddress(UINT64* address) = 0;      // 10
    virtual HRESULT STDMETHODCALLTYPE GetGattService(GUID uuid,
                                                     IGattDeviceService** service) = 0;      // 11
    virtual HRESULT STDMETHODCALLTYPE add_NameChanged(IUnknown* handler, Token* token) = 0;  // 12
    virtual HRESULT STDMETHODCALLTYPE remove_NameChanged(Token token) = 0;                   // 13
    virtual HRESULT STDMETHODCALLTYPE add_GattServicesChanged(IUnknown* handler,
                                                              Token* token) = 0;    // 14
    virtual HRESULT STDMETHODCALLTYPE remove_GattServicesChanged(Token token) = 0;  // 15
    virtual HRESULT STDMETHODCALLTYPE add_ConnectionStatusChanged(IUnknown* handler,
                                                                  Token* token) = 0;    // 16
    virtual HRESULT STDMETHODCALLTYPE remove_ConnectionStatusChanged(Token token) = 0;  // 17
};

// TypedEventHandler<BluetoothLEDevice, Object>
// {a90661e2-372e-5d1e-bbbb-b8a2ce0e7c4d}
inline constexpr GUID IID_DeviceHandler = {
    0xa90661e2, 0x372e, 0x5d1e, {0xbb, 0xbb, 0xb8, 0xa2, 0xce, 0x0e, 0x7c, 0x4d}};
using IDeviceHandler = ITypedEventHandler<IBluetoothLEDevice, IInspectable>;

// {aee9e493-44ac-40dc-af33-b2c13c01ca46}
inline constexpr GUID IID_Device3 = {
    0xaee9e493, 0x44ac, 0x40dc, {0xaf, 0x33, 0xb2, 0xc1, 0x3c, 0x01, 0xca, 0x46}};
struct IBluetoothLEDevice3 : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_DeviceAccessInformation(IInspectable** info) = 0;  // 6
    virtual HRESULT STDMETHODCALLTYPE RequestAccessAsync(IInspectable** operation) = 0;      // 7
    virtual HRESULT STDMETHODCALLTYPE
    GetGattServicesAsync(IAsyncServicesOperation** operation) = 0;  // 8
    virtual HRESULT STDMETHODCALLTYPE GetGattServicesWithCacheModeAsync(
        INT32 cacheMode, IAsyncServicesOperation** operation) = 0;  // 9
};

// ---- GATT ---------------------------------------------------------------------------------------

struct IGattCharacteristic;

// IVectorView<T> for the two lists the link reads; the instances differ only in their ids.
template <typename Item>
struct IVectorView : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetAt(UINT32 index, Item** item) = 0;                    // 6
    virtual HRESULT STDMETHODCALLTYPE get_Size(UINT32* size) = 0;                              // 7
    virtual HRESULT STDMETHODCALLTYPE IndexOf(Item* item, UINT32* index, boolean* found) = 0;  // 8
    virtual HRESULT STDMETHODCALLTYPE GetMany(UINT32 start, UINT32 count, Item** items,
                                              UINT32* got) = 0;  // 9
};

// IVectorView<GattDeviceService> {7c8e7fdd-a1a1-528a-81d1-296769227a08}
inline constexpr GUID IID_ServiceVectorView = {
    0x7c8e7fdd, 0xa1a1, 0x528a, {0x81, 0xd1, 0x29, 0x67, 0x69, 0x22, 0x7a, 0x08}};
using IServiceVectorView = IVectorView<IGattDeviceService>;

// IVectorView<GattCharacteristic> {cb3ab3ae-b561-504f-a808-599deceb2df4}
inline constexpr GUID IID_CharacteristicVectorView = {
    0xcb3ab3ae, 0xb561, 0x504f, {0xa8, 0x08, 0x59, 0x9d, 0xec, 0xeb, 0x2d, 0xf4}};
using ICharacteristicVectorView = IVectorView<IGattCharacteristic>;

// {171dd3ee-016d-419d-838a-576cf475a3d8}
inline constexpr GUID IID_DeviceServicesResult = {
    0x171dd3ee, 0x016d, 0x419d, {0x83, 0x8a, 0x57, 0x6c, 0xf4, 0x75, 0xa3, 0xd8}};
struct IGattDeviceServicesResult : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Status(INT32* status) = 0;                    // 6
    virtual HRESULT STDMETHODCALLTYPE get_ProtocolError(IInspectable** error) = 0;      // 7
    virtual HRESULT STDMETHODCALLTYPE get_Services(IServiceVectorView** services) = 0;  // 8
};

// {ac7b7c05-b33c-47cf-990f-6b8f5577df71}
inline constexpr GUID IID_DeviceService = {
    0xac7b7c05, 0xb33c, 0x47cf, {0x99, 0x0f, 0x6b, 0x8f, 0x55, 0x77, 0xdf, 0x71}};
struct IGattDeviceService : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE
    GetCharacteristics(GUID uuid,
                       ICharacteristicVectorView** list) = 0;  // 6
    virtual HRESULT STDMETHODCALLTYPE GetIncludedServices(GUID uuid,
                                                          IServiceVectorView** list) = 0;  // 7
    virtual HRESULT STDMETHODCALLTYPE get_DeviceId(HSTRING* id) = 0;                       // 8
    virtual HRESULT STDMETHODCALLTYPE get_Uuid(GUID* uuid) = 0;                            // 9
    virtual HRESULT STDMETHODCALLTYPE get_AttributeHandle(UINT16* handle) = 0;             // 10
};

// {b293a950-0c53-437c-a9b3-5c3210c6e569}
inline constexpr GUID IID_DeviceService3 = {
    0xb293a950, 0x0c53, 0x437c, {0xa9, 0xb3, 0x5c, 0x32, 0x10, 0xc6, 0xe5, 0x69}};
struct IGattDeviceService3 : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_DeviceAccessInformation(IInspectable** info) = 0;  // 6
    virtual HRESULT STDMETHODCALLTYPE get_Session(IInspectable** session) = 0;               // 7
    virtual HRESULT STDMETHODCALLTYPE get_SharingMode(INT32* mode) = 0;                      // 8
    virtual HRESULT STDMETHODCALLTYPE RequestAccessAsync(IInspectable** operation) = 0;      // 9
    virtual HRESULT STDMETHODCALLTYPE OpenAsync(INT32 mode, IInspectable** operation) = 0;   // 10
    virtual HRESULT STDMETHODCALLTYPE
    GetCharacteristicsAsync(IAsyncCharacteristicsOperation** operation) = 0;  // 11
    virtual HRESULT STDMETHODCALLTYPE GetCharacteristicsWithCacheModeAsync(
        INT32 cacheMode, IAsyncCharacteristicsOperation** operation) = 0;  // 12
};

// {1194945c-b257-4f3e-9db7-f68bc9a9aef2}
inline constexpr GUID IID_CharacteristicsResult = {
    0x1194945c, 0xb257, 0x4f3e, {0x9d, 0xb7, 0xf6, 0x8b, 0xc9, 0xa9, 0xae, 0xf2}};
struct IGattCharacteristicsResult : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_Status(INT32* status) = 0;                // 6
    virtual HRESULT STDMETHODCALLTYPE get_ProtocolError(IInspectable** error) = 0;  // 7
    virtual HRESULT STDMETHODCALLTYPE
    get_Characteristics(ICharacteristicVectorView** characteristics) = 0;  // 8
};

// {d21bdb54-06e3-4ed8-a263-acfac8ba7313}
inline constexpr GUID IID_ValueChangedEventArgs = {
    0xd21bdb54, 0x06e3, 0x4ed8, {0xa2, 0x63, 0xac, 0xfa, 0xc8, 0xba, 0x73, 0x13}};
struct IGattValueChangedEventArgs : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE get_CharacteristicValue(IBuffer** value) = 0;  // 6
    virtual HRESULT STDMETHODCALLTYPE get_Timestamp(DateTime* timestamp) = 0;        // 7
};

// TypedEventHandler<GattCharacteristic, GattValueChangedEventArgs>
// {c1f420f6-6292-5760-a2c9-9ddf98683cfc}
inline constexpr GUID IID_ValueChangedHandler = {
    0xc1f420f6, 0x6292, 0x5760, {0xa2, 0xc9, 0x9d, 0xdf, 0x98, 0x68, 0x3c, 0xfc}};
using IValueChangedHandler = ITypedEventHandler<IGattCharacteristic, IGattValueChangedEventArgs>;

// {59cb50c1-5934-4f68-a198-eb864fa44e6b}
inline constexpr GUID IID_Characteristic = {
    0x59cb50c1, 0x5934, 0x4f68, {0xa1, 0x98, 0xeb, 0x86, 0x4f, 0xa4, 0x4e, 0x6b}};
struct IGattCharacteristic : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE GetDescriptors(GUID uuid, IInspectable** list) = 0;    // 6
    virtual HRESULT STDMETHODCALLTYPE get_CharacteristicProperties(UINT32* properties) = 0;  // 7
    virtual HRESULT STDMETHODCALLTYPE get_ProtectionLevel(INT32* level) = 0;                 // 8
    virtual HRESULT STDMETHODCALLTYPE put_ProtectionLevel(INT32 level) = 0;                  // 9
    virtual HRESULT STDMETHODCALLTYPE get_UserDescription(HSTRING* description) = 0;         // 10
    virtual HRESULT STDMETHODCALLTYPE get_Uuid(GUID* uuid) = 0;                              // 11
    virtual HRESULT STDMETHODCALLTYPE get_AttributeHandle(UINT16* handle) = 0;               // 12
    virtual HRESULT STDMETHODCALLTYPE get_PresentationFormats(IInspectable** formats) = 0;   // 13
    virtual HRESULT STDMETHODCALLTYPE ReadValueAsync(IInspectable** operation) = 0;          // 14
    virtual HRESULT STDMETHODCALLTYPE
    ReadValueWithCacheModeAsync(INT32 cacheMode, IInspectable** operation) = 0;  // 15
    virtual HRESULT STDMETHODCALLTYPE WriteValueAsync(IBuffer* value,
                                                      IAsyncStatusOperation** operation) = 0;  // 16
    virtual HRESULT STDMETHODCALLTYPE WriteValueWithOptionAsync(
        IBuffer* value, INT32 option, IAsyncStatusOperation** operation) = 0;  // 17
    virtual HRESULT STDMETHODCALLTYPE
    ReadClientCharacteristicConfigurationDescriptorAsync(IInspectable** operation) = 0;  // 18
    virtual HRESULT STDMETHODCALLTYPE WriteClientCharacteristicConfigurationDescriptorAsync(
        INT32 value, IAsyncStatusOperation** operation) = 0;  // 19
    virtual HRESULT STDMETHODCALLTYPE add_ValueChanged(IValueChangedHandler* handler,
                                                       Token* token) = 0;    // 20
    virtual HRESULT STDMETHODCALLTYPE remove_ValueChanged(Token token) = 0;  // 21
};

// {94ea2b94-e9cc-49e0-c0ff-ee64ca8f5b90}: marks a delegate as callable from any thread.
inline constexpr GUID IID_AgileObject = {
    0x94ea2b94, 0xe9cc, 0x49e0, {0xc0, 0xff, 0xee, 0x64, 0xca, 0x8f, 0x5b, 0x90}};

inline constexpr const wchar_t* kWatcherClass =
    L"Windows.Devices.Bluetooth.Advertisement.BluetoothLEAdvertisementWatcher";
inline constexpr const wchar_t* kDeviceClass = L"Windows.Devices.Bluetooth.BluetoothLEDevice";
inline constexpr const wchar_t* kBufferClass = L"Windows.Storage.Streams.Buffer";

}  // namespace winrt_ble
