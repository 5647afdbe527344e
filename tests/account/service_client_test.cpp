// The WinHTTP client, the login and the account check against the stand-in service. Run by
// run_service_tests.py, which starts the stand-in and names it in the environment.
#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "account/account_client.h"
#include "account/account_exchange.h"
#include "account/credential_store.h"
#include "account/service_request.h"
#include "account/text_conversion.h"

namespace {

std::wstring Env(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value != nullptr ? value : L"";
}

std::string Narrow(const std::wstring& text) {
    return Utf16ToUtf8(text);
}

std::string FromHex(const std::wstring& hex) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(Narrow(hex.substr(i, 2)), nullptr, 16)));
    }
    return bytes;
}

bool Https() {
    return Env(L"TERVANE_STANDIN_MODE") == L"https";
}
std::wstring Origin() {
    return Env(L"TERVANE_STANDIN_ORIGIN");
}

// The stand-in's control endpoints, reached over the same origin.
std::string Control(const std::wstring& verb, const std::wstring& path,
                    const std::string& body = std::string()) {
    uint32_t status = 0;
    std::string answer;
    std::wstring error;
    const bool ok =
        SendServiceRequestTo(Origin().c_str(), verb, path, L"", body, status, answer, error);
    EXPECT_TRUE(ok) << Narrow(error);
    EXPECT_EQ(status, 200u) << Narrow(path);
    return answer;
}

void ArmFault(const std::wstring& query, const std::string& body = std::string()) {
    Control(L"POST", L"/_standin/fault?" + query, body);
}

std::string LastRequest() {
    return Control(L"GET", L"/_standin/last");
}
int RequestCount() {
    return std::stoi(Control(L"GET", L"/_standin/count"));
}

struct Exchange {
    bool ok = false;
    uint32_t status = 12345;
    std::string body = "stale";
    std::wstring error = L"stale";
};

Exchange Send(const std::wstring& verb, const std::wstring& path,
              const std::wstring& authorization = L"", const std::string& body = "",
              const ServiceTimeouts& timeouts = ServiceTimeouts(),
              const std::wstring& origin = Origin()) {
    Exchange e;
    e.ok = SendServiceRequestTo(origin.c_str(), verb, path, authorization, body, e.status, e.body,
                                e.error, timeouts);
    return e;
}

// The header block of a raw request, one "Name: value" line each, and what follows it.
struct RawRequest {
    std::string requestLine;
    std::vector<std::string> headers;
    std::string body;
    bool Has(const std::string& line) const {
        return std::find(headers.begin(), headers.end(), line) != headers.end();
    }
    bool HasName(const std::string& name) const {
        for (const auto& h : headers) {
            if (_strnicmp(h.c_str(), (name + ":").c_str(), name.size() + 1) == 0)
                return true;
        }
        return false;
    }
};

RawRequest Parse(const std::string& raw) {
    RawRequest r;
    const size_t end = raw.find("\r\n\r\n");
    EXPECT_NE(end, std::string::npos);
    size_t pos = 0;
    bool first = true;
    while (pos < end) {
        size_t next = raw.find("\r\n", pos);
        const std::string line = raw.substr(pos, next - pos);
        if (first) {
            r.requestLine = line;
            first = false;
        } else {
            r.headers.push_back(line);
        }
        pos = next + 2;
    }
    r.body = raw.substr(end + 4);
    return r;
}

std::wstring TestUser() {
    return Utf8ToUtf16(FromHex(Env(L"TERVANE_TEST_USER_HEX")));
}
std::wstring TestPassword() {
    return Utf8ToUtf16(FromHex(Env(L"TERVANE_TEST_PASSWORD_HEX")));
}
std::wstring TestAccount() {
    return Utf8ToUtf16(FromHex(Env(L"TERVANE_TEST_ACCOUNT_HEX")));
}

class ServiceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Origin().empty()) << "run through run_service_tests.py";
        Control(L"POST", L"/_standin/reset");
    }
};

// --- wire bytes ---------------------------------------------------------------------------

TEST_F(ServiceTest, LoginSendsTheFixedHeadersAndTheEscapedBody) {
    AccountSession session;
    std::wstring error;
    ASSERT_TRUE(LoginToServiceAt(Origin().c_str(), TestUser(), TestPassword(), session, error))
        << Narrow(error);
    const RawRequest r = Parse(LastRequest());
    EXPECT_EQ(r.requestLine, "POST /api/config-app/login/ HTTP/1.1");
    EXPECT_TRUE(r.Has("Accept: application/json"));
    EXPECT_TRUE(r.Has("Content-Type: application/json; charset=utf-8"));
    EXPECT_TRUE(r.Has("User-Agent: TervaneConfigNative/1.0"));
    EXPECT_FALSE(r.HasName("Authorization"));
    const std::string expected = BuildLoginBody(TestUser(), TestPassword());
    EXPECT_TRUE(r.Has("Content-Length: " + std::to_string(expected.size())));
    EXPECT_EQ(r.body, expected);
    EXPECT_EQ(session.accountUsername, TestAccount());
    EXPECT_EQ(session.token.size(), 40u);
}

TEST_F(ServiceTest, AccountCheckSendsTheTokenAndNoBody) {
    AccountSession login, check;
    std::wstring error;
    ASSERT_TRUE(LoginToServiceAt(Origin().c_str(), TestUser(), TestPassword(), login, error));
    ASSERT_TRUE(CheckServiceAccountAt(Origin().c_str(), login.token, check, error))
        << Narrow(error);
    EXPECT_EQ(check.token, login.token);
    EXPECT_EQ(check.accountUsername, TestAccount());
    const RawRequest r = Parse(LastRequest());
    EXPECT_EQ(r.requestLine, "GET /api/config-app/me/ HTTP/1.1");
    EXPECT_TRUE(r.Has("Accept: application/json"));
    EXPECT_TRUE(r.Has("Authorization: Token " + Narrow(login.token)));
    EXPECT_FALSE(r.HasName("Content-Type"));
    EXPECT_TRUE(r.body.empty());
}

TEST_F(ServiceTest, EmptyInputsSendNothing) {
    const int before = RequestCount();
    AccountSession session{L"x", L"y"};
    std::wstring error;
    EXPECT_FALSE(LoginToServiceAt(Origin().c_str(), L"", L"pw", session, error));
    EXPECT_EQ(error, L"Enter your Tervane username and password.");
    EXPECT_FALSE(LoginToServiceAt(Origin().c_str(), L"user", L"", session, error));
    EXPECT_EQ(error, L"Enter your Tervane username and password.");
    EXPECT_FALSE(CheckServiceAccountAt(Origin().c_str(), L"", session, error));
    EXPECT_EQ(error, L"Please log in to Tervane again.");
    EXPECT_TRUE(session.token.empty() && session.accountUsername.empty());
    EXPECT_EQ(RequestCount(), before);
}

TEST_F(ServiceTest, WrongPasswordGivesTheServiceSentence) {
    AccountSession session;
    std::wstring error;
    EXPECT_FALSE(LoginToServiceAt(Origin().c_str(), TestUser(), L"wrong", session, error));
    EXPECT_EQ(error, L"Invalid username or password.");
    EXPECT_TRUE(session.token.empty());
}

TEST_F(ServiceTest, UnknownTokenFailsTheAccountCheck) {
    AccountSession session;
    std::wstring error;
    EXPECT_FALSE(CheckServiceAccountAt(Origin().c_str(), L"revoked", session, error));
    EXPECT_EQ(error, L"Invalid token.");
}

// --- statuses and answers -------------------------------------------------------------------

class StatusClasses : public ServiceTest, public testing::WithParamInterface<int> {};

TEST_P(StatusClasses, AnyStatusIsACompletedExchange) {
    const std::string body = "{\"detail\":\"status " + std::to_string(GetParam()) + "\"}";
    ArmFault(L"kind=status&code=" + std::to_wstring(GetParam()), body);
    const Exchange e = Send(L"GET", L"/api/config-app/me/");
    EXPECT_TRUE(e.ok) << Narrow(e.error);
    EXPECT_EQ(e.status, static_cast<uint32_t>(GetParam()));
    EXPECT_EQ(e.body, body);
    EXPECT_TRUE(e.error.empty());
}

INSTANTIATE_TEST_SUITE_P(Codes, StatusClasses,
                         testing::Values(200, 201, 299, 300, 400, 401, 403, 404, 429, 500, 502, 503,
                                         599));

struct LoginFault {
    const char* name;
    const wchar_t* fault;
    std::string body;
    std::wstring error;
};

class LoginFaults : public ServiceTest, public testing::WithParamInterface<LoginFault> {};

TEST_P(LoginFaults, EndInTheirSentence) {
    ArmFault(GetParam().fault, GetParam().body);
    AccountSession session{L"x", L"y"};
    std::wstring error;
    EXPECT_FALSE(LoginToServiceAt(Origin().c_str(), TestUser(), TestPassword(), session, error));
    EXPECT_EQ(error, GetParam().error);
    EXPECT_TRUE(session.token.empty() && session.accountUsername.empty());
}

const std::wstring kNoToken = L"The server did not return an API token.";
const std::wstring kNoUser = L"The server did not return the Tervane username for this account.";
const std::wstring kUnreadable = L"Could not read the Tervane server response.";
const std::wstring kTooLarge = L"The Tervane server response was unexpectedly large.";

INSTANTIATE_TEST_SUITE_P(
    Table, LoginFaults,
    testing::Values(LoginFault{"EmptyToken", L"kind=status&code=200",
                               R"({"token":"","tervane_username":"u"})", kNoToken},
                    LoginFault{"NumericToken", L"kind=status&code=200",
                               R"({"token":1,"tervane_username":"u"})", kNoToken},
                    LoginFault{"NoUsername", L"kind=status&code=200", R"({"token":"t"})", kNoUser},
                    LoginFault{"NullUsername", L"kind=status&code=200",
                               R"({"token":"t","tervane_username":null})", kNoUser},
                    LoginFault{"NotJson", L"kind=status&code=200", "<html>", kNoToken},
                    LoginFault{"DetailOf400", L"kind=status&code=400",
                               R"({"detail":"Locked \u00e9"})", L"Locked \x00E9"},
                    LoginFault{"FieldErrorsOf400", L"kind=status&code=400",
                               R"({"username":["This field is required."]})",
                               L"Tervane server returned HTTP 400."},
                    LoginFault{"MessageOf503", L"kind=status&code=503",
                               R"({"message":"Maintenance"})", L"Maintenance"},
                    LoginFault{"HtmlOf502", L"kind=status&code=502&type=text/html", "<h1>Bad</h1>",
                               L"Tervane server returned HTTP 502."},
                    LoginFault{"BrokenChunkedBody", L"kind=raw",
                               "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
                               kUnreadable},
                    LoginFault{"OversizedBody", L"kind=size&bytes=1048577", "", kTooLarge}),
    [](const testing::TestParamInfo<LoginFault>& info) { return info.param.name; });

TEST_F(ServiceTest, AccountCheckWithoutUsernameFails) {
    ArmFault(L"kind=status&code=200", R"({"username":"u"})");
    AccountSession session;
    std::wstring error;
    EXPECT_FALSE(CheckServiceAccountAt(Origin().c_str(), L"t", session, error));
    EXPECT_EQ(error, kNoUser);
}

// --- the body cap ---------------------------------------------------------------------------

struct CapCase {
    const char* name;
    const wchar_t* fault;
    bool ok;
    size_t size;
};

class BodyCap : public ServiceTest, public testing::WithParamInterface<CapCase> {};

TEST_P(BodyCap, HoldsAtExactlyOneMebibyte) {
    ArmFault(GetParam().fault);
    const Exchange e = Send(L"GET", L"/api/config-app/me/");
    EXPECT_EQ(e.ok, GetParam().ok);
    EXPECT_EQ(e.status, 200u);
    EXPECT_EQ(e.error, GetParam().ok ? L"" : kTooLarge);
    if (GetParam().ok) {
        EXPECT_EQ(e.body, std::string(GetParam().size, 'x'));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, BodyCap,
    testing::Values(CapCase{"Exact", L"kind=size&bytes=1048576", true, 1048576},
                    CapCase{"OneMore", L"kind=size&bytes=1048577", false, 0},
                    CapCase{"ExactChunked", L"kind=size&bytes=1048576&chunked=1", true, 1048576},
                    CapCase{"OneMoreChunked", L"kind=size&bytes=1048577&chunked=1", false, 0},
                    CapCase{"Empty", L"kind=size&bytes=0", true, 0}),
    [](const testing::TestParamInfo<CapCase>& info) { return info.param.name; });

// --- transport failures ---------------------------------------------------------------------

bool IsRequestFailedSentence(const std::wstring& error, DWORD& code) {
    const std::wstring head = L"The Tervane server request failed (Windows error ";
    const std::wstring tail = L").";
    if (error.compare(0, head.size(), head) != 0 || error.size() <= head.size() + tail.size() ||
        error.compare(error.size() - tail.size(), tail.size(), tail) != 0) {
        return false;
    }
    const std::wstring digits = error.substr(head.size(), error.size() - head.size() - 2);
    if (digits.find_first_not_of(L"0123456789") != std::wstring::npos || digits[0] == L'0') {
        return false;
    }
    code = static_cast<DWORD>(std::stoul(digits));
    return true;
}

// Wine reports a time-out with the socket layer's code where Windows gives WinHTTP's own.
DWORD PlatformTimeoutCode() {
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine ? WSAETIMEDOUT : ERROR_WINHTTP_TIMEOUT;
}

std::wstring TimeoutSentence() {
    return L"The Tervane server request failed (Windows error " +
           std::to_wstring(PlatformTimeoutCode()) + L").";
}

TEST_F(ServiceTest, AnAnswerPastTheReceiveTimeOutReportsTheTimeOutCode) {
    ArmFault(L"kind=stall&ms=8000");
    ServiceTimeouts quick;
    quick.receiveMs = 1500;
    const DWORD start = GetTickCount();
    const Exchange e = Send(L"GET", L"/api/config-app/me/", L"", "", quick);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.status, 0u);
    EXPECT_EQ(e.error, TimeoutSentence());
    EXPECT_LT(elapsed, 7000u) << "ended by the stand-in, not by the time-out";
}

TEST_F(ServiceTest, ABodyThatStallsPastTheReceiveTimeOutIsUnreadable) {
    ArmFault(L"kind=stall&after=headers&ms=8000");
    ServiceTimeouts quick;
    quick.receiveMs = 1500;
    const DWORD start = GetTickCount();
    const Exchange e = Send(L"GET", L"/api/config-app/me/", L"", "", quick);
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.status, 200u);
    EXPECT_EQ(e.error, kUnreadable);
    EXPECT_LT(elapsed, 7000u) << "ended by the stand-in, not by the time-out";
}

TEST_F(ServiceTest, TheBuiltInReceiveTimeOutEndsAStalledLogin) {
    if (Env(L"TERVANE_LONG_TESTS") != L"1") {
        GTEST_SKIP() << "runs in the plain HTTP pass only";
    }
    ArmFault(L"kind=stall&ms=45000");
    AccountSession session;
    std::wstring error;
    const DWORD start = GetTickCount();
    EXPECT_FALSE(LoginToServiceAt(Origin().c_str(), TestUser(), TestPassword(), session, error));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_EQ(error, TimeoutSentence());
    EXPECT_LT(elapsed, 44000u) << "ended by the stand-in, not by the time-out";
    std::printf("the built-in receive time-out ended a stalled login after %lu ms\n",
                static_cast<unsigned long>(elapsed));
}

TEST_F(ServiceTest, ASlowAnswerWithinTheTimeOutsSucceeds) {
    ArmFault(L"kind=delay&ms=2000");
    AccountSession session;
    std::wstring error;
    EXPECT_TRUE(LoginToServiceAt(Origin().c_str(), TestUser(), TestPassword(), session, error))
        << Narrow(error);
}

TEST_F(ServiceTest, ADroppedConnectionIsARequestFailure) {
    ArmFault(L"kind=drop");
    const Exchange e = Send(L"GET", L"/api/config-app/me/");
    DWORD code = 0;
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.status, 0u);
    EXPECT_TRUE(IsRequestFailedSentence(e.error, code)) << Narrow(e.error);
    std::printf("dropped connection: Windows error %lu\n", static_cast<unsigned long>(code));
}

TEST_F(ServiceTest, AClosedPortIsARequestFailure) {
    const std::wstring closed = Https() ? L"https://127.0.0.1:1" : L"http://127.0.0.1:1";
    const Exchange e = Send(L"GET", L"/", L"", "", ServiceTimeouts(), closed);
    DWORD code = 0;
    EXPECT_FALSE(e.ok);
    EXPECT_TRUE(IsRequestFailedSentence(e.error, code)) << Narrow(e.error);
    EXPECT_EQ(code, static_cast<DWORD>(ERROR_WINHTTP_CANNOT_CONNECT));
}

struct RawCase {
    const char* name;
    std::string answer;
    std::wstring error;
};

class MalformedAnswers : public ServiceTest, public testing::WithParamInterface<RawCase> {};

TEST_P(MalformedAnswers, EndInTheirSentence) {
    ArmFault(L"kind=raw", GetParam().answer);
    const Exchange e = Send(L"GET", L"/api/config-app/me/");
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MalformedAnswers,
    testing::Values(RawCase{"StatusNotANumber", "HTTP/1.1 abc Broken\r\nContent-Length: 0\r\n\r\n",
                            L"The Tervane server response did not contain a status code."},
                    RawCase{"NotHttp", "garbage\r\n\r\n",
                            L"The Tervane server request failed (Windows error 12152)."},
                    RawCase{"BrokenChunk",
                            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
                            kUnreadable}),
    [](const testing::TestParamInfo<RawCase>& info) { return info.param.name; });

TEST_F(ServiceTest, ARedirectIsFollowedAsThePlatformDoes) {
    ArmFault(L"kind=redirect&code=302&location=/signup/");
    const Exchange e = Send(L"GET", L"/api/config-app/me/");
    EXPECT_TRUE(e.ok) << Narrow(e.error);
    EXPECT_EQ(e.status, 200u);
    EXPECT_NE(e.body.find("Create a Tervane account"), std::string::npos);
}

struct OriginCase {
    const char* name;
    const wchar_t* origin;
    std::wstring error;
};

class BadOrigins : public ServiceTest, public testing::WithParamInterface<OriginCase> {};

TEST_P(BadOrigins, FailBeforeAnythingIsSent) {
    const Exchange e = Send(L"GET", L"/", L"", "", ServiceTimeouts(), GetParam().origin);
    EXPECT_FALSE(e.ok);
    EXPECT_EQ(e.status, 0u);
    EXPECT_EQ(e.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadOrigins,
    testing::Values(OriginCase{"NoScheme", L"connect.tervane.invalid",
                               L"The configured Tervane server URL is invalid."},
                    OriginCase{"Empty", L"", L"The configured Tervane server URL is invalid."},
                    OriginCase{"UnknownScheme", L"gopher://127.0.0.1",
                               L"The configured Tervane server URL is invalid."}),
    [](const testing::TestParamInfo<OriginCase>& info) { return info.param.name; });

}  // namespace

namespace {

// --- HTTPS ----------------------------------------------------------------------------------

// Trusts the test authority in this prefix's machine root store, the only place it is ever
// trusted.
class TrustTestAuthority : public testing::Environment {
public:
    void SetUp() override {
        const std::wstring path = Env(L"TERVANE_STANDIN_CA");
        if (path.empty()) {
            return;
        }
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << Narrow(path);
        std::vector<BYTE> der(8192);
        DWORD read = 0;
        ASSERT_TRUE(ReadFile(file, der.data(), static_cast<DWORD>(der.size()), &read, nullptr));
        CloseHandle(file);
        HCERTSTORE store =
            CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
        ASSERT_NE(store, nullptr);
        EXPECT_TRUE(CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, der.data(), read,
                                                     CERT_STORE_ADD_REPLACE_EXISTING, nullptr));
        CertCloseStore(store, 0);
    }
};

const auto* const kTrust = testing::AddGlobalTestEnvironment(new TrustTestAuthority);

class HttpsTest : public ServiceTest {
protected:
    void SetUp() override {
        if (!Https()) {
            GTEST_SKIP() << "runs in the HTTPS pass only";
        }
        ServiceTest::SetUp();
    }
};

TEST_F(HttpsTest, TheSecureOriginNegotiatesAModernProtocol) {
    AccountSession session;
    std::wstring error;
    ASSERT_TRUE(LoginToServiceAt(Origin().c_str(), TestUser(), TestPassword(), session, error))
        << Narrow(error);
    const std::string version = Control(L"GET", L"/_standin/last-tls");
    std::printf("negotiated with a server offering every version: %s\n", version.c_str());
    EXPECT_TRUE(version == "TLSv1.3" || version == "TLSv1.2") << version;
}

TEST_F(HttpsTest, AServerLimitedToTls12IsReached) {
    const std::wstring origin = Env(L"TERVANE_TLS12_ORIGIN");
    AccountSession session;
    std::wstring error;
    EXPECT_TRUE(LoginToServiceAt(origin.c_str(), TestUser(), TestPassword(), session, error))
        << Narrow(error);
}

// Neither a server that speaks only TLS 1.0 and 1.1 nor one whose certificate chains to an
// authority nobody trusts is reached; both fail with the request sentence.
TEST_F(HttpsTest, LegacyProtocolsAndUntrustedCertificatesAreRefused) {
    for (const wchar_t* name : {L"TERVANE_LEGACY_ORIGIN", L"TERVANE_ROGUE_ORIGIN"}) {
        const Exchange e = Send(L"GET", L"/signup/", L"", "", ServiceTimeouts(), Env(name));
        DWORD code = 0;
        EXPECT_FALSE(e.ok) << Narrow(name);
        EXPECT_TRUE(IsRequestFailedSentence(e.error, code)) << Narrow(e.error);
        std::printf("%s: %s\n", Narrow(name).c_str(), Narrow(e.error).c_str());
    }
}

// --- secrets on disk ------------------------------------------------------------------------

std::string FileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

TEST_F(ServiceTest, AfterLoginCheckAndSaveNoSecretIsInTheCredentialsFileInClear) {
    AccountSession login, check;
    std::wstring error;
    ASSERT_TRUE(LoginToServiceAt(Origin().c_str(), TestUser(), TestPassword(), login, error));
    ASSERT_TRUE(CheckServiceAccountAt(Origin().c_str(), login.token, check, error));
    ASSERT_TRUE(SaveCredentials(TestUser(), TestPassword()));
    const std::string file = FileBytes(GetCredentialsFilePath());
    ASSERT_FALSE(file.empty());
    for (const std::wstring& secret : {TestPassword(), login.token}) {
        const std::string utf16(reinterpret_cast<const char*>(secret.data()), secret.size() * 2);
        EXPECT_EQ(file.find(Utf16ToUtf8(secret)), std::string::npos);
        EXPECT_EQ(file.find(utf16), std::string::npos);
    }
    std::wstring username, password;
    ASSERT_TRUE(LoadCredentials(username, password));
    EXPECT_EQ(username, TestUser());
    EXPECT_EQ(password, TestPassword());
}

}  // namespace
