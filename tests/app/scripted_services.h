#pragma once

// What the window tests put behind the wizard: a Bluetooth backend, the account service and
// the self-update steps, each answering as the test scripted and recording what it was handed.
// They are called from worker threads, hence the locks.
#include <windows.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "app/update_operations.h"
#include "ble/ble_backend.h"

// Holds an operation back while the test looks at the window.
class Gate {
public:
    void Hold(bool held);
    // Returns once the gate is open.
    void Pass();
    // True while an operation waits at the closed gate.
    bool Waiting() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable opened_;
    bool held_ = false;
    int waiting_ = 0;
};

template <typename T>
T Locked(std::mutex& mutex, const T& value) {
    std::lock_guard<std::mutex> lock(mutex);
    return value;
}
template <typename Change>
void WithLock(std::mutex& mutex, Change change) {
    std::lock_guard<std::mutex> lock(mutex);
    change();
}

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
    bool ScanBaseUnits(std::vector<BaseUnitInfo>& units, std::wstring& errorText) override {
        return Answer(script_.scanOk, script_.scanError, errorText, [&] {
            ++scans_;
            units = script_.scanOk ? script_.units : std::vector<BaseUnitInfo>();
        });
    }
    bool Connect(uint64_t address, std::wstring& errorText) override {
        return Answer(script_.connectOk, std::wstring(), errorText,
                      [&] { connects_.push_back(address); });
    }
    void Disconnect() override {
        WithLock(mutex_, [&] { ++disconnects_; });
    }
    bool IsConnected() const override { return Locked(mutex_, script_).staysConnected; }
    bool ScanWifiNetworks(std::vector<WifiNetwork>& networks, std::wstring& errorText) override {
        return Answer(script_.wifiOk, script_.wifiError, errorText, [&] {
            networks = script_.wifiOk ? script_.networks : std::vector<WifiNetwork>();
        });
    }
    bool SendConfiguration(const std::string& payload, std::wstring& errorText) override {
        return Answer(script_.sendOk, script_.sendError, errorText,
                      [&] { payloads_.push_back(payload); });
    }

    void SetScript(const Script& script) {
        WithLock(mutex_, [&] { script_ = script; });
    }
    // Every operation waits at this gate.
    Gate gate;

    int scans() const { return Locked(mutex_, scans_); }
    int disconnects() const { return Locked(mutex_, disconnects_); }
    std::vector<uint64_t> connects() const { return Locked(mutex_, connects_); }
    std::vector<std::string> payloads() const { return Locked(mutex_, payloads_); }

private:
    // Every operation waits at the gate, then records what it was handed and gives the
    // scripted outcome, under one lock.
    template <typename Record>
    bool Answer(const bool& ok, const std::wstring& error, std::wstring& errorText, Record record) {
        gate.Pass();
        std::lock_guard<std::mutex> lock(mutex_);
        record();
        errorText = ok ? std::wstring() : error;
        return ok;
    }

    mutable std::mutex mutex_;
    Script script_;
    int scans_ = 0;
    int disconnects_ = 0;
    std::vector<uint64_t> connects_;
    std::vector<std::string> payloads_;
};

// Stands in for the account client and the credential store; Reset() starts it afresh.
struct FakeAccountScript {
    struct Login {
        std::wstring username;
        std::wstring password;
        bool operator==(const Login& o) const {
            return username == o.username && password == o.password;
        }
    };

    bool loginOk = true;
    std::wstring loginToken = L"token-1";
    std::wstring loginAccountName = L"anna.k";
    std::wstring loginError;
    bool checkOk = true;
    std::wstring checkAccountName = L"anna.k";
    std::wstring checkError;
    bool haveStored = false;
    std::wstring storedUsername;
    std::wstring storedPassword;
    std::wstring tokenFilePath;

    std::vector<Login> logins;
    std::vector<std::wstring> checkedTokens;
    std::vector<Login> saved;
};

struct FakeAccountService : FakeAccountScript {
    std::mutex mutex;
    Gate loginGate;

    void Reset();
    // A stored password for "anna".
    void Store(const std::wstring& password);
};

FakeAccountService& FakeAccount();

// The self-update steps. The check and the download each wait at their gate.
class ScriptedUpdates {
public:
    struct Script {
        bool checkOk = true;
        bool noPublishedUpdate = false;
        UpdateInfo info;
        std::wstring checkError;
        bool fetchOk = true;  // a real, empty file in the temporary folder stands for the installer
        std::wstring fetchError;
        bool launchOk = true;
        std::wstring launchError;
    };
    struct Launch {
        std::wstring installerPath;
        InstallMode mode = InstallMode::None;
        unsigned long parentProcessId = 0;
        std::wstring appPath;
        bool installerPresent = false;  // the file existed when the helper was launched
    };

    void Reset() { Reset(Script()); }
    void Reset(const Script& script);
    Gate checkGate;
    Gate fetchGate;

    int checks() const { return Locked(mutex_, checks_); }
    std::vector<bool> checkedAsInstalled() const { return Locked(mutex_, checkedAsInstalled_); }
    int fetches() const { return Locked(mutex_, fetches_); }
    std::vector<Launch> launches() const { return Locked(mutex_, launches_); }
    std::vector<std::wstring> openedUrls() const { return Locked(mutex_, openedUrls_); }
    std::vector<std::wstring> fetchedFiles() const { return Locked(mutex_, fetchedFiles_); }

    static UpdateOperations Operations();

private:
    static bool Check(bool installedCopy, UpdateInfo& info, bool& noPublishedUpdate,
                      std::wstring& error);
    static bool Fetch(const UpdateInfo& info, std::wstring& installerPath, std::wstring& error);
    static bool LaunchHelper(const std::wstring& installerPath, InstallMode mode,
                             unsigned long parentProcessId, const std::wstring& appPath,
                             std::wstring& error);
    static void Open(HWND owner, const std::wstring& url);

    mutable std::mutex mutex_;
    Script script_;
    int checks_ = 0, fetches_ = 0;
    std::vector<bool> checkedAsInstalled_;
    std::vector<Launch> launches_;
    std::vector<std::wstring> openedUrls_;
    std::vector<std::wstring> fetchedFiles_;
};

ScriptedUpdates& Updates();

// A check that finds this version published, with the notes given.
ScriptedUpdates::Script Offering(const std::wstring& version, const std::wstring& notes = L"");
