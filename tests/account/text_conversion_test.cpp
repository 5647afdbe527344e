#include "common/text_conversion.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "common/portable_text_conversion.h"
#endif

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
        {"\xED\x9F\xBF", L"\xD7FF"},
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
    EXPECT_EQ(Utf16ToUtf8(L"\xD800"), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(L"\xDC00"), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(L"\xD800"
                          L"a"),
              "\xEF\xBF\xBD"
              "a");
    EXPECT_EQ(Utf16ToUtf8(L"\xD800\xD800\xDC00"), "\xEF\xBF\xBD\xF0\x90\x80\x80");
}

TEST(TextConversion, EveryBmpCharacterRoundTrips) {
    std::wstring all;
    for (unsigned unit = 1; unit <= 0xFFFF; ++unit) {
        if (unit < 0xD800 || unit > 0xDFFF)
            all.push_back(static_cast<wchar_t>(unit));
    }
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(all)), all);
}

#ifdef _WIN32
// Every sequence up to the given length over the units where a conversion changes its mind
// goes through the system conversion and through our own; the first differences are failures.
template <typename Text, typename Unit, size_t n, typename System, typename Own>
void ExpectSameOnEverySequence(const Unit (&alphabet)[n], size_t maxLength, System system,
                               Own own) {
    int differences = 0;
    for (size_t length = 1, combinations = n; length <= maxLength; ++length, combinations *= n) {
        for (size_t index = 0; index < combinations && differences < 10; ++index) {
            Text text;
            for (size_t k = 0, rest = index; k < length; ++k, rest /= n)
                text.push_back(static_cast<typename Text::value_type>(alphabet[rest % n]));
            if (system(text) != own(text))
                ADD_FAILURE() << "differs for " << testing::PrintToString(text) << ++differences;
        }
    }
}

TEST(TextConversion, OwnConversionsMatchTheSystemOnEveryShortSequence) {
    const unsigned char bytes[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                   0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE,
                                   0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
    ExpectSameOnEverySequence<std::string>(bytes, 4, Utf8ToUtf16, PortableUtf8ToUtf16);
    const wchar_t units[] = {0x0000, 0x0041, 0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF,
                             0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF};
    ExpectSameOnEverySequence<std::wstring>(units, 3, Utf16ToUtf8, PortableUtf16ToUtf8);
}
#endif

}  // namespace
