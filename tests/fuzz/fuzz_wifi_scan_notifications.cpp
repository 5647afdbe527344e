// Sends a Wi-Fi list request to a connected simulated unit that stays silent, feeds the input
// as the notifications that follow (each prefixed by its length), and checks that the scan
// ends with a result or one sentence, within its budget, in virtual time.
#include <chrono>
#include <cstdint>
#include <vector>

#include "ble/windows10_backend.h"
#include "tests/fuzz/fuzz_check.h"
#include "tools/simulator/simulated_flat_ble.h"

namespace {

constexpr uint64_t kAddress = 0x112233445566u;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        SimulatedBle::UseVirtualTime(true);
        return true;
    }();
    (void)ready;
    SimulatedUnitSetup setup;
    setup.address = kAddress;
    setup.unit.misbehaviour.silent = true;
    SimulatedBle::Install({setup});
    Windows10Backend backend;
    std::wstring error;
    Check(backend.Connect(kAddress, error));
    size_t offset = 0;
    while (offset < size) {
        const size_t length = data[offset] % 64;
        ++offset;
        const size_t take = length < size - offset ? length : size - offset;
        std::vector<uint8_t> notification(data + offset, data + offset + take);
        offset += take;
        // Steer most notifications onto the expected numbering so deeper paths are reached.
        if (notification.size() >= 3 && (notification[2] & 0x80) == 0) {
            notification[2] = static_cast<uint8_t>(notification[2] & 0x03);
        }
        SimulatedBle::InjectNotification(notification);
    }
    const auto start = SimulatedBle::Now();
    std::vector<WifiNetwork> networks;
    const bool ok = backend.ScanWifiNetworks(networks, error);
    Check(SimulatedBle::Now() - start <= std::chrono::milliseconds(20000));
    Check(ok == error.empty());
    if (ok) {
        for (size_t i = 1; i < networks.size(); ++i) {
            Check(networks[i - 1].rssi >= networks[i].rssi);
        }
    }
    Check(backend.IsConnected());
    return 0;
}
