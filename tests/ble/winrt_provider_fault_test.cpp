// The shipping flat layer over a platform that misbehaves the ways Windows can: failing and
// null-yielding calls, statuses other than success, devices that are gone, operations that never
// finish, refused removals, events after Stop, notifications after Close and floods. Whatever
// happens, every flat function ends with one of its sentences, no handler runs once the call
// has returned, and the reference ledger is clean (checked after every test).
#include "tests/ble/winrt_provider_support.h"

#include <set>

#include "ble/notification_queue.h"

namespace {

using Faults = winrt_provider::PlatformFaults;

// The sentences a flat function may end with: fixed ones, and the code-carrying ones with an
// HRESULT in parentheses or a full stop.
bool IsFlatSentence(const std::wstring& text) {
    const wchar_t* fixed[] = {ble_text::kRadioOff,
                              ble_text::kScannerFailed,
                              ble_text::kDeviceNotOpened,
                              ble_text::kServicesNotRead,
                              ble_text::kNoBlufiService,
                              ble_text::kCharacteristicsNotRead,
                              ble_text::kCharacteristicMissing,
                              ble_text::kNotificationsNotEnabled,
                              ble_text::kNotConnected,
                              ble_text::kWriteRejected,
                              ble_text::kNotificationTimeout,
                              ble_text::kNotificationFailed};
    for (const wchar_t* sentence : fixed) {
        if (text == sentence) {
            return true;
        }
    }
    const wchar_t* coded[] = {ble_text::kScanFailed, ble_text::kConnectionFailed,
                              ble_text::kWriteFailed};
    for (const wchar_t* start : coded) {
        const std::wstring prefix = start;
        if (text.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        const std::wstring rest = text.substr(prefix.size());
        if (rest == L".") {
            return true;
        }
        if (rest.size() == 13 && rest.compare(0, 4, L" (0x") == 0 && rest.back() == L')' &&
            rest.find_first_not_of(L"0123456789ABCDEF", 4) == 12) {
            return true;
        }
    }
    return false;
}

class ProviderFaults : public ProviderTest {
protected:
    struct Flow {
        bool found = false;  // the scan listed the unit
        bool connected = false;
        bool wrote = false;
        bool answered = false;
        std::vector<std::wstring> failures;

        bool Complete() const { return found && connected && wrote && answered; }
    };

    // Scan, connect, ask for the Wi-Fi list and wait for the first answer, then disconnect.
    Flow RunFlow() {
        Flow flow;
        wchar_t error[kOvBleErrorCapacity];
        OV_BLE_SCAN_DEVICE devices[8];
        int count = 0;
        if (OvBleScan(devices, 8, &count, error, kOvBleErrorCapacity) == 1) {
            flow.found = count == 1 && devices[0].address == kUnitAddress;
        } else {
            flow.failures.push_back(Text(error));
        }
        if (OvBleConnect(kUnitAddress, error, kOvBleErrorCapacity) == 1) {
            flow.connected = true;
            const uint8_t request[4] = {0x24, 0x00, 0x00, 0x00};
            flow.wrote = OvBleWrite(request, 4, error) == 1;
            if (!flow.wrote) {
                flow.failures.push_back(Text(error));
            }
            uint8_t answer[kOvBleNotificationCapacity];
            int length = 0;
            flow.answered = OvBleWaitNotification(answer, &length, 3000, error) == 1;
            if (!flow.answered) {
                flow.failures.push_back(Text(error));
            }
        } else {
            flow.failures.push_back(Text(error));
        }
        OvBleDisconnect();
        return flow;
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

    // Every provider method a clean flow calls.
    std::vector<std::string> CallsOfACleanFlow() {
        winrt_provider::Install({HomeUnit()});
        const Flow flow = RunFlow();
        EXPECT_TRUE(flow.Complete());
        EXPECT_TRUE(winrt_provider::Settle());
        return winrt_provider::Calls();
    }

    // Runs the flow once per call with the fault applied to that call alone.
    void RunWithEachCallFaulty(bool yieldNull, const std::set<std::string>& harmless) {
        UseFastClock(40);
        const std::vector<std::string> calls = CallsOfACleanFlow();
        ASSERT_GT(calls.size(), 30u);
        for (const std::string& call : calls) {
            winrt_provider::Reset();
            SetFaults(
                [&](Faults& faults) { (yieldNull ? faults.nullCall : faults.failCall) = call; });
            winrt_provider::Install({HomeUnit()});
            const Flow flow = RunFlow();
            for (const std::wstring& failure : flow.failures) {
                EXPECT_TRUE(IsFlatSentence(failure)) << call << ": " << Narrow(failure);
            }
            if (harmless.count(call) == 0) {
                EXPECT_FALSE(flow.Complete()) << call << " failed unnoticed";
            }
            ExpectNoLateHandlerCall(call);
            ExpectCleanLedger(call);
        }
    }
};

TEST_F(ProviderFaults, EveryCallFailingEndsInASentenceWithNothingLeft) {
    // Results nobody can act on: removals and closes on the way out, a stop event's error
    // when the stop was ours.
    RunWithEachCallFaulty(
        false, {"Watcher.remove_Received", "Watcher.remove_Stopped", "StoppedArgs.get_Error",
                "Characteristic.remove_ValueChanged", "Device.remove_ConnectionStatusChanged",
                "Service.Close", "Device.Close", "DeviceOperation.Close", "ServicesOperation.Close",
                "CharacteristicsOperation.Close", "DescriptorWriteOperation.Close",
                "WriteOperation.Close"});
}

TEST_F(ProviderFaults, EveryCallYieldingNullEndsInASentenceWithNothingLeft) {
    // Calls without a pointer result cannot yield null.
    RunWithEachCallFaulty(true, {"DllGetActivationFactory",
                                 "Watcher.put_ScanningMode",
                                 "Watcher.add_Received",
                                 "Watcher.add_Stopped",
                                 "Watcher.Start",
                                 "Watcher.get_Status",
                                 "Watcher.Stop",
                                 "Watcher.remove_Received",
                                 "Watcher.remove_Stopped",
                                 "ReceivedArgs.get_BluetoothAddress",
                                 "ReceivedArgs.get_RawSignalStrengthInDBm",
                                 "StoppedArgs.get_Error",
                                 "ServicesResult.get_Status",
                                 "ServiceList.get_Size",
                                 "Service.get_Uuid",
                                 "CharacteristicsResult.get_Status",
                                 "CharacteristicList.get_Size",
                                 "Characteristic.get_Uuid",
                                 "Characteristic.add_ValueChanged",
                                 "Characteristic.remove_ValueChanged",
                                 "Device.get_ConnectionStatus",
                                 "Device.add_ConnectionStatusChanged",
                                 "Device.remove_ConnectionStatusChanged",
                                 "Buffer.get_Length",
                                 "Buffer.put_Length",
                                 "Service.Close",
                                 "Device.Close",
                                 "DeviceOperation.put_Completed",
                                 "DeviceOperation.Close",
                                 "ServicesOperation.put_Completed",
                                 "ServicesOperation.Close",
                                 "CharacteristicsOperation.put_Completed",
                                 "CharacteristicsOperation.Close",
                                 "DescriptorWriteOperation.put_Completed",
                                 "DescriptorWriteOperation.GetResults",
                                 "DescriptorWriteOperation.Close",
                                 "WriteOperation.put_Completed",
                                 "WriteOperation.GetResults",
                                 "WriteOperation.Close"});
}

TEST_F(ProviderFaults, ConnectStepsEndInTheirSentence) {
    UseFastClock(40);
    const struct {
        SimulatedConnectFailure failure;
        std::wstring sentence;
    } cases[] = {
        {SimulatedConnectFailure::DeviceNotFound, ble_text::kDeviceNotOpened},
        {SimulatedConnectFailure::ServiceDiscoveryFails, ble_text::kServicesNotRead},
        {SimulatedConnectFailure::NoBlufiService, ble_text::kNoBlufiService},
        {SimulatedConnectFailure::CharacteristicDiscoveryFails, ble_text::kCharacteristicsNotRead},
        {SimulatedConnectFailure::MissingWriteCharacteristic, ble_text::kCharacteristicMissing},
        {SimulatedConnectFailure::MissingNotifyCharacteristic, ble_text::kCharacteristicMissing},
        {SimulatedConnectFailure::NotificationsRefused, ble_text::kNotificationsNotEnabled},
        {SimulatedConnectFailure::PlatformError,
         L"Windows 10/11 Bluetooth connection failed (0x80070005)"},
    };
    for (const auto& c : cases) {
        SimulatedUnitSetup unit = HomeUnit();
        unit.connectFailure = c.failure;
        winrt_provider::Install({unit});
        wchar_t error[kOvBleErrorCapacity];
        EXPECT_EQ(OvBleConnect(kUnitAddress, error, kOvBleErrorCapacity), 0);
        EXPECT_EQ(Text(error), c.sentence) << static_cast<int>(c.failure);
        const uint8_t frame[4] = {0x24, 0, 0, 0};
        EXPECT_EQ(OvBleWrite(frame, 4, error), 0) << "a failed connect holds nothing";
        EXPECT_EQ(Text(error), ble_text::kNotConnected);
        EXPECT_TRUE(winrt_provider::Settle());
        ExpectCleanLedger(std::to_string(static_cast<int>(c.failure)));
    }
}

TEST_F(ProviderFaults, AnAddressNobodyAnswersGivesNoDevice) {
    winrt_provider::Install({HomeUnit()});
    wchar_t error[kOvBleErrorCapacity];
    EXPECT_EQ(OvBleConnect(0x112233445566ull, error, kOvBleErrorCapacity), 0);
    EXPECT_EQ(Text(error), ble_text::kDeviceNotOpened);
}

TEST_F(ProviderFaults, ScannerFaultsEndInTheirSentence) {
    UseFastClock(40);
    const struct {
        SimulatedScanner scanner;
        std::wstring sentence;
    } cases[] = {
        {SimulatedScanner::RadioOff, ble_text::kRadioOff},
        {SimulatedScanner::RadioUnavailable, ble_text::kRadioOff},
        {SimulatedScanner::ScannerFails, ble_text::kScannerFailed},
        {SimulatedScanner::StartFails, L"Windows 10/11 advertisement scan failed (0x80070015)"},
        {SimulatedScanner::StopFails, L"Windows 10/11 advertisement scan failed (0x80070015)"},
    };
    for (const auto& c : cases) {
        SetFaults([&](Faults& faults) {
            faults.scanner = c.scanner;
            faults.scannerErrorCode = 0x80070015u;
        });
        winrt_provider::Install({HomeUnit()});
        wchar_t error[kOvBleErrorCapacity];
        OV_BLE_SCAN_DEVICE devices[4];
        int count = 9;
        EXPECT_EQ(OvBleScan(devices, 4, &count, error, kOvBleErrorCapacity), 0);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(Text(error), c.sentence) << static_cast<int>(c.scanner);
        ExpectNoLateHandlerCall(std::to_string(static_cast<int>(c.scanner)));
        ExpectCleanLedger(std::to_string(static_cast<int>(c.scanner)));
    }
}

// The program's own bounds on operations the platform never finishes, measured on the link's
// clock: 60 seconds for a connect step, 10 for a write.
TEST_F(ProviderFaults, OperationsThatNeverFinishAreGivenUpAtTheirBound) {
    UseFastClock(40);
    const struct {
        const char* what;
        SimulatedConnectFailure connectFailure;
        int hangingWrite;
        std::chrono::seconds bound;
        std::wstring sentence;
    } cases[] = {
        {"open", SimulatedConnectFailure::OpenHangs, 0, std::chrono::seconds(60),
         L"Windows 10/11 Bluetooth connection failed (0x800705B4)"},
        {"notification switch", SimulatedConnectFailure::NotificationSwitchHangs, 0,
         std::chrono::seconds(60), L"Windows 10/11 Bluetooth connection failed (0x800705B4)"},
        {"write", SimulatedConnectFailure::None, 1, std::chrono::seconds(10),
         L"Windows 10/11 BLUFI write failed (0x800705B4)"},
    };
    for (const auto& c : cases) {
        SimulatedUnitSetup unit = HomeUnit();
        unit.connectFailure = c.connectFailure;
        unit.failWriteNumber = c.hangingWrite;
        unit.writeFailure = SimulatedWriteFailure::Hang;
        winrt_provider::Install({unit});
        wchar_t error[kOvBleErrorCapacity];
        const auto start = CurrentBleClock().Now();
        int result = OvBleConnect(kUnitAddress, error, kOvBleErrorCapacity);
        if (c.hangingWrite > 0) {
            ASSERT_EQ(result, 1) << Narrow(Text(error));
            const uint8_t frame[4] = {0x24, 0, 0, 0};
            result = OvBleWrite(frame, 4, error);
        }
        const auto elapsed = CurrentBleClock().Now() - start;
        EXPECT_EQ(result, 0) << c.what;
        EXPECT_EQ(Text(error), c.sentence) << c.what;
        EXPECT_GE(elapsed, c.bound) << c.what;
        EXPECT_LT(elapsed, c.bound + std::chrono::seconds(15)) << c.what;
        OvBleDisconnect();
        EXPECT_TRUE(winrt_provider::Settle());
        ExpectCleanLedger(c.what);
    }
}

TEST_F(ProviderFaults, WriteFailuresEndInTheirSentenceAndKeepTheLink) {
    UseFastClock(40);
    const struct {
        SimulatedWriteFailure failure;
        std::wstring sentence;
    } cases[] = {
        {SimulatedWriteFailure::Status, ble_text::kWriteRejected},
        {SimulatedWriteFailure::Platform, L"Windows 10/11 BLUFI write failed (0x80650003)"},
    };
    for (const auto& c : cases) {
        SimulatedUnitSetup unit = HomeUnit();
        unit.failWriteNumber = 1;
        unit.writeFailure = c.failure;
        winrt_provider::Install({unit});
        wchar_t error[kOvBleErrorCapacity];
        ASSERT_EQ(OvBleConnect(kUnitAddress, error, kOvBleErrorCapacity), 1);
        const uint8_t frame[4] = {0x24, 0, 0, 0};
        EXPECT_EQ(OvBleWrite(frame, 4, error), 0);
        EXPECT_EQ(Text(error), c.sentence);
        EXPECT_EQ(OvBleWrite(frame, 4, error), 1) << "a failed write leaves the link up";
        OvBleDisconnect();
    }
}

TEST_F(ProviderFaults, RefusedRemovalsAndLateEventsNeverReachAReturnedCall) {
    UseFastClock(40);
    SetFaults([](Faults& faults) {
        faults.removeFails = true;
        faults.advertisementsAfterStop = 25;
        faults.notificationsAfterClose = 25;
    });
    winrt_provider::Install({HomeUnit()});
    wchar_t error[kOvBleErrorCapacity];
    OV_BLE_SCAN_DEVICE devices[4];
    int count = 0;
    EXPECT_EQ(OvBleScan(devices, 4, &count, error, kOvBleErrorCapacity), 1) << Narrow(Text(error));
    EXPECT_EQ(count, 1);
    ExpectNoLateHandlerCall("scan");
    ASSERT_EQ(OvBleConnect(kUnitAddress, error, kOvBleErrorCapacity), 1) << Narrow(Text(error));
    OvBleDisconnect();
    ExpectNoLateHandlerCall("disconnect");
}

TEST_F(ProviderFaults, HandlersTheWatcherDroppedItselfAreRemovedWithoutHarm) {
    UseFastClock(40);
    const struct {
        SimulatedScanner scanner;
        int result;
        std::wstring sentence;
    } cases[] = {
        {SimulatedScanner::Normal, 1, L""},
        {SimulatedScanner::RadioUnavailable, 0, ble_text::kRadioOff},
    };
    for (const auto& c : cases) {
        winrt_provider::Reset();
        SetFaults([&](Faults& faults) {
            faults.forgetHandlers = true;
            faults.scanner = c.scanner;
        });
        winrt_provider::Install({HomeUnit()});
        wchar_t error[kOvBleErrorCapacity];
        OV_BLE_SCAN_DEVICE devices[4];
        int count = 0;
        EXPECT_EQ(OvBleScan(devices, 4, &count, error, kOvBleErrorCapacity), c.result);
        EXPECT_EQ(Text(error), c.sentence);
        EXPECT_EQ(winrt_provider::CurrentCounts().staleTokens, 2)
            << "both removals reached the platform";
        ExpectNoLateHandlerCall(std::to_string(static_cast<int>(c.scanner)));
        ExpectCleanLedger(std::to_string(static_cast<int>(c.scanner)));
    }
}

// Windows may still be delivering a value change when remove_ValueChanged returns; whatever it
// carries belongs to the closed connection and must not reach the next one.
TEST_F(ProviderFaults, ANotificationStillUnderWayAtDisconnectNeverReachesTheNextConnection) {
    UseFastClock(40);
    SetFaults([](Faults& faults) { faults.notificationInFlightAtRemoval = true; });
    winrt_provider::Install({HomeUnit()});
    wchar_t error[kOvBleErrorCapacity];
    ASSERT_EQ(OvBleConnect(kUnitAddress, error, kOvBleErrorCapacity), 1) << Narrow(Text(error));
    OvBleDisconnect();
    ASSERT_EQ(OvBleConnect(kUnitAddress, error, kOvBleErrorCapacity), 1) << Narrow(Text(error));
    ASSERT_EQ(winrt_provider::CurrentCounts().handlerCalls > 0, true);
    uint8_t buffer[kOvBleNotificationCapacity];
    int length = 0;
    EXPECT_EQ(OvBleWaitNotification(buffer, &length, 0, error), 0)
        << "the old connection's value change was queued";
    EXPECT_EQ(Text(error), ble_text::kNotificationTimeout);
}

TEST_F(ProviderFaults, AFloodOfNotificationsKeepsOnlyTheNewest) {
    UseFastClock(40);
    SetFaults([](Faults& faults) {
        faults.notificationFlood = 2000;
        faults.eventThreads = 4;
    });
    winrt_provider::Install({HomeUnit()});
    wchar_t error[kOvBleErrorCapacity];
    ASSERT_EQ(OvBleConnect(kUnitAddress, error, kOvBleErrorCapacity), 1) << Narrow(Text(error));
    ASSERT_TRUE(winrt_provider::Settle(std::chrono::milliseconds(20000)));
    size_t drained = 0;
    uint8_t buffer[kOvBleNotificationCapacity];
    int length = 0;
    while (OvBleWaitNotification(buffer, &length, 0, error) == 1) {
        ++drained;
        EXPECT_EQ(length, 4);
    }
    EXPECT_EQ(drained, NotificationQueue::kCapacity);
    EXPECT_GT(winrt_provider::CurrentCounts().handlerThreads, 1);
}

}  // namespace
