#include "ble/async_completion.h"

#include "ble/ble_clock.h"

void AsyncCompletion::Complete(int32_t status) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (done_) {
            return;
        }
        done_ = true;
        status_ = status;
    }
    signal_.notify_all();
}

bool AsyncCompletion::WaitFor(std::chrono::milliseconds timeout, int32_t& status) {
    BleClock& clock = CurrentBleClock();
    std::unique_lock<std::mutex> lock(mutex_);
    const BleClock::TimePoint deadline =
        BleDeadlineAfter(clock.Now(), static_cast<uint64_t>(timeout.count()));
    while (!done_ && clock.Now() < deadline) {
        clock.WaitUntil(signal_, lock, deadline);
    }
    if (!done_) {
        return false;
    }
    status = status_;
    return true;
}
