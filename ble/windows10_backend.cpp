#include "ble/windows10_backend.h"

#include <algorithm>
#include <chrono>

#include "ble/ble_clock.h"
#include "ble/flat_text.h"
#include "ble/ov_ble.h"
#include "ble/scan_collection.h"
#include "common/text_conversion.h"

namespace {

bool NetworkBefore(const WifiNetwork& a, const WifiNetwork& b) {
    return HeardBefore(a.rssi, a.ssid, b.rssi, b.ssid);
}

bool IsDataFrame(uint8_t type) {
    return (type & 0x03) == 1;
}
uint8_t Subtype(uint8_t type) {
    return static_cast<uint8_t>(type >> 2);
}

constexpr uint8_t kSubtypeWifiList = kBlufiTypeWifiList >> 2;
constexpr uint8_t kSubtypeErrorReport = kBlufiTypeErrorReport >> 2;

// What the flat layer said about its failure, or our own sentence when it said nothing.
std::wstring FlatLayerSentence(const wchar_t* errorBuffer, const wchar_t* fallback) {
    std::wstring text = TextOfBuffer(errorBuffer, kOvBleErrorCapacity);
    if (text.empty()) {
        text = fallback;
    }
    return text;
}

}  // namespace

bool DecodeWifiList(const std::vector<uint8_t>& data, std::vector<WifiNetwork>& networks) {
    networks.clear();
    const size_t size = data.size();
    size_t i = 0;
    while (i < size) {
        const size_t length = data[i];
        if (length == 0 || i + 1 + length > size) {
            return false;
        }
        const int32_t rssi = static_cast<int8_t>(data[i + 1]);
        const std::string ssid(data.begin() + static_cast<std::ptrdiff_t>(i + 2),
                               data.begin() + static_cast<std::ptrdiff_t>(i + 1 + length));
        i += 1 + length;
        if (ssid.empty()) {
            continue;
        }
        networks.push_back(WifiNetwork{Utf8ToUtf16(ssid), rssi});
    }
    std::stable_sort(networks.begin(), networks.end(), NetworkBefore);
    return true;
}

Windows10Backend::Windows10Backend() {
    ResetBlufiLinkState(linkState_);
}

Windows10Backend::~Windows10Backend() {
    // Not the virtual call: a derived part is already gone here.
    OvBleDisconnect();
    ResetBlufiLinkState(linkState_);
    connected_ = false;
}

std::wstring Windows10Backend::GetName() const {
    return L"Windows 10/11 Bluetooth LE (advertisement + WinRT GATT)";
}

bool Windows10Backend::ScanBaseUnits(std::vector<BaseUnitInfo>& units, std::wstring& errorText) {
    units.clear();
    std::vector<OV_BLE_SCAN_DEVICE> devices(kOvBleScanCapacity, OV_BLE_SCAN_DEVICE{});
    wchar_t errorBuffer[kOvBleErrorCapacity] = {};
    int count = 0;
    if (OvBleScan(devices.data(), kOvBleScanCapacity, &count, errorBuffer, kOvBleErrorCapacity) ==
        0) {
        errorText = FlatLayerSentence(errorBuffer, ble_text::kBackendScanFailed);
        return false;
    }
    count = std::clamp(count, 0, kOvBleScanCapacity);
    for (int i = 0; i < count; ++i) {
        std::wstring name = TextOfBuffer(devices[i].name, 128);
        if (!HasBaseUnitNamePrefix(name)) {
            continue;
        }
        units.push_back(BaseUnitInfo{devices[i].address, std::move(name), devices[i].rssi, true});
    }
    std::stable_sort(units.begin(), units.end(), [](const BaseUnitInfo& a, const BaseUnitInfo& b) {
        return HeardBefore(a.rssi, a.name, b.rssi, b.name);
    });
    errorText.clear();
    return true;
}

bool Windows10Backend::Connect(uint64_t address, std::wstring& errorText) {
    Disconnect();
    ResetBlufiLinkState(linkState_);
    wchar_t errorBuffer[kOvBleErrorCapacity] = {};
    if (OvBleConnect(address, errorBuffer, kOvBleErrorCapacity) != 0) {
        errorText.clear();
        connected_ = true;
        address_ = address;
        return true;
    }
    errorText = FlatLayerSentence(errorBuffer, ble_text::kBackendConnectFailed);
    return false;
}

void Windows10Backend::Disconnect() {
    OvBleDisconnect();
    ResetBlufiLinkState(linkState_);
    held_.clear();
    connected_ = false;
    resynchronise_ = false;
}

bool Windows10Backend::ResynchroniseIfNeeded(std::wstring& errorText) {
    if (!resynchronise_ && OvBleLinkIntact() != 0) {
        return true;
    }
    return Connect(address_, errorText);
}

bool Windows10Backend::Fail(bool resynchronise) {
    linkState_.reassembly.clear();
    linkState_.savedType = 0;
    linkState_.savedFrameControl = 0;
    resynchronise_ = resynchronise_ || resynchronise;
    return false;
}

bool Windows10Backend::ListenForRefusal(std::wstring& errorText) {
    const uint32_t start = BleTickCount();
    for (;;) {
        const uint32_t elapsed = BleTickCount() - start;
        std::vector<uint8_t> buffer(kOvBleNotificationCapacity, 0);
        wchar_t errorBuffer[kOvBleErrorCapacity] = {};
        int length = 0;
        if (elapsed >= kRefusalListenMs ||
            OvBleWaitNotification(buffer.data(), &length, kRefusalListenMs - elapsed,
                                  errorBuffer) == 0) {
            if (OvBleLinkIntact() == 0) {
                errorText = FlatLayerSentence(errorBuffer, ble_text::kLinkLost);
                return Fail(true);
            }
            errorText.clear();
            return true;
        }
        buffer.resize(static_cast<size_t>(std::clamp(length, 0, kOvBleNotificationCapacity)));
        if (!buffer.empty() && buffer[0] == kBlufiTypeErrorReport) {
            errorText = ble_text::kConfigurationRefused;
            return Fail(true);
        }
        held_.push_back(std::move(buffer));
    }
}

bool Windows10Backend::WriteBlufiFrame(const std::vector<uint8_t>& frame, std::wstring& errorText) {
    if (frame.size() > kBlufiMaxFrameSize) {
        errorText = ble_text::kFrameTooLong;
        return false;
    }
    wchar_t errorBuffer[kOvBleErrorCapacity] = {};
    if (OvBleWrite(frame.empty() ? nullptr : frame.data(), static_cast<int>(frame.size()),
                   errorBuffer) != 0) {
        errorText.clear();
        return true;
    }
    errorText = FlatLayerSentence(errorBuffer, ble_text::kBackendWriteFailed);
    return false;
}

bool Windows10Backend::WaitBlufiNotification(std::vector<uint8_t>& notification, uint32_t timeoutMs,
                                             std::wstring& errorText) {
    notification.clear();
    if (!held_.empty()) {
        notification = std::move(held_.front());
        held_.pop_front();
        errorText.clear();
        return true;
    }
    std::vector<uint8_t> buffer(kOvBleNotificationCapacity, 0);
    wchar_t errorBuffer[kOvBleErrorCapacity] = {};
    int length = 0;
    if (OvBleWaitNotification(buffer.data(), &length, timeoutMs, errorBuffer) != 0) {
        const size_t stored =
            static_cast<size_t>(std::clamp(length, 0, kOvBleNotificationCapacity));
        notification.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(stored));
        errorText.clear();
        return true;
    }
    errorText = FlatLayerSentence(errorBuffer, ble_text::kBackendWaitFailed);
    return false;
}

bool Windows10Backend::ScanWifiNetworks(std::vector<WifiNetwork>& networks,
                                        std::wstring& errorText) {
    networks.clear();
    if (!connected_) {
        errorText = ble_text::kConnectFirst;
        return false;
    }
    if (!ResynchroniseIfNeeded(errorText)) {
        return false;
    }
    const std::vector<uint8_t> request =
        BuildBlufiFrame(linkState_, kBlufiTypeWifiListRequest, {}, false);
    if (!WriteBlufiFrame(request, errorText)) {
        return Fail(true);
    }
    const uint32_t start = BleTickCount();
    std::vector<uint8_t> listData;
    for (;;) {
        const uint32_t elapsed = BleTickCount() - start;
        if (elapsed >= kWifiScanBudgetMs) {
            errorText = ble_text::kWifiScanTimeout;
            return Fail(true);
        }
        std::vector<uint8_t> notification;
        if (!WaitBlufiNotification(notification, kWifiScanBudgetMs - elapsed, errorText)) {
            return Fail(true);
        }
        BlufiMessage message;
        bool complete = false;
        if (!ParseBlufiNotification(linkState_, notification, message, complete, errorText)) {
            return Fail(true);
        }
        if (complete && IsDataFrame(message.type)) {
            if (Subtype(message.type) == kSubtypeErrorReport) {
                errorText = ble_text::kWifiScanError;
                return Fail(false);
            }
            if (Subtype(message.type) == kSubtypeWifiList) {
                listData = std::move(message.data);
                break;
            }
        }
    }
    if (!DecodeWifiList(listData, networks)) {
        errorText = ble_text::kWifiListMalformed;
        return Fail(false);
    }
    errorText.clear();
    return true;
}

bool Windows10Backend::SendConfiguration(const std::string& payload, std::wstring& errorText) {
    if (!connected_) {
        errorText = ble_text::kConnectFirst;
        return false;
    }
    if (payload.empty()) {
        errorText = ble_text::kConfigurationEmpty;
        return false;
    }
    if (!ResynchroniseIfNeeded(errorText)) {
        return false;
    }
    const std::vector<uint8_t> bytes(payload.begin(), payload.end());
    const std::vector<std::vector<uint8_t>> frames =
        FragmentBlufiPayload(linkState_, kBlufiTypeCustomData, bytes);
    if (frames.empty()) {
        errorText = ble_text::kConfigurationNotFragmented;
        return false;
    }
    BleClock& clock = CurrentBleClock();
    for (size_t i = 0; i < frames.size(); ++i) {
        if (!WriteBlufiFrame(frames[i], errorText)) {
            return Fail(true);
        }
        if (i + 1 < frames.size()) {
            clock.SleepFor(std::chrono::milliseconds(kConfigurationFramePauseMs));
        }
    }
    return ListenForRefusal(errorText);
}
