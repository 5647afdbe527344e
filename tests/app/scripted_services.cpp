#include "tests/app/scripted_services.h"

#include "account/account_session.h"
#include "account/credential_store.h"
#include "update/update_download.h"

void Gate::Hold(bool held) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = held;
    }
    opened_.notify_all();
}

void Gate::Pass() {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waiting_;
    opened_.wait(lock, [this] { return !held_; });
    --waiting_;
}

bool Gate::Waiting() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_ > 0;
}

FakeAccountService& FakeAccount() {
    static FakeAccountService service;
    return service;
}

void FakeAccountService::Reset() {
    std::lock_guard<std::mutex> lock(mutex);
    static_cast<FakeAccountScript&>(*this) = FakeAccountScript();
    loginGate.Hold(false);
}

void FakeAccountService::Store(const std::wstring& password) {
    std::lock_guard<std::mutex> lock(mutex);
    haveStored = true;
    storedUsername = L"anna";
    storedPassword = password;
}

bool LoginToService(const std::wstring& username, const std::wstring& password,
                    AccountSession& session, std::wstring& errorText) {
    FakeAccountService& fake = FakeAccount();
    fake.loginGate.Pass();
    std::lock_guard<std::mutex> lock(fake.mutex);
    session = {};
    fake.logins.push_back({username, password});
    errorText = fake.loginOk ? L"" : fake.loginError;
    if (fake.loginOk) {
        session.token = fake.loginToken;
        session.accountUsername = fake.loginAccountName;
    }
    return fake.loginOk;
}

bool CheckServiceAccount(const std::wstring& token, AccountSession& session,
                         std::wstring& errorText) {
    FakeAccountService& fake = FakeAccount();
    std::lock_guard<std::mutex> lock(fake.mutex);
    session = {};
    fake.checkedTokens.push_back(token);
    errorText = fake.checkOk ? L"" : fake.checkError;
    if (fake.checkOk) {
        session.token = token;
        session.accountUsername = fake.checkAccountName;
    }
    return fake.checkOk;
}

std::wstring GetTokenFilePath() {
    return Locked(FakeAccount().mutex, FakeAccount().tokenFilePath);
}

bool SaveCredentials(const std::wstring& username, const std::wstring& password) {
    FakeAccountService& fake = FakeAccount();
    std::lock_guard<std::mutex> lock(fake.mutex);
    fake.saved.push_back({username, password});
    return true;
}

bool LoadCredentials(std::wstring& username, std::wstring& password) {
    FakeAccountService& fake = FakeAccount();
    std::lock_guard<std::mutex> lock(fake.mutex);
    username = fake.haveStored ? fake.storedUsername : L"";
    password = fake.haveStored ? fake.storedPassword : L"";
    return fake.haveStored;
}

ScriptedUpdates& Updates() {
    static ScriptedUpdates updates;
    return updates;
}

ScriptedUpdates::Script Offering(const std::wstring& version, const std::wstring& notes) {
    ScriptedUpdates::Script script;
    UpdateInfo& info = script.info;
    info.schema_version = 1;
    info.package_type = L"installer";
    info.version = version;
    info.release_notes = notes;
    info.filename = L"TervaneConnectSetup-" + version + L".exe";
    info.size_bytes = 1234;
    info.sha256 = std::wstring(64, L'a');
    info.download_url =
        L"https://connect.tervane.invalid/app/windows/installer/download/" + info.filename;
    return script;
}

void ScriptedUpdates::Reset(const Script& script) {
    checkGate.Hold(false);
    fetchGate.Hold(false);
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::wstring& file : fetchedFiles_) {
        DeleteFileW(file.c_str());
    }
    script_ = script;
    checks_ = fetches_ = 0;
    checkedAsInstalled_.clear();
    launches_.clear();
    openedUrls_.clear();
    fetchedFiles_.clear();
}

UpdateOperations ScriptedUpdates::Operations() {
    return {&ScriptedUpdates::Check, &ScriptedUpdates::Fetch, &ScriptedUpdates::LaunchHelper,
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
    self.checkGate.Pass();
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
    self.fetchGate.Pass();
    std::lock_guard<std::mutex> lock(self.mutex_);
    if (!self.script_.fetchOk) {
        error = self.script_.fetchError;
        return false;
    }
    installerPath = MakeUpdateTempPath();
    CloseHandle(CreateFileW(installerPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    self.fetchedFiles_.push_back(installerPath);
    return true;
}

bool ScriptedUpdates::LaunchHelper(const std::wstring& installerPath, InstallMode mode,
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
