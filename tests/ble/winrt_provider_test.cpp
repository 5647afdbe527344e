// The shipping flat layer, unmodified, reaching the provider through the runtime's activation:
// the whole conversation under each way Windows may run a completion handler.
#include "tests/ble/winrt_provider_support.h"

#include <roapi.h>
#include <winstring.h>

#include "ble/windows10_backend.h"
#include "ble/winrt_ble_interfaces.h"

namespace {

using winrt_provider::CompletionTiming;

class ProviderConversation : public ProviderTest {
protected:
    void Install(SimulatedUnitSetup home) {
        SimulatedUnitSetup office = HomeUnit(0xA4CF12D0E102ull, L"ov-Office");
        office.rssiReadings = {-58, -61};
        winrt_provider::Install({home, office}, {{0x001A7DDA7111ull, L"Headphones", {-40, -42}},
                                                 {0x001A7DDA7113ull, L"", {-61}}});
    }

    // Scan, connect, Wi-Fi scan and send through the backend, as the wizard runs them; the
    // lists' contents are the portable core's, checked on the host.
    void RunFullSetup() {
        Windows10Backend backend;
        std::vector<BaseUnitInfo> units;
        std::wstring error;
        ASSERT_TRUE(backend.ScanBaseUnits(units, error)) << Narrow(error);
        ASSERT_EQ(units.size(), 2u);
        ASSERT_TRUE(backend.Connect(units[0].address, error)) << Narrow(error);
        std::vector<WifiNetwork> networks;
        ASSERT_TRUE(backend.ScanWifiNetworks(networks, error)) << Narrow(error);
        EXPECT_EQ(networks.size(), 2u);
        const std::string payload = R"(ap_ssid="Tervane Home",ap_password="correct horse")";
        ASSERT_TRUE(backend.SendConfiguration(payload, error)) << Narrow(error);
        backend.Disconnect();
        EXPECT_EQ(winrt_provider::ReceivedPayloads(kUnitAddress),
                  (std::vector<std::vector<uint8_t>>{{payload.begin(), payload.end()}}));
        EXPECT_TRUE(winrt_provider::ProtocolErrors(kUnitAddress).empty());
        const winrt_provider::Counts counts = winrt_provider::CurrentCounts();
        EXPECT_EQ(counts.cachedReads, 0) << "discovery must read from the device";
        EXPECT_EQ(counts.writesWithoutResponse, 0);
        EXPECT_EQ(counts.unimplementedCalls, 0);
    }
};

TEST_F(ProviderConversation, FullSetupOnTheSteadyClockReachesTheUnitThroughTheRuntime) {
    Install(HomeUnit());
    RunFullSetup();
}

// Each completion timing alone, then one event thread with latency on every step.
TEST_F(ProviderConversation, EachCompletionTimingCarriesTheWholeConversation) {
    UseFastClock(20);
    SimulatedUnitSetup slow = HomeUnit();
    slow.connectStepLatency = std::chrono::milliseconds(300);
    slow.writeLatency = std::chrono::milliseconds(15);
    slow.answerDelay = std::chrono::milliseconds(2500);
    slow.unit.checksums = true;
    const struct {
        CompletionTiming timing;
        int eventThreads;
        SimulatedUnitSetup home;
    } cases[] = {{CompletionTiming::Later, 3, HomeUnit()},
                 {CompletionTiming::BeforePutReturns, 3, HomeUnit()},
                 {CompletionTiming::InsidePutCompleted, 3, HomeUnit()},
                 {CompletionTiming::Mixed, 1, slow}};
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.timing));
        winrt_provider::Reset();
        SetFaults([&](winrt_provider::PlatformFaults& faults) {
            faults.timing = c.timing;
            faults.eventThreads = c.eventThreads;
        });
        Install(c.home);
        RunFullSetup();
        ExpectCleanLedger();
    }
}

// The ledger itself must be able to fail: a reference kept, and one released twice.
TEST_F(ProviderTest, TheLedgerSeesAKeptAndAnOverReleasedReference) {
    HSTRING name = nullptr;
    ASSERT_EQ(WindowsCreateString(winrt_ble::kBufferClass,
                                  static_cast<UINT32>(wcslen(winrt_ble::kBufferClass)), &name),
              S_OK);
    winrt_ble::IBufferFactory* factory = nullptr;
    ASSERT_EQ(RoGetActivationFactory(name, winrt_ble::IID_BufferFactory,
                                     reinterpret_cast<void**>(&factory)),
              S_OK);
    WindowsDeleteString(name);
    winrt_ble::IBuffer* buffer = nullptr;
    ASSERT_EQ(factory->Create(8, &buffer), S_OK);
    factory->Release();
    EXPECT_EQ(winrt_provider::CurrentCounts().liveObjects, 1);
    buffer->Release();
    buffer->Release();
    const winrt_provider::Counts counts = winrt_provider::CurrentCounts();
    EXPECT_EQ(counts.liveObjects, 0);
    EXPECT_EQ(counts.overReleases, 1);
    winrt_provider::Reset();  // forgives the deliberate over-release before the ledger check
}

// The link's state as the runtime reports it, through the status property and its event: a
// reconnect waits for the closed link to go down, and a send after a drop connects afresh. The
// schedules of faults run on the host, over the simulated layer.
TEST_F(ProviderTest, ALingeringOrDroppedLinkIsSeenThroughTheRuntime) {
    UseFastClock(50);
    SimulatedUnitSetup unit = HomeUnit();
    unit.linger = std::chrono::seconds(4);
    winrt_provider::Install({unit});
    Windows10Backend backend;
    std::wstring error;
    ASSERT_TRUE(backend.Connect(kUnitAddress, error)) << Narrow(error);
    backend.Disconnect();
    const auto start = CurrentBleClock().Now();
    ASSERT_TRUE(backend.Connect(kUnitAddress, error)) << Narrow(error);
    EXPECT_GE(CurrentBleClock().Now() - start, unit.linger);
    winrt_provider::DropLink(kUnitAddress);
    winrt_provider::Settle();
    const std::string payload = "ssid=\"Home\"";
    ASSERT_TRUE(backend.SendConfiguration(payload, error)) << Narrow(error);
    EXPECT_EQ(winrt_provider::ReceivedPayloads(kUnitAddress),
              (std::vector<std::vector<uint8_t>>{{payload.begin(), payload.end()}}));
    EXPECT_TRUE(winrt_provider::ProtocolErrors(kUnitAddress).empty());
    backend.Disconnect();
}

}  // namespace
