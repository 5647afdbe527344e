#pragma once

#include <cstdint>
#include <memory>

#include "ble/ov_ble.h"
#include "ble/scan_collection.h"

// The advertisement watcher as the scan needs it. Every call returns an HRESULT-style code
// (0 success); the implementation swallows its own handler errors.
class ScanPlatform {
public:
    virtual ~ScanPlatform() = default;
    virtual int32_t EnsureApartment() = 0;
    // Creates the watcher in active scanning mode, without signal or advertisement filters.
    virtual int32_t CreateWatcher() = 0;
    // The handlers keep the collection alive for as long as they can run.
    virtual int32_t RegisterHandlers(const std::shared_ptr<ScanCollection>& collection) = 0;
    virtual int32_t Start() = 0;
    virtual int32_t IsStarted(bool& started) = 0;
    virtual int32_t Stop() = 0;
    // Undoes whatever registration succeeded; safe to call at any point.
    virtual void UnregisterHandlers() = 0;
    virtual void ReleaseWatcher() = 0;
};

constexpr int kScanListenMs = 4000;
constexpr int kScanGraceMs = 50;

// OvBleScan over a platform: listen for four seconds after Start, stop, wait 50 ms for events
// under way, unregister, then report. On every path, the failing ones too, the watcher is
// stopped and the handlers unregistered before this returns.
int RunAdvertisementScan(ScanPlatform& platform, OV_BLE_SCAN_DEVICE* devices, int capacity,
                         int* count, wchar_t* errorBuffer, int errorCapacity);
