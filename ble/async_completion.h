#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

// The end of one asynchronous platform operation, awaited with a bound. The completion may
// come from any thread, also after the waiter has given up, so owners share it (std::shared_ptr).
class AsyncCompletion {
public:
    void Complete(int32_t status);
    // True with the status once completed; false when the time-out (on the current clock)
    // passed first.
    bool WaitFor(std::chrono::milliseconds timeout, int32_t& status);

private:
    std::mutex mutex_;
    std::condition_variable signal_;
    bool done_ = false;
    int32_t status_ = 0;
};
