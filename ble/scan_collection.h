#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "ble/ov_ble.h"

// Names of base units begin with O and V in either case. Plain ASCII folding: only o and v
// fold to O and V, and a locale-dependent mapping would differ between C libraries.
bool HasBaseUnitNamePrefix(const std::wstring& name);

// Higher rssi first; equal rssi by name in plain UTF-16 code-unit order, a prefix first.
bool HeardBefore(int32_t leftRssi, const std::wstring& leftName, int32_t rightRssi,
                 const std::wstring& rightName);

struct HeardDevice {
    uint64_t address = 0;
    int32_t rssi = 0;
    std::wstring name;
};

// What one advertisement scan has heard. The watcher's handlers run on platform threads and
// hold shared ownership; once the scan is finished the collection is closed and any event
// still under way is dropped, so nothing the handlers do can reach a scan that has returned.
class ScanCollection {
public:
    // One advertisement or scan response. Events without a base-unit name are ignored; per
    // address the strongest reading is kept together with the name that came with it first.
    void RecordAdvertisement(uint64_t address, int16_t rssi, const std::wstring& name);
    // The watcher stopped; 0 (our own Stop) leaves an earlier error in place.
    void RecordStop(int32_t error);
    void Close();

    int32_t StopError() const;
    // Devices strongest first.
    std::vector<HeardDevice> SortedDevices() const;

private:
    mutable std::mutex mutex_;
    bool closed_ = false;
    std::map<uint64_t, HeardDevice> devices_;
    int32_t stopError_ = 0;
};

// Fills at most capacity entries (names cut to 127 units) and returns the number written.
int WriteScanDevices(const std::vector<HeardDevice>& devices, OV_BLE_SCAN_DEVICE* out,
                     int capacity);
