#pragma once

// Calling the Windows Runtime through its raw ABI: owned strings, interface queries, our own
// delegates and bounded waits for asynchronous operations. Shared by the scan and the GATT
// halves of the shipping flat layer.

#include <windows.h>
#include <objbase.h>
#include <roapi.h>
#include <winstring.h>
#include <wrl/client.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "ble/async_completion.h"
#include "ble/flat_text.h"
#include "ble/gatt_link.h"
#include "ble/winrt_ble_interfaces.h"

namespace winrt_ble {

using Microsoft::WRL::ComPtr;

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

// The activation factory of a runtime class, as the interface asked for.
template <typename Factory>
HRESULT GetFactory(const wchar_t* className, const GUID& iid, ComPtr<Factory>& factory) {
    HString name;
    const HRESULT hr = name.Set(className);
    if (FAILED(hr)) {
        return hr;
    }
    return RoGetActivationFactory(name.Get(), iid,
                                  reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf()));
}

inline int32_t Code(HRESULT hr) {
    return static_cast<int32_t>(hr);
}

inline BleUuid ToBleUuid(const GUID& guid) {
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

inline HRESULT EnterApartment() {
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

}  // namespace winrt_ble
