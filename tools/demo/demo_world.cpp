// The demo program's surroundings: six base units and some other devices around, installed
// before the program starts into the simulated Bluetooth link, or into the test provider of the
// runtime classes when the demo runs over the shipping flat layer, and a record of what each unit
// received, rewritten into "demo-received.txt" in the current folder whenever it changes.
// Linked into the demo flavour only.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tools/demo/demo_flat_layer.h"
#include "tools/demo/demo_scenario.h"
#include "tools/simulator/simulated_flat_ble.h"
#include "tools/winrt_provider/winrt_provider.h"

namespace {

using namespace std::chrono_literals;

// The runtime provider's control, loaded from beside the program when the demo runs over the
// shipping flat layer; null otherwise, or when the DLL is missing (every scan then reports the
// class-not-registered sentence).
const winrt_provider::ProviderControl* LoadProvider() {
    if (!DemoUsesRuntimeProvider()) return nullptr;
    const HMODULE module = LoadLibraryW(L"tervane_winrt_provider.dll");
    if (module == nullptr) return nullptr;
    const auto entry = reinterpret_cast<winrt_provider::ProviderControlEntry>(
        reinterpret_cast<void*>(GetProcAddress(module, winrt_provider::kProviderControlEntry)));
    return entry != nullptr ? entry() : nullptr;
}

const winrt_provider::ProviderControl* Provider() {
    static const winrt_provider::ProviderControl* control = LoadProvider();
    return control;
}

constexpr uint64_t kLivingRoomAddress = 0xA4CF12D0E101ull;
constexpr uint64_t kOfficeAddress = 0xA4CF12D0E102ull;
constexpr uint64_t kAtticAddress = 0xA4CF12D0E103ull;
constexpr uint64_t kGarageAddress = 0xA4CF12D0E104ull;
constexpr uint64_t kHallwayAddress = 0xA4CF12D0E105ull;
constexpr uint64_t kPorchAddress = 0xA4CF12D0E106ull;

std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) out.push_back(static_cast<char>(*text));  // the names are ASCII
    return out;
}

std::vector<SimulatedUnitSetup> Units() {
    const std::string home = Narrow(demo::kHomeNetwork);
    SimulatedUnitSetup livingRoom;
    livingRoom.address = kLivingRoomAddress;
    livingRoom.name = demo::kLivingRoom;
    livingRoom.rssiReadings = {-52, -47, -49};
    livingRoom.unit.networks = {{home, -41},
                                {home + " 5G", -55},
                                {"Caf\xC3\xA9 Corner", -70},
                                {"Neighbour", -78}};
    livingRoom.writeLatency = 4ms;

    SimulatedUnitSetup office;
    office.address = kOfficeAddress;
    office.name = demo::kOffice;
    office.rssiReadings = {-58, -61};
    office.unit.networks = {{home, -45}, {"Office Guest", -62}};
    office.unit.checksums = true;
    office.failWriteNumber = 7;  // the last of the six frames of the first configuration

    SimulatedUnitSetup attic;
    attic.address = kAtticAddress;
    attic.name = demo::kAttic;
    attic.rssiReadings = {-66, -63};
    attic.unit.misbehaviour.answerWithErrorReport = true;

    SimulatedUnitSetup garage;
    garage.address = kGarageAddress;
    garage.name = demo::kGarage;
    garage.rssiReadings = {-75, -71, -73};
    garage.unit.networks = {{home, -80}, {"Garage Extender", -58}};
    garage.answerDelay = 2500ms;
    garage.writeLatency = 15ms;
    garage.connectStepLatency = 300ms;

    // Its link drops in the middle of the first configuration and the platform brings it back
    // for the next frame; after the close it keeps the link longer than the program waits for
    // it to go down, so the retry ends with advice and a fresh connect a little later works.
    SimulatedUnitSetup hallway;
    hallway.address = kHallwayAddress;
    hallway.name = demo::kHallway;
    hallway.rssiReadings = {-68, -70};
    hallway.unit.networks = {{home, -52}};
    hallway.faults.dropBeforeWrite = 4;
    hallway.linger = std::chrono::milliseconds(demo::kHallwayLingerMs);

    // Its link drops while the person types the password.
    SimulatedUnitSetup porch;
    porch.address = kPorchAddress;
    porch.name = demo::kPorch;
    porch.rssiReadings = {-72, -69};
    porch.unit.networks = {{home, -60}, {"Street", -85}};
    porch.faults.dropWhenIdle = std::chrono::milliseconds(demo::kPorchIdleDropMs);

    return {livingRoom, office, attic, garage, hallway, porch};
}

std::vector<SimulatedAdvertiser> Others() {
    return {{0x001A7DDA7111ull, L"Headphones", {-40, -42}},
            {0x001A7DDA7112ull, L"Living Room TV", {-55}},
            {0x001A7DDA7113ull, L"", {-61}}};
}

std::string Printable(const std::vector<uint8_t>& bytes) {
    std::string text;
    for (const uint8_t byte : bytes) {
        if (byte >= 0x20 && byte != 0x7F) {
            text.push_back(static_cast<char>(byte));
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", byte);
            text += escape;
        }
    }
    return text;
}

std::string Report() {
    std::string report;
    for (const SimulatedUnitSetup& unit : Units()) {
        const winrt_provider::ProviderControl* provider = Provider();
        const auto payloads = provider ? provider->receivedPayloads(unit.address)
                                       : SimulatedBle::ReceivedPayloads(unit.address);
        report += Narrow(unit.name.c_str()) + ": " + std::to_string(payloads.size()) +
                  " configuration(s) received\n";
        for (const auto& payload : payloads) {
            report += "  " + Printable(payload) + "\n";
        }
        const auto refused = provider ? provider->protocolErrors(unit.address)
                                      : SimulatedBle::ProtocolErrors(unit.address);
        if (!refused.empty()) {
            report += "  refused " + std::to_string(refused.size()) + " frame(s), the first: " +
                      refused.front() + "\n";
        }
    }
    return report;
}

void WriteReport(const std::string& report) {
    const wchar_t* temporary = L"demo-received.txt.new";
    HANDLE file = CreateFileW(temporary, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    const bool ok = WriteFile(file, report.data(), static_cast<DWORD>(report.size()), &written,
                              nullptr) &&
                    written == report.size();
    CloseHandle(file);
    if (ok) MoveFileExW(temporary, L"demo-received.txt", MOVEFILE_REPLACE_EXISTING);
}

struct DemoWorld {
    DemoWorld() {
        if (const winrt_provider::ProviderControl* provider = Provider()) {
            // Registered in the demo's own prefix, where the flat layer's activation finds it.
            std::wstring error;
            provider->registerClasses(error);
            provider->install(Units(), Others());
        } else if (!DemoUsesRuntimeProvider()) {
            SimulatedBle::Install(Units(), Others());
        }
        std::thread([] {
            std::string written;
            for (;;) {
                const std::string report = Report();
                if (report != written) {
                    WriteReport(report);
                    written = report;
                }
                Sleep(200);
            }
        }).detach();
    }
};

const DemoWorld kDemoWorld;

}  // namespace
