#include "tests/app/ble_world.h"

namespace test_ble_world {

void Install(std::vector<SimulatedUnitSetup> units, std::vector<SimulatedAdvertiser> others) {
    SimulatedBle::Install(std::move(units), std::move(others));
    SimulatedBle::UseVirtualTime(true);
}

bool Reset(std::string& problem) {
    problem.clear();
    SimulatedBle::Reset();
    return true;
}

std::vector<std::vector<uint8_t>> ReceivedPayloads(uint64_t address) {
    return SimulatedBle::ReceivedPayloads(address);
}

}  // namespace test_ble_world
