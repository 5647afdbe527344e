#include <windows.h>

#include "ble/ov_ble.h"
#include "tests/app/ble_world.h"
#include "tools/winrt_provider/winrt_provider.h"

namespace test_ble_world {

void Install(std::vector<SimulatedUnitSetup> units, std::vector<SimulatedAdvertiser> others) {
    static const bool registered = [] {
        std::wstring error;
        return winrt_provider::RegisterClasses(error);
    }();
    (void)registered;  // without it every scan reports the class-not-registered code
    winrt_provider::Reset();
    winrt_provider::Install(std::move(units), std::move(others));
}

bool Reset(std::string& problem) {
    problem.clear();
    OvBleDisconnect();
    winrt_provider::Settle();
    const winrt_provider::Counts counts = winrt_provider::CurrentCounts();
    if (counts.liveObjects != 0 || counts.heldDelegates != 0 || counts.overReleases != 0 ||
        counts.callsOnReleased != 0) {
        problem = "references left: " + std::to_string(counts.liveObjects) + " objects, " +
                  std::to_string(counts.heldDelegates) + " handlers, " +
                  std::to_string(counts.overReleases) + " over-releases, " +
                  std::to_string(counts.callsOnReleased) + " calls after release;";
        for (const std::string& kind : counts.liveKinds) {
            problem += " " + kind;
        }
    }
    winrt_provider::Reset();
    return problem.empty();
}

std::vector<std::vector<uint8_t>> ReceivedPayloads(uint64_t address) {
    return winrt_provider::ReceivedPayloads(address);
}

}  // namespace test_ble_world
