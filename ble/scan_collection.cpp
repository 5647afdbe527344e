#include "ble/scan_collection.h"

#include <algorithm>

bool HasBaseUnitNamePrefix(const std::wstring& name) {
    if (name.size() < 2) {
        return false;
    }
    const auto upper = [](wchar_t unit) {
        return (unit == L'o' || unit == L'v') ? static_cast<wchar_t>(unit - 0x20) : unit;
    };
    return upper(name[0]) == L'O' && upper(name[1]) == L'V';
}

bool HeardBefore(int32_t leftRssi, const std::wstring& leftName, int32_t rightRssi,
                 const std::wstring& rightName) {
    if (leftRssi != rightRssi) {
        return leftRssi > rightRssi;
    }
    // Compare as unsigned 16-bit units: wchar_t is signed 32-bit on some hosts.
    return std::lexicographical_compare(
        leftName.begin(), leftName.end(), rightName.begin(), rightName.end(),
        [](wchar_t a, wchar_t b) { return static_cast<uint16_t>(a) < static_cast<uint16_t>(b); });
}

void ScanCollection::RecordAdvertisement(uint64_t address, int16_t rssi, const std::wstring& name) {
    if (!HasBaseUnitNamePrefix(name)) {
        return;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_) {
        return;
    }
    const auto found = devices_.find(address);
    if (found == devices_.end()) {
        devices_.emplace(address, HeardDevice{address, rssi, name});
    } else if (rssi > found->second.rssi) {
        found->second.rssi = rssi;
        found->second.name = name;
    }
}

void ScanCollection::RecordStop(int32_t error) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!closed_ && error != 0) {
        stopError_ = error;
    }
}

void ScanCollection::Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
}

int32_t ScanCollection::StopError() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return stopError_;
}

std::vector<HeardDevice> ScanCollection::SortedDevices() const {
    std::vector<HeardDevice> sorted;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        sorted.reserve(devices_.size());
        for (const auto& entry : devices_) {
            sorted.push_back(entry.second);
        }
    }
    std::stable_sort(sorted.begin(), sorted.end(), [](const HeardDevice& a, const HeardDevice& b) {
        return HeardBefore(a.rssi, a.name, b.rssi, b.name);
    });
    return sorted;
}

int WriteScanDevices(const std::vector<HeardDevice>& devices, OV_BLE_SCAN_DEVICE* out,
                     int capacity) {
    if (out == nullptr || capacity <= 0) {
        return 0;
    }
    const size_t count = std::min(devices.size(), static_cast<size_t>(capacity));
    constexpr size_t kNameUnits = sizeof(out[0].name) / sizeof(out[0].name[0]) - 1;
    for (size_t i = 0; i < count; ++i) {
        OV_BLE_SCAN_DEVICE& entry = out[i];
        entry.address = devices[i].address;
        entry.rssi = devices[i].rssi;
        const size_t units = std::min(devices[i].name.size(), kNameUnits);
        std::copy_n(devices[i].name.data(), units, entry.name);
        entry.name[units] = L'\0';
    }
    return static_cast<int>(count);
}
