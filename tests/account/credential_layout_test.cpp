#include "account/credential_layout.h"

#include <gtest/gtest.h>

namespace {

std::string Units(std::initializer_list<unsigned> units) {
    std::string bytes;
    for (const unsigned unit : units) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

TEST(CredentialLayout, EncodesBothValuesAsUtf16LeEachWithAZeroUnit) {
    std::string plain;
    ASSERT_TRUE(EncodeCredentialPlain(L"ab", L"\x20AC ", plain));
    EXPECT_EQ(plain, Units({'a', 'b', 0, 0x20AC, ' ', 0}));
}

struct EncodeRefusal {
    const char* name;
    std::wstring username;
    std::wstring password;
};

class EncodeRefusals : public testing::TestWithParam<EncodeRefusal> {};

TEST_P(EncodeRefusals, WritesNothingThatWouldReadBackDifferently) {
    std::string plain = "stale";
    EXPECT_FALSE(EncodeCredentialPlain(GetParam().username, GetParam().password, plain));
    EXPECT_TRUE(plain.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, EncodeRefusals,
    testing::Values(EncodeRefusal{"EmptyUsername", L"", L"pw"},
                    EncodeRefusal{"EmptyPassword", L"user", L""},
                    EncodeRefusal{"ZeroInUsername", std::wstring(L"a\0b", 3), L"pw"},
                    EncodeRefusal{"ZeroInPassword", L"user", std::wstring(L"p\0w", 3)}),
    [](const testing::TestParamInfo<EncodeRefusal>& info) { return info.param.name; });

struct ParseCase {
    const char* name;
    std::string plain;
    bool ok;
    std::wstring username;
    std::wstring password;
};

class ParseCases : public testing::TestWithParam<ParseCase> {};

TEST_P(ParseCases, ReadsTheLayoutOrRefuses) {
    const ParseCase& c = GetParam();
    std::wstring username = L"stale", password = L"stale";
    EXPECT_EQ(ParseCredentialPlain(reinterpret_cast<const unsigned char*>(c.plain.data()),
                                   c.plain.size(), username, password),
              c.ok);
    EXPECT_EQ(username, c.username);
    EXPECT_EQ(password, c.password);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseCases,
    testing::Values(ParseCase{"Smallest", Units({'u', 0, 'p', 0}), true, L"u", L"p"},
                    ParseCase{"TrailingBytesIgnored", Units({'u', 0, 'p', 0, 'x', 'y'}), true, L"u",
                              L"p"},
                    ParseCase{"TooShort", std::string("u\0\0", 3), false, L"", L""},
                    ParseCase{"OddLength", Units({'u', 0, 'p', 0}) + "x", false, L"", L""},
                    ParseCase{"EmptyUsername", Units({0, 'p', 0}), false, L"", L""},
                    ParseCase{"EmptyPassword", Units({'u', 0, 0, 'x'}), false, L"", L""},
                    ParseCase{"NoSecondZero", Units({'u', 0, 'p', 'q'}), false, L"", L""},
                    ParseCase{"NoZeroAtAll", Units({'u', 'v', 'w'}), false, L"", L""},
                    ParseCase{"HighByteNotAZero", Units({'u', 0x100, 'p', 0}), false, L"", L""}),
    [](const testing::TestParamInfo<ParseCase>& info) { return info.param.name; });

TEST(CredentialLayout, RoundTripsEveryNonZeroCodeUnit) {
    std::wstring username, password;
    for (unsigned unit = 1; unit <= 0xFFFF; ++unit) {
        (unit % 2 ? username : password).push_back(static_cast<wchar_t>(unit));
    }
    std::string plain;
    ASSERT_TRUE(EncodeCredentialPlain(username, password, plain));
    std::wstring u, p;
    ASSERT_TRUE(ParseCredentialPlain(reinterpret_cast<const unsigned char*>(plain.data()),
                                     plain.size(), u, p));
    EXPECT_EQ(u, username);
    EXPECT_EQ(p, password);
}

}  // namespace
