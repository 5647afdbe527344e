#include "wizard/scan_lists.h"

#include <algorithm>

int SignalLevel(int32_t rssi, bool hasRssi) {
    if (!hasRssi) {
        return 0;
    }
    if (rssi < -84) {
        return 1;
    }
    if (rssi < -72) {
        return 2;
    }
    if (rssi < -60) {
        return 3;
    }
    return 4;
}

std::wstring SignalText(int32_t rssi, bool hasRssi) {
    if (!hasRssi) {
        return L"Available";
    }
    return std::to_wstring(rssi) + L" dBm";
}

bool NameComesFirst(const std::wstring& a, const std::wstring& b) {
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        // Each element is one UTF-16 code unit; compare it unsigned and 16 bits wide.
        const uint16_t ca = static_cast<uint16_t>(a[i]);
        const uint16_t cb = static_cast<uint16_t>(b[i]);
        if (ca != cb) {
            return ca < cb;
        }
    }
    return a.size() < b.size();
}

bool BaseUnitComesFirst(const BaseUnitInfo& a, const BaseUnitInfo& b) {
    if (a.hasRssi != b.hasRssi) {
        return a.hasRssi;
    }
    if (a.hasRssi && a.rssi != b.rssi) {
        return a.rssi > b.rssi;
    }
    return NameComesFirst(a.name, b.name);
}

bool WifiNetworkComesFirst(const WifiNetwork& a, const WifiNetwork& b) {
    if (a.rssi != b.rssi) {
        return a.rssi > b.rssi;
    }
    return NameComesFirst(a.ssid, b.ssid);
}

void SortBaseUnits(std::vector<BaseUnitInfo>& units) {
    std::sort(units.begin(), units.end(), BaseUnitComesFirst);
}

void SortWifiNetworks(std::vector<WifiNetwork>& networks) {
    std::sort(networks.begin(), networks.end(), WifiNetworkComesFirst);
}

std::vector<WifiNetwork> MergeWifiNetworks(const std::vector<WifiNetwork>& scanned) {
    std::vector<WifiNetwork> merged;
    for (const WifiNetwork& network : scanned) {
        auto same = std::find_if(merged.begin(), merged.end(), [&](const WifiNetwork& entry) {
            return entry.ssid == network.ssid;
        });
        if (same != merged.end()) {
            same->rssi = std::max(same->rssi, network.rssi);
        } else if (!network.ssid.empty()) {
            merged.push_back(network);
        }
    }
    return merged;
}

std::wstring BaseUnitCountText(size_t count) {
    if (count == 0) {
        return L"No base units found.";
    }
    return std::to_wstring(count) + L" base unit" + (count == 1 ? L" found." : L"s found.");
}

std::wstring WifiNetworkCountText(size_t count) {
    if (count == 0) {
        return L"No Wi-Fi networks found. You can enter one manually.";
    }
    return std::to_wstring(count) + L" Wi-Fi network" + (count == 1 ? L" found." : L"s found.");
}
