#include "common/text_conversion.h"

#include <gtest/gtest.h>

// One table for both builds: on Windows it checks the system conversion, elsewhere our own, so
// any difference between the two shows up as a failure on one of them.

namespace {

const wchar_t R = 0xFFFD;

struct Utf8Case {
    std::string utf8;
    std::wstring utf16;
};

TEST(TextConversion, ValidTextConvertsBothWays) {
    const Utf8Case cases[] = {
        {"", L""},
        {"Home", L"Home"},
        {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        {"\xC2\x80\xDF\xBF", L"\x0080\x07FF"},
        {"\xE0\xA0\x80\xEF\xBF\xBF", L"\x0800\xFFFF"},
        {"\xED\x9F\xBF\xEE\x80\x80", L"\xD7FF\xE000"},
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
        {"\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
    }
}

TEST(TextConversion, InvalidUtf8DecodesLikeTheSystemConversion) {
    const Utf8Case cases[] = {
        {"\x80", {R}},
        {"\xC0\x80", {R, R}},
        {"\xE0\x80\x80", {R, R}},
        {"\xED\xA0\x80", {R, R}},
        {"\xF4\x90\x80\x80", {R, R, R}},
        {"\xF0\x8F\xBF\xBF", {R, R, R}},
        {"\xE1\x80"
         "A",
         {R, L'A'}},  // a bad continuation starts afresh
        {"\xF0\x41", {R}},
        {"\xF5\xFF", {R, R}},
        {"a\xE2\x82", {L'a', R}},
        {"\xF0\x9F\x98", {R}},
        {"\xC3\xC3\xA9", {R, L'\x00E9'}},
        {"Caf\xE9", {L'C', L'a', L'f', R}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << testing::PrintToString(c.utf8);
}

TEST(TextConversion, UnpairedSurrogatesEncodeAsTheReplacementCharacter) {
    const Utf8Case cases[] = {
        {"\xEF\xBF\xBD", L"\xD800"},
        {"\xEF\xBF\xBD", L"\xDC00"},
        {"\xEF\xBF\xBD\x61", std::wstring{0xD800, L'a'}},
        {"\xEF\xBF\xBD\xF0\x90\x80\x80", L"\xD800\xD800\xDC00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
}

}  // namespace
