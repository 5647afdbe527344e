#include "ble/gatt_link.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

#include "ble/ble_clock.h"
#include "ble/flat_text.h"
#include "ble/ov_ble.h"

bool BleUuid::operator==(const BleUuid& other) const {
    return data1 == other.data1 && data2 == other.data2 && data3 == other.data3 &&
           std::memcmp(data4, other.data4, sizeof data4) == 0;
}

BleUuid BluetoothUuid(uint16_t shortId) {
    return BleUuid{shortId, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};
}

namespace {

constexpr size_t kNone = static_cast<size_t>(-1);
constexpr int32_t kGattUnreachable = 1;

std::chrono::milliseconds Remaining(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - CurrentBleClock().Now());
    return std::max(left, std::chrono::milliseconds(0));
}

std::wstring FailureSentence(const wchar_t* fixedText, uint32_t hr) {
    return hr == kHrDeviceNotReady ? std::wstring(ble_text::kRadioOff)
                                   : HresultSentence(fixedText, hr);
}

void ThrowIfFailed(int32_t hr) {
    if (hr != 0) {
        throw static_cast<uint32_t>(hr);
    }
}

}  // namespace

GattLink::GattLink(GattPlatform& platform)
    : platform_(platform),
      queue_(std::make_shared<NotificationQueue>()),
      watch_(std::make_shared<LinkWatch>()) {}

void GattLink::CloseGattConnection() {
    watch_->open = false;
    platform_.Close();
    queue_->Clear();
}

const wchar_t* GattLink::LostSentence() {
    bool connected = false;
    return platform_.ReadConnectionStatus(connected) == static_cast<int32_t>(kHrDeviceNotReady)
               ? ble_text::kRadioOff
               : ble_text::kLinkLost;
}

int GattLink::LinkIntact() const {
    return watch_->open && !watch_->lost ? 1 : 0;
}

bool GattLink::WaitLinkDown(std::chrono::steady_clock::time_point deadline) {
    BleClock& clock = CurrentBleClock();
    for (;;) {
        bool connected = true;
        ThrowIfFailed(platform_.ReadConnectionStatus(connected));
        if (!connected) {
            return true;
        }
        if (clock.Now() >= deadline) {
            return false;
        }
        clock.SleepFor(std::min(kLinkStatusPoll, Remaining(deadline)));
    }
}

int GattLink::ConnectSteps(uint64_t address, wchar_t* errorBuffer, int errorCapacity) {
    const auto fail = [&](const wchar_t* text) {
        CloseGattConnection();
        CopyToErrorBuffer(text, errorBuffer, errorCapacity);
        return 0;
    };
    const auto deadline = CurrentBleClock().Now() + kConnectTimeout;
    bool opened = false;
    ThrowIfFailed(platform_.OpenDevice(address, Remaining(deadline), opened));
    if (!opened) {
        CopyToErrorBuffer(ble_text::kDeviceNotOpened, errorBuffer, errorCapacity);
        return 0;
    }
    // A link still up (ours lingering after the close, or one the system kept) would carry the
    // unit's old numbering into this connection.
    if (!WaitLinkDown(std::min(deadline, CurrentBleClock().Now() + kLinkDownBound))) {
        return fail(ble_text::kLinkStaysUp);
    }
    auto watch = std::make_shared<LinkWatch>();
    watch->queue = queue_;
    ThrowIfFailed(platform_.RegisterStatusHandler([watch](bool connected) {
        if (!connected && watch->open) {
            watch->lost = true;
            watch->queue->Interrupt();
        }
    }));
    int32_t status = kGattSuccess;
    std::vector<BleUuid> uuids;
    ThrowIfFailed(platform_.ReadServices(Remaining(deadline), status, uuids));
    if (status == kGattUnreachable) {
        // The first uncached discovery may run while the link is still coming up.
        CurrentBleClock().SleepFor(std::min(kDiscoveryRetryPause, Remaining(deadline)));
        uuids.clear();
        ThrowIfFailed(platform_.ReadServices(Remaining(deadline), status, uuids));
    }
    if (status != kGattSuccess) {
        return fail(ble_text::kServicesNotRead);
    }
    const auto service = std::find(uuids.begin(), uuids.end(), BluetoothUuid(0xFFFF));
    if (service == uuids.end()) {
        return fail(ble_text::kNoBlufiService);
    }
    ThrowIfFailed(platform_.KeepService(static_cast<size_t>(service - uuids.begin())));
    uuids.clear();
    ThrowIfFailed(platform_.ReadCharacteristics(Remaining(deadline), status, uuids));
    if (status != kGattSuccess) {
        return fail(ble_text::kCharacteristicsNotRead);
    }
    size_t write = kNone;
    size_t notify = kNone;
    for (size_t i = 0; i < uuids.size(); ++i) {
        if (uuids[i] == BluetoothUuid(0xFF01)) {
            write = i;
        } else if (uuids[i] == BluetoothUuid(0xFF02)) {
            notify = i;
        }
    }
    if (write == kNone || notify == kNone) {
        return fail(ble_text::kCharacteristicMissing);
    }
    ThrowIfFailed(platform_.KeepCharacteristics(write, notify));
    ThrowIfFailed(platform_.RegisterNotificationHandler(queue_));
    ThrowIfFailed(platform_.EnableNotifications(Remaining(deadline), status));
    if (status != kGattSuccess) {
        return fail(ble_text::kNotificationsNotEnabled);
    }
    watch->open = true;
    watch_ = std::move(watch);
    CopyToErrorBuffer(std::wstring(), errorBuffer, errorCapacity);
    return 1;
}

int GattLink::Connect(uint64_t address, wchar_t* errorBuffer, int errorCapacity) {
    try {
        const int32_t hr = platform_.EnsureApartment();
        if (hr != 0) {
            CopyToErrorBuffer(
                HresultSentence(ble_text::kConnectionFailed, static_cast<uint32_t>(hr)),
                errorBuffer, errorCapacity);
            return 0;
        }
        CloseGattConnection();
        return ConnectSteps(address, errorBuffer, errorCapacity);
    } catch (uint32_t hr) {
        CloseGattConnection();
        CopyToErrorBuffer(FailureSentence(ble_text::kConnectionFailed, hr), errorBuffer,
                          errorCapacity);
        return 0;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        CloseGattConnection();
        CopyToErrorBuffer(PlainSentence(ble_text::kConnectionFailed), errorBuffer, errorCapacity);
        return 0;
    }
}

int GattLink::Write(const uint8_t* bytes, int count, wchar_t* errorBuffer) {
    const auto report = [&](const std::wstring& text) {
        CopyToErrorBuffer(text, errorBuffer, kOvBleErrorCapacity);
        return 0;
    };
    try {
        int32_t hr = platform_.EnsureApartment();
        if (hr != 0) {
            return report(HresultSentence(ble_text::kWriteFailed, static_cast<uint32_t>(hr)));
        }
        if (!platform_.HasWriteCharacteristic()) {
            return report(ble_text::kNotConnected);
        }
        if (watch_->lost) {
            // The platform would bring the link back for this write, with the unit at 0.
            return report(LostSentence());
        }
        if (count > 20) {
            return report(ble_text::kWriteTooLong);
        }
        const size_t length = count > 0 && bytes != nullptr ? static_cast<size_t>(count) : 0;
        int32_t status = kGattSuccess;
        hr = platform_.WriteWithResponse(bytes, length, kWriteTimeout, status);
        if (hr != 0) {
            return report(FailureSentence(ble_text::kWriteFailed, static_cast<uint32_t>(hr)));
        }
        if (status != kGattSuccess) {
            return report(ble_text::kWriteRejected);
        }
        CopyToErrorBuffer(std::wstring(), errorBuffer, kOvBleErrorCapacity);
        return 1;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        return report(PlainSentence(ble_text::kWriteFailed));
    }
}

int GattLink::WaitNotification(uint8_t* buffer, int* length, uint32_t timeoutMs,
                               wchar_t* errorBuffer) {
    if (length != nullptr) {
        *length = 0;
    }
    try {
        // The queue needs no apartment, but the contract is that every flat call enters one.
        const int32_t hr = platform_.EnsureApartment();
        if (hr != 0) {
            CopyToErrorBuffer(ble_text::kNotificationFailed, errorBuffer, kOvBleErrorCapacity);
            return 0;
        }
        std::vector<uint8_t> notification;
        if (watch_->lost || !queue_->Take(notification, timeoutMs)) {
            CopyToErrorBuffer(watch_->lost ? LostSentence() : ble_text::kNotificationTimeout,
                              errorBuffer, kOvBleErrorCapacity);
            return 0;
        }
        const size_t stored =
            std::min(notification.size(), static_cast<size_t>(kOvBleNotificationCapacity));
        if (buffer != nullptr && stored > 0) {
            std::memcpy(buffer, notification.data(), stored);
        }
        if (length != nullptr) {
            *length = static_cast<int>(stored);
        }
        CopyToErrorBuffer(std::wstring(), errorBuffer, kOvBleErrorCapacity);
        return 1;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        CopyToErrorBuffer(ble_text::kNotificationFailed, errorBuffer, kOvBleErrorCapacity);
        return 0;
    }
}

void GattLink::Disconnect() {
    try {
        platform_.EnsureApartment();
        CloseGattConnection();
    } catch (...) {
        // Disconnecting never fails as far as the caller can tell.
    }
}
