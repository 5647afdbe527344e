#include "account/account_client.h"

#include <cstdint>

#include "account/account_exchange.h"
#include "account/secret_wipe.h"
#include "account/service_origin.h"
#include "account/service_request.h"

bool LoginToServiceAt(const wchar_t* origin, const std::wstring& username,
                      const std::wstring& password, AccountSession& session,
                      std::wstring& errorText) {
    WipeSecret(session.token);
    session.accountUsername.clear();
    errorText.clear();
    if (username.empty() || password.empty()) {
        errorText = kLoginInputMissing;
        return false;
    }
    std::string body = BuildLoginBody(username, password);
    uint32_t status = 0;
    std::string answer;
    const bool sent = SendServiceRequestTo(origin, L"POST", kLoginPath, std::wstring(), body,
                                           status, answer, errorText);
    WipeSecret(body);
    const bool ok = sent && ReadLoginAnswer(status, answer, session, errorText);
    WipeSecret(answer);
    return ok;
}

bool CheckServiceAccountAt(const wchar_t* origin, const std::wstring& token,
                           AccountSession& session, std::wstring& errorText) {
    // The token may be the session's own, which is cleared next: keep it first.
    std::wstring held = token;
    WipeSecret(session.token);
    session.accountUsername.clear();
    errorText.clear();
    if (held.empty()) {
        errorText = kAccountCheckTokenMissing;
        return false;
    }
    std::wstring authorization = AccountCheckAuthorization(held);
    uint32_t status = 0;
    std::string answer;
    const bool sent = SendServiceRequestTo(origin, L"GET", kAccountCheckPath, authorization,
                                           std::string(), status, answer, errorText);
    WipeSecret(authorization);
    const bool ok = sent && ReadAccountCheckAnswer(status, answer, held, session, errorText);
    WipeSecret(answer);
    WipeSecret(held);
    return ok;
}

bool LoginToService(const std::wstring& username, const std::wstring& password,
                    AccountSession& session, std::wstring& errorText) {
    return LoginToServiceAt(ServiceOrigin, username, password, session, errorText);
}

bool CheckServiceAccount(const std::wstring& token, AccountSession& session,
                         std::wstring& errorText) {
    return CheckServiceAccountAt(ServiceOrigin, token, session, errorText);
}
