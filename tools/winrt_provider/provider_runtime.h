#pragma once

// The provider's machinery under its classes: reference-counted objects that are parked, not
// freed, when released to zero (so an over-release is counted instead of corrupting memory),
// the threads that deliver events and completions, the world of simulated units, the faults
// and the counters.

#include <windows.h>
#include <eventtoken.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "ble/ble_clock.h"
#include "tools/simulator/simulated_base_unit.h"
#include "tools/winrt_provider/winrt_provider.h"

namespace winrt_provider {

using Bytes = std::vector<uint8_t>;
using TimePoint = BleClock::TimePoint;

constexpr HRESULT kHrBounds = static_cast<HRESULT>(0x8000000Bu);
constexpr HRESULT kHrIllegalMethodCall = static_cast<HRESULT>(0x8000000Eu);
constexpr HRESULT kHrIllegalDelegateAssignment = static_cast<HRESULT>(0x80000018u);
constexpr HRESULT kHrClosed = static_cast<HRESULT>(0x80000013u);
constexpr HRESULT kHrDeviceNotReady = static_cast<HRESULT>(0x800710DFu);

// The non-COM half of every provider object.
class Object {
public:
    explicit Object(const char* kind);
    virtual ~Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    ULONG AddRefObject();
    ULONG ReleaseObject();
    bool Released() const { return references_.load() <= 0; }
    const char* Kind() const { return kind_; }

protected:
    // Drops what the object holds once nobody holds it.
    virtual void OnFinalRelease() {}

private:
    // An object released to zero stays there: a call on it is counted as misuse instead.
    bool MoveReferences(long step, long Counts::*misuse, long& now);

    const char* kind_;
    std::atomic<long> references_{1};
};

// Common entry of every provider method: logs the call and applies the fault for it. Returns
// S_OK to go on, or the HRESULT the method returns at once.
HRESULT Enter(const Object* object, const char* call);
// True when the call is to succeed with a null result.
bool NullResult(const char* call);
HRESULT Unimplemented(const Object* object, const char* call);

// Runs a handler of the flat layer, counting it; late ones are counted too.
void CountHandlerCall(bool event);

// Event and completion delivery on a few provider threads. Tasks of one strand (one event
// source) run one at a time in order of due time, on whichever thread is free.
class Scheduler {
public:
    void Schedule(TimePoint due, const void* strand, std::function<void()> task);
    void ScheduleNow(const void* strand, std::function<void()> task);
    bool Settle(std::chrono::milliseconds timeout);
    void SetThreads(int threads);

private:
    struct Task {
        TimePoint due;
        uint64_t order;
        const void* strand;
        std::function<void()> run;
    };
    void Run();

    std::mutex mutex_;
    std::condition_variable signal_;
    std::vector<Task> tasks_;
    std::multiset<const void*> busy_;
    int running_ = 0;
    int threads_ = 0;
    int wantedThreads_ = 3;
    uint64_t nextOrder_ = 0;
};

Scheduler& Tasks();
BleClock& Clock();

struct StatusSource;

struct UnitRecord {
    SimulatedUnitSetup setup;
    std::shared_ptr<SimulatedBaseUnit> unit;
    std::vector<Bytes> written;
    int writesThisConnection = 0;
    // The link (provider_link.h), under the world's lock.
    bool linkUp = false;
    uint64_t linkEpoch = 0;  // changes whenever it comes up or goes down
    int holders = 0;
    std::vector<std::weak_ptr<StatusSource>> statusSources;
};

struct World {
    std::mutex mutex;
    std::map<uint64_t, std::shared_ptr<UnitRecord>> units;
    std::vector<SimulatedAdvertiser> others;
    PlatformFaults faults;
    uint64_t timingTurn = 0;
    bool radioOff = false;

    std::vector<std::string> calls;
    std::set<std::string> called;
    std::vector<Object*> parked;                  // released to zero, freed at Reset
    std::vector<std::function<void()>> inFlight;  // value changes under way to removed handlers
    bool inFlightKept = false;                    // the fault strikes once
    std::set<const Object*> live;
    std::set<DWORD> handlerThreads;
    bool marked = false;
    Counts counts;
};

World& TheWorld();
PlatformFaults Faults();
std::shared_ptr<UnitRecord> FindUnit(uint64_t address);
// The timing for the next operation (Mixed takes turns).
CompletionTiming NextTiming();
void CountDelegates(long change);
void Count(long Counts::*counter);

// Handlers registered on an event source. Delivery holds the source's delivery lock, which
// remove_ and the source's release take too, so once either has returned the handler is
// neither running nor about to run.
template <typename Handler>
class EventRegistry {
public:
    HRESULT Add(Handler* handler, EventRegistrationToken* token);
    HRESULT Remove(EventRegistrationToken token);
    void Clear();
    template <typename Call>
    void Deliver(Call call);
    bool Empty();
    // The registered handler, with a reference for the caller; null when there is none.
    Handler* Find(EventRegistrationToken token);

private:
    std::recursive_mutex delivery_;
    std::mutex mutex_;
    std::map<int64_t, Handler*> handlers_;
    std::set<int64_t> issued_;
};

int64_t NextToken();

template <typename Handler>
HRESULT EventRegistry<Handler>::Add(Handler* handler, EventRegistrationToken* token) {
    if (handler == nullptr || token == nullptr) {
        return E_POINTER;
    }
    handler->AddRef();
    CountDelegates(1);
    std::lock_guard<std::mutex> lock(mutex_);
    token->value = NextToken();
    handlers_[token->value] = handler;
    issued_.insert(token->value);
    return S_OK;
}

template <typename Handler>
HRESULT EventRegistry<Handler>::Remove(EventRegistrationToken token) {
    std::lock_guard<std::recursive_mutex> delivery(delivery_);
    Handler* handler = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const auto found = handlers_.find(token.value);
        if (found == handlers_.end()) {
            // Removing what is not there is not an error on the platform.
            Count(issued_.count(token.value) != 0 ? &Counts::staleTokens : &Counts::unknownTokens);
            return S_OK;
        }
        if (Faults().removeFails) {
            return E_FAIL;
        }
        handler = found->second;
        handlers_.erase(found);
    }
    handler->Release();
    CountDelegates(-1);
    return S_OK;
}

template <typename Handler>
void EventRegistry<Handler>::Clear() {
    std::lock_guard<std::recursive_mutex> delivery(delivery_);
    std::map<int64_t, Handler*> handlers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        handlers.swap(handlers_);
    }
    for (auto& entry : handlers) {
        entry.second->Release();
        CountDelegates(-1);
    }
}

template <typename Handler>
Handler* EventRegistry<Handler>::Find(EventRegistrationToken token) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = handlers_.find(token.value);
    if (found == handlers_.end()) {
        return nullptr;
    }
    found->second->AddRef();
    return found->second;
}

template <typename Handler>
bool EventRegistry<Handler>::Empty() {
    std::lock_guard<std::mutex> lock(mutex_);
    return handlers_.empty();
}

template <typename Handler>
template <typename Call>
void EventRegistry<Handler>::Deliver(Call call) {
    std::lock_guard<std::recursive_mutex> delivery(delivery_);
    std::vector<Handler*> handlers;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& entry : handlers_) {
            entry.second->AddRef();
            handlers.push_back(entry.second);
        }
    }
    for (Handler* handler : handlers) {
        CountHandlerCall(true);
        call(handler);
        handler->Release();
    }
}

}  // namespace winrt_provider
