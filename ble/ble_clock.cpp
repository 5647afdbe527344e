#include "ble/ble_clock.h"

#include <atomic>
#include <thread>

namespace {

SteadyBleClock& SteadyClockInstance() {
    static SteadyBleClock clock;
    return clock;
}

std::atomic<BleClock*> g_clock{nullptr};

constexpr std::chrono::milliseconds kLongestSingleWait{86400000};

}  // namespace

BleClock::TimePoint SteadyBleClock::Now() {
    return std::chrono::steady_clock::now();
}

void SteadyBleClock::SleepUntil(TimePoint until) {
    std::this_thread::sleep_until(until);
}

void SteadyBleClock::WaitUntil(std::condition_variable& signal, std::unique_lock<std::mutex>& lock,
                               TimePoint deadline) {
    const TimePoint now = Now();
    if (deadline <= now) {
        return;
    }
    // Round the remaining time up to a whole millisecond so the wait never ends just short of
    // the deadline and spins.
    auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    if (remaining > kLongestSingleWait) {
        remaining = kLongestSingleWait;
    }
    signal.wait_for(lock, remaining);
}

BleClock& CurrentBleClock() {
    BleClock* clock = g_clock.load(std::memory_order_acquire);
    return clock != nullptr ? *clock : SteadyClockInstance();
}

void SetBleClock(BleClock* clock) {
    g_clock.store(clock, std::memory_order_release);
}

uint32_t BleTickCount() {
    const auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(
        CurrentBleClock().Now().time_since_epoch());
    return static_cast<uint32_t>(static_cast<uint64_t>(sinceEpoch.count()));
}

BleClock::TimePoint BleDeadlineAfter(BleClock::TimePoint now, uint64_t milliseconds) {
    using Duration = BleClock::TimePoint::duration;
    const auto headroom = BleClock::TimePoint::max() - now;
    const auto limitMs = std::chrono::duration_cast<std::chrono::milliseconds>(headroom).count();
    if (limitMs < 0 || milliseconds >= static_cast<uint64_t>(limitMs)) {
        return BleClock::TimePoint::max();
    }
    return now + std::chrono::duration_cast<Duration>(
                     std::chrono::milliseconds(static_cast<int64_t>(milliseconds)));
}
