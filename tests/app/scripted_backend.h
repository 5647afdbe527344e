#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "ble/ble_backend.h"

// A backend whose answers the test sets in advance. Operations can be held at a gate so the
// test can look at the window while one is running.
class ScriptedBackend : public IBleBackend {
public:
    struct Script {
        bool scanOk = true;
        std::vector<BaseUnitInfo> units;
        std::wstring scanError;
        bool connectOk = true;
        bool wifiOk = true;
        std::wstring wifiError;
        std::vector<WifiNetwork> networks;
        bool sendOk = true;
        std::wstring sendError;
        bool staysConnected = true;  // false: a failed operation lost the connection
    };

    std::wstring GetName() const override { return L"scripted"; }
    bool ScanBaseUnits(std::vector<BaseUnitInfo>& units, std::wstring& errorText) override;
    bool Connect(uint64_t address, std::wstring& errorText) override;
    void Disconnect() override;
    bool IsConnected() const override { return Locked(script_).staysConnected; }
    bool ScanWifiNetworks(std::vector<WifiNetwork>& networks, std::wstring& errorText) override;
    bool SendConfiguration(const std::string& payload, std::wstring& errorText) override;

    void SetScript(const Script& script);
    // While held, every operation waits at the gate until Release().
    void Hold();
    void Release();
    // True once an operation is waiting at the held gate.
    bool Waiting() const { return Locked(waiting_) > 0; }

    int scans() const { return Locked(scans_); }
    int disconnects() const { return Locked(disconnects_); }
    std::vector<uint64_t> connects() const { return Locked(connects_); }
    std::vector<std::string> payloads() const { return Locked(payloads_); }

private:
    // Waits at the gate, then returns holding the lock.
    std::unique_lock<std::mutex> Gate();
    template <typename T>
    T Locked(const T& value) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value;
    }

    mutable std::mutex mutex_;
    std::condition_variable released_;
    Script script_;
    bool held_ = false;
    int waiting_ = 0;
    int scans_ = 0;
    int disconnects_ = 0;
    std::vector<uint64_t> connects_;
    std::vector<std::string> payloads_;
};
