#include "tests/app/scripted_updates.h"

#include "update/update_download.h"

ScriptedUpdates& Updates() {
    static ScriptedUpdates updates;
    return updates;
}

UpdateInfo PublishedBuild(const std::wstring& version, const std::wstring& releaseNotes) {
    UpdateInfo info;
    info.schema_version = 1;
    info.package_type = L"installer";
    info.version = version;
    info.release_notes = releaseNotes;
    info.filename = L"TervaneConnectSetup-" + version + L".exe";
    info.size_bytes = 1234;
    info.sha256 = std::wstring(64, L'a');
    info.download_url =
        L"https://connect.tervane.invalid/app/windows/installer/download/" + info.filename;
    return info;
}

void ScriptedUpdates::Reset(const Script& script) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::wstring& file : fetchedFiles_) {
        DeleteFileW(file.c_str());
    }
    script_ = script;
    checkHeld_ = fetchHeld_ = false;
    checks_ = fetches_ = 0;
    checkedAsInstalled_.clear();
    launches_.clear();
    openedUrls_.clear();
    fetchedFiles_.clear();
}

void ScriptedUpdates::HoldCheck(bool held) {
    std::lock_guard<std::mutex> lock(mutex_);
    checkHeld_ = held;
}

void ScriptedUpdates::HoldFetch(bool held) {
    std::lock_guard<std::mutex> lock(mutex_);
    fetchHeld_ = held;
}

void ScriptedUpdates::WaitWhile(const bool& held) {
    while (Locked(held)) {
        Sleep(5);
    }
}

UpdateOperations ScriptedUpdates::Operations() {
    return {&ScriptedUpdates::Check, &ScriptedUpdates::Fetch, &ScriptedUpdates::Launch_,
            &ScriptedUpdates::Open};
}

bool ScriptedUpdates::Check(bool installedCopy, UpdateInfo& info, bool& noPublishedUpdate,
                            std::wstring& error) {
    ScriptedUpdates& self = Updates();
    {
        std::lock_guard<std::mutex> lock(self.mutex_);
        ++self.checks_;
        self.checkedAsInstalled_.push_back(installedCopy);
    }
    self.WaitWhile(self.checkHeld_);
    std::lock_guard<std::mutex> lock(self.mutex_);
    info = self.script_.info;
    noPublishedUpdate = self.script_.noPublishedUpdate;
    error = self.script_.checkError;
    return self.script_.checkOk;
}

bool ScriptedUpdates::Fetch(const UpdateInfo&, std::wstring& installerPath, std::wstring& error) {
    ScriptedUpdates& self = Updates();
    {
        std::lock_guard<std::mutex> lock(self.mutex_);
        ++self.fetches_;
    }
    self.WaitWhile(self.fetchHeld_);
    std::lock_guard<std::mutex> lock(self.mutex_);
    if (!self.script_.fetchOk) {
        error = self.script_.fetchError;
        return false;
    }
    installerPath = MakeUpdateTempPath();
    HANDLE file = CreateFileW(installerPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = L"scripted download could not create " + installerPath;
        return false;
    }
    CloseHandle(file);
    self.fetchedFiles_.push_back(installerPath);
    return true;
}

bool ScriptedUpdates::Launch_(const std::wstring& installerPath, InstallMode mode,
                              unsigned long parentProcessId, const std::wstring& appPath,
                              std::wstring& error) {
    ScriptedUpdates& self = Updates();
    std::lock_guard<std::mutex> lock(self.mutex_);
    self.launches_.push_back(
        {installerPath, mode, parentProcessId, appPath,
         GetFileAttributesW(installerPath.c_str()) != INVALID_FILE_ATTRIBUTES});
    error = self.script_.launchError;
    return self.script_.launchOk;
}

void ScriptedUpdates::Open(HWND, const std::wstring& url) {
    ScriptedUpdates& self = Updates();
    std::lock_guard<std::mutex> lock(self.mutex_);
    self.openedUrls_.push_back(url);
}
