#pragma once

#include <string>

#include "account/account_session.h"

// LoginToService and CheckServiceAccount against any origin, for the stand-in service in
// tests; the product calls go to the built-in origin.
bool LoginToServiceAt(const wchar_t* origin, const std::wstring& username,
                      const std::wstring& password, AccountSession& session,
                      std::wstring& errorText);
bool CheckServiceAccountAt(const wchar_t* origin, const std::wstring& token,
                           AccountSession& session, std::wstring& errorText);
