// Figures only: how long a configuration send takes through the simulated link on the steady
// clock, against the floor of 15 ms per write, 10 ms between frames and the refusal listen.
#include <chrono>
#include <cstdio>
#include <string>

#include "ble/windows10_backend.h"
#include "tools/simulator/simulated_flat_ble.h"

int main() {
    constexpr uint64_t kAddress = 0x0000A0B0C0D0E0F0u;
    SimulatedUnitSetup setup;
    setup.address = kAddress;
    setup.writeLatency = std::chrono::milliseconds(15);
    SimulatedBle::Install({setup});
    Windows10Backend backend;
    std::wstring error;
    backend.Connect(kAddress, error);
    for (const size_t length : {16u, 17u, 100u, 600u}) {
        const size_t frames = length <= 16 ? 1 : 1 + (length - 3) / 14;
        const auto start = std::chrono::steady_clock::now();
        backend.SendConfiguration(std::string(length, 'p'), error);
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        std::printf("%4zu bytes, %2zu frames: %8.1f ms (floor %zu ms)\n", length, frames,
                    took.count(), frames * 15 + (frames - 1) * 10 + kRefusalListenMs);
    }
    SimulatedBle::Reset();
    return 0;
}
