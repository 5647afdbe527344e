#pragma once

#include <cstdint>

// The flat Bluetooth layer under Windows10Backend: one implementation over the Windows Runtime
// (shipping program) and one over simulated base units (tests, demo); an executable links
// exactly one. Every function returns 1 on success and 0 on failure; error buffers are UTF-16,
// may be null, and on success hold the empty string. The layer knows nothing of BluFi frames.

struct OV_BLE_SCAN_DEVICE {
    uint64_t address;
    int32_t rssi;       // strongest reading of the scan, dBm
    wchar_t name[128];  // advertised local name, zero-terminated, at most 127 units
};

extern "C" {

// Listens to advertisements for four seconds and fills up to capacity entries, strongest first,
// with the devices whose name begins with OV in either case.
int OvBleScan(OV_BLE_SCAN_DEVICE* devices, int capacity, int* count, wchar_t* errorBuffer,
              int errorCapacity);

// Opens the device, waits (bounded) until any link left up from before has gone down, finds the
// BluFi service and its two characteristics and switches notifications on. The device's
// connection status is watched from then on. Always starts from a closed link.
int OvBleConnect(uint64_t address, wchar_t* errorBuffer, int errorCapacity);

// One write with response of at most 20 bytes. errorBuffer holds 512 units.
int OvBleWrite(const uint8_t* bytes, int count, wchar_t* errorBuffer);

// Takes the oldest queued notification (at most 512 bytes stored), waiting up to timeoutMs for
// one. errorBuffer holds 512 units.
int OvBleWaitNotification(uint8_t* buffer, int* length, uint32_t timeoutMs, wchar_t* errorBuffer);

// 1 while the link of the last OvBleConnect has stayed up since; 0 once the device reported it
// Disconnected (even if it came back: the unit then numbers from 0 again) or when none is open.
// A wait under way when the link goes down fails at once.
int OvBleLinkIntact();

// Closes the link and drops queued notifications. Never fails; safe when nothing is connected.
void OvBleDisconnect();

}  // extern "C"

constexpr int kOvBleScanCapacity = 64;
constexpr int kOvBleNotificationCapacity = 512;
