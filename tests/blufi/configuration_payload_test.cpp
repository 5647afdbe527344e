#include "blufi/configuration_payload.h"

#include <gtest/gtest.h>

#include <set>

#ifdef _WIN32
#include <cwctype>
#endif

namespace {

TEST(ConfigurationPayload, BuildsTheExpectedBytesOrRefuses) {
    const std::wstring kBothOrNeither =
        L"The Wi-Fi network name and password must either both be entered or both be left blank.";
    const struct {
        std::wstring network, password, username;
        std::string payload;  // empty: refused with error
        std::wstring error;
    } cases[] = {
        {L"Home", L"secret", L"bob", R"(ap_ssid="Home",ap_password="secret",username="bob")", L""},
        {L"", L"", L"bob", R"(username="bob")", L""},
        // Name and username are trimmed, the password is sent as typed, blanks included.
        {L"  My Home\t", L"  pw  ", L"\x3000 bob ",
         R"(ap_ssid="My Home",ap_password="  pw  ",username="bob")", L""},
        {L"Home", L"   ", L" \t ", R"(ap_ssid="Home",ap_password="   ")", L""},
        {L"   ", L"pw", L"bob", "", kBothOrNeither},
        {L"Home", L"", L"bob", "", kBothOrNeither},
        {L" ", L"", L"\x00A0", "", L"There is no configuration to send."},
        {L"\"Home\"", L"a\\b", L"", "ap_ssid=\"\\\"Home\\\"\",ap_password=\"a\\\\b\"", L""},
        {L"a,b=c", L"x\ny\rz\t", L"", "ap_ssid=\"a,b=c\",ap_password=\"x\ny\rz\t\"", L""},
        {L"Caf\x00E9 \xD83D\xDE00", L"pw", L"",
         "ap_ssid=\"Caf\xC3\xA9 \xF0\x9F\x98\x80\",ap_password=\"pw\"", L""},
        {L"Home", std::wstring(L"a\0b", 3), L"",
         std::string("ap_ssid=\"Home\",ap_password=\"a\0b\"", 32), L""},
    };
    for (const auto& c : cases) {
        std::string payload = "stale";
        std::wstring error = L"stale";
        EXPECT_EQ(BuildConfigurationPayload(c.network, c.password, c.username, payload, error),
                  !c.payload.empty());
        EXPECT_EQ(payload, c.payload);
        EXPECT_EQ(error, c.error);
    }
}

TEST(ConfigurationPayload, RefusesWhatTheTotalLengthFieldCannotCarry) {
    std::string payload;
    std::wstring error;
    // 65535 payload bytes exactly: username="" is 11 bytes of framing.
    ASSERT_TRUE(BuildConfigurationPayload(L"", L"", std::wstring(65524, L'u'), payload, error));
    EXPECT_EQ(payload.size(), 65535u);
    EXPECT_FALSE(BuildConfigurationPayload(L"", L"", std::wstring(65525, L'u'), payload, error));
    EXPECT_TRUE(payload.empty());
    EXPECT_EQ(error, L"The configuration is too long to send to the Tervane.");
}

// Unicode's white space but for U+0085, as Windows' runtime classifies it.
TEST(PayloadSpaceClass, IsTheListedWhiteSpaceAndNothingElse) {
    std::set<unsigned> listed = {0x09,   0x0A,   0x0B,   0x0C,   0x0D,   0x20,  0xA0,
                                 0x1680, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000};
    for (unsigned unit = 0x2000; unit <= 0x200A; ++unit)
        listed.insert(unit);
    for (unsigned unit = 0; unit <= 0xFFFF; ++unit)
        EXPECT_EQ(IsPayloadSpace(static_cast<wchar_t>(unit)), listed.count(unit) == 1) << unit;
}

#ifdef _WIN32
// The space class is written out by hand so the Linux build agrees with Windows; here, on the
// Windows build, it is compared with the C runtime's own classification for every code unit.
TEST(PayloadSpaceClass, AgreesWithTheWindowsRuntimeForEveryCodeUnit) {
    std::wstring differences;
    for (unsigned unit = 0; unit <= 0xFFFF; ++unit) {
        const wchar_t ch = static_cast<wchar_t>(unit);
        if (IsPayloadSpace(ch) != (std::iswspace(ch) != 0)) {
            differences += L' ' + std::to_wstring(unit);
        }
    }
    EXPECT_EQ(differences, L"");
}
#endif

}  // namespace
