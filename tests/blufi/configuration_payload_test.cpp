#include "blufi/configuration_payload.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <cwctype>
#endif

namespace {

struct PayloadCase {
    const char* name;
    std::wstring network;
    std::wstring password;
    std::wstring username;
    bool ok;
    std::string payload;
    std::wstring error;
};

const std::wstring kBothOrNeither =
    L"The Wi-Fi network name and password must either both be entered or both be left blank.";

class ConfigurationPayloadCases : public testing::TestWithParam<PayloadCase> {};

TEST_P(ConfigurationPayloadCases, BuildsTheExpectedBytesOrRefuses) {
    const PayloadCase& c = GetParam();
    std::string payload = "stale";
    std::wstring error = L"stale";
    EXPECT_EQ(BuildConfigurationPayload(c.network, c.password, c.username, payload, error), c.ok);
    EXPECT_EQ(payload, c.payload);
    EXPECT_EQ(error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ConfigurationPayloadCases,
    testing::Values(
        PayloadCase{"AllThree", L"Home", L"secret", L"bob", true,
                    R"(ap_ssid="Home",ap_password="secret",username="bob")", L""},
        PayloadCase{"WifiOnly", L"Home", L"secret", L"", true,
                    R"(ap_ssid="Home",ap_password="secret")", L""},
        PayloadCase{"UsernameOnly", L"", L"", L"bob", true, R"(username="bob")", L""},
        PayloadCase{"BlankUsernameGivesTwoFields", L"Home", L"pw", L" \t ", true,
                    R"(ap_ssid="Home",ap_password="pw")", L""},
        PayloadCase{"TrimsNameAndUserButNotPassword", L"  My Home\t", L"  pw  ", L"\x3000 bob ",
                    true, R"(ap_ssid="My Home",ap_password="  pw  ",username="bob")", L""},
        PayloadCase{"BlankPasswordIsSentAsTyped", L"Home", L"   ", L"", true,
                    R"(ap_ssid="Home",ap_password="   ")", L""},
        PayloadCase{"BlankNameWithPassword", L"   ", L"pw", L"bob", false, "", kBothOrNeither},
        PayloadCase{"NameWithoutPassword", L"Home", L"", L"bob", false, "", kBothOrNeither},
        PayloadCase{"PasswordWithoutName", L"", L"pw", L"", false, "", kBothOrNeither},
        PayloadCase{"Nothing", L"", L"", L"", false, "", L"There is no configuration to send."},
        PayloadCase{"OnlyBlanks", L" ", L"", L"\x00A0", false, "",
                    L"There is no configuration to send."},
        PayloadCase{"QuotesAndBackslashesEscaped", L"\"Home\"", L"a\\b", L"", true,
                    "ap_ssid=\"\\\"Home\\\"\",ap_password=\"a\\\\b\"", L""},
        PayloadCase{"SeparatorsAndControlsPassUnescaped", L"a,b=c", L"x\ny\rz\t", L"", true,
                    "ap_ssid=\"a,b=c\",ap_password=\"x\ny\rz\t\"", L""},
        PayloadCase{"NonAsciiAsUtf8", L"Caf\x00E9 \xD83D\xDE00", L"pw", L"", true,
                    "ap_ssid=\"Caf\xC3\xA9 \xF0\x9F\x98\x80\",ap_password=\"pw\"", L""}),
    [](const testing::TestParamInfo<PayloadCase>& info) { return info.param.name; });

TEST(ConfigurationPayload, ZeroBytesInsideAValuePassThrough) {
    std::string payload;
    std::wstring error;
    ASSERT_TRUE(BuildConfigurationPayload(L"Home", std::wstring(L"a\0b", 3), L"", payload, error));
    EXPECT_EQ(payload, std::string("ap_ssid=\"Home\",ap_password=\"a\0b\"", 32));
}

TEST(ConfigurationPayload, RefusesWhatTheTotalLengthFieldCannotCarry) {
    std::string payload;
    std::wstring error;
    // 65535 payload bytes exactly: username="" is 11 bytes of framing.
    ASSERT_TRUE(
        BuildConfigurationPayload(L"", L"", std::wstring(65524, L'u'), payload, error));
    EXPECT_EQ(payload.size(), 65535u);
    EXPECT_FALSE(
        BuildConfigurationPayload(L"", L"", std::wstring(65525, L'u'), payload, error));
    EXPECT_TRUE(payload.empty());
    EXPECT_EQ(error, L"The configuration is too long to send to the Tervane.");
}

TEST(TrimWhitespace, RemovesOnlyTheEnds) {
    EXPECT_EQ(TrimWhitespace(L""), L"");
    EXPECT_EQ(TrimWhitespace(L" \t\r\n\v\f"), L"");
    EXPECT_EQ(TrimWhitespace(L" a b "), L"a b");
    EXPECT_EQ(TrimWhitespace(L"\x2003x\x2028"), L"x");
    EXPECT_EQ(TrimWhitespace(L"\x200Bx\xFEFF"), L"\x200Bx\xFEFF");
}

#ifdef _WIN32
// The space class is written out by hand so the Linux build agrees with Windows; here, on the
// Windows build, it is compared with the C runtime's own classification for every code unit.
TEST(PayloadSpaceClass, AgreesWithTheWindowsRuntimeForEveryCodeUnit) {
    std::wstring differences;
    for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
        const wchar_t ch = static_cast<wchar_t>(unit);
        if (IsPayloadSpace(ch) != (std::iswspace(ch) != 0)) {
            differences += L' ';
            differences += std::to_wstring(unit);
        }
    }
    EXPECT_EQ(differences, L"");
}
#endif

}  // namespace
