// Sends a Wi-Fi list request to a connected simulated unit that stays silent, feeds the input
// as the notifications that follow, and checks that the scan ends with a result or one
// sentence, within its budget, in virtual time, still connected.
#include <chrono>

#include "ble/windows10_backend.h"
#include "tests/fuzz/fuzz_check.h"
#include "tools/simulator/simulated_flat_ble.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr uint64_t kAddress = 0x112233445566u;
    SimulatedBle::UseVirtualTime(true);
    SimulatedUnitSetup setup;
    setup.address = kAddress;
    setup.unit.misbehaviour.silent = true;
    SimulatedBle::Install({setup});
    Windows10Backend backend;
    std::wstring error;
    Check(backend.Connect(kAddress, error));
    ForEachNotification(
        data, size, 64, [](uint8_t sequence) { return static_cast<uint8_t>(sequence & 0x03); },
        [](const std::vector<uint8_t>& notification) {
            SimulatedBle::InjectNotification(notification);
        });
    const auto start = SimulatedBle::Now();
    std::vector<WifiNetwork> networks;
    const bool ok = backend.ScanWifiNetworks(networks, error);
    Check(SimulatedBle::Now() - start <= std::chrono::milliseconds(20000));
    Check(ok == error.empty());
    for (size_t i = 1; ok && i < networks.size(); ++i) {
        Check(networks[i - 1].rssi >= networks[i].rssi);
    }
    Check(backend.IsConnected());
    return 0;
}
