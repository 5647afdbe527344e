#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "ble/async_completion.h"
#include "ble/ble_clock.h"
#include "ble/notification_queue.h"

namespace {

using Bytes = std::vector<uint8_t>;
using namespace std::chrono_literals;

// Time stands still except when a wait runs out. A wait first blocks on the real signal (so a
// notify ends it) for a bounded real time, and only then jumps to the deadline.
class ScriptedClock final : public BleClock {
public:
    ScriptedClock() { SetBleClock(this); }
    ~ScriptedClock() override { SetBleClock(nullptr); }

    TimePoint Now() override { return now_; }
    void SleepUntil(TimePoint until) override { now_ = std::max(now_.load(), until); }
    void WaitUntil(std::condition_variable& signal, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline) override {
        ++waits_;
        if (spuriousLeft_ > 0) {
            --spuriousLeft_;  // back without a notification and without time passing
            return;
        }
        if (signal.wait_for(lock, realPatience_) == std::cv_status::timeout) {
            now_ = std::max(now_.load(), deadline);
        }
    }

    // Runs action on another thread once a wait has begun; only a notify ends that wait early.
    std::thread WhenWaiting(std::function<void()> action) {
        realPatience_ = 5s;
        return std::thread([this, action] {
            while (waits_ == 0) {
                std::this_thread::yield();
            }
            action();
        });
    }

    std::atomic<TimePoint> now_{TimePoint(1h)};
    std::atomic<int> waits_{0};
    int spuriousLeft_ = 0;
    std::chrono::milliseconds realPatience_{0};
};

TEST(NotificationQueue, KeepsTheNewest64AndDropsTheOldest) {
    ScriptedClock clock;
    NotificationQueue queue;
    for (int i = 1; i <= 70; ++i) {
        queue.Push(Bytes{static_cast<uint8_t>(i)});
    }
    EXPECT_EQ(queue.Size(), 64u);
    Bytes first;
    ASSERT_TRUE(queue.Take(first, 0));
    EXPECT_EQ(first, Bytes{7});
}

// Spurious wake-ups neither end the wait nor shorten it.
TEST(NotificationQueue, WaitsUntilTheDeadlineOnTheClock) {
    ScriptedClock clock;
    clock.spuriousLeft_ = 5;
    NotificationQueue queue;
    const auto start = clock.Now();
    Bytes taken;
    EXPECT_FALSE(queue.Take(taken, 20000));
    EXPECT_EQ(clock.waits_, 6);
    EXPECT_EQ(clock.Now() - start, 20000ms);
}

// A notify ends either kind of wait at once, before the clock reaches the deadline.
TEST(Waiting, ANotifyWakesTheWaiterBeforeTheDeadline) {
    ScriptedClock clock;
    const auto start = clock.Now();
    NotificationQueue queue;
    std::thread pusher = clock.WhenWaiting([&] { queue.Push(Bytes{42}); });
    Bytes taken;
    EXPECT_TRUE(queue.Take(taken, 20000));
    pusher.join();
    EXPECT_EQ(taken, Bytes{42});
    clock.waits_ = 0;
    AsyncCompletion done;
    std::thread completer = clock.WhenWaiting([&] { done.Complete(2); });
    int32_t status = 0;
    EXPECT_TRUE(done.WaitFor(60s, status));
    completer.join();
    EXPECT_EQ(status, 2);
    EXPECT_EQ(clock.Now(), start);
}

TEST(BleDeadlineAfter, SaturatesAtTheClockMaximum) {
    const auto nearEnd = BleClock::TimePoint::max() - 1ms;
    EXPECT_EQ(BleDeadlineAfter(nearEnd, 5), BleClock::TimePoint::max());
    EXPECT_EQ(BleDeadlineAfter(nearEnd, UINT64_MAX), BleClock::TimePoint::max());
    EXPECT_EQ(BleDeadlineAfter({}, 86400000), BleClock::TimePoint(86400000ms));
}

// On the real clock an unsignalled wait lasts until its deadline, and a wait that would not end
// by itself is freed by the watchdog and fails the test instead of hanging it.
TEST(SteadyBleClock, AnUnsignalledWaitEndsAtItsDeadline) {
    SteadyBleClock clock;
    std::mutex mutex;
    std::condition_variable signal;
    std::unique_lock<std::mutex> lock(mutex);
    clock.WaitUntil(signal, lock, clock.Now() - 1s);  // a past deadline: back at once
    EXPECT_TRUE(lock.owns_lock());
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 500 && !done; ++i)
            std::this_thread::sleep_for(10ms);
        signal.notify_all();
    });
    const auto deadline = clock.Now() + 100ms;
    for (int i = 0; i < 3 && clock.Now() < deadline; ++i)  // a spurious wake-up may come early
        clock.WaitUntil(signal, lock, deadline);
    const auto ended = clock.Now();
    done = true;
    watchdog.join();
    EXPECT_GE(ended, deadline);
    EXPECT_LT(ended, deadline + 4s);
}

}  // namespace
