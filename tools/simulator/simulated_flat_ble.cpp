#include "tools/simulator/simulated_flat_ble.h"

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "ble/async_completion.h"
#include "ble/flat_text.h"
#include "ble/gatt_link.h"
#include "ble/ov_ble.h"
#include "ble/scan_runner.h"
#include "tools/simulator/simulated_timeline.h"

namespace {

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

World& TheWorld() {
    static World* world = new World;  // outlives every static user, including the link
    return *world;
}

SimulatedTimeline& Timeline() {
    static SimulatedTimeline* timeline = new SimulatedTimeline;
    return *timeline;
}

// One asynchronous platform step that completes after latency (never when hang), awaited with
// the link's bound the way the Windows Runtime layer awaits its operations.
int32_t RunStep(std::chrono::milliseconds latency, bool hang, std::chrono::milliseconds timeout) {
    if (!hang && latency < timeout) {
        // Completes in time: the caller simply waits that long, on the link's clock.
        if (latency.count() > 0) {
            CurrentBleClock().SleepFor(latency);
        }
        return 0;
    }
    auto done = std::make_shared<AsyncCompletion>();
    if (!hang) {
        Timeline().Schedule(Timeline().Now() + latency,
                            [done] { done->Complete(kAsyncCompleted); });
    }
    int32_t status = 0;
    if (!done->WaitFor(timeout, status)) {
        return static_cast<int32_t>(kHrTimeout);
    }
    return 0;
}

// Under the world's lock. True when the link was up.
bool TakeDownLocked(UnitRecord& record) {
    if (!record.linkUp) {
        return false;
    }
    record.linkUp = false;
    ++record.linkEpoch;
    return true;
}

// The open device's status-changed event, raised on a platform thread as Windows does.
void FireStatus(const std::shared_ptr<UnitRecord>& record, bool connected) {
    Timeline().Schedule(Timeline().Now(), [record, connected] {
        std::function<void(bool)> handler;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            if (world.device != record) {
                return;
            }
            handler = world.statusHandler;
        }
        if (handler) {
            handler(connected);
        }
    });
}

void DropUnitLink(const std::shared_ptr<UnitRecord>& record) {
    bool dropped = false;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        dropped = TakeDownLocked(*record);
    }
    if (dropped) {
        FireStatus(record, false);
    }
}

// A fresh link: the unit starts its numbering again.
void BringUp(const std::shared_ptr<UnitRecord>& record) {
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (record->linkUp) {
            return;
        }
        record->linkUp = true;
        ++record->linkEpoch;
    }
    record->unit->Connect();
    FireStatus(record, true);
}

void DeliverNotification(const std::shared_ptr<UnitRecord>& record, uint64_t epoch,
                         uint64_t generation, std::chrono::milliseconds delay,
                         std::chrono::milliseconds spacing, Bytes bytes) {
    TimePoint due = Timeline().Now() + delay;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (world.lastDeliveryGeneration == generation && due < world.lastDelivery + spacing) {
            due = world.lastDelivery + spacing;
        }
        world.lastDelivery = due;
        world.lastDeliveryGeneration = generation;
    }
    Timeline().Schedule(due, [record, epoch, generation, bytes = std::move(bytes)]() mutable {
        std::shared_ptr<NotificationQueue> queue;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            if (world.generation != generation || !world.queue ||
                (record && record->linkEpoch != epoch)) {
                return;
            }
            queue = world.queue;
        }
        queue->Push(std::move(bytes));
    });
}

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

class SimulatedGattPlatform final : public GattPlatform {
public:
    int32_t EnsureApartment() override { return 0; }

    int32_t OpenDevice(uint64_t address, std::chrono::milliseconds timeout, bool& opened) override {
        opened = false;
        std::shared_ptr<UnitRecord> record;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            const auto found = world.units.find(address);
            if (found != world.units.end()) {
                record = found->second;
            }
        }
        const SimulatedConnectFailure failure =
            record ? record->setup.connectFailure : SimulatedConnectFailure::DeviceNotFound;
        if (RadioOff()) {
            return static_cast<int32_t>(kHrDeviceNotReady);
        }
        if (failure == SimulatedConnectFailure::PlatformError) {
            return static_cast<int32_t>(record->setup.connectErrorCode);
        }
        const int32_t hr =
            RunStep(record ? record->setup.connectStepLatency : std::chrono::milliseconds(0),
                    failure == SimulatedConnectFailure::OpenHangs, timeout);
        if (hr != 0 || failure == SimulatedConnectFailure::DeviceNotFound) {
            return hr;
        }
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.device = record;
        opened = true;
        return 0;
    }

    int32_t ReadConnectionStatus(bool& connected) override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (world.radioOff) {
            return static_cast<int32_t>(kHrDeviceNotReady);
        }
        connected = world.device && world.device->linkUp;
        return 0;
    }

    int32_t RegisterStatusHandler(std::function<void(bool)> handler) override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.statusHandler = std::move(handler);
        return 0;
    }

    int32_t ReadServices(std::chrono::milliseconds timeout, int32_t& status,
                         std::vector<BleUuid>& services) override {
        const auto record = Device();
        const int32_t hr = RunStep(record->setup.connectStepLatency, false, timeout);
        if (hr != 0) {
            return hr;
        }
        BringUp(record);
        const auto failure = record->setup.connectFailure;
        bool unreachable = failure == SimulatedConnectFailure::ServiceDiscoveryFails;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            record->gattActive = true;
            if (failure == SimulatedConnectFailure::ServiceDiscoveryUnreachableOnce &&
                !record->discoveryFailedOnce) {
                record->discoveryFailedOnce = true;
                unreachable = true;
            }
        }
        status = unreachable ? kGattUnreachable : kGattSuccess;
        services = {BluetoothUuid(0x1800), BluetoothUuid(0x180A)};
        if (failure != SimulatedConnectFailure::NoBlufiService) {
            services.push_back(BluetoothUuid(0xFFFF));
        }
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.offeredServices = services;
        return 0;
    }

    int32_t KeepService(size_t index) override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (index >= world.offeredServices.size()) {
            return static_cast<int32_t>(0x8000000Bu);  // out of bounds
        }
        world.service = true;
        return 0;
    }

    int32_t ReadCharacteristics(std::chrono::milliseconds timeout, int32_t& status,
                                std::vector<BleUuid>& characteristics) override {
        const auto record = Device();
        const int32_t hr = RunStep(record->setup.connectStepLatency, false, timeout);
        if (hr != 0) {
            return hr;
        }
        const auto failure = record->setup.connectFailure;
        status = failure == SimulatedConnectFailure::CharacteristicDiscoveryFails ? kGattUnreachable
                                                                                  : kGattSuccess;
        characteristics.clear();
        if (failure != SimulatedConnectFailure::MissingWriteCharacteristic) {
            characteristics.push_back(BluetoothUuid(0xFF01));
        }
        if (failure != SimulatedConnectFailure::MissingNotifyCharacteristic) {
            characteristics.push_back(BluetoothUuid(0xFF02));
        }
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.offeredCharacteristics = characteristics;
        return 0;
    }

    int32_t KeepCharacteristics(size_t writeIndex, size_t notifyIndex) override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        const size_t size = world.offeredCharacteristics.size();
        if (writeIndex >= size || notifyIndex >= size) {
            return static_cast<int32_t>(0x8000000Bu);
        }
        world.writeCharacteristic = true;
        world.notifyCharacteristic = true;
        return 0;
    }

    int32_t RegisterNotificationHandler(const std::shared_ptr<NotificationQueue>& queue) override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.queue = queue;
        ++world.generation;
        return 0;
    }

    int32_t EnableNotifications(std::chrono::milliseconds timeout, int32_t& status) override {
        const auto record = Device();
        const auto failure = record->setup.connectFailure;
        const int32_t hr =
            RunStep(record->setup.connectStepLatency,
                    failure == SimulatedConnectFailure::NotificationSwitchHangs, timeout);
        if (hr != 0) {
            return hr;
        }
        if (failure == SimulatedConnectFailure::NotificationsRefused) {
            status = kGattAccessDenied;
            return 0;
        }
        status = kGattSuccess;
        uint64_t generation = 0;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            generation = world.generation;
            world.writesThisConnection = 0;
        }
        const std::chrono::milliseconds delay = record->setup.answerDelay;
        const std::chrono::milliseconds spacing = record->setup.notificationSpacing;
        const std::weak_ptr<UnitRecord> weak = record;
        record->unit->SetNotificationSink(
            [weak, generation, delay, spacing](const Bytes& notification) {
                const auto unit = weak.lock();
                if (!unit) {
                    return;
                }
                uint64_t epoch = 0;
                {
                    World& world = TheWorld();
                    std::lock_guard<std::mutex> lock(world.mutex);
                    int& lose = unit->setup.faults.loseNotification;
                    if (lose > 0 && --lose == 0) {
                        return;
                    }
                    epoch = unit->linkEpoch;
                }
                DeliverNotification(unit, epoch, generation, delay, spacing, notification);
            });
        return 0;
    }

    bool HasWriteCharacteristic() override {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        return world.writeCharacteristic;
    }

    int32_t WriteWithResponse(const uint8_t* bytes, size_t count, std::chrono::milliseconds timeout,
                              int32_t& status) override {
        const auto record = Device();
        int writeNumber = 0;
        bool dropBefore = false;
        bool dropAfter = false;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            if (world.radioOff) {
                return static_cast<int32_t>(kHrDeviceNotReady);
            }
            writeNumber = ++world.writesThisConnection;
            SimulatedLinkFaults& faults = record->setup.faults;
            dropBefore = faults.dropBeforeWrite == writeNumber;
            dropAfter = faults.dropAfterWrite == writeNumber;
            faults.dropBeforeWrite = dropBefore ? 0 : faults.dropBeforeWrite;
            faults.dropAfterWrite = dropAfter ? 0 : faults.dropAfterWrite;
        }
        if (dropBefore) {
            DropUnitLink(record);
        }
        const SimulatedUnitSetup& setup = record->setup;
        const bool failing = setup.failWriteNumber > 0 && writeNumber == setup.failWriteNumber;
        if (failing && setup.writeFailure == SimulatedWriteFailure::Platform) {
            return static_cast<int32_t>(setup.writeErrorCode);
        }
        const int32_t hr =
            RunStep(setup.writeLatency,
                    failing && setup.writeFailure == SimulatedWriteFailure::Hang, timeout);
        if (hr != 0) {
            return hr;
        }
        if (failing) {
            status = kGattUnreachable;
            return 0;
        }
        Bytes frame(bytes, bytes + count);
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            record->written.push_back(frame);
            record->writeTimes.push_back(Timeline().Now());
        }
        // A write on a link that went down brings it back, as Windows does.
        BringUp(record);
        // The firmware's verdict on the frame travels back as notifications, not as the
        // write's status.
        record->unit->WriteFrame(frame);
        if (dropAfter) {
            DropUnitLink(record);
        }
        DropWhenIdle(record);
        status = kGattSuccess;
        return 0;
    }

    void Close() override {
        std::shared_ptr<UnitRecord> record;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            record = std::move(world.device);
            world.device.reset();
            world.statusHandler = nullptr;
            world.queue.reset();
            ++world.generation;
            world.service = false;
            world.writeCharacteristic = false;
            world.notifyCharacteristic = false;
            world.offeredServices.clear();
            world.offeredCharacteristics.clear();
        }
        if (record) {
            record->unit->SetNotificationSink(nullptr);
            LetLinkGo(record);
        }
    }

private:
    static void DropWhenIdle(const std::shared_ptr<UnitRecord>& record) {
        std::chrono::milliseconds idle{0};
        size_t writes = 0;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            idle = record->setup.faults.dropWhenIdle;
            writes = record->written.size();
        }
        if (idle.count() <= 0) {
            return;
        }
        Timeline().Schedule(Timeline().Now() + idle, [record, writes] {
            {
                World& world = TheWorld();
                std::lock_guard<std::mutex> lock(world.mutex);
                if (record->written.size() != writes ||
                    record->setup.faults.dropWhenIdle.count() <= 0) {
                    return;
                }
                record->setup.faults.dropWhenIdle = std::chrono::milliseconds(0);
            }
            DropUnitLink(record);
        });
    }

    // Once nothing holds it the platform lets the link go, after its linger.
    static void LetLinkGo(const std::shared_ptr<UnitRecord>& record) {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        record->gattActive = false;
        if (record->setup.linger.count() <= 0) {
            TakeDownLocked(*record);
            return;
        }
        const uint64_t epoch = record->linkEpoch;
        Timeline().Schedule(Timeline().Now() + record->setup.linger, [record, epoch] {
            World& w = TheWorld();
            std::lock_guard<std::mutex> l(w.mutex);
            if (record->linkEpoch == epoch && !record->gattActive) {
                TakeDownLocked(*record);
            }
        });
    }

    static bool RadioOff() {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        return world.radioOff;
    }

    static std::shared_ptr<UnitRecord> Device() {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        return world.device;
    }
};

SimulatedScanPlatform& ScanPlatformInstance() {
    static SimulatedScanPlatform* platform = new SimulatedScanPlatform;
    return *platform;
}

GattLink& Link() {
    static SimulatedGattPlatform* platform = new SimulatedGattPlatform;
    static GattLink* link = new GattLink(*platform);
    return *link;
}

std::shared_ptr<UnitRecord> FindUnit(uint64_t address) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    const auto found = world.units.find(address);
    return found == world.units.end() ? nullptr : found->second;
}

}  // namespace

extern "C" int OvBleScan(OV_BLE_SCAN_DEVICE* devices, int capacity, int* count,
                         wchar_t* errorBuffer, int errorCapacity) {
    return RunAdvertisementScan(ScanPlatformInstance(), devices, capacity, count, errorBuffer,
                                errorCapacity);
}

extern "C" int OvBleConnect(uint64_t address, wchar_t* errorBuffer, int errorCapacity) {
    return Link().Connect(address, errorBuffer, errorCapacity);
}

extern "C" int OvBleWrite(const uint8_t* bytes, int count, wchar_t* errorBuffer) {
    return Link().Write(bytes, count, errorBuffer);
}

extern "C" int OvBleWaitNotification(uint8_t* buffer, int* length, uint32_t timeoutMs,
                                     wchar_t* errorBuffer) {
    return Link().WaitNotification(buffer, length, timeoutMs, errorBuffer);
}

extern "C" int OvBleLinkIntact() {
    return Link().LinkIntact();
}

extern "C" void OvBleDisconnect() {
    Link().Disconnect();
}

void SimulatedBle::Install(std::vector<SimulatedUnitSetup> units,
                           std::vector<SimulatedAdvertiser> others) {
    Link().Disconnect();
    Timeline().Settle();
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    world.units.clear();
    for (auto& setup : units) {
        auto record = std::make_shared<UnitRecord>();
        record->unit = std::make_shared<SimulatedBaseUnit>(setup.unit);
        record->setup = std::move(setup);
        world.units[record->setup.address] = std::move(record);
    }
    world.others = std::move(others);
    world.radioOff = false;
    world.lateDelivered = 0;
    world.scansStarted = 0;
}

void SimulatedBle::InstallNeighbourhood(SimulatedNeighbourhood neighbourhood) {
    Install(std::move(neighbourhood.units), std::move(neighbourhood.others));
}

SimulatedNeighbourhood SampleNeighbourhood() {
    SimulatedNeighbourhood world;
    SimulatedUnitSetup living;
    living.address = 0x0CB815A0C001u;
    living.name = L"OV Living Room";
    living.rssiReadings = {-58, -52, -55, -61};
    living.unit.networks = {{"Harbour View", -48},
                            {"Harbour View 5G", -55},
                            {"Caf\xC3\xA9 Nordlys", -67},
                            {"Guest", -71}};
    living.writeLatency = std::chrono::milliseconds(8);
    world.units.push_back(living);

    SimulatedUnitSetup garage;
    garage.address = 0x0CB815A0C002u;
    garage.name = L"OV Garage";
    garage.rssiReadings = {-84, -79, -88};
    garage.unit.networks = {{"Harbour View", -77}, {"Workshop", -62}};
    garage.answerDelay = std::chrono::milliseconds(8000);  // the slow one
    garage.writeLatency = std::chrono::milliseconds(20);
    world.units.push_back(garage);

    SimulatedUnitSetup attic;
    attic.address = 0x0CB815A0C003u;
    attic.name = L"ov attic";
    attic.rssiReadings = {-70, -66};
    attic.unit.networks = {{"Harbour View", -80}};
    attic.unit.misbehaviour.answerWithErrorReport = true;
    world.units.push_back(attic);

    world.others = {{0x5A11F00D0001u, L"Headphones", {-45, -47}}, {0x5A11F00D0002u, L"", {-60}}};
    return world;
}

void SimulatedBle::Reset() {
    Install({}, {});
    SetScanner(SimulatedScanner::Normal);
    SetLateAdvertisementAfterStop(false);
    UseVirtualTime(false);
}

void SimulatedBle::SetScanner(SimulatedScanner scanner, uint32_t scannerErrorCode) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    world.scanner = scanner;
    world.scannerErrorCode = scannerErrorCode;
}

void SimulatedBle::SetLateAdvertisementAfterStop(bool late) {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    world.lateAdvertisement = late;
}

void SimulatedBle::UseVirtualTime(bool on, uint32_t tickStart) {
    Timeline().SetVirtual(on, tickStart);
    SetBleClock(on ? &Timeline() : nullptr);
}

std::chrono::steady_clock::time_point SimulatedBle::Now() {
    return CurrentBleClock().Now();
}

void SimulatedBle::AdvanceTime(std::chrono::milliseconds duration) {
    CurrentBleClock().SleepFor(duration);
    Timeline().Settle();
}

std::vector<std::vector<uint8_t>> SimulatedBle::ReceivedPayloads(uint64_t address) {
    const auto record = FindUnit(address);
    return record ? record->unit->ReceivedCustomData() : std::vector<Bytes>{};
}

std::vector<std::vector<uint8_t>> SimulatedBle::WrittenFrames(uint64_t address) {
    const auto record = FindUnit(address);
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return record ? record->written : std::vector<Bytes>{};
}

std::vector<std::chrono::steady_clock::time_point> SimulatedBle::WriteTimes(uint64_t address) {
    const auto record = FindUnit(address);
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return record ? record->writeTimes : std::vector<TimePoint>{};
}

int SimulatedBle::WifiListRequests(uint64_t address) {
    const auto record = FindUnit(address);
    return record ? record->unit->WifiListRequests() : 0;
}

std::vector<std::string> SimulatedBle::ProtocolErrors(uint64_t address) {
    const auto record = FindUnit(address);
    return record ? record->unit->ProtocolErrors() : std::vector<std::string>{};
}

bool SimulatedBle::SendFromConnectedUnit(uint8_t type, const std::vector<uint8_t>& data) {
    std::shared_ptr<UnitRecord> record;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (!world.queue) {
            return false;
        }
        record = world.device;
    }
    record->unit->SendNotification(type, data);
    Timeline().Settle();
    return true;
}

bool SimulatedBle::InjectNotification(const std::vector<uint8_t>& bytes) {
    uint64_t generation = 0;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        if (!world.queue) {
            return false;
        }
        generation = world.generation;
    }
    DeliverNotification(nullptr, 0, generation, std::chrono::milliseconds(0),
                        std::chrono::milliseconds(0), bytes);
    Timeline().Settle();
    return true;
}

void SimulatedBle::DropLink() {
    std::shared_ptr<UnitRecord> record;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        record = world.device;
    }
    if (record) {
        DropUnitLink(record);
    }
    Timeline().Settle();
}

void SimulatedBle::SetFaults(uint64_t address, const SimulatedLinkFaults& faults) {
    const auto record = FindUnit(address);
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    if (record) {
        record->setup.faults = faults;
    }
}

void SimulatedBle::SetRadioOff(bool off) {
    std::shared_ptr<UnitRecord> open;
    bool dropped = false;
    {
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.radioOff = off;
        world.scanner = off ? SimulatedScanner::RadioOff : SimulatedScanner::Normal;
        for (auto& entry : world.units) {
            const bool down = off && TakeDownLocked(*entry.second);
            if (down && entry.second == world.device) {
                open = entry.second;
                dropped = true;
            }
        }
    }
    if (dropped) {
        FireStatus(open, false);
    }
    Timeline().Settle();
}

bool SimulatedBle::LinkUp(uint64_t address) {
    const auto record = FindUnit(address);
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return record && record->linkUp;
}

uint64_t SimulatedBle::ConnectedAddress() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.writeCharacteristic && world.device ? world.device->setup.address : 0;
}

bool SimulatedBle::ScanHandlersRegistered() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.scanHandlers != nullptr;
}

bool SimulatedBle::NotificationHandlerRegistered() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.queue != nullptr;
}

int SimulatedBle::LateAdvertisementsDelivered() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.lateDelivered;
}

int SimulatedBle::ScansStarted() {
    World& world = TheWorld();
    std::lock_guard<std::mutex> lock(world.mutex);
    return world.scansStarted;
}

void SimulatedBle::Settle() {
    Timeline().Settle();
}
