// The simulated advertisement watcher the shared scan runner drives.

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "ble/async_completion.h"
#include "ble/flat_text.h"
#include "ble/gatt_link.h"
#include "ble/ov_ble.h"
#include "ble/scan_runner.h"
#include "tools/simulator/simulated_world.h"

using namespace simulated_world;

namespace {

class SimulatedScanPlatform final : public ScanPlatform {
public:
    int32_t EnsureApartment() override { return 0; }

    int32_t CreateWatcher() override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.watcherStatus = kWatcherCreated;
        return 0;
    }

    int32_t RegisterHandlers(const std::shared_ptr<ScanCollection>& collection) override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.scanHandlers = std::make_shared<ScanHandlers>(ScanHandlers{collection});
        return 0;
    }

    int32_t Start() override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        ++world.scansStarted;
        if (world.scanner == SimulatedScanner::RadioOff) {
            return static_cast<int32_t>(kHrDeviceNotReady);
        }
        if (world.scanner == SimulatedScanner::StartFails) {
            return static_cast<int32_t>(world.scannerErrorCode);
        }
        world.watcherStatus = kWatcherStarted;
        const TimePoint start = Timeline().Now();
        const std::shared_ptr<ScanHandlers> handlers = world.scanHandlers;
        if (world.scanner == SimulatedScanner::RadioUnavailable ||
            world.scanner == SimulatedScanner::ScannerFails) {
            const int32_t error = world.scanner == SimulatedScanner::RadioUnavailable
                                      ? kBluetoothErrorRadioNotAvailable
                                      : kBluetoothErrorOther;
            Timeline().Schedule(start + std::chrono::milliseconds(20), [handlers, error] {
                {
                    World& w = TheWorld();
                    std::lock_guard<std::mutex> l(w.mutex);
                    if (w.scanHandlers != handlers) {
                        return;
                    }
                    w.watcherStatus = kWatcherAborted;
                }
                handlers->collection->RecordStop(error);
            });
            return 0;
        }
        const auto schedule = [&](uint64_t address, const std::wstring& name,
                                  const std::vector<int16_t>& readings) {
            const size_t count = readings.size();
            for (size_t i = 0; i < count; ++i) {
                const auto offset = std::chrono::milliseconds(
                    static_cast<int64_t>((i + 1) * kScanListenMs / (count + 1)));
                const int16_t rssi = readings[i];
                Timeline().Schedule(start + offset, [handlers, address, rssi, name] {
                    {
                        World& w = TheWorld();
                        std::lock_guard<std::mutex> l(w.mutex);
                        if (w.scanHandlers != handlers || w.watcherStatus != kWatcherStarted) {
                            return;
                        }
                    }
                    handlers->collection->RecordAdvertisement(address, rssi, name);
                });
            }
        };
        for (const auto& entry : world.units) {
            schedule(entry.first, entry.second->setup.name, entry.second->setup.rssiReadings);
        }
        for (const auto& other : world.others) {
            schedule(other.address, other.name, other.rssiReadings);
        }
        return 0;
    }

    int32_t IsStarted(bool& started) override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        started = world.watcherStatus == kWatcherStarted;
        return 0;
    }

    int32_t Stop() override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (world.scanner == SimulatedScanner::StopFails) {
            return static_cast<int32_t>(world.scannerErrorCode);
        }
        world.watcherStatus = kWatcherStopped;
        const std::shared_ptr<ScanHandlers> handlers = world.scanHandlers;
        if (handlers) {
            Timeline().Schedule(Timeline().Now(), [handlers] {
                {
                    World& w = TheWorld();
                    std::lock_guard<std::mutex> l(w.mutex);
                    if (w.scanHandlers != handlers) {
                        return;
                    }
                }
                handlers->collection->RecordStop(0);
            });
        }
        if (world.lateAdvertisement && handlers && !world.units.empty()) {
            // Reaches the handler although it has been removed by then.
            const auto unit = world.units.begin()->second;
            const uint64_t address = unit->setup.address;
            const std::wstring name = unit->setup.name;
            Timeline().Schedule(Timeline().Now() + std::chrono::milliseconds(kScanGraceMs + 30),
                                [handlers, address, name] {
                                    handlers->collection->RecordAdvertisement(address, 20, name);
                                    World& w = TheWorld();
                                    std::lock_guard<std::mutex> l(w.mutex);
                                    ++w.lateDelivered;
                                });
        }
        return 0;
    }

    void UnregisterHandlers() override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.scanHandlers.reset();
    }

    void ReleaseWatcher() override {}
};

SimulatedScanPlatform& ScanPlatformInstance() {
    static SimulatedScanPlatform* platform = new SimulatedScanPlatform;
    return *platform;
}

}  // namespace

extern "C" int OvBleScan(OV_BLE_SCAN_DEVICE* devices, int capacity, int* count,
                         wchar_t* errorBuffer, int errorCapacity) {
    return RunAdvertisementScan(ScanPlatformInstance(), devices, capacity, count, errorBuffer,
                                errorCapacity);
}
