#include "account/account_exchange.h"

#include <gtest/gtest.h>

#include <vector>

#include "account/service_request.h"

namespace {

TEST(LoginBody, IsByteExactJsonWithRawUtf8) {
    const struct {
        std::wstring username, password;
        std::string body;
    } cases[] = {
        {L"alice", L"secret", R"({"username":"alice","password":"secret"})"},
        {L"a\"b", L"\\\t\x01/", R"({"username":"a\"b","password":"\\\t\u0001/"})"},
        {L"J\x00FCrgen", L"\x20AC\xD83D\xDE00",
         "{\"username\":\"J\xC3\xBCrgen\",\"password\":\"\xE2\x82\xAC\xF0\x9F\x98\x80\"}"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildLoginBody(c.username, c.password), c.body);
}

const std::wstring kNoToken = L"The server did not return an API token.";
const std::wstring kNoUser = L"The server did not return the Tervane username for this account.";

struct AnswerCase {
    uint32_t status;
    std::string body;
    std::wstring token, username, error;  // all empty but the error on failure
};

// A login gives a session or a sentence; an account check keeps the token it presented ("held").
TEST(AccountAnswers, GiveASessionOrASentence) {
    const AnswerCase logins[] = {
        {200, R"({"token":"t1","tervane_username":"Al\u00e9"})", L"t1", L"Al\x00E9", L""},
        {299, R"({"token":"t","tervane_username":"u"})", L"t", L"u", L""},
        {200, R"({"token":"","tervane_username":"u"})", L"", L"", kNoToken},
        {200, R"({"tervane_username":"u"})", L"", L"", kNoToken},
        {200, R"({"token":"t","tervane_username":5})", L"", L"", kNoUser},
        {199, R"({"token":"t","tervane_username":"u"})", L"", L"",
         L"Tervane server returned HTTP 199."},
        {302, R"({"token":"t","tervane_username":"u"})", L"", L"",
         L"Tervane server returned HTTP 302."},
        {400, R"({"detail":"Invalid username or password."})", L"", L"",
         L"Invalid username or password."},
    };
    const AnswerCase checks[] = {
        {200, R"({"tervane_username":"u","token":"other"})", L"held", L"u", L""},
        {200, R"({"tervane_username":""})", L"", L"", kNoUser},
        {401, R"({"detail":"Invalid token."})", L"", L"", L"Invalid token."},
        {500, "oops", L"", L"", L"Tervane server returned HTTP 500."},
    };
    const auto expect = [](const AnswerCase& c, bool login) {
        AccountSession session{L"old", L"old"};
        std::wstring error = L"stale";
        const bool ok = login ? ReadLoginAnswer(c.status, c.body, session, error)
                              : ReadAccountCheckAnswer(c.status, c.body, L"held", session, error);
        EXPECT_EQ(ok, c.error.empty()) << c.body;
        EXPECT_EQ(session.token, c.token) << c.body;
        EXPECT_EQ(session.accountUsername, c.username) << c.body;
        EXPECT_EQ(error, c.error) << c.body;
    };
    for (const AnswerCase& c : logins)
        expect(c, true);
    for (const AnswerCase& c : checks)
        expect(c, false);
}

TEST(ProxyChoice, OnlyTheExactLoopbackNamesBypassTheProxy) {
    EXPECT_TRUE(BypassesProxy(L"127.0.0.1"));
    EXPECT_TRUE(BypassesProxy(L"localhost"));
    for (const wchar_t* host : {L"LOCALHOST", L"Localhost", L"localhost.", L"127.0.0.1.",
                                L"127.0.0.2", L"::1", L"", L"connect.tervane.invalid"}) {
        EXPECT_FALSE(BypassesProxy(host)) << std::string(host, host + wcslen(host));
    }
}

// TLS 1.0 and 1.1 (and SSL 3) are never offered, not even as the last resort.
TEST(SecureProtocols, OfferTls12And13FirstThenTls12Alone) {
    const struct {
        uint32_t accepted;  // 0: the setter refuses everything
        uint32_t taken;
        std::vector<uint32_t> offered;
    } cases[] = {
        {0x2800u, 0x2800u, {0x2800u}},
        {0x800u, 0x800u, {0x2800u, 0x800u}},
        {0, 0, {0x2800u, 0x800u}},
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> offered;
        EXPECT_EQ(OfferSecureProtocols([&](uint32_t p) {
                      offered.push_back(p);
                      return p == c.accepted;
                  }),
                  c.taken);
        EXPECT_EQ(offered, c.offered);
    }
}

}  // namespace
