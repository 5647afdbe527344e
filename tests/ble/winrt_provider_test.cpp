// The shipping flat layer, unmodified, over the test provider of the Windows Runtime classes in
// this suite's own Wine prefix, under each way Windows may run a completion handler and each way
// it may misbehave. Every flat function ends with one of its sentences (which one is the
// portable link's choice, checked on the host), no handler runs once the call has returned, and
// after every test nothing the provider made or holds is left, nothing released twice.

#include <windows.h>
#include <objbase.h>
#include <roapi.h>
#include <winstring.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "ble/ble_clock.h"
#include "ble/flat_text.h"
#include "ble/notification_queue.h"
#include "ble/ov_ble.h"
#include "ble/windows10_backend.h"
#include "ble/winrt_ble_interfaces.h"
#include "common/text_conversion.h"
#include "tools/winrt_provider/winrt_provider.h"

namespace {

using winrt_provider::CompletionTiming;
using Faults = winrt_provider::PlatformFaults;

// The steady clock run faster by a whole factor, shared by the link and the provider, so the
// link's 4-second scan and 60-second bound take a fraction of that in real time.
class FastBleClock final : public BleClock {
public:
    explicit FastBleClock(int factor) : factor_(factor) {}

    TimePoint Now() override {
        return origin_ + (std::chrono::steady_clock::now() - origin_) * factor_;
    }
    void SleepUntil(TimePoint until) override {
        for (TimePoint now = Now(); now < until; now = Now()) {
            std::this_thread::sleep_for(Real(until - now));
        }
    }
    void WaitUntil(std::condition_variable& signal, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline) override {
        signal.wait_for(lock, Real(deadline - Now()));
    }

private:
    // At least a millisecond, so a sleep loop never spins; at most a day.
    std::chrono::milliseconds Real(TimePoint::duration span) const {
        return std::clamp(std::chrono::ceil<std::chrono::milliseconds>(span / factor_),
                          std::chrono::milliseconds(1), std::chrono::milliseconds(86400000));
    }

    const int factor_;
    const TimePoint origin_ = std::chrono::steady_clock::now();
};

class ProviderTest : public ::testing::Test {
protected:
    static constexpr uint64_t kUnitAddress = 0xA4CF12D0E101ull;

    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        std::wstring error;
        ASSERT_TRUE(winrt_provider::RegisterClasses(error)) << Narrow(error);
    }

    void SetUp() override {
        winrt_provider::Reset();
        SetFaults([](winrt_provider::PlatformFaults&) {});
    }

    void TearDown() override {
        OvBleDisconnect();
        ExpectCleanLedger();
        winrt_provider::Reset();
        winrt_provider::UseClock(nullptr);
        SetBleClock(nullptr);
    }

    // Both the link and the provider on a clock factor times as fast as real time.
    void UseFastClock(int factor) {
        clock_ = std::make_unique<FastBleClock>(factor);
        SetBleClock(clock_.get());
        winrt_provider::UseClock(clock_.get());
    }

    static void SetFaults(const std::function<void(winrt_provider::PlatformFaults&)>& change) {
        winrt_provider::PlatformFaults faults;
        faults.advertisementWindow = std::chrono::milliseconds(1000);
        change(faults);
        winrt_provider::SetFaults(faults);
    }

    static void ExpectCleanLedger(const std::string& context = "") {
        EXPECT_TRUE(winrt_provider::Settle()) << context;
        const winrt_provider::Counts counts = winrt_provider::CurrentCounts();
        std::string kinds;
        for (const std::string& kind : counts.liveKinds) {
            kinds += " " + kind;
        }
        EXPECT_EQ(counts.liveObjects, 0) << context << " still held:" << kinds;
        EXPECT_EQ(counts.heldDelegates, 0) << context << " handlers left with the provider";
        EXPECT_EQ(counts.overReleases, 0) << context;
        EXPECT_EQ(counts.callsOnReleased, 0) << context;
        EXPECT_EQ(counts.unknownTokens, 0) << context;
    }

    static SimulatedUnitSetup HomeUnit(uint64_t address = kUnitAddress,
                                       std::wstring name = L"OV-Living Room") {
        SimulatedUnitSetup setup;
        setup.address = address;
        setup.name = std::move(name);
        setup.rssiReadings = {-52, -47, -49};
        setup.unit.networks = {{"Tervane Home", -41}, {"Caf\xC3\xA9 Corner", -70}};
        return setup;
    }

    // The flat calls with this test's error buffer; Said() is their last sentence.
    int Connect(uint64_t address = kUnitAddress) {
        return OvBleConnect(address, text_, kOvBleErrorCapacity);
    }
    int Scan(int& count) {
        OV_BLE_SCAN_DEVICE devices[8];
        count = 0;
        return OvBleScan(devices, 8, &count, text_, kOvBleErrorCapacity);
    }
    int WriteWifiListRequest() {
        const uint8_t frame[4] = {0x24, 0x00, 0x00, 0x00};
        return OvBleWrite(frame, 4, text_);
    }
    int Wait(uint32_t timeoutMs, int* length = nullptr) {
        uint8_t buffer[kOvBleNotificationCapacity];
        int stored = 0;
        return OvBleWaitNotification(buffer, length != nullptr ? length : &stored, timeoutMs,
                                     text_);
    }
    std::wstring Said() const { return TextOfBuffer(text_, kOvBleErrorCapacity); }

    static std::string Narrow(const std::wstring& text) { return Utf16ToUtf8(text); }

private:
    std::unique_ptr<FastBleClock> clock_;
    wchar_t text_[kOvBleErrorCapacity] = {};
};

class ProviderConversation : public ProviderTest {
protected:
    // Another base unit around; other advertisers are left out by the portable core.
    void Install(SimulatedUnitSetup home) {
        winrt_provider::Install({home, HomeUnit(0xA4CF12D0E102ull, L"ov-Office")});
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

// On the steady clock, then each completion timing alone on a fast one, then one event thread
// with latency on every step.
TEST_F(ProviderConversation, EachCompletionTimingCarriesTheWholeConversation) {
    SimulatedUnitSetup slow = HomeUnit();
    slow.connectStepLatency = std::chrono::milliseconds(300);
    slow.writeLatency = std::chrono::milliseconds(15);
    slow.answerDelay = std::chrono::milliseconds(2500);
    slow.unit.checksums = true;
    const struct {
        CompletionTiming timing;
        int eventThreads;
        SimulatedUnitSetup home;
    } cases[] = {{CompletionTiming::Mixed, 3, HomeUnit()},
                 {CompletionTiming::Later, 3, HomeUnit()},
                 {CompletionTiming::BeforePutReturns, 3, HomeUnit()},
                 {CompletionTiming::InsidePutCompleted, 3, HomeUnit()},
                 {CompletionTiming::Mixed, 1, slow}};
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        winrt_provider::Reset();
        SetFaults([&](winrt_provider::PlatformFaults& faults) {
            faults.timing = c.timing;
            faults.eventThreads = c.eventThreads;
        });
        Install(c.home);
        RunFullSetup();
        ExpectCleanLedger();
        if (&c == cases) {
            UseFastClock(20);
        }
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

// The fixed sentences a flat function may end with, or a code-carrying one with an HRESULT in
// parentheses or a full stop.
bool IsFlatSentence(const std::wstring& text) {
    using namespace ble_text;
    for (const std::wstring sentence :
         {kRadioOff, kScannerFailed, kDeviceNotOpened, kServicesNotRead, kNoBlufiService,
          kCharacteristicsNotRead, kCharacteristicMissing, kNotificationsNotEnabled, kNotConnected,
          kWriteRejected, kNotificationTimeout, kNotificationFailed}) {
        if (text == sentence) {
            return true;
        }
    }
    const std::wregex coded(L"(" + std::wstring(kScanFailed) + L"|" + kConnectionFailed + L"|" +
                            kWriteFailed + L")(\\.| \\(0x[0-9A-F]{8}\\))");
    return std::regex_match(text, coded);
}

class ProviderFaults : public ProviderTest {
protected:
    void SetUp() override {
        ProviderTest::SetUp();
        UseFastClock(40);
    }

    // Scan, connect, ask for the Wi-Fi list and wait for the first answer, then disconnect:
    // true when every step succeeded; the sentence of each failing step is added to failures.
    bool RunFlow(std::vector<std::wstring>& failures) {
        int count = 0;
        const auto step = [&](bool ok) {
            if (!ok) {
                failures.push_back(Said());
            }
            return ok;
        };
        const bool scanned = step(Scan(count) == 1) && count == 1;
        const bool answered =
            Connect() == 1 && step(WriteWifiListRequest() == 1) && Wait(3000) == 1;
        step(answered);
        OvBleDisconnect();
        return scanned && answered;
    }

    // After the flat calls have returned nothing may call their handlers any more.
    static void ExpectNoLateHandlerCall(const std::string& context) {
        winrt_provider::MarkReturned();
        EXPECT_TRUE(winrt_provider::Settle()) << context;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        EXPECT_TRUE(winrt_provider::Settle()) << context;
        EXPECT_EQ(winrt_provider::CurrentCounts().lateHandlerCalls, 0) << context;
        winrt_provider::MarkReturned(false);
    }

    // Runs the flow once per call of a clean flow, with the fault applied to that call alone.
    void RunWithEachCallFaulty(bool yieldNull, const std::string& harmless) {
        winrt_provider::Install({HomeUnit()});
        std::vector<std::wstring> failures;
        ASSERT_TRUE(RunFlow(failures));
        ASSERT_TRUE(winrt_provider::Settle());
        const std::vector<std::string> calls = winrt_provider::Calls();
        ASSERT_GT(calls.size(), 30u);
        for (const std::string& call : calls) {
            winrt_provider::Reset();
            SetFaults(
                [&](Faults& faults) { (yieldNull ? faults.nullCall : faults.failCall) = call; });
            winrt_provider::Install({HomeUnit()});
            failures.clear();
            const bool complete = RunFlow(failures);
            for (const std::wstring& failure : failures) {
                EXPECT_TRUE(IsFlatSentence(failure)) << call << ": " << Narrow(failure);
            }
            EXPECT_TRUE(!complete ||
                        (" " + harmless + " ").find(" " + call + " ") != std::string::npos)
                << call << " failed unnoticed";
            ExpectNoLateHandlerCall(call);
            ExpectCleanLedger(call);
        }
    }
};

TEST_F(ProviderFaults, EveryCallFailingEndsInASentenceWithNothingLeft) {
    // Results nobody can act on: removals and closes on the way out, a stop event's error
    // when the stop was ours.
    RunWithEachCallFaulty(
        false,
        "Watcher.remove_Received Watcher.remove_Stopped StoppedArgs.get_Error "
        "Characteristic.remove_ValueChanged Device.remove_ConnectionStatusChanged "
        "Service.Close Device.Close DeviceOperation.Close ServicesOperation.Close "
        "CharacteristicsOperation.Close DescriptorWriteOperation.Close "
        "WriteOperation.Close");
}

TEST_F(ProviderFaults, EveryCallYieldingNullEndsInASentenceWithNothingLeft) {
    // Calls without a pointer result cannot yield null.
    RunWithEachCallFaulty(
        true,
        "DllGetActivationFactory Watcher.put_ScanningMode Watcher.add_Received "
        "Watcher.add_Stopped Watcher.Start Watcher.get_Status Watcher.Stop "
        "Watcher.remove_Received Watcher.remove_Stopped ReceivedArgs.get_BluetoothAddress "
        "ReceivedArgs.get_RawSignalStrengthInDBm StoppedArgs.get_Error "
        "ServicesResult.get_Status ServiceList.get_Size Service.get_Uuid "
        "CharacteristicsResult.get_Status CharacteristicList.get_Size "
        "Characteristic.get_Uuid Characteristic.add_ValueChanged "
        "Characteristic.remove_ValueChanged Device.get_ConnectionStatus "
        "Device.add_ConnectionStatusChanged Device.remove_ConnectionStatusChanged "
        "Buffer.get_Length Buffer.put_Length Service.Close Device.Close "
        "DeviceOperation.put_Completed DeviceOperation.Close "
        "ServicesOperation.put_Completed ServicesOperation.Close "
        "CharacteristicsOperation.put_Completed CharacteristicsOperation.Close "
        "DescriptorWriteOperation.put_Completed DescriptorWriteOperation.GetResults "
        "DescriptorWriteOperation.Close WriteOperation.put_Completed "
        "WriteOperation.GetResults WriteOperation.Close");
}

// The link's own bound on an operation the platform never finishes, on the link's clock.
TEST_F(ProviderFaults, AWriteThatNeverFinishesIsGivenUpAfter10Seconds) {
    SimulatedUnitSetup unit = HomeUnit();
    unit.failWriteNumber = 1;
    unit.writeFailure = SimulatedWriteFailure::Hang;
    winrt_provider::Install({unit});
    ASSERT_EQ(Connect(), 1) << Narrow(Said());
    const auto start = CurrentBleClock().Now();
    EXPECT_EQ(WriteWifiListRequest(), 0);
    const auto elapsed = CurrentBleClock().Now() - start;
    EXPECT_EQ(Said(), L"Windows 10/11 BLUFI write failed (0x800705B4)");
    EXPECT_GE(elapsed, std::chrono::seconds(10));
    EXPECT_LT(elapsed, std::chrono::seconds(25));
}

// Removals the platform refuses, or whose handlers the watcher dropped itself, and events
// after Stop or Close never reach a call that has returned.
TEST_F(ProviderFaults, RefusedOrStaleRemovalsAndLateEventsNeverReachAReturnedCall) {
    for (const bool forget : {false, true}) {
        const std::string context = forget ? "dropped handlers" : "refused removals";
        winrt_provider::Reset();
        SetFaults([&](Faults& faults) {
            faults.removeFails = !forget;
            faults.forgetHandlers = forget;
            faults.advertisementsAfterStop = 25;
            faults.notificationsAfterClose = 25;
        });
        winrt_provider::Install({HomeUnit()});
        int count = 0;
        EXPECT_EQ(Scan(count), 1) << Narrow(Said());
        EXPECT_EQ(count, 1);
        EXPECT_EQ(winrt_provider::CurrentCounts().staleTokens, forget ? 2 : 0) << context;
        ExpectNoLateHandlerCall(context);
        ASSERT_EQ(Connect(), 1) << Narrow(Said());
        OvBleDisconnect();
        ExpectNoLateHandlerCall(context);
        ExpectCleanLedger(context);
    }
}

// Windows may still be delivering a value change when remove_ValueChanged returns; whatever it
// carries belongs to the closed connection and must not reach the next one.
TEST_F(ProviderFaults, ANotificationStillUnderWayAtDisconnectNeverReachesTheNextConnection) {
    SetFaults([](Faults& faults) { faults.notificationInFlightAtRemoval = true; });
    winrt_provider::Install({HomeUnit()});
    ASSERT_EQ(Connect(), 1) << Narrow(Said());
    OvBleDisconnect();
    ASSERT_EQ(Connect(), 1) << Narrow(Said());
    ASSERT_GT(winrt_provider::CurrentCounts().handlerCalls, 0);
    EXPECT_EQ(Wait(0), 0) << "the old connection's value change was queued";
    EXPECT_EQ(Said(), ble_text::kNotificationTimeout);
}

TEST_F(ProviderFaults, AFloodOfNotificationsKeepsOnlyTheNewest) {
    SetFaults([](Faults& faults) {
        faults.notificationFlood = 2000;
        faults.eventThreads = 4;
    });
    winrt_provider::Install({HomeUnit()});
    ASSERT_EQ(Connect(), 1) << Narrow(Said());
    ASSERT_TRUE(winrt_provider::Settle(std::chrono::milliseconds(20000)));
    size_t drained = 0;
    while (Wait(0) == 1) {
        ++drained;
    }
    EXPECT_EQ(drained, NotificationQueue::kCapacity);
    EXPECT_GT(winrt_provider::CurrentCounts().handlerThreads, 1);
}

}  // namespace
