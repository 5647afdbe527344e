#include "tests/app/scripted_backend.h"

void ScriptedBackend::Gate() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waiting_;
    released_.wait(lock, [this] { return !held_; });
    --waiting_;
}

bool ScriptedBackend::ScanBaseUnits(std::vector<BaseUnitInfo>& units, std::wstring& errorText) {
    Gate();
    std::lock_guard<std::mutex> lock(mutex_);
    ++scans_;
    units.clear();
    errorText.clear();
    if (!script_.scanOk) {
        errorText = script_.scanError;
        return false;
    }
    units = script_.units;
    return true;
}

bool ScriptedBackend::Connect(uint64_t address, std::wstring& errorText) {
    Gate();
    std::lock_guard<std::mutex> lock(mutex_);
    connects_.push_back(address);
    errorText = script_.connectOk ? std::wstring() : script_.connectError;
    return script_.connectOk;
}

void ScriptedBackend::Disconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++disconnects_;
}

bool ScriptedBackend::ScanWifiNetworks(std::vector<WifiNetwork>& networks,
                                       std::wstring& errorText) {
    Gate();
    std::lock_guard<std::mutex> lock(mutex_);
    ++wifiScans_;
    networks.clear();
    errorText.clear();
    if (!script_.wifiOk) {
        errorText = script_.wifiError;
        return false;
    }
    networks = script_.networks;
    return true;
}

bool ScriptedBackend::SendConfiguration(const std::string& payload, std::wstring& errorText) {
    Gate();
    std::lock_guard<std::mutex> lock(mutex_);
    payloads_.push_back(payload);
    errorText = script_.sendOk ? std::wstring() : script_.sendError;
    return script_.sendOk;
}

void ScriptedBackend::SetScript(const Script& script) {
    std::lock_guard<std::mutex> lock(mutex_);
    script_ = script;
}

void ScriptedBackend::Hold() {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = true;
}

void ScriptedBackend::Release() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = false;
    }
    released_.notify_all();
}

bool ScriptedBackend::Waiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_ > 0;
}

int ScriptedBackend::scans() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return scans_;
}

int ScriptedBackend::wifiScans() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return wifiScans_;
}

int ScriptedBackend::disconnects() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return disconnects_;
}

std::vector<uint64_t> ScriptedBackend::connects() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return connects_;
}

std::vector<std::string> ScriptedBackend::payloads() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return payloads_;
}
