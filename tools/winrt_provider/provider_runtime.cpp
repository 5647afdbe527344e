#include "tools/winrt_provider/provider_runtime.h"

#include <algorithm>

namespace winrt_provider {

World& TheWorld() {
    static World* world = new World;  // provider threads may outlive every static
    return *world;
}

Scheduler& Tasks() {
    static Scheduler* scheduler = new Scheduler;
    return *scheduler;
}

BleClock& Clock() {
    return CurrentBleClock();
}

PlatformFaults Faults() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.faults;
}

std::shared_ptr<UnitRecord> FindUnit(uint64_t address) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    const auto found = world.units.find(address);
    return found == world.units.end() ? nullptr : found->second;
}

CompletionTiming NextTiming() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    if (world.faults.timing != CompletionTiming::Mixed) {
        return world.faults.timing;
    }
    static const CompletionTiming kTurns[] = {CompletionTiming::Later,
                                              CompletionTiming::BeforePutReturns,
                                              CompletionTiming::InsidePutCompleted};
    return kTurns[world.timingTurn++ % 3];
}

void CountDelegates(long change) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    world.counts.heldDelegates += change;
}

void Count(long Counts::*counter) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    ++(world.counts.*counter);
}

int64_t NextToken() {
    static std::atomic<int64_t> next{0x5100};
    return next.fetch_add(7);
}

bool Object::MoveReferences(long step, long Counts::*misuse, long& now) {
    now = references_.load();
    do {
        if (now <= 0) {
            Count(misuse);
            return false;
        }
    } while (!references_.compare_exchange_weak(now, now + step));
    now += step;
    return true;
}

Object::Object(const char* kind) : kind_(kind) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    ++world.counts.liveObjects;
    world.live.insert(this);
}

ULONG Object::AddRefObject() {
    long now = 0;
    return MoveReferences(+1, &Counts::callsOnReleased, now) ? static_cast<ULONG>(now) : 0;
}

ULONG Object::ReleaseObject() {
    long now = 0;
    if (!MoveReferences(-1, &Counts::overReleases, now)) {
        return 0;
    }
    if (now > 0) {
        return static_cast<ULONG>(now);
    }
    OnFinalRelease();
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    --world.counts.liveObjects;
    world.live.erase(this);
    world.parked.push_back(this);
    return 0;
}

HRESULT Enter(const Object* object, const char* call) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    if (world.called.insert(call).second) {
        world.calls.push_back(call);
    }
    if (object != nullptr && object->Released()) {
        ++world.counts.callsOnReleased;
        return kHrClosed;
    }
    if (world.faults.failCall == call) {
        return static_cast<HRESULT>(world.faults.failCode);
    }
    return S_OK;
}

bool NullResult(const char* call) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.faults.nullCall == call;
}

HRESULT Unimplemented(const Object* object, const char* call) {
    const HRESULT hr = Enter(object, call);
    Count(&Counts::unimplementedCalls);
    return FAILED(hr) ? hr : E_NOTIMPL;
}

void CountHandlerCall(bool event) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    ++world.counts.handlerCalls;
    world.handlerThreads.insert(GetCurrentThreadId());
    world.counts.handlerThreads = static_cast<long>(world.handlerThreads.size());
    if (event && world.marked) {
        ++world.counts.lateHandlerCalls;
    }
}

void Scheduler::SetThreads(int threads) {
    std::lock_guard<std::mutex> lock(mutex_);
    wantedThreads_ = std::max(1, threads);
}

void Scheduler::ScheduleNow(const void* strand, std::function<void()> task) {
    Schedule(Clock().Now(), strand, std::move(task));
}

void Scheduler::Schedule(TimePoint due, const void* strand, std::function<void()> task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(Task{due, nextOrder_++, strand, std::move(task)});
        if (threads_ == 0) {
            HMODULE self = nullptr;
            GetModuleHandleExW(
                GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                reinterpret_cast<LPCWSTR>(&TheWorld), &self);
        }
        while (threads_ < wantedThreads_) {
            ++threads_;
            // Threads live as long as the process; the module is pinned so it never unloads
            // under them.
            std::thread([this] { Run(); }).detach();
        }
    }
    signal_.notify_all();
}

void Scheduler::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // The earliest task whose strand is free.
        auto next = tasks_.end();
        for (auto it = tasks_.begin(); it != tasks_.end(); ++it) {
            if (busy_.count(it->strand) != 0 && it->strand != nullptr) {
                continue;
            }
            if (next == tasks_.end() || it->due < next->due ||
                (it->due == next->due && it->order < next->order)) {
                next = it;
            }
        }
        if (next == tasks_.end()) {
            signal_.wait(lock);
            continue;
        }
        // A strand's later task must not overtake its earlier one still waiting to be due.
        const TimePoint now = Clock().Now();
        if (next->due > now) {
            Clock().WaitUntil(signal_, lock, next->due);
            continue;
        }
        Task task = std::move(*next);
        tasks_.erase(next);
        busy_.insert(task.strand);
        ++running_;
        lock.unlock();
        try {
            task.run();
        } catch (...) {
            // A task that throws loses its event, like a platform callback that fails.
        }
        lock.lock();
        busy_.erase(busy_.find(task.strand));
        --running_;
        signal_.notify_all();
    }
}

bool Scheduler::Settle(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        const TimePoint now = Clock().Now();
        const bool due = std::any_of(tasks_.begin(), tasks_.end(),
                                     [&](const Task& task) { return task.due <= now; });
        if (!due && running_ == 0) {
            return true;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        signal_.wait_for(lock, std::chrono::milliseconds(5));
    }
}

}  // namespace winrt_provider
