#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ble/ble_backend.h"

// How scan results become list rows: order, merge and the signal column.

// 0 when there is no reading, else 1 (weakest) to 4 (strongest).
int SignalLevel(int32_t rssi, bool hasRssi);

// "-67 dBm", or "Available" when there is no reading.
std::wstring SignalText(int32_t rssi, bool hasRssi);

// Code-unit order, no case folding: identical on every platform and locale.
bool NameComesFirst(const std::wstring& a, const std::wstring& b);

// Units with a reading first, stronger first, then by name.
bool BaseUnitComesFirst(const BaseUnitInfo& a, const BaseUnitInfo& b);
bool WifiNetworkComesFirst(const WifiNetwork& a, const WifiNetwork& b);

void SortBaseUnits(std::vector<BaseUnitInfo>& units);
void SortWifiNetworks(std::vector<WifiNetwork>& networks);

// One entry per non-empty SSID, keeping its strongest reading, in first-seen order.
std::vector<WifiNetwork> MergeWifiNetworks(const std::vector<WifiNetwork>& scanned);

// "No base units found.", "1 base unit found.", "3 base units found.".
std::wstring BaseUnitCountText(size_t count);
// "No Wi-Fi networks found. You can enter one manually.", "1 Wi-Fi network found.", ...
std::wstring WifiNetworkCountText(size_t count);
