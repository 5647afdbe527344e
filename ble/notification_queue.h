#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// Notifications of the connected base unit, oldest first. Platform threads push; the worker of
// the current operation takes. Bounded so a flood while nobody waits cannot exhaust memory.
class NotificationQueue {
public:
    static constexpr size_t kCapacity = 64;

    // Appends, drops the oldest beyond the capacity, then wakes one waiter.
    void Push(std::vector<uint8_t> notification);
    // Drops every entry and ends an interruption.
    void Clear();
    // Ends the current wait, and every later one until Clear, without an entry.
    void Interrupt();
    size_t Size() const;

    // Takes the front entry, waiting on the current clock until timeoutMs has passed when the
    // queue is empty (0: no waiting). False when nothing arrived in time.
    bool Take(std::vector<uint8_t>& notification, uint32_t timeoutMs);

private:
    mutable std::mutex mutex_;
    std::condition_variable signal_;
    std::deque<std::vector<uint8_t>> entries_;
    bool interrupted_ = false;
};
