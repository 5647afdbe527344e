#include "tests/ble/unkind_schedule.h"
#include "tests/ble/winrt_provider_support.h"

namespace {

// The seeded schedules through the shipping flat layer and the platform ABI: the connection
// status property and its event, lingering links and drops as the provider plays them. Fewer
// than over the simulated layer, as each takes real time under Wine.
TEST_F(ProviderTest, SeededSchedulesNeverReportADiscardedConfigurationAsSent) {
    UseFastClock(50);
    const UnkindWorld world{
        [](std::vector<SimulatedUnitSetup> units) { winrt_provider::Install(std::move(units)); },
        [] {
            winrt_provider::DropLink(kUnitAddress);
            winrt_provider::Settle();  // the status event has arrived, as over the simulated layer
        },
        [](const SimulatedLinkFaults& faults) {
            winrt_provider::SetLinkFaults(kUnitAddress, faults);
        },
        [](bool off) {
            winrt_provider::SetRadioOff(off);
            winrt_provider::Settle();
        },
        [](std::chrono::milliseconds time) { CurrentBleClock().SleepFor(time); },
        [] { return winrt_provider::ReceivedPayloads(kUnitAddress); }};
    for (unsigned seed = 1; seed <= 40 && !HasFailure(); ++seed) {
        RunUnkindSchedule(seed, kUnitAddress, world);
        EXPECT_TRUE(winrt_provider::Settle());
        ExpectCleanLedger("after schedule " + std::to_string(seed));
    }
}

}  // namespace
