#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

// What the fake answers and what it recorded; Reset() starts it afresh.
struct FakeAccountScript {
    struct Login {
        std::wstring username;
        std::wstring password;
    };

    // Log-in answers.
    bool loginOk = true;
    std::wstring loginToken = L"token-1";
    std::wstring loginAccountName = L"anna.k";
    std::wstring loginError;
    // Account-check answers.
    bool checkOk = true;
    std::wstring checkAccountName = L"anna.k";
    std::wstring checkError;
    // Stored credentials.
    bool haveStored = false;
    std::wstring storedUsername;
    std::wstring storedPassword;
    std::wstring tokenFilePath;

    std::vector<Login> logins;
    std::vector<std::wstring> checkedTokens;
    std::vector<Login> saved;

    // While held, log-in calls wait until released.
    bool loginHeld = false;
};

// Stands in for the account client and credential store inside the window tests: records what
// the wizard handed over and answers as scripted. Called from worker threads, hence the lock.
struct FakeAccountService : FakeAccountScript {
    std::mutex mutex;
    std::condition_variable loginReleased;
    int loginsWaiting = 0;

    void Reset();
    void HoldLogin();
    void ReleaseLogin();
    bool LoginWaiting();
};

FakeAccountService& FakeAccount();
