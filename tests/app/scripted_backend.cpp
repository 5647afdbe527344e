#include "tests/app/scripted_backend.h"

std::unique_lock<std::mutex> ScriptedBackend::Gate() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waiting_;
    released_.wait(lock, [this] { return !held_; });
    --waiting_;
    return lock;
}

bool ScriptedBackend::ScanBaseUnits(std::vector<BaseUnitInfo>& units, std::wstring& errorText) {
    const auto lock = Gate();
    ++scans_;
    units = script_.scanOk ? script_.units : std::vector<BaseUnitInfo>();
    errorText = script_.scanOk ? std::wstring() : script_.scanError;
    return script_.scanOk;
}

bool ScriptedBackend::Connect(uint64_t address, std::wstring& errorText) {
    const auto lock = Gate();
    connects_.push_back(address);
    errorText.clear();
    return script_.connectOk;
}

void ScriptedBackend::Disconnect() {
    std::lock_guard<std::mutex> lock(mutex_);
    ++disconnects_;
}

bool ScriptedBackend::ScanWifiNetworks(std::vector<WifiNetwork>& networks,
                                       std::wstring& errorText) {
    const auto lock = Gate();
    networks = script_.wifiOk ? script_.networks : std::vector<WifiNetwork>();
    errorText = script_.wifiOk ? std::wstring() : script_.wifiError;
    return script_.wifiOk;
}

bool ScriptedBackend::SendConfiguration(const std::string& payload, std::wstring& errorText) {
    const auto lock = Gate();
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
