#pragma once

#include <string>

// A logged-in account: both empty means not logged in. Lives only in memory.
struct AccountSession {
    std::wstring token;
    std::wstring accountUsername;
};

// POST /api/config-app/login/. Clears the session first; fills it only on success.
bool LoginToService(const std::wstring& username, const std::wstring& password,
                    AccountSession& session, std::wstring& errorText);

// GET /api/config-app/me/ with the token. Clears the session first; fills it only on success.
bool CheckServiceAccount(const std::wstring& token, AccountSession& session,
                         std::wstring& errorText);
