// The simulated GATT connection record the shared link logic drives, and the flat link calls.

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
        return Discover(
            timeout, &World::offeredServices, services,
            [&](const std::shared_ptr<UnitRecord>& record) {
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
            });
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
        const auto find = [&](const std::shared_ptr<UnitRecord>& record) {
            const auto failure = record->setup.connectFailure;
            status = failure == SimulatedConnectFailure::CharacteristicDiscoveryFails
                         ? kGattUnreachable
                         : kGattSuccess;
            characteristics.clear();
            if (failure != SimulatedConnectFailure::MissingWriteCharacteristic) {
                characteristics.push_back(BluetoothUuid(0xFF01));
            }
            if (failure != SimulatedConnectFailure::MissingNotifyCharacteristic) {
                characteristics.push_back(BluetoothUuid(0xFF02));
            }
        };
        return Discover(timeout, &World::offeredCharacteristics, characteristics, find);
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
        simulated_link::WriteDrops drops;
        {
            World& world = TheWorld();
            std::lock_guard<std::mutex> lock(world.mutex);
            if (world.radioOff) {
                return static_cast<int32_t>(kHrDeviceNotReady);
            }
            writeNumber = ++world.writesThisConnection;
            drops = simulated_link::TakeWriteDrops(record->setup.faults, writeNumber);
        }
        if (drops.before) {
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
        if (drops.after) {
            DropUnitLink(record);
        }
        simulated_link::ArmIdleDrop(
            TheWorld(), record,
            [](std::chrono::milliseconds idle, std::function<void()> task) {
                Timeline().Schedule(Timeline().Now() + idle, std::move(task));
            },
            DropUnitLink);
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
    // One discovery step of the open device: find fills found, which the world then keeps as
    // offered for the later pick.
    template <typename Find>
    static int32_t Discover(std::chrono::milliseconds timeout, std::vector<BleUuid> World::*offered,
                            std::vector<BleUuid>& found, Find find) {
        const auto record = Device();
        const int32_t hr = RunStep(record->setup.connectStepLatency, false, timeout);
        if (hr != 0) {
            return hr;
        }
        find(record);
        World& world = TheWorld();
        std::lock_guard<std::mutex> lock(world.mutex);
        world.*offered = found;
        return 0;
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

}  // namespace

GattLink& FlatGattLink() {
    static SimulatedGattPlatform* platform = new SimulatedGattPlatform;
    static GattLink* link = new GattLink(*platform);
    return *link;
}
