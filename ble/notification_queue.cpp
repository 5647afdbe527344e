#include "ble/notification_queue.h"

#include "ble/ble_clock.h"

void NotificationQueue::Push(std::vector<uint8_t> notification) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        entries_.push_back(std::move(notification));
        while (entries_.size() > kCapacity) {
            entries_.pop_front();
        }
    }
    signal_.notify_one();
}

void NotificationQueue::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.clear();
    interrupted_ = false;
}

void NotificationQueue::Interrupt() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = true;
    }
    signal_.notify_all();
}

size_t NotificationQueue::Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return entries_.size();
}

bool NotificationQueue::Take(std::vector<uint8_t>& notification, uint32_t timeoutMs) {
    BleClock& clock = CurrentBleClock();
    std::unique_lock<std::mutex> lock(mutex_);
    if (entries_.empty() && timeoutMs > 0 && !interrupted_) {
        const BleClock::TimePoint deadline = BleDeadlineAfter(clock.Now(), timeoutMs);
        while (entries_.empty() && !interrupted_ && clock.Now() < deadline) {
            clock.WaitUntil(signal_, lock, deadline);
        }
    }
    if (entries_.empty()) {
        return false;
    }
    notification = std::move(entries_.front());
    entries_.pop_front();
    return true;
}
