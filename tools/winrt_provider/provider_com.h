#pragma once

// What every provided runtime class is built from: the IUnknown and IInspectable half, property
// reads that honour the injected faults, and handing out references.

#include <windows.h>
#include <activation.h>
#include <winstring.h>
#include <wrl/client.h>

#include <cstring>
#include <string>
#include <type_traits>

#include "ble/winrt_ble_interfaces.h"
#include "tools/winrt_provider/provider_runtime.h"

namespace winrt_provider {

using Microsoft::WRL::ComPtr;
using namespace winrt_ble;

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

inline GUID BaseUuid(uint16_t shortId) {
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

// An event's add_ and remove_ methods over its EventRegistry.
#define PROVIDER_EVENT(kind, event, Handler, registry)                               \
    HRESULT STDMETHODCALLTYPE add_##event(Handler* handler, Token* token) override { \
        PROVIDER_ENTER(kind ".add_" #event);                                         \
        return registry.Add(handler, token);                                         \
    }                                                                                \
    HRESULT STDMETHODCALLTYPE remove_##event(Token token) override {                 \
        PROVIDER_ENTER(kind ".remove_" #event);                                      \
        return registry.Remove(token);                                               \
    }

// The activation factory of a class made through its statics (Statics, offered at iid); nobody
// activates an instance directly.
template <typename Statics>
class StaticsFactory : public IActivationFactory, public Statics, public Object {
public:
    StaticsFactory(const char* kind, const wchar_t* className, const GUID& iid)
        : Object(kind), className_(className), iid_(iid) {}

    PROVIDER_INSPECTABLE(className_, Face<IActivationFactory>{kIidActivationFactory},
                         Face<Statics>{iid_})

    HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable**) override {
        PROVIDER_UNUSED(activateCall_.c_str());
    }

private:
    const wchar_t* className_;
    const GUID& iid_;
    const std::string activateCall_ = std::string(Kind()) + ".ActivateInstance";
};

// The activation factories of the provided classes, each with the reference it starts with.
IActivationFactory* NewWatcherFactory();
IActivationFactory* NewDeviceStatics();

}  // namespace winrt_provider
