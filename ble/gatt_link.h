#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "ble/notification_queue.h"

// A 128-bit GATT UUID in its textual byte order.
struct BleUuid {
    uint32_t data1 = 0;
    uint16_t data2 = 0;
    uint16_t data3 = 0;
    uint8_t data4[8] = {};

    bool operator==(const BleUuid& other) const;
};

// A 16-bit id on the Bluetooth base UUID.
BleUuid BluetoothUuid(uint16_t shortId);

// Status of a finished GATT exchange as the platform reports it; 0 is success.
constexpr int32_t kGattSuccess = 0;

// The one connected base unit as the flat layer needs it. Asynchronous steps take a bound:
// when the platform does not finish in time the step is cancelled and returns kHrTimeout.
// Every call returns an HRESULT-style code (0 success).
class GattPlatform {
public:
    virtual ~GattPlatform() = default;
    virtual int32_t EnsureApartment() = 0;
    // opened is false when the platform yields no device for the address. Opening the device
    // object alone does not bring the link up.
    virtual int32_t OpenDevice(uint64_t address, std::chrono::milliseconds timeout,
                               bool& opened) = 0;
    // The opened device's connection status (true: Connected).
    virtual int32_t ReadConnectionStatus(bool& connected) = 0;
    // The handler hears every status change of the opened device, on a platform thread.
    virtual int32_t RegisterStatusHandler(std::function<void(bool connected)> handler) = 0;
    // Uncached discovery; the platform keeps the list until the next call or Close.
    virtual int32_t ReadServices(std::chrono::milliseconds timeout, int32_t& status,
                                 std::vector<BleUuid>& services) = 0;
    virtual int32_t KeepService(size_t index) = 0;
    virtual int32_t ReadCharacteristics(std::chrono::milliseconds timeout, int32_t& status,
                                        std::vector<BleUuid>& characteristics) = 0;
    virtual int32_t KeepCharacteristics(size_t writeIndex, size_t notifyIndex) = 0;
    // The handler pushes every value change of the notify characteristic into the queue.
    virtual int32_t RegisterNotificationHandler(
        const std::shared_ptr<NotificationQueue>& queue) = 0;
    virtual int32_t EnableNotifications(std::chrono::milliseconds timeout, int32_t& status) = 0;
    virtual bool HasWriteCharacteristic() = 0;
    virtual int32_t WriteWithResponse(const uint8_t* bytes, size_t count,
                                      std::chrono::milliseconds timeout, int32_t& status) = 0;
    // Unregisters the handler, closes service and device, releases every reference. Never fails.
    virtual void Close() = 0;
};

// One connect, all its steps together.
constexpr std::chrono::milliseconds kConnectTimeout{60000};
constexpr std::chrono::milliseconds kWriteTimeout{10000};
// How long a connect waits for a link it did not close itself (or that the platform keeps after
// the close) to go down, so the unit starts its numbering again. Windows holds an idle link a
// few seconds after the last handle goes.
constexpr std::chrono::milliseconds kLinkDownBound{10000};
constexpr std::chrono::milliseconds kLinkStatusPoll{100};
// Before the one retry of a service discovery the platform found unreachable.
constexpr std::chrono::milliseconds kDiscoveryRetryPause{1000};

// The flat GATT functions over one platform, with their sentences and error-buffer rules.
class GattLink {
public:
    explicit GattLink(GattPlatform& platform);

    int Connect(uint64_t address, wchar_t* errorBuffer, int errorCapacity);
    int Write(const uint8_t* bytes, int count, wchar_t* errorBuffer);
    int WaitNotification(uint8_t* buffer, int* length, uint32_t timeoutMs, wchar_t* errorBuffer);
    void Disconnect();
    // 1 while the link of the last Connect has stayed up; 0 once the device reported it down
    // (a later write may bring it back, but the unit then numbers from 0), or when none is open.
    int LinkIntact() const;

    NotificationQueue& Queue() { return *queue_; }

private:
    // Shared with the platform's status handler, which may outlive one connection.
    struct LinkWatch {
        std::atomic<bool> open{false};
        std::atomic<bool> lost{false};
        std::shared_ptr<NotificationQueue> queue;
    };

    void CloseGattConnection();
    int ConnectSteps(uint64_t address, wchar_t* errorBuffer, int errorCapacity);
    // Why the watched link went down: the radio, or the link itself.
    const wchar_t* LostSentence();
    // False when the link is still up at the deadline.
    bool WaitLinkDown(std::chrono::steady_clock::time_point deadline);

    GattPlatform& platform_;
    std::shared_ptr<NotificationQueue> queue_;
    std::shared_ptr<LinkWatch> watch_;
};

// The link of the flat layer linked in, behind the flat GATT functions; each layer defines it.
GattLink& FlatGattLink();
