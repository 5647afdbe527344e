#include "tests/app/fake_account.h"

#include "account/account_session.h"
#include "account/credential_store.h"

FakeAccountService& FakeAccount() {
    static FakeAccountService service;
    return service;
}

void FakeAccountService::Reset() {
    std::lock_guard<std::mutex> lock(mutex);
    static_cast<FakeAccountScript&>(*this) = FakeAccountScript();
}

void FakeAccountService::HoldLogin() {
    std::lock_guard<std::mutex> lock(mutex);
    loginHeld = true;
}

void FakeAccountService::ReleaseLogin() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        loginHeld = false;
    }
    loginReleased.notify_all();
}

bool FakeAccountService::LoginWaiting() {
    std::lock_guard<std::mutex> lock(mutex);
    return loginsWaiting > 0;
}

bool LoginToService(const std::wstring& username, const std::wstring& password,
                    AccountSession& session, std::wstring& errorText) {
    FakeAccountService& fake = FakeAccount();
    std::unique_lock<std::mutex> lock(fake.mutex);
    ++fake.loginsWaiting;
    fake.loginReleased.wait(lock, [&fake] { return !fake.loginHeld; });
    --fake.loginsWaiting;
    session = {};
    errorText.clear();
    fake.logins.push_back({username, password});
    if (!fake.loginOk) {
        errorText = fake.loginError;
        return false;
    }
    session.token = fake.loginToken;
    session.accountUsername = fake.loginAccountName;
    return true;
}

bool CheckServiceAccount(const std::wstring& token, AccountSession& session,
                         std::wstring& errorText) {
    FakeAccountService& fake = FakeAccount();
    std::lock_guard<std::mutex> lock(fake.mutex);
    session = {};
    errorText.clear();
    fake.checkedTokens.push_back(token);
    if (!fake.checkOk) {
        errorText = fake.checkError;
        return false;
    }
    session.token = token;
    session.accountUsername = fake.checkAccountName;
    return true;
}

std::wstring GetTokenFilePath() {
    FakeAccountService& fake = FakeAccount();
    std::lock_guard<std::mutex> lock(fake.mutex);
    return fake.tokenFilePath;
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
    username.clear();
    password.clear();
    if (!fake.haveStored) {
        return false;
    }
    username = fake.storedUsername;
    password = fake.storedPassword;
    return true;
}
