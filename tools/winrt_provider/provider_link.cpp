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

// Under the world's lock. True when the link was up.
bool TakeDownLocked(UnitRecord& record) {
    if (!record.linkUp) {
        return false;
    }
    record.linkUp = false;
    ++record.linkEpoch;
    return true;
}

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
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (record->linkUp) {
            return;
        }
        record->linkUp = true;
        ++record->linkEpoch;
    }
    record->unit->Connect();
    FireStatus(record);
}

void DropUnitLink(const std::shared_ptr<UnitRecord>& record) {
    bool dropped = false;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        dropped = TakeDownLocked(*record);
    }
    if (dropped) {
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
    std::chrono::milliseconds idle{0};
    size_t writes = 0;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        idle = record->setup.faults.dropWhenIdle;
        writes = record->written.size();
    }
    if (idle.count() <= 0) {
        return;
    }
    Tasks().Schedule(Clock().Now() + idle, nullptr, [record, writes] {
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            auto& fault = record->setup.faults.dropWhenIdle;
            if (record->written.size() != writes || fault.count() <= 0) {
                return;
            }
            fault = std::chrono::milliseconds(0);
        }
        DropUnitLink(record);
    });
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
