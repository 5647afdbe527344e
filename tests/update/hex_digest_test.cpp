#include "update/hex_digest.h"

#include <gtest/gtest.h>

namespace {

TEST(HexDigest, EncodesHighNibbleFirstInLowerCase) {
    const uint8_t bytes[] = {0x00, 0x0F, 0xA5, 0xFF};
    EXPECT_EQ(HexEncodeLower(bytes, sizeof bytes), L"000fa5ff");
}

TEST(HexDigest, Sha256TextMustBeSixtyFourLowerCaseDigits) {
    const std::wstring good(64, L'a');
    EXPECT_TRUE(IsLowerHexSha256(good));
    EXPECT_TRUE(IsLowerHexSha256(std::wstring(32, L'0') + std::wstring(32, L'f')));
    EXPECT_FALSE(IsLowerHexSha256(std::wstring(63, L'a')));
    EXPECT_FALSE(IsLowerHexSha256(std::wstring(65, L'a')));
    EXPECT_FALSE(IsLowerHexSha256(std::wstring(63, L'a') + L"A"));
    EXPECT_FALSE(IsLowerHexSha256(std::wstring(63, L'a') + L"g"));
    EXPECT_FALSE(IsLowerHexSha256(L""));
}

TEST(HexDigest, LowerAsciiLeavesOtherCharactersAlone) {
    EXPECT_EQ(LowerAscii(L"ABCdef09\x00C9\x212A"), L"abcdef09\x00C9\x212A");
}

}  // namespace
