#pragma once

// A unit's link and faults as both simulated platforms keep them: the simulated flat layer's
// world and the runtime provider's. Each passes its own world (a mutex, the units by address,
// the other advertisers, the radio switch) and its own scheduler.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "tools/simulator/simulated_flat_ble.h"

namespace simulated_link {

// Under the world's lock. True when the link was up; its epoch then changes so that traffic
// of the old link is dropped.
template <typename Record>
bool TakeDownLocked(Record& record) {
    if (!record.linkUp) {
        return false;
    }
    record.linkUp = false;
    ++record.linkEpoch;
    return true;
}

// True when the link was up and went down now.
template <typename World, typename Record>
bool TakeDown(World& world, Record& record) {
    std::lock_guard<std::mutex> lock(world.mutex);
    return TakeDownLocked(record);
}

// A fresh link unless one is up: the unit starts its numbering again. True when it came up.
template <typename World, typename Record>
bool BringUp(World& world, Record& record) {
    {
        std::lock_guard<std::mutex> lock(world.mutex);
        if (record.linkUp) {
            return false;
        }
        record.linkUp = true;
        ++record.linkEpoch;
    }
    record.unit->Connect();
    return true;
}

// Under the world's lock: the units and other advertisers of a new world, the radio on.
template <typename World>
void ReplaceUnitsLocked(World& world, std::vector<SimulatedUnitSetup> units,
                        std::vector<SimulatedAdvertiser> others) {
    using Record = typename decltype(world.units)::mapped_type::element_type;
    world.units.clear();
    for (SimulatedUnitSetup& setup : units) {
        auto record = std::make_shared<Record>();
        record->unit = std::make_shared<SimulatedBaseUnit>(setup.unit);
        record->setup = std::move(setup);
        world.units[record->setup.address] = std::move(record);
    }
    world.others = std::move(others);
    world.radioOff = false;
}

struct WriteDrops {
    bool before = false;
    bool after = false;
};

// Under the world's lock: the drops that strike the n-th write of a connection, cleared, as
// each strikes once.
inline WriteDrops TakeWriteDrops(SimulatedLinkFaults& faults, int writeNumber) {
    WriteDrops drops;
    drops.before = faults.dropBeforeWrite == writeNumber;
    drops.after = faults.dropAfterWrite == writeNumber;
    faults.dropBeforeWrite = drops.before ? 0 : faults.dropBeforeWrite;
    faults.dropAfterWrite = drops.after ? 0 : faults.dropAfterWrite;
    return drops;
}

// After a write: the unit's idle-drop fault, armed until the next write. schedule(delay, task)
// runs the task after delay on the platform's clock; drop(record) takes the link down.
template <typename World, typename Record, typename Schedule, typename Drop>
void ArmIdleDrop(World& world, const std::shared_ptr<Record>& record, Schedule schedule,
                 Drop drop) {
    std::chrono::milliseconds idle{0};
    size_t writes = 0;
    {
        std::lock_guard<std::mutex> lock(world.mutex);
        idle = record->setup.faults.dropWhenIdle;
        writes = record->written.size();
    }
    if (idle.count() <= 0) {
        return;
    }
    World* shared = &world;  // process-wide, never destroyed
    schedule(idle, [shared, record, writes, drop] {
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            auto& fault = record->setup.faults.dropWhenIdle;
            if (record->written.size() != writes || fault.count() <= 0) {
                return;
            }
            fault = std::chrono::milliseconds(0);
        }
        drop(record);
    });
}

}  // namespace simulated_link
