#include "tools/simulator/simulated_flat_ble.h"

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

using namespace simulated_world;

void SimulatedBle::Install(std::vector<SimulatedUnitSetup> units,
                           std::vector<SimulatedAdvertiser> others) {
    FlatGattLink().Disconnect();
    Timeline().Settle();
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    simulated_link::ReplaceUnitsLocked(world, std::move(units), std::move(others));
    world.lateDelivered = 0;
    world.scansStarted = 0;
}

void SimulatedBle::InstallNeighbourhood(SimulatedNeighbourhood neighbourhood) {
    Install(std::move(neighbourhood.units), std::move(neighbourhood.others));
}

SimulatedNeighbourhood SampleNeighbourhood() {
    SimulatedNeighbourhood world;
    SimulatedUnitSetup living;
    living.address = 0x0CB815A0C001u;
    living.name = L"OV Living Room";
    living.rssiReadings = {-58, -52, -55, -61};
    living.unit.networks = {{"Harbour View", -48},
                            {"Harbour View 5G", -55},
                            {"Caf\xC3\xA9 Nordlys", -67},
                            {"Guest", -71}};
    living.writeLatency = std::chrono::milliseconds(8);
    world.units.push_back(living);

    SimulatedUnitSetup garage;
    garage.address = 0x0CB815A0C002u;
    garage.name = L"OV Garage";
    garage.rssiReadings = {-84, -79, -88};
    garage.unit.networks = {{"Harbour View", -77}, {"Workshop", -62}};
    garage.answerDelay = std::chrono::milliseconds(8000);  // the slow one
    garage.writeLatency = std::chrono::milliseconds(20);
    world.units.push_back(garage);

    SimulatedUnitSetup attic;
    attic.address = 0x0CB815A0C003u;
    attic.name = L"ov attic";
    attic.rssiReadings = {-70, -66};
    attic.unit.networks = {{"Harbour View", -80}};
    attic.unit.misbehaviour.answerWithErrorReport = true;
    world.units.push_back(attic);

    world.others = {{0x5A11F00D0001u, L"Headphones", {-45, -47}}, {0x5A11F00D0002u, L"", {-60}}};
    return world;
}

void SimulatedBle::Reset() {
    Install({}, {});
    SetScanner(SimulatedScanner::Normal);
    SetLateAdvertisementAfterStop(false);
    UseVirtualTime(false);
}

void SimulatedBle::SetScanner(SimulatedScanner scanner, uint32_t scannerErrorCode) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    world.scanner = scanner;
    world.scannerErrorCode = scannerErrorCode;
}

void SimulatedBle::SetLateAdvertisementAfterStop(bool late) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    world.lateAdvertisement = late;
}

void SimulatedBle::UseVirtualTime(bool on, uint32_t tickStart) {
    Timeline().SetVirtual(on, tickStart);
    SetBleClock(on ? &Timeline() : nullptr);
}

std::chrono::steady_clock::time_point SimulatedBle::Now() {
    return CurrentBleClock().Now();
}

void SimulatedBle::AdvanceTime(std::chrono::milliseconds duration) {
    CurrentBleClock().SleepFor(duration);
    Timeline().Settle();
}

std::vector<std::vector<uint8_t>> SimulatedBle::ReceivedPayloads(uint64_t address) {
    const auto record = FindUnit(address);
    return record ? record->unit->ReceivedCustomData() : std::vector<Bytes>{};
}

std::vector<std::vector<uint8_t>> SimulatedBle::WrittenFrames(uint64_t address) {
    const auto record = FindUnit(address);
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return record ? record->written : std::vector<Bytes>{};
}

std::vector<std::chrono::steady_clock::time_point> SimulatedBle::WriteTimes(uint64_t address) {
    const auto record = FindUnit(address);
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return record ? record->writeTimes : std::vector<TimePoint>{};
}

int SimulatedBle::WifiListRequests(uint64_t address) {
    const auto record = FindUnit(address);
    return record ? record->unit->WifiListRequests() : 0;
}

std::vector<std::string> SimulatedBle::ProtocolErrors(uint64_t address) {
    const auto record = FindUnit(address);
    return record ? record->unit->ProtocolErrors() : std::vector<std::string>{};
}

bool SimulatedBle::SendFromConnectedUnit(uint8_t type, const std::vector<uint8_t>& data) {
    std::shared_ptr<UnitRecord> record;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (!world.queue) {
            return false;
        }
        record = world.device;
    }
    record->unit->SendNotification(type, data);
    Timeline().Settle();
    return true;
}

bool SimulatedBle::InjectNotification(const std::vector<uint8_t>& bytes) {
    uint64_t generation = 0;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (!world.queue) {
            return false;
        }
        generation = world.generation;
    }
    DeliverNotification(nullptr, 0, generation, std::chrono::milliseconds(0),
                        std::chrono::milliseconds(0), bytes);
    Timeline().Settle();
    return true;
}

void SimulatedBle::DropLink() {
    std::shared_ptr<UnitRecord> record;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        record = world.device;
    }
    if (record) {
        DropUnitLink(record);
    }
    Timeline().Settle();
}

void SimulatedBle::SetFaults(uint64_t address, const SimulatedLinkFaults& faults) {
    const auto record = FindUnit(address);
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    if (record) {
        record->setup.faults = faults;
    }
}

void SimulatedBle::SetRadioOff(bool off) {
    std::shared_ptr<UnitRecord> open;
    bool dropped = false;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.radioOff = off;
        world.scanner = off ? SimulatedScanner::RadioOff : SimulatedScanner::Normal;
        for (auto& entry : world.units) {
            const bool down = off && TakeDownLocked(*entry.second);
            if (down && entry.second == world.device) {
                open = entry.second;
                dropped = true;
            }
        }
    }
    if (dropped) {
        FireStatus(open, false);
    }
    Timeline().Settle();
}

bool SimulatedBle::LinkUp(uint64_t address) {
    const auto record = FindUnit(address);
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return record && record->linkUp;
}

uint64_t SimulatedBle::ConnectedAddress() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.writeCharacteristic && world.device ? world.device->setup.address : 0;
}

bool SimulatedBle::ScanHandlersRegistered() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.scanHandlers != nullptr;
}

bool SimulatedBle::NotificationHandlerRegistered() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.queue != nullptr;
}

int SimulatedBle::LateAdvertisementsDelivered() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.lateDelivered;
}

int SimulatedBle::ScansStarted() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.scansStarted;
}

void SimulatedBle::Settle() {
    Timeline().Settle();
}
