#include "common/text_conversion.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "common/portable_text_conversion.h"
#endif

// One table for both builds: on Windows it checks the system conversion, elsewhere our own, so
// any difference between the two shows up as a failure on one of them.

namespace {

const wchar_t R = 0xFFFD;

TEST(TextConversion, ValidTextConvertsBothWays) {
    const struct {
        std::string utf8;
        std::wstring utf16;
    } cases[] = {
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
    const struct {
        const char* name;
        std::string utf8;
        std::wstring utf16;
    } cases[] = {
        {"LoneContinuation", "\x80", {R}},
        {"OverlongTwoByte", "\xC0\x80", {R, R}},
        {"OverlongThreeByte", "\xE0\x80\x80", {R, R}},
        {"EncodedSurrogate", "\xED\xA0\x80", {R, R}},
        {"AboveUnicode", "\xF4\x90\x80\x80", {R, R, R}},
        {"OverlongFourByte", "\xF0\x8F\xBF\xBF", {R, R, R}},
        {"BadContinuationStartsAfresh", "\xE1\x80" "A", {R, L'A'}},
        {"CutShortSequenceTakesTheRest", "\xF0\x41", {R}},
        {"InvalidLeads", "\xF5\xFF", {R, R}},
        {"TruncatedAtEnd", "a\xE2\x82", {L'a', R}},
        {"TruncatedFourByteAtEnd", "\xF0\x9F\x98", {R}},
        {"TruncatedThenLead", "\xC3\xC3\xA9", {R, L'\x00E9'}},
        {"InvalidSsidByte", "Caf\xE9", {L'C', L'a', L'f', R}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.name;
}

TEST(TextConversion, UnpairedSurrogatesEncodeAsTheReplacementCharacter) {
    EXPECT_EQ(Utf16ToUtf8(L"\xD800"), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(L"\xDC00"), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16ToUtf8(L"\xD800" L"a"), "\xEF\xBF\xBD" "a");
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
// Every sequence up to the given length over the units where a conversion changes its mind,
// through the system conversion and through our own; gives how many differ.
template <typename Text, typename Unit, size_t n, typename System, typename Own>
int DifferencesOverEverySequence(const Unit (&alphabet)[n], size_t maxLength, System system,
                                 Own own) {
    int differences = 0;
    Text text;
    for (size_t length = 1; length <= maxLength; ++length) {
        size_t combinations = 1;
        for (size_t k = 0; k < length; ++k)
            combinations *= n;
        for (size_t index = 0; index < combinations; ++index) {
            text.clear();
            for (size_t k = 0, rest = index; k < length; ++k, rest /= n) {
                text.push_back(static_cast<typename Text::value_type>(alphabet[rest % n]));
            }
            if (system(text) != own(text) && ++differences <= 10) {
                std::string units;
                for (const auto unit : text)
                    units += " " + std::to_string(static_cast<unsigned>(unit) &
                                                  (sizeof unit == 1 ? 0xFFu : 0xFFFFu));
                ADD_FAILURE() << "differs for" << units;
            }
        }
    }
    return differences;
}

TEST(TextConversion, OwnUtf8DecoderMatchesTheSystemOnEveryShortSequence) {
    const unsigned char alphabet[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                      0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE,
                                      0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
    EXPECT_EQ(
        DifferencesOverEverySequence<std::string>(alphabet, 4, Utf8ToUtf16, PortableUtf8ToUtf16),
        0);
}

TEST(TextConversion, OwnUtf8EncoderMatchesTheSystemOnEveryShortSequence) {
    const wchar_t alphabet[] = {0x0000, 0x0041, 0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF,
                                0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF};
    EXPECT_EQ(
        DifferencesOverEverySequence<std::wstring>(alphabet, 3, Utf16ToUtf8, PortableUtf16ToUtf8),
        0);
}
#endif

}  // namespace
