// Prints how long provisioning takes through the simulated link on the steady clock, against
// the floor the protocol sets (writes answered one at a time, 10 ms between frames, then the
// listen for the unit's error report), and how long a base-unit scan takes against its 4.05 s.
// Figures only; nothing is asserted.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ble/windows10_backend.h"
#include "tools/simulator/simulated_flat_ble.h"

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
    constexpr uint64_t kAddress = 0x0000A0B0C0D0E0F0u;
    SimulatedBle::Reset();
    std::printf("%-8s %-8s %-7s %-10s %-10s\n", "payload", "latency", "frames", "floor ms",
                "mean ms");
    for (const int latencyMs : {0, 15}) {
        SimulatedUnitSetup setup;
        setup.address = kAddress;
        setup.writeLatency = std::chrono::milliseconds(latencyMs);
        SimulatedBle::Install({setup});
        Windows10Backend backend;
        std::wstring error;
        backend.Connect(kAddress, error);
        for (const size_t length : {16u, 17u, 100u, 600u}) {
            const size_t frames = length <= 16 ? 1 : 1 + (length - 3) / 14;
            const double floorMs =
                static_cast<double>(frames * latencyMs + (frames - 1) * 10 + kRefusalListenMs);
            const auto start = Clock::now();
            for (int run = 0; run < 5; ++run) {
                backend.SendConfiguration(std::string(length, 'p'), error);
            }
            std::printf("%-8zu %-8d %-7zu %-10.1f %-10.2f%s\n", length, latencyMs, frames, floorMs,
                        MillisecondsSince(start) / 5, error.empty() ? "" : " (send failed)");
        }
    }
    std::printf("listening for a refusal adds %u ms to every send\n", kRefusalListenMs);
    SimulatedUnitSetup unit;
    unit.address = kAddress;
    unit.rssiReadings = {-70, -60, -65};
    SimulatedBle::Install({unit});
    Windows10Backend backend;
    std::vector<BaseUnitInfo> units;
    std::wstring error;
    const auto start = Clock::now();
    const bool ok = backend.ScanBaseUnits(units, error);
    std::printf("scan: %s, %zu unit(s), %.1f ms against 4050 ms\n", ok ? "ok" : "failed",
                units.size(), MillisecondsSince(start));
    SimulatedBle::Reset();
    return 0;
}
