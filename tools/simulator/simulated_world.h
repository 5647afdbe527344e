#pragma once

// The state the simulated platform shares between its scan, its GATT connection and the test
// controls, with the steps that change a unit's link.

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "ble/gatt_link.h"
#include "ble/notification_queue.h"
#include "ble/scan_collection.h"
#include "tools/simulator/simulated_flat_ble.h"
#include "tools/simulator/simulated_timeline.h"
#include "tools/simulator/simulated_unit_link.h"

namespace simulated_world {

using Bytes = std::vector<uint8_t>;
using TimePoint = std::chrono::steady_clock::time_point;

constexpr int32_t kWatcherCreated = 0;
constexpr int32_t kWatcherStarted = 1;
constexpr int32_t kWatcherStopped = 3;
constexpr int32_t kWatcherAborted = 4;
constexpr int32_t kBluetoothErrorRadioNotAvailable = 1;
constexpr int32_t kBluetoothErrorOther = 4;
constexpr int32_t kGattUnreachable = 1;
constexpr int32_t kGattAccessDenied = 3;
constexpr int32_t kAsyncCompleted = 1;

struct UnitRecord {
    SimulatedUnitSetup setup;
    std::shared_ptr<SimulatedBaseUnit> unit;
    std::vector<Bytes> written;
    std::vector<TimePoint> writeTimes;
    // The link as the unit sees it; the epoch changes whenever it comes up or goes down, so
    // traffic of an earlier link is dropped.
    bool linkUp = false;
    uint64_t linkEpoch = 0;
    bool gattActive = false;  // a GATT session holds the link
    bool discoveryFailedOnce = false;
};

struct ScanHandlers {
    std::shared_ptr<ScanCollection> collection;
};

// Everything the simulated platform holds. One mutex; events and platform calls take it only
// briefly and never call into the link while holding it.
struct World {
    std::mutex mutex;
    std::map<uint64_t, std::shared_ptr<UnitRecord>> units;
    std::vector<SimulatedAdvertiser> others;
    SimulatedScanner scanner = SimulatedScanner::Normal;
    uint32_t scannerErrorCode = 0x80004005u;
    bool lateAdvertisement = false;

    // The watcher of the scan under way.
    int32_t watcherStatus = kWatcherCreated;
    std::shared_ptr<ScanHandlers> scanHandlers;
    int lateDelivered = 0;
    int scansStarted = 0;

    // The GATT connection record.
    std::shared_ptr<UnitRecord> device;
    bool service = false;
    bool writeCharacteristic = false;
    bool notifyCharacteristic = false;
    std::shared_ptr<NotificationQueue> queue;  // the registered notification handler
    uint64_t generation = 1;  // changes whenever the handler goes, so late deliveries drop
    int writesThisConnection = 0;
    std::vector<BleUuid> offeredServices;
    std::vector<BleUuid> offeredCharacteristics;
    TimePoint lastDelivery{};
    uint64_t lastDeliveryGeneration = 0;
    std::function<void(bool)> statusHandler;  // of the open device
    bool radioOff = false;
};

World& TheWorld();
SimulatedTimeline& Timeline();

// One asynchronous platform step that completes after latency (never when hang), awaited with
// the link's bound the way the Windows Runtime layer awaits its operations.
int32_t RunStep(std::chrono::milliseconds latency, bool hang, std::chrono::milliseconds timeout);

using simulated_link::TakeDownLocked;

// The open device's status-changed event, raised on a platform thread as Windows does.
void FireStatus(const std::shared_ptr<UnitRecord>& record, bool connected);

void DropUnitLink(const std::shared_ptr<UnitRecord>& record);

// A fresh link: the unit starts its numbering again.
void BringUp(const std::shared_ptr<UnitRecord>& record);

void DeliverNotification(const std::shared_ptr<UnitRecord>& record, uint64_t epoch,
                         uint64_t generation, std::chrono::milliseconds delay,
                         std::chrono::milliseconds spacing, Bytes bytes);

std::shared_ptr<UnitRecord> FindUnit(uint64_t address);

}  // namespace simulated_world
