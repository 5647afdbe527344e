#pragma once

#include <cstdint>
#include <string>

#include "account/account_session.h"

// What the login and the account check send and how they read the answers, apart from the
// transport, so every rule can be checked without a network.

extern const wchar_t kLoginPath[];         // "/api/config-app/login/"
extern const wchar_t kAccountCheckPath[];  // "/api/config-app/me/"

// {"username":"...","password":"..."} with no white space, each value converted to UTF-8 and
// escaped. The result holds the password: wipe it once sent.
std::string BuildLoginBody(const std::wstring& username, const std::wstring& password);

// "Token " followed by the token.
std::wstring AccountCheckAuthorization(const std::wstring& token);

// Turn a completed exchange into a session or a sentence. The session is cleared first and
// filled only when they return true.
bool ReadLoginAnswer(uint32_t status, const std::string& body, AccountSession& session,
                     std::wstring& errorText);
bool ReadAccountCheckAnswer(uint32_t status, const std::string& body, const std::wstring& token,
                            AccountSession& session, std::wstring& errorText);

extern const wchar_t kLoginInputMissing[];
extern const wchar_t kAccountCheckTokenMissing[];
extern const wchar_t kNoTokenReturned[];
extern const wchar_t kNoUsernameReturned[];
