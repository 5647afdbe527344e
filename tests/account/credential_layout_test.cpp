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

// Both values as UTF-16LE, each ended by a zero unit; nothing that would read back differently.
TEST(CredentialLayout, EncodesBothValuesOrNothing) {
    std::string plain;
    ASSERT_TRUE(EncodeCredentialPlain(L"ab", L"\x20AC ", plain));
    EXPECT_EQ(plain, Units({'a', 'b', 0, 0x20AC, ' ', 0}));
    std::wstring username, password;
    ASSERT_TRUE(ParseCredentialPlain(reinterpret_cast<const unsigned char*>(plain.data()),
                                     plain.size(), username, password));
    EXPECT_EQ(username + L"|" + password, L"ab|\x20AC ");
    const std::wstring refused[][2] = {{L"", L"pw"},
                                       {L"user", L""},
                                       {std::wstring(L"a\0b", 3), L"pw"},
                                       {L"user", std::wstring(L"p\0w", 3)}};
    for (const auto& c : refused) {
        plain = "stale";
        EXPECT_FALSE(EncodeCredentialPlain(c[0], c[1], plain));
        EXPECT_TRUE(plain.empty());
    }
}

TEST(CredentialLayout, ReadsTheLayoutOrRefuses) {
    const struct {
        std::string plain;
        bool ok;
    } cases[] = {
        {Units({'u', 0, 'p', 0}), true},
        {Units({'u', 0, 'p', 0, 'x', 'y'}), true},  // trailing units are ignored
        {std::string("u\0\0", 3), false},
        {Units({'u', 0, 'p', 0}) + "x", false},
        {Units({0, 'p', 0}), false},
        {Units({'u', 0, 0, 'x'}), false},
        {Units({'u', 0, 'p', 'q'}), false},
        {Units({'u', 'v', 'w'}), false},
        {Units({'u', 0x100, 'p', 0}), false},
    };
    for (const auto& c : cases) {
        std::wstring username = L"stale", password = L"stale";
        EXPECT_EQ(ParseCredentialPlain(reinterpret_cast<const unsigned char*>(c.plain.data()),
                                       c.plain.size(), username, password),
                  c.ok);
        EXPECT_EQ(username, c.ok ? L"u" : L"");
        EXPECT_EQ(password, c.ok ? L"p" : L"");
    }
}

}  // namespace
