#include "account/account_exchange.h"

#include "account/json_text.h"
#include "account/secret_wipe.h"
#include "common/text_conversion.h"

const wchar_t kLoginPath[] = L"/api/config-app/login/";
const wchar_t kAccountCheckPath[] = L"/api/config-app/me/";

const wchar_t kLoginInputMissing[] = L"Enter your Tervane username and password.";
const wchar_t kAccountCheckTokenMissing[] = L"Please log in to Tervane again.";
const wchar_t kNoTokenReturned[] = L"The server did not return an API token.";
const wchar_t kNoUsernameReturned[] =
    L"The server did not return the Tervane username for this account.";

namespace {

bool IsSuccessStatus(uint32_t status) {
    return status >= 200 && status <= 299;
}

// What both answers start with: the outputs cleared, and a status outside 2xx told in the
// service's own words.
bool AcceptAnswerStatus(uint32_t status, const std::string& body, AccountSession& session,
                        std::wstring& errorText) {
    WipeSecret(session.token);
    session.accountUsername.clear();
    errorText.clear();
    if (!IsSuccessStatus(status)) {
        errorText = ExtractServiceError(body, status);
        return false;
    }
    return true;
}

bool FindAccountUsername(const std::string& body, std::string& username, std::wstring& errorText) {
    if (!FindJsonString(body, "tervane_username", username) || username.empty()) {
        errorText = kNoUsernameReturned;
        return false;
    }
    return true;
}

}  // namespace

std::string BuildLoginBody(const std::wstring& username, const std::wstring& password) {
    std::string user = Utf16ToUtf8(username);
    std::string secret = Utf16ToUtf8(password);
    std::string escapedUser = EscapeJsonString(user);
    std::string escapedSecret = EscapeJsonString(secret);
    static const char kBeforeUser[] = "{\"username\":\"";
    static const char kBetween[] = "\",\"password\":\"";
    static const char kAfter[] = "\"}";
    std::string body;
    body.reserve(sizeof kBeforeUser - 1 + escapedUser.size() + sizeof kBetween - 1 +
                 escapedSecret.size() + sizeof kAfter - 1);
    body.append(kBeforeUser)
        .append(escapedUser)
        .append(kBetween)
        .append(escapedSecret)
        .append(kAfter);
    WipeSecret(user);
    WipeSecret(secret);
    WipeSecret(escapedUser);
    WipeSecret(escapedSecret);
    return body;
}

std::wstring AccountCheckAuthorization(const std::wstring& token) {
    std::wstring value;
    value.reserve(6 + token.size());
    value.append(L"Token ").append(token);
    return value;
}

bool ReadLoginAnswer(uint32_t status, const std::string& body, AccountSession& session,
                     std::wstring& errorText) {
    if (!AcceptAnswerStatus(status, body, session, errorText)) {
        return false;
    }
    std::string token;
    if (!FindJsonString(body, "token", token) || token.empty()) {
        errorText = kNoTokenReturned;
        return false;
    }
    std::string username;
    if (!FindAccountUsername(body, username, errorText)) {
        WipeSecret(token);
        return false;
    }
    session.token = Utf8ToUtf16(token);
    session.accountUsername = Utf8ToUtf16(username);
    WipeSecret(token);
    return true;
}

bool ReadAccountCheckAnswer(uint32_t status, const std::string& body, const std::wstring& token,
                            AccountSession& session, std::wstring& errorText) {
    std::string username;
    if (!AcceptAnswerStatus(status, body, session, errorText) ||
        !FindAccountUsername(body, username, errorText)) {
        return false;
    }
    session.token = token;
    session.accountUsername = Utf8ToUtf16(username);
    return true;
}
