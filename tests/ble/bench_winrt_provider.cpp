// Figures only: what the shipping flat layer costs on top of the test provider, which answers
// at once. Run by hand in the provider's prefix, from build/windows/tests/ble:
//   WINEPREFIX=$PWD/../../wineprefix-winrt ../../../../tools/wine-run.sh bench_winrt_provider.exe
#include <windows.h>
#include <objbase.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "ble/windows10_backend.h"
#include "tools/winrt_provider/winrt_provider.h"

int main() {
    constexpr uint64_t kAddress = 0xA4CF12D0E101ull;
    constexpr int kRuns = 15;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::wstring error;
    winrt_provider::RegisterClasses(error);
    SimulatedUnitSetup unit;
    unit.address = kAddress;
    unit.unit.networks = {{"Tervane Home", -41}, {"Office Guest", -62}};
    winrt_provider::Install({unit});
    Windows10Backend backend;
    std::vector<WifiNetwork> networks;
    const auto start = std::chrono::steady_clock::now();
    for (int run = 0; run < kRuns; ++run) {
        backend.Connect(kAddress, error);
        backend.ScanWifiNetworks(networks, error);
        backend.SendConfiguration(R"(ap_ssid="Tervane Home",ap_password="correct horse")", error);
        backend.Disconnect();
    }
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    std::printf("connect, Wi-Fi scan, send, disconnect: %.1f ms a round (%d rounds)\n",
                took.count() / kRuns, kRuns);
    winrt_provider::Settle();
    return 0;
}
