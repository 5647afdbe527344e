// The provider's module: registering the runtime classes it provides, handing out their
// activation factories, and the controls the tests drive it with.

#include <windows.h>
#include <activation.h>
#include <roapi.h>
#include <winstring.h>
#include <wrl/client.h>

#include "tools/winrt_provider/provider_buffers.h"
#include "tools/winrt_provider/provider_com.h"
#include "tools/winrt_provider/provider_link.h"
#include "tools/winrt_provider/provider_runtime.h"

using Microsoft::WRL::ComPtr;
using namespace winrt_ble;

namespace winrt_provider {
namespace {

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
    simulated_link::ReplaceUnitsLocked(world, std::move(units), std::move(others));
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
        Adopt(factory, NewWatcherFactory());
    } else if (name == kDeviceClass) {
        Adopt(factory, NewDeviceStatics());
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
