#include "tools/simulator/simulated_timeline.h"

SimulatedTimeline::SimulatedTimeline() : thread_([this] { Run(); }) {}

SimulatedTimeline::~SimulatedTimeline() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SimulatedTimeline::SetVirtual(bool on, uint32_t tickStart) {
    std::unique_lock<std::mutex> lock(mutex_);
    WaitForDeliveriesLocked(lock);
    pending_.clear();
    virtual_ = on;
    virtualNow_ = TimePoint(std::chrono::milliseconds(tickStart));
    wake_.notify_all();
}

bool SimulatedTimeline::IsVirtual() {
    std::lock_guard<std::mutex> lock(mutex_);
    return virtual_;
}

void SimulatedTimeline::Schedule(TimePoint due, std::function<void()> event) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (virtual_ && due <= virtualNow_) {
        ready_.push_back(std::move(event));
        ++inFlight_;
    } else {
        pending_.emplace(due, std::move(event));
    }
    wake_.notify_all();
}

void SimulatedTimeline::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        std::function<void()> event;
        if (!ready_.empty()) {
            event = std::move(ready_.front());
            ready_.pop_front();
        } else if (!virtual_ && !pending_.empty() &&
                   pending_.begin()->first <= std::chrono::steady_clock::now()) {
            event = std::move(pending_.begin()->second);
            pending_.erase(pending_.begin());
            ++inFlight_;
        } else if (!virtual_ && !pending_.empty()) {
            // A copy: SetVirtual may drop the entry while this waits.
            const TimePoint due = pending_.begin()->first;
            wake_.wait_until(lock, due);
            continue;
        } else {
            wake_.wait(lock);
            continue;
        }
        lock.unlock();
        event();
        event = nullptr;
        lock.lock();
        --inFlight_;
        idle_.notify_all();
    }
}

void SimulatedTimeline::WaitForDeliveriesLocked(std::unique_lock<std::mutex>& lock) {
    idle_.wait(lock, [this] { return inFlight_ == 0; });
}

bool SimulatedTimeline::DispatchNextLocked(TimePoint until) {
    if (pending_.empty() || pending_.begin()->first > until) {
        return false;
    }
    if (pending_.begin()->first > virtualNow_) {
        virtualNow_ = pending_.begin()->first;
    }
    ready_.push_back(std::move(pending_.begin()->second));
    pending_.erase(pending_.begin());
    ++inFlight_;
    wake_.notify_all();
    return true;
}

void SimulatedTimeline::Settle() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        WaitForDeliveriesLocked(lock);
        const bool due = !pending_.empty() &&
                         (virtual_ ? pending_.begin()->first <= virtualNow_
                                   : pending_.begin()->first <= std::chrono::steady_clock::now());
        if (!due) {
            return;
        }
        if (virtual_) {
            DispatchNextLocked(virtualNow_);
        } else {
            idle_.wait_for(lock, std::chrono::milliseconds(1));
        }
    }
}

BleClock::TimePoint SimulatedTimeline::Now() {
    std::lock_guard<std::mutex> lock(mutex_);
    return virtual_ ? virtualNow_ : steady_.Now();
}

void SimulatedTimeline::SleepUntil(TimePoint until) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!virtual_) {
        lock.unlock();
        steady_.SleepUntil(until);
        return;
    }
    for (;;) {
        WaitForDeliveriesLocked(lock);
        if (!DispatchNextLocked(until)) {
            break;
        }
    }
    if (until > virtualNow_) {
        virtualNow_ = until;
    }
}

void SimulatedTimeline::WaitUntil(std::condition_variable& signal,
                                  std::unique_lock<std::mutex>& lock, TimePoint deadline) {
    {
        std::unique_lock<std::mutex> own(mutex_);
        if (!virtual_) {
            own.unlock();
            steady_.WaitUntil(signal, lock, deadline);
            return;
        }
        if (inFlight_ == 0 && !DispatchNextLocked(deadline)) {
            // Nothing can happen before the deadline: the wait is over.
            if (deadline > virtualNow_) {
                virtualNow_ = deadline;
            }
            return;
        }
    }
    // An event is being delivered; it may be the one the caller waits for, and it needs the
    // caller's lock, so release it briefly. The caller re-checks and comes back.
    signal.wait_for(lock, std::chrono::milliseconds(1));
}
