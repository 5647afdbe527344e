#pragma once

// The link between the computer and one simulated unit as the platform keeps it: up from the
// first GATT discovery, kept for the unit's linger after the last device holding it closed,
// dropped by a fault or the radio, brought back by the next write (the unit then numbers from
// 0). Every change reaches the ConnectionStatusChanged handlers of the unit's device objects.

#include <memory>
#include <mutex>

#include "ble/winrt_ble_interfaces.h"
#include "tools/simulator/simulated_unit_link.h"
#include "tools/winrt_provider/provider_runtime.h"

namespace winrt_provider {

// One device object's status event.
struct StatusSource {
    std::mutex mutex;
    winrt_ble::IBluetoothLEDevice* device = nullptr;  // cleared at the device's last release
    EventRegistry<winrt_ble::IDeviceHandler> handlers;
};

void WatchLink(const std::shared_ptr<UnitRecord>& record,
               const std::shared_ptr<StatusSource>& source);
bool LinkUp(const std::shared_ptr<UnitRecord>& record);
uint64_t LinkEpoch(const std::shared_ptr<UnitRecord>& record);
// A fresh link (the unit starts its numbering again) unless one is up already.
void BringLinkUp(const std::shared_ptr<UnitRecord>& record);
void DropUnitLink(const std::shared_ptr<UnitRecord>& record);
// A device object starts or stops holding the link; the last to stop lets it linger.
void HoldLink(const std::shared_ptr<UnitRecord>& record);
void ReleaseLink(const std::shared_ptr<UnitRecord>& record);
bool RadioOff();
// After a write: the unit's idle-drop fault, armed until the next write.
void DropWhenIdle(const std::shared_ptr<UnitRecord>& record);

}  // namespace winrt_provider
