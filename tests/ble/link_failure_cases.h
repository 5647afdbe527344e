#pragma once

// The sentences each platform fault must end in, the same over the simulated flat layer and the
// shipping one over the Windows Runtime provider.

#include <cstdint>
#include <string>
#include <vector>

#include "ble/flat_text.h"
#include "tools/simulator/simulated_flat_ble.h"

struct ConnectFailureCase {
    SimulatedConnectFailure failure;
    std::wstring sentence;
};

inline std::vector<ConnectFailureCase> ConnectFailureCases() {
    using F = SimulatedConnectFailure;
    return {{F::DeviceNotFound, ble_text::kDeviceNotOpened},
            {F::ServiceDiscoveryFails, ble_text::kServicesNotRead},
            {F::NoBlufiService, ble_text::kNoBlufiService},
            {F::CharacteristicDiscoveryFails, ble_text::kCharacteristicsNotRead},
            {F::MissingWriteCharacteristic, ble_text::kCharacteristicMissing},
            {F::MissingNotifyCharacteristic, ble_text::kCharacteristicMissing},
            {F::NotificationsRefused, ble_text::kNotificationsNotEnabled},
            {F::PlatformError, L"Windows 10/11 Bluetooth connection failed (0x80070005)"}};
}

struct ScannerFailureCase {
    SimulatedScanner scanner;
    uint32_t code;  // of a failing Start or Stop
    std::wstring sentence;
};

inline std::vector<ScannerFailureCase> ScannerFailureCases() {
    using S = SimulatedScanner;
    return {{S::RadioOff, 0, ble_text::kRadioOff},
            {S::RadioUnavailable, 0, ble_text::kRadioOff},
            {S::ScannerFails, 0, ble_text::kScannerFailed},
            {S::StartFails, 0x80070015u, L"Windows 10/11 advertisement scan failed (0x80070015)"},
            {S::StopFails, 0x8000000Eu, L"Windows 10/11 advertisement scan failed (0x8000000E)"}};
}

struct WriteFailureCase {
    SimulatedWriteFailure failure;
    std::wstring sentence;
};

inline std::vector<WriteFailureCase> WriteFailureCases() {
    return {{SimulatedWriteFailure::Status, ble_text::kWriteRejected},
            {SimulatedWriteFailure::Platform, L"Windows 10/11 BLUFI write failed (0x80650003)"}};
}
