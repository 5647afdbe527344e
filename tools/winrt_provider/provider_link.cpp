#include "tools/winrt_provider/provider_link.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;
using namespace winrt_ble;

namespace winrt_provider {
namespace {

void FireStatus(const std::shared_ptr<UnitRecord>& record) {
    std::vector<std::shared_ptr<StatusSource>> sources;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        auto& watchers = record->statusSources;
        for (auto it = watchers.begin(); it != watchers.end();) {
            if (auto source = it->lock()) {
                sources.push_back(std::move(source));
                ++it;
            } else {
                it = watchers.erase(it);
            }
        }
    }
    for (const auto& source : sources) {
        Tasks().ScheduleNow(source.get(), [source] {
            std::lock_guard<std::mutex> lock(source->mutex);
            if (source->device == nullptr) {
                return;
            }
            ComPtr<IInspectable> none;
            source->handlers.Deliver(
                [&](IDeviceHandler* handler) { handler->Invoke(source->device, none.Get()); });
        });
    }
}

using simulated_link::TakeDownLocked;

}  // namespace

void WatchLink(const std::shared_ptr<UnitRecord>& record,
               const std::shared_ptr<StatusSource>& source) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    record->statusSources.push_back(source);
}

bool LinkUp(const std::shared_ptr<UnitRecord>& record) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return record->linkUp && !world.radioOff;
}

uint64_t LinkEpoch(const std::shared_ptr<UnitRecord>& record) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return record->linkEpoch;
}

void BringLinkUp(const std::shared_ptr<UnitRecord>& record) {
    if (simulated_link::BringUp(TheWorld(), *record)) {
        FireStatus(record);
    }
}

void DropUnitLink(const std::shared_ptr<UnitRecord>& record) {
    if (simulated_link::TakeDown(TheWorld(), *record)) {
        FireStatus(record);
    }
}

void HoldLink(const std::shared_ptr<UnitRecord>& record) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    ++record->holders;
}

void ReleaseLink(const std::shared_ptr<UnitRecord>& record) {
    uint64_t epoch = 0;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (record->holders == 0 || --record->holders > 0) {
            return;
        }
        if (record->setup.linger.count() <= 0) {
            TakeDownLocked(*record);
            return;
        }
        epoch = record->linkEpoch;
    }
    // Not under the world's lock: the scheduler frees finished tasks under its own, and that
    // may release objects, which takes the world's.
    Tasks().Schedule(Clock().Now() + record->setup.linger, nullptr, [record, epoch] {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (record->linkEpoch == epoch && record->holders == 0) {
            TakeDownLocked(*record);
        }
    });
}

bool RadioOff() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.radioOff;
}

void DropWhenIdle(const std::shared_ptr<UnitRecord>& record) {
    simulated_link::ArmIdleDrop(
        TheWorld(), record,
        [](std::chrono::milliseconds idle, std::function<void()> task) {
            Tasks().Schedule(Clock().Now() + idle, nullptr, std::move(task));
        },
        DropUnitLink);
}

void DropLink(uint64_t address) {
    if (const auto record = FindUnit(address)) {
        DropUnitLink(record);
    }
}

void SetLinkFaults(uint64_t address, const SimulatedLinkFaults& faults) {
    const auto record = FindUnit(address);
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    if (record) {
        record->setup.faults = faults;
    }
}

void SetRadioOff(bool off) {
    std::vector<std::shared_ptr<UnitRecord>> dropped;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.radioOff = off;
        for (auto& entry : world.units) {
            if (off && TakeDownLocked(*entry.second)) {
                dropped.push_back(entry.second);
            }
        }
    }
    for (const auto& record : dropped) {
        FireStatus(record);
    }
}

}  // namespace winrt_provider
