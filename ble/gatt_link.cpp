#include "ble/gatt_link.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <new>

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

void ThrowIfFailed(int32_t hr) {
    if (hr != 0) {
        throw static_cast<uint32_t>(hr);
    }
}

}  // namespace

GattLink::GattLink(GattPlatform& platform)
    : platform_(platform), queue_(std::make_shared<NotificationQueue>()) {}

void GattLink::CloseConnection() {
    platform_.Close();
    queue_->Clear();
}

int GattLink::ConnectSteps(uint64_t address, wchar_t* errorBuffer, int errorCapacity) {
    const auto fail = [&](const wchar_t* text) {
        CloseConnection();
        CopyToErrorBuffer(text, errorBuffer, errorCapacity);
        return 0;
    };
    bool opened = false;
    ThrowIfFailed(platform_.OpenDevice(address, kConnectStepTimeout, opened));
    if (!opened) {
        CopyToErrorBuffer(ble_text::kDeviceNotOpened, errorBuffer, errorCapacity);
        return 0;
    }
    int32_t status = kGattSuccess;
    std::vector<BleUuid> uuids;
    ThrowIfFailed(platform_.ReadServices(kConnectStepTimeout, status, uuids));
    if (status != kGattSuccess) {
        return fail(ble_text::kServicesNotRead);
    }
    const auto service = std::find(uuids.begin(), uuids.end(), BluetoothUuid(0xFFFF));
    if (service == uuids.end()) {
        return fail(ble_text::kNoBlufiService);
    }
    ThrowIfFailed(platform_.KeepService(static_cast<size_t>(service - uuids.begin())));
    uuids.clear();
    ThrowIfFailed(platform_.ReadCharacteristics(kConnectStepTimeout, status, uuids));
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
    ThrowIfFailed(platform_.EnableNotifications(kConnectStepTimeout, status));
    if (status != kGattSuccess) {
        return fail(ble_text::kNotificationsNotEnabled);
    }
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
        CloseConnection();
        return ConnectSteps(address, errorBuffer, errorCapacity);
    } catch (uint32_t hr) {
        CloseConnection();
        CopyToErrorBuffer(HresultSentence(ble_text::kConnectionFailed, hr), errorBuffer,
                          errorCapacity);
        return 0;
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        CloseConnection();
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
        if (count > 20) {
            return report(ble_text::kWriteTooLong);
        }
        const size_t length = count > 0 && bytes != nullptr ? static_cast<size_t>(count) : 0;
        int32_t status = kGattSuccess;
        hr = platform_.WriteWithResponse(bytes, length, kWriteTimeout, status);
        if (hr != 0) {
            return report(HresultSentence(ble_text::kWriteFailed, static_cast<uint32_t>(hr)));
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
        if (!queue_->Take(notification, timeoutMs)) {
            CopyToErrorBuffer(ble_text::kNotificationTimeout, errorBuffer, kOvBleErrorCapacity);
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
        CloseConnection();
    } catch (...) {
        // Disconnecting never fails as far as the caller can tell.
    }
}
