#pragma once

// A test-only in-process provider of the Windows Runtime Bluetooth classes the shipping flat
// layer activates (advertisement watcher, device statics, buffer factory), built as a DLL with
// DllGetActivationFactory and registered in a private Wine prefix so that the unmodified
// RoActivateInstance / RoGetActivationFactory calls reach it. Simulated base units answer
// behind the GATT objects, so the whole BluFi conversation runs through the platform ABI.
//
// A test links the DLL's import library (so this control interface and the activated classes
// share one module), calls RegisterClasses, installs a world and, optionally, platform faults.
// Never linked into the shipping program.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "ble/ble_clock.h"
#include "tools/simulator/simulated_flat_ble.h"

#ifdef TERVANE_WINRT_PROVIDER_BUILD
#define WINRT_PROVIDER_API __declspec(dllexport)
#else
#define WINRT_PROVIDER_API __declspec(dllimport)
#endif

namespace winrt_provider {

// When an operation's completion handler runs, relative to put_Completed.
enum class CompletionTiming {
    Later,               // on a provider thread, once the operation finishes after put_Completed
    BeforePutReturns,    // finished already: on a provider thread while put_Completed still runs
    InsidePutCompleted,  // finished already: on the caller's thread, inside put_Completed
    Mixed,               // the three in turn, one operation after the other
};

struct PlatformFaults {
    CompletionTiming timing = CompletionTiming::Mixed;
    int eventThreads = 3;  // provider threads that deliver events and completions

    // "Class.Method" as listed by Calls(): every call of it fails with failCode, or succeeds
    // with a null result (nullCall).
    std::string failCall;
    uint32_t failCode = 0x80004005u;
    std::string nullCall;

    // remove_X refuses every token; a source then drops its handlers only when it goes away.
    bool removeFails = false;
    // The watcher drops its handlers by itself once it has stopped (at Stop, or after telling
    // of an abort), so the layer's later remove_X carries a token that has gone stale.
    bool forgetHandlers = false;
    // Advertisements the watcher still delivers after Stop, while its handler is registered.
    int advertisementsAfterStop = 0;
    // Value changes the notify characteristic fires after its device was closed.
    int notificationsAfterClose = 0;
    // remove_ValueChanged returns while one value change is still under way to the removed
    // handler; it arrives once the next connection has switched its notifications on.
    bool notificationInFlightAtRemoval = false;
    // Value changes fired at once, from every provider thread, when notifications go on.
    int notificationFlood = 0;

    SimulatedScanner scanner = SimulatedScanner::Normal;
    uint32_t scannerErrorCode = 0x80004005u;
    // Readings of every advertiser are spread evenly over this time after Start.
    std::chrono::milliseconds advertisementWindow{3000};
};

struct Counts {
    long liveObjects = 0;       // provider objects somebody still holds
    long heldDelegates = 0;     // handler references the provider holds
    long overReleases = 0;      // Release on an object already released to zero
    long callsOnReleased = 0;   // calls on an object already released to zero
    long unknownTokens = 0;     // remove_X with a token never handed out
    long staleTokens = 0;       // remove_X with a token already removed or dropped
    long lateHandlerCalls = 0;  // event handlers entered after MarkReturned
    long handlerCalls = 0;
    long handlerThreads = 0;  // distinct threads that entered handlers
    long unimplementedCalls = 0;
    long cachedReads = 0;  // GATT discovery asked for cached values
    long writesWithoutResponse = 0;
    std::vector<std::string> liveKinds;  // what liveObjects are
};

// Writes the activatable-class registration of every provided class, pointing at this DLL.
WINRT_PROVIDER_API bool RegisterClasses(std::wstring& error);
// Removes it again, so the prefix behaves as a machine without the classes.
WINRT_PROVIDER_API void UnregisterClasses();

// Replaces the world. Settles pending events first; keeps faults and counters.
WINRT_PROVIDER_API void Install(std::vector<SimulatedUnitSetup> units,
                                std::vector<SimulatedAdvertiser> others = {});
WINRT_PROVIDER_API void SetFaults(const PlatformFaults& faults);
// The clock every latency, spread and delivery of the provider runs on; nullptr: steady.
WINRT_PROVIDER_API void UseClock(BleClock* clock);
// Empty world, no faults, counters zero, released objects freed.
WINRT_PROVIDER_API void Reset();

// The link of the unit drops now (its device objects hear the status change); the next write
// brings it back, the unit numbering from 0.
WINRT_PROVIDER_API void DropLink(uint64_t address);
// Switched off: opening a device and writing fail with "device not ready", every link drops.
WINRT_PROVIDER_API void SetRadioOff(bool off);
WINRT_PROVIDER_API void SetLinkFaults(uint64_t address, const SimulatedLinkFaults& faults);

// Waits (really, at most timeout) until no event or completion is due or running.
WINRT_PROVIDER_API bool Settle(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000));
// Event handlers entered from now on count as late (until called with false).
WINRT_PROVIDER_API void MarkReturned(bool returned = true);
WINRT_PROVIDER_API Counts CurrentCounts();
// "Class.Method" of every provider method called since Reset, in order, each once.
WINRT_PROVIDER_API std::vector<std::string> Calls();

WINRT_PROVIDER_API std::vector<std::vector<uint8_t>> ReceivedPayloads(uint64_t address);
WINRT_PROVIDER_API std::vector<std::vector<uint8_t>> WrittenFrames(uint64_t address);
WINRT_PROVIDER_API std::vector<std::string> ProtocolErrors(uint64_t address);

// The part of the control a program that loads the DLL at run time needs (the demo), reached
// through the one unmangled export WinrtProviderControl.
struct ProviderControl {
    bool (*registerClasses)(std::wstring& error);
    void (*install)(std::vector<SimulatedUnitSetup> units, std::vector<SimulatedAdvertiser> others);
    std::vector<std::vector<uint8_t>> (*receivedPayloads)(uint64_t address);
    std::vector<std::string> (*protocolErrors)(uint64_t address);
};
using ProviderControlEntry = const ProviderControl* (*)();
constexpr const char* kProviderControlEntry = "WinrtProviderControl";

}  // namespace winrt_provider

extern "C" WINRT_PROVIDER_API const winrt_provider::ProviderControl* WinrtProviderControl();
