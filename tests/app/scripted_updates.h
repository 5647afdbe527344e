#pragma once

#include <windows.h>

#include <mutex>
#include <string>
#include <vector>

#include "app/update_operations.h"

// Self-update steps whose outcomes the test sets in advance, with a record of every call. The
// check and the download run on worker threads, so everything is behind one lock; either can
// be held at a gate so the test can act while it runs.
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
    void HoldCheck(bool held);
    void HoldFetch(bool held);

    int checks() const { return Locked(checks_); }
    std::vector<bool> checkedAsInstalled() const { return Locked(checkedAsInstalled_); }
    int fetches() const { return Locked(fetches_); }
    std::vector<Launch> launches() const { return Locked(launches_); }
    std::vector<std::wstring> openedUrls() const { return Locked(openedUrls_); }
    std::vector<std::wstring> fetchedFiles() const { return Locked(fetchedFiles_); }

    static UpdateOperations Operations();

private:
    static bool Check(bool installedCopy, UpdateInfo& info, bool& noPublishedUpdate,
                      std::wstring& error);
    static bool Fetch(const UpdateInfo& info, std::wstring& installerPath, std::wstring& error);
    static bool Launch_(const std::wstring& installerPath, InstallMode mode,
                        unsigned long parentProcessId, const std::wstring& appPath,
                        std::wstring& error);
    static void Open(HWND owner, const std::wstring& url);
    void WaitWhile(const bool& held);
    template <typename T>
    T Locked(const T& value) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return value;
    }

    mutable std::mutex mutex_;
    Script script_;
    bool checkHeld_ = false, fetchHeld_ = false;
    int checks_ = 0, fetches_ = 0;
    std::vector<bool> checkedAsInstalled_;
    std::vector<Launch> launches_;
    std::vector<std::wstring> openedUrls_;
    std::vector<std::wstring> fetchedFiles_;
};

ScriptedUpdates& Updates();

// An UpdateInfo for a published build of this version.
UpdateInfo PublishedBuild(const std::wstring& version, const std::wstring& releaseNotes = L"");
