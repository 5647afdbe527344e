#pragma once

#include <cstdint>
#include <string>

// Sentences and error-buffer handling shared by every implementation of the flat Bluetooth
// functions, so the simulated link and the Windows Runtime link report failures identically.

constexpr int kOvBleErrorCapacity = 512;

// HRESULT values the link names itself (portable code has no winerror.h).
constexpr uint32_t kHrDeviceNotReady = 0x800710DFu;  // radio off or missing
constexpr uint32_t kHrTimeout = 0x800705B4u;         // an operation we gave up on
constexpr uint32_t kHrChangedMode = 0x80010106u;     // thread already in another apartment
constexpr uint32_t kHrClassNotRegistered = 0x80040154u;
constexpr uint32_t kHrFail = 0x80004005u;

namespace ble_text {
// Discovery
inline constexpr const wchar_t* kRadioOff =
    L"Bluetooth is not enabled. Please turn on Bluetooth and try again.";
inline constexpr const wchar_t* kScannerFailed =
    L"Bluetooth could not be started. Please check Bluetooth and try again.";
inline constexpr const wchar_t* kScanFailed = L"Windows 10/11 advertisement scan failed";
inline constexpr const wchar_t* kBackendScanFailed =
    L"Windows 10/11 Bluetooth advertisement scan failed.";
// Connection
inline constexpr const wchar_t* kDeviceNotOpened =
    L"Windows could not open the selected Bluetooth LE device.";
inline constexpr const wchar_t* kServicesNotRead =
    L"Windows could not read the Bluetooth GATT services from the selected base.";
inline constexpr const wchar_t* kNoBlufiService =
    L"The selected device does not expose the BLUFI service FFFF.";
inline constexpr const wchar_t* kCharacteristicsNotRead =
    L"Windows could not read the BLUFI characteristics.";
inline constexpr const wchar_t* kCharacteristicMissing =
    L"The BLUFI service was found, but FF01 or FF02 is missing.";
inline constexpr const wchar_t* kNotificationsNotEnabled =
    L"Windows could not enable BLUFI notifications on FF02.";
inline constexpr const wchar_t* kConnectionFailed = L"Windows 10/11 Bluetooth connection failed";
// Short enough for one line of the status line.
inline constexpr const wchar_t* kLinkStaysUp =
    L"Please switch the base unit off and on, then try again.";
inline constexpr const wchar_t* kBackendConnectFailed =
    L"Windows 10/11 could not connect to the selected Tervane.";
// Writes and notifications
inline constexpr const wchar_t* kNotConnected = L"No Tervane is connected.";
inline constexpr const wchar_t* kWriteTooLong = L"BLUFI writes must be 20 bytes or less.";
inline constexpr const wchar_t* kWriteRejected = L"Windows could not write BLUFI data to FF01.";
inline constexpr const wchar_t* kWriteFailed = L"Windows 10/11 BLUFI write failed";
inline constexpr const wchar_t* kNotificationTimeout =
    L"Timed out waiting for a BLUFI notification from the Tervane.";
inline constexpr const wchar_t* kLinkLost =
    L"The Bluetooth connection to the Tervane was lost. Please try again.";
inline constexpr const wchar_t* kNotificationFailed =
    L"Could not receive a Bluetooth notification.";
inline constexpr const wchar_t* kFrameTooLong =
    L"BLUFI packet exceeds the 20-byte GATT write limit.";
inline constexpr const wchar_t* kBackendWriteFailed = L"Windows 10/11 could not write BLUFI data.";
inline constexpr const wchar_t* kBackendWaitFailed =
    L"Timed out waiting for a Bluetooth notification.";
// BluFi operations
inline constexpr const wchar_t* kConnectFirst = L"Connect to a Tervane first.";
inline constexpr const wchar_t* kWifiScanTimeout =
    L"The Tervane did not return Wi-Fi scan results within 20 seconds.";
inline constexpr const wchar_t* kWifiScanError =
    L"The Tervane returned a BLUFI error while scanning Wi-Fi.";
inline constexpr const wchar_t* kWifiListMalformed =
    L"The Tervane returned a malformed Wi-Fi scan list.";
inline constexpr const wchar_t* kConfigurationEmpty = L"Configuration data is empty.";
inline constexpr const wchar_t* kConfigurationRefused =
    L"The Tervane did not accept the configuration. Please try again.";
inline constexpr const wchar_t* kConfigurationNotFragmented =
    L"Could not fragment the BLUFI configuration payload.";
}  // namespace ble_text

// fixedText + " (0x%08X)" with upper-case hexadecimal digits.
std::wstring HresultSentence(const wchar_t* fixedText, uint32_t hresult);
// fixedText + "." for failures that carry no code.
std::wstring PlainSentence(const wchar_t* fixedText);

// Stores the empty string, then the message cut to capacity - 1 units plus a terminating zero.
// A null buffer or a capacity below 1 stores nothing.
void CopyToErrorBuffer(const std::wstring& message, wchar_t* buffer, int capacity);

// The text of a zero-terminated buffer of at most capacity units (no terminator needed).
std::wstring TextOfBuffer(const wchar_t* buffer, int capacity);
