// Prints how long provisioning takes through the simulated link on the steady clock, against
// the floor the protocol sets (writes answered one at a time, 10 ms between frames, then the
// listen for the unit's error report), how much of it that listen is, and how
// long a base-unit scan takes against its 4.05 s. Figures only; nothing is asserted.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ble/windows10_backend.h"
#include "blufi/blufi_codec.h"
#include "tools/simulator/simulated_flat_ble.h"

namespace {

using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

size_t FrameCount(size_t payloadLength) {
    BlufiLinkState state;
    ResetBlufiLinkState(state);
    return FragmentBlufiPayload(state, kBlufiTypeCustomData,
                                std::vector<uint8_t>(payloadLength, 'p'))
        .size();
}

}  // namespace

int main() {
    constexpr uint64_t kAddress = 0x0000A0B0C0D0E0F0u;
    constexpr int kRuns = 5;
    SimulatedBle::Reset();
    std::printf("%-8s %-8s %-7s %-10s %-10s %-10s %-7s\n", "payload", "latency", "frames",
                "floor ms", "best ms", "mean ms", "ratio");
    for (const int latencyMs : {0, 15}) {
        SimulatedUnitSetup setup;
        setup.address = kAddress;
        setup.writeLatency = std::chrono::milliseconds(latencyMs);
        SimulatedBle::Install({setup});
        Windows10Backend backend;
        std::wstring error;
        if (!backend.Connect(kAddress, error)) {
            std::printf("connect failed\n");
            return 1;
        }
        for (const size_t length : {16u, 17u, 100u, 600u}) {
            const std::string payload(length, 'p');
            const size_t frames = FrameCount(length);
            const double floorMs = static_cast<double>(frames) * latencyMs +
                                   static_cast<double>(frames - 1) * 10.0 + kRefusalListenMs;
            double best = 1e300;
            double total = 0;
            for (int run = 0; run < kRuns; ++run) {
                const auto start = Clock::now();
                if (!backend.SendConfiguration(payload, error)) {
                    std::printf("send failed\n");
                    return 1;
                }
                const double elapsed = Milliseconds(Clock::now() - start);
                best = std::min(best, elapsed);
                total += elapsed;
            }
            const double mean = total / kRuns;
            std::printf("%-8zu %-8d %-7zu %-10.1f %-10.2f %-10.2f %-7s\n", length, latencyMs,
                        frames, floorMs, best, mean,
                        floorMs > 0 ? std::to_string(mean / floorMs).substr(0, 5).c_str() : "-");
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
    const double scanMs = Milliseconds(Clock::now() - start);
    std::printf("scan: %s, %zu unit(s), %.1f ms against 4050 ms (ratio %.4f)\n",
                ok ? "ok" : "failed", units.size(), scanMs, scanMs / 4050.0);
    SimulatedBle::Reset();
    return 0;
}
