#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "ble/async_completion.h"
#include "ble/flat_text.h"
#include "ble/gatt_link.h"
#include "ble/ov_ble.h"
#include "ble/scan_runner.h"
#include "tools/simulator/simulated_world.h"

namespace simulated_world {

World& TheWorld() {
    static World* world = new World;  // outlives every static user, including the link
    return *world;
}

SimulatedTimeline& Timeline() {
    static SimulatedTimeline* timeline = new SimulatedTimeline;
    return *timeline;
}

int32_t RunStep(std::chrono::milliseconds latency, bool hang, std::chrono::milliseconds timeout) {
    if (!hang && latency < timeout) {
        // Completes in time: the caller simply waits that long, on the link's clock.
        if (latency.count() > 0) {
            CurrentBleClock().SleepFor(latency);
        }
        return 0;
    }
    auto done = std::make_shared<AsyncCompletion>();
    if (!hang) {
        Timeline().Schedule(Timeline().Now() + latency,
                            [done] { done->Complete(kAsyncCompleted); });
    }
    int32_t status = 0;
    if (!done->WaitFor(timeout, status)) {
        return static_cast<int32_t>(kHrTimeout);
    }
    return 0;
}

void FireStatus(const std::shared_ptr<UnitRecord>& record, bool connected) {
    Timeline().Schedule(Timeline().Now(), [record, connected] {
        std::function<void(bool)> handler;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            if (world.device != record) {
                return;
            }
            handler = world.statusHandler;
        }
        if (handler) {
            handler(connected);
        }
    });
}

void DropUnitLink(const std::shared_ptr<UnitRecord>& record) {
    if (simulated_link::TakeDown(TheWorld(), *record)) {
        FireStatus(record, false);
    }
}

void BringUp(const std::shared_ptr<UnitRecord>& record) {
    if (simulated_link::BringUp(TheWorld(), *record)) {
        FireStatus(record, true);
    }
}

void DeliverNotification(const std::shared_ptr<UnitRecord>& record, uint64_t epoch,
                         uint64_t generation, std::chrono::milliseconds delay,
                         std::chrono::milliseconds spacing, Bytes bytes) {
    TimePoint due = Timeline().Now() + delay;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (world.lastDeliveryGeneration == generation && due < world.lastDelivery + spacing) {
            due = world.lastDelivery + spacing;
        }
        world.lastDelivery = due;
        world.lastDeliveryGeneration = generation;
    }
    Timeline().Schedule(due, [record, epoch, generation, bytes = std::move(bytes)]() mutable {
        std::shared_ptr<NotificationQueue> queue;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            if (world.generation != generation || !world.queue ||
                (record && record->linkEpoch != epoch)) {
                return;
            }
            queue = world.queue;
        }
        queue->Push(std::move(bytes));
    });
}

std::shared_ptr<UnitRecord> FindUnit(uint64_t address) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    const auto found = world.units.find(address);
    return found == world.units.end() ? nullptr : found->second;
}

}  // namespace simulated_world
