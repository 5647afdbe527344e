#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the wizard knows of Bluetooth: one backend object with six operations. Every operation
// that can fail returns false and leaves one sentence for the user in errorText (empty on
// success); nothing but std::bad_alloc is thrown.

struct BaseUnitInfo {
    uint64_t address = 0;  // Bluetooth device address, 48 bits used
    std::wstring name;     // advertised local name
    int32_t rssi = 0;      // strongest reading of the scan, dBm
    bool hasRssi = false;
};

struct WifiNetwork {
    std::wstring ssid;
    int32_t rssi = 0;  // dBm, as the base unit reports it
};

class IBleBackend {
public:
    virtual ~IBleBackend() = default;
    virtual std::wstring GetName() const = 0;
    virtual bool ScanBaseUnits(std::vector<BaseUnitInfo>& units, std::wstring& errorText) = 0;
    virtual bool Connect(uint64_t address, std::wstring& errorText) = 0;
    // False after Disconnect or once a reconnect the backend attempted on its own has failed.
    virtual bool IsConnected() const = 0;
    virtual void Disconnect() = 0;
    virtual bool ScanWifiNetworks(std::vector<WifiNetwork>& networks, std::wstring& errorText) = 0;
    virtual bool SendConfiguration(const std::string& payload, std::wstring& errorText) = 0;
};
