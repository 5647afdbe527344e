// Figures only: what the shipping flat layer costs on top of the platform, measured over the
// test provider of the Bluetooth runtime classes on the steady clock (the provider itself
// answers at once). Run by hand in the provider's prefix, from build/windows/tests/ble:
//   WINEPREFIX=$PWD/../../wineprefix-winrt ../../../../tools/wine-run.sh bench_winrt_provider.exe
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ble/flat_text.h"
#include "ble/ov_ble.h"
#include "ble/windows10_backend.h"
#include "blufi/configuration_payload.h"
#include "tools/winrt_provider/winrt_provider.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr uint64_t kAddress = 0xA4CF12D0E101ull;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void PrintSpread(const char* what, std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    std::printf("%-44s median %8.3f ms   min %8.3f ms   max %8.3f ms   (%zu runs)\n", what,
                samples[samples.size() / 2], samples.front(), samples.back(), samples.size());
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::wstring error;
    if (!winrt_provider::RegisterClasses(error)) {
        std::printf("cannot register the provider\n");
        return 1;
    }
    SimulatedUnitSetup unit;
    unit.address = kAddress;
    unit.name = L"OV-Bench";
    unit.unit.networks = {{"Tervane Home", -41}, {"Neighbour", -78}, {"Office Guest", -62}};
    winrt_provider::PlatformFaults faults;
    faults.timing = winrt_provider::CompletionTiming::Later;
    winrt_provider::SetFaults(faults);
    winrt_provider::Install({unit});

    constexpr int kRuns = 15;
    std::vector<double> connects, wifiScans, sends, writes;
    std::string payload;
    BuildConfigurationPayload(L"Tervane Home", L"correct horse battery", L"demo", payload, error);
    for (int run = 0; run < kRuns; ++run) {
        Windows10Backend backend;
        auto start = Clock::now();
        if (!backend.Connect(kAddress, error)) {
            std::printf("connect failed\n");
            return 1;
        }
        connects.push_back(MillisecondsSince(start));
        std::vector<WifiNetwork> networks;
        start = Clock::now();
        if (!backend.ScanWifiNetworks(networks, error)) {
            std::printf("Wi-Fi scan failed\n");
            return 1;
        }
        wifiScans.push_back(MillisecondsSince(start));
        start = Clock::now();
        if (!backend.SendConfiguration(payload, error)) {
            std::printf("send failed\n");
            return 1;
        }
        sends.push_back(MillisecondsSince(start));
        backend.Disconnect();
    }
    // One write with response through the runtime ABI, without the frame pauses of a send.
    wchar_t text[kOvBleErrorCapacity];
    OvBleConnect(kAddress, text, kOvBleErrorCapacity);
    const uint8_t request[4] = {0x24, 0x00, 0x00, 0x00};
    for (int run = 0; run < 200; ++run) {
        const auto start = Clock::now();
        OvBleWrite(request, 4, text);
        writes.push_back(MillisecondsSince(start));
    }
    OvBleDisconnect();
    winrt_provider::Settle();

    PrintSpread("connect (open, discovery, notifications on)", connects);
    PrintSpread("Wi-Fi scan (request and 3-network answer)", wifiScans);
    PrintSpread("configuration send (10 ms between frames)", sends);
    PrintSpread("one 4-byte write with response", writes);
    const winrt_provider::Counts counts = winrt_provider::CurrentCounts();
    std::printf("objects still held after the runs: %ld, handler references: %ld\n",
                counts.liveObjects, counts.heldDelegates);
    return 0;
}
