// The shipping flat layer over a platform that misbehaves the ways Windows can. Whatever
// happens, every flat function ends with one of its sentences, no handler runs once the call
// has returned, and the reference ledger is clean (checked after every test). Which sentence
// each fault maps to is the portable link's, checked on the host; here one case wires each.
#include "tests/ble/winrt_provider_support.h"

#include <regex>

#include "ble/notification_queue.h"

namespace {

using Faults = winrt_provider::PlatformFaults;

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

// A failed connect holds nothing; an address nobody answers gives no device.
TEST_F(ProviderFaults, AFailedConnectEndsInItsSentenceAndHoldsNothing) {
    SimulatedUnitSetup unit = HomeUnit();
    unit.connectFailure = SimulatedConnectFailure::NoBlufiService;
    winrt_provider::Install({unit});
    EXPECT_EQ(Connect(), 0);
    EXPECT_EQ(Said(), ble_text::kNoBlufiService);
    EXPECT_EQ(WriteWifiListRequest(), 0);
    EXPECT_EQ(Said(), ble_text::kNotConnected);
    EXPECT_EQ(Connect(0x112233445566ull), 0);
    EXPECT_EQ(Said(), ble_text::kDeviceNotOpened);
}

TEST_F(ProviderFaults, AFailingScanStartEndsInItsCodedSentence) {
    SetFaults([&](Faults& faults) {
        faults.scanner = SimulatedScanner::StartFails;
        faults.scannerErrorCode = 0x80070015u;
    });
    winrt_provider::Install({HomeUnit()});
    int count = 9;
    EXPECT_EQ(Scan(count), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(Said(), L"Windows 10/11 advertisement scan failed (0x80070015)");
    ExpectNoLateHandlerCall("scan");
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

TEST_F(ProviderFaults, RefusedRemovalsAndLateEventsNeverReachAReturnedCall) {
    SetFaults([](Faults& faults) {
        faults.removeFails = true;
        faults.advertisementsAfterStop = 25;
        faults.notificationsAfterClose = 25;
    });
    winrt_provider::Install({HomeUnit()});
    int count = 0;
    EXPECT_EQ(Scan(count), 1) << Narrow(Said());
    EXPECT_EQ(count, 1);
    ExpectNoLateHandlerCall("scan");
    ASSERT_EQ(Connect(), 1) << Narrow(Said());
    OvBleDisconnect();
    ExpectNoLateHandlerCall("disconnect");
}

TEST_F(ProviderFaults, HandlersTheWatcherDroppedItselfAreRemovedWithoutHarm) {
    SetFaults([](Faults& faults) { faults.forgetHandlers = true; });
    winrt_provider::Install({HomeUnit()});
    int count = 0;
    EXPECT_EQ(Scan(count), 1) << Narrow(Said());
    EXPECT_EQ(winrt_provider::CurrentCounts().staleTokens, 2)
        << "both removals reached the platform";
    ExpectNoLateHandlerCall("scan");
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
    int length = 0;
    while (Wait(0, &length) == 1) {
        ++drained;
        EXPECT_EQ(length, 4);
    }
    EXPECT_EQ(drained, NotificationQueue::kCapacity);
    EXPECT_GT(winrt_provider::CurrentCounts().handlerThreads, 1);
}

}  // namespace
