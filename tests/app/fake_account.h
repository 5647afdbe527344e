#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

// Stands in for the account client and credential store inside the window tests: records what
// the wizard handed over and answers as scripted. Called from worker threads, hence the lock.
struct FakeAccountService {
    struct Login {
        std::wstring username;
        std::wstring password;
    };

    std::mutex mutex;
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

    std::vector<Login> logins;
    std::vector<std::wstring> checkedTokens;
    std::vector<Login> saved;
    std::wstring tokenFilePath;

    // While held, log-in calls wait until released.
    bool loginHeld = false;
    int loginsWaiting = 0;
    std::condition_variable loginReleased;

    void Reset();
    void HoldLogin();
    void ReleaseLogin();
    bool LoginWaiting();
};

FakeAccountService& FakeAccount();
