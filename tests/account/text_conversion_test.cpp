#include "common/text_conversion.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "common/portable_text_conversion.h"
#endif

// One table for both builds: on Windows it checks the system conversion, elsewhere our own, so
// any difference between the two shows up as a failure on one of them.

namespace {

struct Utf8Case {
    const char* name;
    std::string utf8;
    std::wstring utf16;
};

const wchar_t R = 0xFFFD;

std::string CaseName(const testing::TestParamInfo<Utf8Case>& info) {
    return info.param.name;
}

// Text that reads the same both ways.
class ValidTextCases : public testing::TestWithParam<Utf8Case> {};

TEST_P(ValidTextCases, ConvertsBothWays) {
    EXPECT_EQ(Utf8ToUtf16(GetParam().utf8), GetParam().utf16);
    EXPECT_EQ(Utf16ToUtf8(GetParam().utf16), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ValidTextCases,
    testing::Values(Utf8Case{"Empty", "", L""}, Utf8Case{"Ascii", "Home", L"Home"},
                    Utf8Case{"EmbeddedZero", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
                    Utf8Case{"TwoByteBoundaries", "\xC2\x80\xDF\xBF", L"\x0080\x07FF"},
                    Utf8Case{"ThreeByteBoundaries", "\xE0\xA0\x80\xEF\xBF\xBF", L"\x0800\xFFFF"},
                    Utf8Case{"LastBelowSurrogates", "\xED\x9F\xBF", L"\xD7FF"},
                    Utf8Case{"FourByteIsAPair", "\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
                    Utf8Case{"HighestScalar", "\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"}),
    CaseName);

class InvalidUtf8Cases : public testing::TestWithParam<Utf8Case> {};

TEST_P(InvalidUtf8Cases, DecodeLikeTheSystemConversion) {
    EXPECT_EQ(Utf8ToUtf16(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Table, InvalidUtf8Cases,
    testing::Values(Utf8Case{"LoneContinuation", "\x80", {R}},
                    Utf8Case{"OverlongTwoByte", "\xC0\x80", {R, R}},
                    Utf8Case{"OverlongThreeByte", "\xE0\x80\x80", {R, R}},
                    Utf8Case{"EncodedSurrogate", "\xED\xA0\x80", {R, R}},
                    Utf8Case{"AboveUnicode", "\xF4\x90\x80\x80", {R, R, R}},
                    Utf8Case{"OverlongFourByte", "\xF0\x8F\xBF\xBF", {R, R, R}},
                    Utf8Case{"BadContinuationStartsAfresh",
                             "\xE1\x80"
                             "A",
                             {R, L'A'}},
                    Utf8Case{"CutShortSequenceTakesTheRest", "\xF0\x41", {R}},
                    Utf8Case{"InvalidLeads", "\xF5\xFF", {R, R}},
                    Utf8Case{"TruncatedAtEnd", "a\xE2\x82", {L'a', R}},
                    Utf8Case{"TruncatedFourByteAtEnd", "\xF0\x9F\x98", {R}},
                    Utf8Case{"TruncatedThenLead", "\xC3\xC3\xA9", {R, L'\x00E9'}},
                    Utf8Case{"InvalidSsidByte", "Caf\xE9", {L'C', L'a', L'f', R}}),
    CaseName);

class UnpairedSurrogateCases : public testing::TestWithParam<Utf8Case> {};

TEST_P(UnpairedSurrogateCases, EncodeAsTheReplacementCharacter) {
    EXPECT_EQ(Utf16ToUtf8(GetParam().utf16), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(Table, UnpairedSurrogateCases,
                         testing::Values(Utf8Case{"LoneHighAtEnd", "\xEF\xBF\xBD", L"\xD800"},
                                         Utf8Case{"LoneLow", "\xEF\xBF\xBD", L"\xDC00"},
                                         Utf8Case{"HighThenAscii",
                                                  "\xEF\xBF\xBD"
                                                  "a",
                                                  L"\xD800"
                                                  L"a"},
                                         Utf8Case{"HighHighLow", "\xEF\xBF\xBD\xF0\x90\x80\x80",
                                                  L"\xD800\xD800\xDC00"}),
                         CaseName);

TEST(TextConversion, EveryBmpCharacterRoundTrips) {
    std::wstring all;
    for (unsigned unit = 1; unit <= 0xFFFF; ++unit) {
        if (unit < 0xD800 || unit > 0xDFFF) {
            all.push_back(static_cast<wchar_t>(unit));
        }
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
