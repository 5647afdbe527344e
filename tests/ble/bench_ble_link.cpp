// Figures only: how long a 600-byte configuration send takes through the simulated link on the
// steady clock, against its floor of 15 ms per write, 10 ms between frames and the refusal
// listen.
#include <chrono>
#include <cstdio>
#include <string>

#include "ble/windows10_backend.h"
#include "tools/simulator/simulated_flat_ble.h"

int main() {
    SimulatedUnitSetup setup;
    setup.address = 0xA0B0C0D0E0F0u;
    setup.writeLatency = std::chrono::milliseconds(15);
    SimulatedBle::Install({setup});
    Windows10Backend backend;
    std::wstring error;
    backend.Connect(setup.address, error);
    const auto start = std::chrono::steady_clock::now();
    backend.SendConfiguration(std::string(600, 'p'), error);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("600 bytes, 43 frames: %.1f ms (floor %d ms)\n", took.count(),
                43 * 15 + 42 * 10 + static_cast<int>(kRefusalListenMs));
    SimulatedBle::Reset();
    return 0;
}
