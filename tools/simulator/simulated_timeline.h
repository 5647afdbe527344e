#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "ble/ble_clock.h"

// Runs the simulated platform's events (advertisements, completions, notifications) on a
// thread of its own, at the times they are due. In virtual mode time stands still until the
// link waits or sleeps; then it jumps from one due event to the next, each delivered before
// time moves on, and finally to the end of the wait.
//
// Events must not sleep or wait on this clock themselves.
class SimulatedTimeline final : public BleClock {
public:
    SimulatedTimeline();
    ~SimulatedTimeline() override;

    // Drops pending events. tickStart places virtual time on the 32-bit tick counter.
    void SetVirtual(bool on, uint32_t tickStart);
    bool IsVirtual();

    void Schedule(TimePoint due, std::function<void()> event);
    // Returns once no event is due or being delivered.
    void Settle();

    TimePoint Now() override;
    void SleepUntil(TimePoint until) override;
    void WaitUntil(std::condition_variable& signal, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline) override;

private:
    void Run();
    // Virtual mode: hands the earliest event due by `until` to the delivery thread.
    bool DispatchNextLocked(TimePoint until);
    void WaitForDeliveriesLocked(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::multimap<TimePoint, std::function<void()>> pending_;
    std::deque<std::function<void()>> ready_;  // virtual mode: handed over, not yet run
    int inFlight_ = 0;                         // handed over or running
    bool virtual_ = false;
    TimePoint virtualNow_{};
    bool stopping_ = false;
    SteadyBleClock steady_;
    std::thread thread_;
};
