#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/simulator/simulated_flat_ble.h"

// The radio behind the real backend in window tests: the simulated flat layer in virtual time
// (ble_world_simulated.cpp), or the shipping flat layer over the test provider of the Bluetooth
// runtime classes (ble_world_winrt.cpp). Which one is chosen by what the executable links.
namespace test_ble_world {

void Install(std::vector<SimulatedUnitSetup> units, std::vector<SimulatedAdvertiser> others);
// Back to an empty world; false with the reason when the layer left references behind.
bool Reset(std::string& problem);
std::vector<std::vector<uint8_t>> ReceivedPayloads(uint64_t address);

}  // namespace test_ble_world
