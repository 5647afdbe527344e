#pragma once

#include <cstdint>
#include <deque>
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
    // Notifications held back after a configuration send come first, then the link's queue.
    bool WaitBlufiNotification(std::vector<uint8_t>& notification, uint32_t timeoutMs,
                               std::wstring& errorText);

    // False once a reconnect behind the caller's back has failed.
    bool IsConnected() const override { return connected_; }

private:
    // A failed write, a lost notification or a link that went down leave the unit's numbering
    // (and maybe half a message) out of step with ours, so it would refuse every later frame:
    // the next exchange connects afresh.
    bool ResynchroniseIfNeeded(std::wstring& errorText);
    // Ends a failed exchange: nothing of a half-received message may label the next one.
    bool Fail(bool resynchronise);
    // Listens briefly after the last frame of a configuration for the unit's error report.
    bool ListenForRefusal(std::wstring& errorText);

    BlufiLinkState linkState_;
    bool connected_ = false;
    uint64_t address_ = 0;
    bool resynchronise_ = false;
    std::deque<std::vector<uint8_t>> held_;
};

constexpr uint32_t kWifiScanBudgetMs = 20000;
constexpr uint32_t kConfigurationFramePauseMs = 10;
// The firmware answers a refused frame at once, within a connection event or two of the
// write's response (tens of milliseconds); the simulated unit within a millisecond.
constexpr uint32_t kRefusalListenMs = 300;

// Decodes the data of a Wi-Fi list message (entries of length, signed rssi, UTF-8 SSID) and
// sorts it strongest first. False on an entry of length 0 or one running past the end;
// networks then holds the entries decoded before it.
bool DecodeWifiList(const std::vector<uint8_t>& data, std::vector<WifiNetwork>& networks);
