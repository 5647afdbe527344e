#pragma once

// What the device, its services and its characteristics share about one opened device.

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "tools/winrt_provider/provider_com.h"
#include "tools/winrt_provider/provider_link.h"

namespace winrt_provider {

// One opened device: the unit behind it and whether it has been closed.
struct Connection {
    std::mutex mutex;
    std::shared_ptr<UnitRecord> record;
    bool closed = false;
    bool holding = false;  // of the link, from the first discovery on
    std::vector<std::weak_ptr<struct NotifyTarget>> targets;

    bool Closed() {
        std::lock_guard<std::mutex> lock(mutex);
        return closed;
    }
};

class Characteristic;

// Where a unit's notifications go. Delivery holds the mutex; the characteristic's last release
// takes it and clears the pointer, so no value change reaches a characteristic that is gone.
struct NotifyTarget {
    std::mutex mutex;
    Characteristic* characteristic = nullptr;
    std::mutex pacing;
    TimePoint last{};
    std::chrono::milliseconds delay{0};
    std::chrono::milliseconds spacing{1};
};

// With a record, the value is lost when the unit's link has changed since epoch.
void Post(const std::shared_ptr<NotifyTarget>& target, Bytes bytes, bool anyThread,
          std::shared_ptr<UnitRecord> record = nullptr, uint64_t epoch = 0);

// A characteristic of the opened device, with the reference it starts with.
IGattCharacteristic* NewCharacteristic(uint16_t uuid, std::shared_ptr<Connection> connection);

}  // namespace winrt_provider
