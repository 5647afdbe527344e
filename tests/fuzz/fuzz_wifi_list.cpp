// Decodes arbitrary bytes as the data of a Wi-Fi list message and checks what must hold.

#include "ble/windows10_backend.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> list(data, data + size);
    std::vector<WifiNetwork> networks{WifiNetwork{L"stale", 0}};
    const bool ok = DecodeWifiList(list, networks);
    // Each entry takes at least three bytes (length, rssi, one SSID byte).
    Check(networks.size() <= size / 3);
    for (const auto& network : networks) {
        Check(!network.ssid.empty() || size > 0);
        Check(network.rssi >= -128 && network.rssi <= 127);
        Check(network.ssid.size() <= 254);
    }
    if (ok) {
        for (size_t i = 1; i < networks.size(); ++i) {
            Check(networks[i - 1].rssi >= networks[i].rssi);
        }
    }
    return 0;
}
