#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// Every wait and pause of the Bluetooth link goes through one process-wide clock, so a
// simulated link can run its seconds-long budgets in virtual time. The shipping program never
// replaces the steady clock.

class BleClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~BleClock() = default;
    virtual TimePoint Now() = 0;
    virtual void SleepUntil(TimePoint until) = 0;
    // Blocks on signal (lock held by the caller, released while blocked) until it is notified,
    // the deadline passes, or spuriously. Callers re-check their condition and the time.
    virtual void WaitUntil(std::condition_variable& signal, std::unique_lock<std::mutex>& lock,
                           TimePoint deadline) = 0;

    void SleepFor(std::chrono::milliseconds duration) { SleepUntil(Now() + duration); }
};

// The steady clock; one wait lasts at most a day so a far deadline never overflows the
// platform's wait.
class SteadyBleClock final : public BleClock {
public:
    TimePoint Now() override;
    void SleepUntil(TimePoint until) override;
    void WaitUntil(std::condition_variable& signal, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline) override;
};

BleClock& CurrentBleClock();
// nullptr restores the steady clock. The clock must outlive its use.
void SetBleClock(BleClock* clock);

// Milliseconds on the current clock, 32 bits wide: differences taken modulo 2^32 survive the wrap.
uint32_t BleTickCount();

// now + milliseconds, saturating instead of overflowing.
BleClock::TimePoint BleDeadlineAfter(BleClock::TimePoint now, uint64_t milliseconds);
