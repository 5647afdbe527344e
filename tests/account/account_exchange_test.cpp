#include "account/account_exchange.h"

#include <gtest/gtest.h>

#include "account/service_request.h"

#include <vector>

namespace {

struct BodyCase {
    const char* name;
    std::wstring username;
    std::wstring password;
    std::string body;
};

class LoginBodyCases : public testing::TestWithParam<BodyCase> {};

TEST_P(LoginBodyCases, IsByteExact) {
    EXPECT_EQ(BuildLoginBody(GetParam().username, GetParam().password), GetParam().body);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoginBodyCases,
    testing::Values(
        BodyCase{"Plain", L"alice", L"secret", R"({"username":"alice","password":"secret"})"},
        BodyCase{"BlanksKept", L" a ", L"  ", R"({"username":" a ","password":"  "})"},
        BodyCase{"Escapes", L"a\"b", L"\\\t\x01/",
                 R"({"username":"a\"b","password":"\\\t\u0001/"})"},
        BodyCase{"NonAsciiAsRawUtf8", L"J\x00FCrgen", L"\x20AC\xD83D\xDE00",
                 "{\"username\":\"J\xC3\xBCrgen\",\"password\":\"\xE2\x82\xAC\xF0\x9F\x98\x80\"}"}),
    [](const testing::TestParamInfo<BodyCase>& info) { return info.param.name; });

struct AnswerCase {
    const char* name;
    uint32_t status;
    std::string body;
    bool ok;
    std::wstring token;
    std::wstring username;
    std::wstring error;
};

const std::wstring kNoToken = L"The server did not return an API token.";
const std::wstring kNoUser = L"The server did not return the Tervane username for this account.";

class LoginAnswerCases : public testing::TestWithParam<AnswerCase> {};

TEST_P(LoginAnswerCases, GivesASessionOrASentence) {
    const AnswerCase& c = GetParam();
    AccountSession session{L"old", L"old"};
    std::wstring error = L"stale";
    EXPECT_EQ(ReadLoginAnswer(c.status, c.body, session, error), c.ok);
    EXPECT_EQ(session.token, c.token);
    EXPECT_EQ(session.accountUsername, c.username);
    EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoginAnswerCases,
    testing::Values(
        AnswerCase{"Ok", 200, R"({"token":"t1","tervane_username":"Al\u00e9"})", true, L"t1",
                   L"Al\x00E9", L""},
        AnswerCase{"HighestSuccess", 299, R"({"token":"t","tervane_username":"u"})", true, L"t",
                   L"u", L""},
        AnswerCase{"UsernameMemberIgnored", 200,
                   R"({"username":"x","token":"t","tervane_username":"u"})", true, L"t", L"u", L""},
        AnswerCase{"EmptyToken", 200, R"({"token":"","tervane_username":"u"})", false, L"", L"",
                   kNoToken},
        AnswerCase{"MissingToken", 200, R"({"tervane_username":"u"})", false, L"", L"", kNoToken},
        AnswerCase{"NumericUsername", 200, R"({"token":"t","tervane_username":5})", false, L"", L"",
                   kNoUser},
        AnswerCase{"EmptyBody", 204, "", false, L"", L"", kNoToken},
        AnswerCase{"BelowSuccess", 199, R"({"token":"t","tervane_username":"u"})", false, L"", L"",
                   L"Tervane server returned HTTP 199."},
        AnswerCase{"Redirect", 302, R"({"token":"t","tervane_username":"u"})", false, L"", L"",
                   L"Tervane server returned HTTP 302."},
        AnswerCase{"DetailOfBadRequest", 400, R"({"detail":"Invalid username or password."})",
                   false, L"", L"", L"Invalid username or password."}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

class AccountCheckAnswerCases : public testing::TestWithParam<AnswerCase> {};

TEST_P(AccountCheckAnswerCases, KeepsThePresentedToken) {
    const AnswerCase& c = GetParam();
    AccountSession session{L"old", L"old"};
    std::wstring error = L"stale";
    EXPECT_EQ(ReadAccountCheckAnswer(c.status, c.body, L"held", session, error), c.ok);
    EXPECT_EQ(session.token, c.token);
    EXPECT_EQ(session.accountUsername, c.username);
    EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Table, AccountCheckAnswerCases,
    testing::Values(AnswerCase{"Ok", 200, R"({"tervane_username":"u","token":"other"})", true,
                               L"held", L"u", L""},
                    AnswerCase{"NoUsername", 200, R"({"username":"u"})", false, L"", L"", kNoUser},
                    AnswerCase{"EmptyUsername", 200, R"({"tervane_username":""})", false, L"", L"",
                               kNoUser},
                    AnswerCase{"Revoked", 401, R"({"detail":"Invalid token."})", false, L"", L"",
                               L"Invalid token."},
                    AnswerCase{"ServerError", 500, "oops", false, L"", L"",
                               L"Tervane server returned HTTP 500."}),
    [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

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
