// Figures only: what the shipping flat layer costs on top of the platform, measured over the
// test provider of the Bluetooth runtime classes on the steady clock (the provider itself
// answers at once). Run by hand in the provider's prefix, from build/windows/tests/ble:
//   WINEPREFIX=$PWD/../../wineprefix-winrt ../../../../tools/wine-run.sh bench_winrt_provider.exe
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ble/windows10_backend.h"
#include "tools/winrt_provider/winrt_provider.h"

namespace {

// Median, least and most of runs of step, in milliseconds.
void Measure(const char* what, int runs, const std::function<void()>& step) {
    std::vector<double> samples;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        step();
        samples.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::sort(samples.begin(), samples.end());
    std::printf("%-44s median %8.3f ms   min %8.3f ms   max %8.3f ms   (%d runs)\n", what,
                samples[samples.size() / 2], samples.front(), samples.back(), runs);
}

}  // namespace

int main() {
    constexpr uint64_t kAddress = 0xA4CF12D0E101ull;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::wstring error;
    if (!winrt_provider::RegisterClasses(error)) {
        std::printf("cannot register the provider\n");
        return 1;
    }
    SimulatedUnitSetup unit;
    unit.address = kAddress;
    unit.unit.networks = {{"Tervane Home", -41}, {"Neighbour", -78}, {"Office Guest", -62}};
    winrt_provider::PlatformFaults faults;
    faults.timing = winrt_provider::CompletionTiming::Later;
    winrt_provider::SetFaults(faults);
    winrt_provider::Install({unit});
    Windows10Backend backend;
    std::vector<WifiNetwork> networks;
    const std::string payload = R"(ap_ssid="Tervane Home",ap_password="correct horse battery")";
    Measure("connect (open, discovery, notifications on)", 15, [&] {
        backend.Disconnect();
        backend.Connect(kAddress, error);
    });
    Measure("Wi-Fi scan (request and 3-network answer)", 15,
            [&] { backend.ScanWifiNetworks(networks, error); });
    Measure("configuration send (10 ms between frames)", 15,
            [&] { backend.SendConfiguration(payload, error); });
    Measure("one 4-byte write with response", 200, [&] {
        backend.WriteBlufiFrame({0x24, 0x00, 0x00, 0x00}, error);
    });
    backend.Disconnect();
    winrt_provider::Settle();
    const winrt_provider::Counts counts = winrt_provider::CurrentCounts();
    std::printf("last error: \"%ls\"; objects still held: %ld, handler references: %ld\n",
                error.c_str(), counts.liveObjects, counts.heldDelegates);
    return 0;
}
