#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ble/ble_backend.h"
#include "blufi/blufi_codec.h"

// The backend over the flat OvBle functions: discovery, the GATT link, and the BluFi exchanges
// (Wi-Fi list request and configuration send) on top of it. No lock of its own: the caller
// runs one operation at a time.
class Windows10Backend : public IBleBackend {
public:
    Windows10Backend();
    ~Windows10Backend() override;

    Windows10Backend(const Windows10Backend&) = delete;
    Windows10Backend& operator=(const Windows10Backend&) = delete;

    std::wstring GetName() const override;
    bool ScanBaseUnits(std::vector<BaseUnitInfo>& units, std::wstring& errorText) override;
    bool Connect(uint64_t address, std::wstring& errorText) override;
    void Disconnect() override;
    bool ScanWifiNetworks(std::vector<WifiNetwork>& networks, std::wstring& errorText) override;
    bool SendConfiguration(const std::string& payload, std::wstring& errorText) override;

    // One frame of at most 20 bytes, written with response.
    bool WriteBlufiFrame(const std::vector<uint8_t>& frame, std::wstring& errorText);
    bool WaitBlufiNotification(std::vector<uint8_t>& notification, uint32_t timeoutMs,
                               std::wstring& errorText);

    bool IsConnected() const { return connected_; }

private:
    // A write that failed leaves the base unit's numbering behind ours (and may leave half a
    // message in it), so it would refuse every later frame; the next exchange connects afresh.
    bool ResynchroniseIfNeeded(std::wstring& errorText);

    BlufiLinkState linkState_;
    bool connected_ = false;
    uint64_t address_ = 0;
    bool resynchronise_ = false;
};

constexpr uint32_t kWifiScanBudgetMs = 20000;
constexpr uint32_t kConfigurationFramePauseMs = 10;

// Decodes the data of a Wi-Fi list message (entries of length, signed rssi, UTF-8 SSID) and
// sorts it strongest first. False on an entry of length 0 or one running past the end;
// networks then holds the entries decoded before it.
bool DecodeWifiList(const std::vector<uint8_t>& data, std::vector<WifiNetwork>& networks);
