// Run by run_service_tests.py, which starts the stand-in and names it in the environment.
#include <windows.h>
#include <winhttp.h>

#include <gtest/gtest.h>

#include <regex>
#include <vector>

#include "account/account_client.h"
#include "account/account_exchange.h"
#include "account/credential_store.h"
#include "account/service_request.h"
#include "common/text_conversion.h"
#include "tests/support/standin_client.h"

namespace {

// The runner hands the test account over hex-encoded so any character survives the environment.
std::wstring FromHexEnv(const wchar_t* name) {
    const std::wstring hex = Env(name);
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(Narrow(hex.substr(i, 2)), nullptr, 16)));
    }
    return Utf8ToUtf16(bytes);
}

std::wstring Origin() {
    return Env(L"TERVANE_STANDIN_ORIGIN");
}

struct Exchange {
    bool ok = false;
    uint32_t status = 12345;
    std::string body = "stale";
    std::wstring error = L"stale";
};

Exchange Send(const ServiceTimeouts& timeouts = ServiceTimeouts(),
              const std::wstring& origin = Origin()) {
    Exchange e;
    e.ok = SendServiceRequestTo(origin.c_str(), L"GET", L"/api/config-app/me/", L"", "", e.status,
                                e.body, e.error, timeouts);
    return e;
}

std::string Control(const std::wstring& verb, const std::wstring& path,
                    const std::string& body = std::string()) {
    return StandInControl(Origin(), verb, path, body);
}

void ArmFault(const std::wstring& query, const std::string& body = std::string()) {
    Control(L"POST", L"/_standin/fault?" + query, body);
}

int RequestCount() {
    return std::stoi(Control(L"GET", L"/_standin/count"));
}

// The last request the stand-in received.
struct RawRequest {
    RawRequest() : raw(Control(L"GET", L"/_standin/last")) {}
    bool Has(const std::string& line) const {
        return head().find("\r\n" + line + "\r\n") != std::string::npos;
    }
    std::string head() const { return raw.substr(0, raw.find("\r\n\r\n") + 2); }
    std::string requestLine() const { return raw.substr(0, raw.find("\r\n")); }
    std::string body() const { return raw.substr(raw.find("\r\n\r\n") + 4); }
    std::string raw;
};

class ServiceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(Origin().empty()) << "run through run_service_tests.py";
        Control(L"POST", L"/_standin/reset");
    }
    static std::wstring User() { return FromHexEnv(L"TERVANE_TEST_USER_HEX"); }
    static std::wstring Password() { return FromHexEnv(L"TERVANE_TEST_PASSWORD_HEX"); }
    static std::wstring Account() { return FromHexEnv(L"TERVANE_TEST_ACCOUNT_HEX"); }
    bool Login(const std::wstring& origin = Origin()) {
        return LoginToServiceAt(origin.c_str(), User(), Password(), session, error);
    }
    bool Check(const std::wstring& token) {
        return CheckServiceAccountAt(Origin().c_str(), token, session, error);
    }

    AccountSession session;
    std::wstring error;
};

const std::wstring kUnreadable = L"Could not read the Tervane server response.";
const std::wstring kTooLarge = L"The Tervane server response was unexpectedly large.";

TEST_F(ServiceTest, LoginAndAccountCheckSendTheFixedRequests) {
    ASSERT_TRUE(Login()) << Narrow(error);
    const RawRequest r;
    EXPECT_EQ(r.requestLine(), "POST /api/config-app/login/ HTTP/1.1");
    EXPECT_TRUE(r.Has("Accept: application/json"));
    EXPECT_TRUE(r.Has("Content-Type: application/json; charset=utf-8"));
    EXPECT_TRUE(r.Has("User-Agent: TervaneConfigNative/1.0"));
    EXPECT_EQ(r.head().find("Authorization"), std::string::npos);
    const std::string expected = BuildLoginBody(User(), Password());
    EXPECT_TRUE(r.Has("Content-Length: " + std::to_string(expected.size())));
    EXPECT_EQ(r.body(), expected);
    EXPECT_EQ(session.token.size(), 40u);

    // The session's own token, which the check clears before it refills it.
    const std::wstring token = session.token;
    ASSERT_TRUE(Check(session.token)) << Narrow(error);
    EXPECT_EQ(session.token, token);
    EXPECT_EQ(session.accountUsername, Account());
    const RawRequest check;
    EXPECT_EQ(check.requestLine(), "GET /api/config-app/me/ HTTP/1.1");
    EXPECT_TRUE(check.Has("Accept: application/json"));
    EXPECT_TRUE(check.Has("Authorization: Token " + Narrow(token)));
    EXPECT_EQ(check.head().find("Content-Type"), std::string::npos);
    EXPECT_TRUE(check.body().empty());
}

// How the answers are read is covered by the host tests; these are what only a real exchange
// shows: UTF-8 arriving intact, and a failed read leaving no half session.
TEST_F(ServiceTest, FailedLoginsEndInTheirSentenceAndLeaveNoSession) {
    const struct {
        const wchar_t* fault;
        std::string body;
        std::wstring error;
    } cases[] = {
        {L"kind=status&code=400", "{\"detail\":\"Locked \xC3\xA9 \\u00fc\"}",
         L"Locked \x00E9 \x00FC"},
        {L"kind=raw", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", kUnreadable},
    };
    for (const auto& c : cases) {
        ArmFault(c.fault, c.body);
        session = AccountSession{L"x", L"y"};
        EXPECT_FALSE(Login());
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(session.token.empty() && session.accountUsername.empty());
    }
}

// Whatever the status, the answer is the exchange's result, up to exactly one mebibyte of body.
TEST_F(ServiceTest, AnyStatusCompletesTheExchangeUpToTheBodyCap) {
    const std::string mebibyte(1048576, 'x');
    const struct {
        const wchar_t* fault;
        std::string body;  // empty: the fault's own
        uint32_t status;
        bool ok;
    } cases[] = {
        {L"kind=status&code=503", "{\"detail\":\"c\"}", 503, true},
        {L"kind=size&bytes=1048576", "", 200, true},
        {L"kind=size&bytes=1048577", "", 200, false},
        {L"kind=size&bytes=1048576&chunked=1", "", 200, true},
        {L"kind=size&bytes=1048577&chunked=1", "", 200, false},
    };
    for (const auto& c : cases) {
        ArmFault(c.fault, c.body);
        const Exchange e = Send();
        EXPECT_EQ(e.ok, c.ok) << Narrow(c.fault);
        EXPECT_EQ(e.status, c.status);
        EXPECT_EQ(e.error, c.ok ? L"" : kTooLarge);
        EXPECT_TRUE(!c.ok || e.body == (c.body.empty() ? mebibyte : c.body)) << Narrow(c.fault);
    }
}

// The request sentence with its Windows error code, or 0 when the text is something else.
DWORD RequestFailedCode(const std::wstring& error) {
    static const std::wregex sentence(
        L"The Tervane server request failed \\(Windows error ([1-9][0-9]*)\\)\\.");
    std::wsmatch match;
    return std::regex_match(error, match, sentence) ? std::stoul(match[1].str()) : 0;
}

// A slow answer is no stall; a stall before the headers or in the body ends at the receive
// time-out; bad origins fail before anything is sent.
TEST_F(ServiceTest, BrokenExchangesEndInTheirSentence) {
    EXPECT_EQ(ServiceTimeouts().receiveMs, 30000);
    ArmFault(L"kind=delay&ms=2000");
    EXPECT_TRUE(Login()) << Narrow(error);
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    const auto failed = [](DWORD code) {
        return L"The Tervane server request failed (Windows error " + std::to_wstring(code) + L").";
    };
    const std::wstring kBadOrigin = L"The configured Tervane server URL is invalid.";
    const bool https = Env(L"TERVANE_STANDIN_MODE") == L"https";
    const struct {
        const wchar_t* fault;
        std::string answer;
        int status;  // -1: any
        std::wstring error;
        std::wstring origin = Origin();
    } cases[] = {
        {L"kind=raw", "HTTP/1.1 abc Broken\r\nContent-Length: 0\r\n\r\n", -1,
         L"The Tervane server response did not contain a status code."},
        // Wine reports a time-out with the socket layer's code, Windows with WinHTTP's own.
        {L"kind=stall&ms=8000", "", 0, failed(wine ? WSAETIMEDOUT : ERROR_WINHTTP_TIMEOUT)},
        {L"kind=stall&after=headers&ms=8000", "", 200, kUnreadable},
        {nullptr, "", 0, failed(12029), https ? L"https://127.0.0.1:1" : L"http://127.0.0.1:1"},
        {nullptr, "", 0, kBadOrigin, L"connect.tervane.invalid"},
        {nullptr, "", 0, kBadOrigin, L"gopher://127.0.0.1"},
    };
    for (const auto& c : cases) {
        if (c.fault != nullptr)
            ArmFault(c.fault, c.answer);
        ServiceTimeouts quick;
        quick.receiveMs = 1500;
        const DWORD start = GetTickCount();
        const Exchange e = Send(quick, c.origin);
        EXPECT_FALSE(e.ok);
        EXPECT_TRUE(c.status < 0 || e.status == static_cast<uint32_t>(c.status)) << e.status;
        EXPECT_EQ(e.error, c.error);
        EXPECT_LT(GetTickCount() - start, 7000u) << "ended by the stand-in, not by the time-out";
    }
}

// A followed redirect would carry the token, or the password, to wherever it points.
TEST_F(ServiceTest, ARedirectIsNotFollowed) {
    const int before = RequestCount();
    ArmFault(L"kind=redirect&code=307&location=" + Origin() + L"/api/config-app/me/");
    EXPECT_FALSE(Check(L"some-token"));
    EXPECT_EQ(error, L"Tervane server returned HTTP 307.");
    ArmFault(L"kind=redirect&code=302&location=/api/config-app/login/");
    EXPECT_FALSE(Login());
    EXPECT_EQ(error, L"Tervane server returned HTTP 302.");
    EXPECT_EQ(RequestCount(), before + 2);
}

const auto* const kTrust = testing::AddGlobalTestEnvironment(new TrustTestAuthority);

// A server offering every version, one limited to TLS 1.2, and neither one that speaks only
// TLS 1.0 and 1.1 nor one whose certificate chains to an authority nobody trusts.
TEST_F(ServiceTest, HttpsReachesModernServersOnly) {
    if (Env(L"TERVANE_STANDIN_MODE") != L"https")
        GTEST_SKIP() << "runs in the HTTPS pass only";
    ASSERT_TRUE(Login()) << Narrow(error);
    const std::string version = Control(L"GET", L"/_standin/last-tls");
    EXPECT_TRUE(version == "TLSv1.3" || version == "TLSv1.2") << version;
    EXPECT_TRUE(Login(Env(L"TERVANE_TLS12_ORIGIN"))) << Narrow(error);
    for (const wchar_t* name : {L"TERVANE_LEGACY_ORIGIN", L"TERVANE_ROGUE_ORIGIN"}) {
        const Exchange e = Send(ServiceTimeouts(), Env(name));
        EXPECT_FALSE(e.ok) << Narrow(name);
        EXPECT_NE(RequestFailedCode(e.error), 0u) << Narrow(e.error);
    }
}

// Leaves the saved file and whatever else the exchanges wrote for run_service_tests.py, which
// then searches every file of the prefix for the password and the tokens.
TEST_F(ServiceTest, AfterLoginCheckAndSaveTheCredentialsLoadBack) {
    ASSERT_TRUE(Login()) << Narrow(error);
    ASSERT_TRUE(Check(session.token));
    ASSERT_TRUE(SaveCredentials(User(), Password()));
    std::wstring username, password;
    ASSERT_TRUE(LoadCredentials(username, password));
    EXPECT_EQ(username, User());
    EXPECT_EQ(password, Password());
}

}  // namespace
