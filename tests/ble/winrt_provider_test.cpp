// The shipping flat layer, unmodified, reaching the provider through RoActivateInstance and
// RoGetActivationFactory: the whole BluFi conversation, under each way Windows may run a
// completion handler, with every reference accounted for afterwards.
#include "tests/ble/winrt_provider_support.h"

#include <roapi.h>
#include <winstring.h>

#include "ble/windows10_backend.h"
#include "ble/winrt_ble_interfaces.h"
#include "blufi/configuration_payload.h"

namespace {

using winrt_provider::CompletionTiming;

std::vector<uint8_t> Payload(const std::wstring& ssid, const std::wstring& password,
                             const std::wstring& username) {
    std::string payload;
    std::wstring error;
    EXPECT_TRUE(BuildConfigurationPayload(ssid, password, username, payload, error));
    return std::vector<uint8_t>(payload.begin(), payload.end());
}

class ProviderConversation : public ProviderTest {
protected:
    void Install() {
        SimulatedAdvertiser headphones{0x001A7DDA7111ull, L"Headphones", {-40, -42}};
        SimulatedAdvertiser nameless{0x001A7DDA7113ull, L"", {-61}};
        SimulatedUnitSetup office = HomeUnit(0xA4CF12D0E102ull, L"ov-Office");
        office.rssiReadings = {-58, -61};
        winrt_provider::Install({HomeUnit(), office}, {headphones, nameless});
    }

    // Scan, connect, Wi-Fi scan and send through the backend, as the wizard runs them.
    void RunFullSetup() {
        Windows10Backend backend;
        std::vector<BaseUnitInfo> units;
        std::wstring error;
        ASSERT_TRUE(backend.ScanBaseUnits(units, error)) << Narrow(error);
        ASSERT_EQ(units.size(), 2u);
        EXPECT_EQ(units[0].name, L"OV-Living Room");
        EXPECT_EQ(units[0].rssi, -47);
        EXPECT_EQ(units[1].name, L"ov-Office");
        ASSERT_TRUE(backend.Connect(units[0].address, error)) << Narrow(error);
        std::vector<WifiNetwork> networks;
        ASSERT_TRUE(backend.ScanWifiNetworks(networks, error)) << Narrow(error);
        ASSERT_EQ(networks.size(), 2u);
        EXPECT_EQ(networks[0].ssid, L"Tervane Home");
        EXPECT_EQ(networks[1].ssid, L"Caf\x00e9 Corner");
        std::string payload;
        ASSERT_TRUE(BuildConfigurationPayload(L"Tervane Home", L"correct horse", L"anna.k", payload,
                                              error));
        ASSERT_TRUE(backend.SendConfiguration(payload, error)) << Narrow(error);
        backend.Disconnect();
        EXPECT_EQ(winrt_provider::ReceivedPayloads(kUnitAddress),
                  std::vector<std::vector<uint8_t>>{
                      Payload(L"Tervane Home", L"correct horse", L"anna.k")});
        EXPECT_TRUE(winrt_provider::ProtocolErrors(kUnitAddress).empty());
    }
};

TEST_F(ProviderConversation, FullSetupOnTheSteadyClockReachesTheUnitThroughTheRuntime) {
    Install();
    RunFullSetup();
    const winrt_provider::Counts counts = winrt_provider::CurrentCounts();
    EXPECT_EQ(counts.cachedReads, 0) << "discovery must read from the device";
    EXPECT_EQ(counts.writesWithoutResponse, 0);
    EXPECT_EQ(counts.unimplementedCalls, 0);
    EXPECT_GT(counts.handlerThreads, 1) << "events and completions come from several threads";
}

TEST_F(ProviderConversation, EachCompletionTimingCarriesTheWholeConversation) {
    const CompletionTiming timings[] = {CompletionTiming::Later, CompletionTiming::BeforePutReturns,
                                        CompletionTiming::InsidePutCompleted};
    UseFastClock(20);
    for (const CompletionTiming timing : timings) {
        SCOPED_TRACE(static_cast<int>(timing));
        winrt_provider::Reset();
        SetFaults([&](winrt_provider::PlatformFaults& faults) { faults.timing = timing; });
        Install();
        RunFullSetup();
        EXPECT_TRUE(winrt_provider::Settle());
        ExpectCleanLedger();
    }
}

TEST_F(ProviderConversation, OneEventThreadAndLatencyOnEveryStepStillComplete) {
    UseFastClock(20);
    SetFaults([](winrt_provider::PlatformFaults& faults) { faults.eventThreads = 1; });
    SimulatedUnitSetup slow = HomeUnit();
    slow.connectStepLatency = std::chrono::milliseconds(300);
    slow.writeLatency = std::chrono::milliseconds(15);
    slow.answerDelay = std::chrono::milliseconds(2500);
    slow.unit.checksums = true;
    winrt_provider::Install({slow});
    Windows10Backend backend;
    std::wstring error;
    ASSERT_TRUE(backend.Connect(kUnitAddress, error)) << Narrow(error);
    std::vector<WifiNetwork> networks;
    ASSERT_TRUE(backend.ScanWifiNetworks(networks, error)) << Narrow(error);
    EXPECT_EQ(networks.size(), 2u);
    backend.Disconnect();
}

// The ledger itself must be able to fail: a reference kept, and one released twice.
TEST_F(ProviderTest, TheLedgerSeesAKeptAndAnOverReleasedReference) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
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

}  // namespace
