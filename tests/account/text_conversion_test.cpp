#include "account/text_conversion.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "account/portable_text_conversion.h"
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

class Utf8ToUtf16Cases : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToUtf16Cases, DecodesLikeTheSystemConversion) {
    EXPECT_EQ(Utf8ToUtf16(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf8ToUtf16Cases,
    testing::Values(
        Utf8Case{"Empty", "", L""},
        Utf8Case{"Ascii", "Home", L"Home"},
        Utf8Case{"EmbeddedZero", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        Utf8Case{"TwoByte", "\xC3\xA9", L"\x00E9"},
        Utf8Case{"ThreeByte", "\xE2\x82\xAC", L"\x20AC"},
        Utf8Case{"FourByteBecomesPair", "\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
        Utf8Case{"HighestScalar", "\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},
        Utf8Case{"LoneContinuation", "\x80", {R}},
        Utf8Case{"OverlongTwoByte", "\xC0\x80", {R, R}},
        Utf8Case{"OverlongThreeByte", "\xE0\x80\x80", {R, R}},
        Utf8Case{"EncodedSurrogate", "\xED\xA0\x80", {R, R}},
        Utf8Case{"LastBelowSurrogates", "\xED\x9F\xBF", L"\xD7FF"},
        Utf8Case{"AboveUnicode", "\xF4\x90\x80\x80", {R, R, R}},
        Utf8Case{"OverlongFourByte", "\xF0\x8F\xBF\xBF", {R, R, R}},
        Utf8Case{"BadContinuationStartsAfresh", "\xE1\x80" "A", {R, L'A'}},
        Utf8Case{"CutShortSequenceTakesTheRest", "\xF0\x41", {R}},
        Utf8Case{"InvalidLeads", "\xF5\xFF", {R, R}},
        Utf8Case{"TruncatedAtEnd", "a\xE2\x82", {L'a', R}},
        Utf8Case{"TruncatedFourByteAtEnd", "\xF0\x9F\x98", {R}},
        Utf8Case{"TruncatedThenAscii", "\xE2\x82" "A", {R, L'A'}},
        Utf8Case{"TruncatedThenLead", "\xC3\xC3\xA9", {R, L'\x00E9'}},
        Utf8Case{"InvalidSsidByte", "Caf\xE9", {L'C', L'a', L'f', R}}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return info.param.name; });

class Utf16ToUtf8Cases : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf16ToUtf8Cases, EncodesLikeTheSystemConversion) {
    EXPECT_EQ(Utf16ToUtf8(GetParam().utf16), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf16ToUtf8Cases,
    testing::Values(
        Utf8Case{"Empty", "", L""},
        Utf8Case{"Ascii", "Home", L"Home"},
        Utf8Case{"EmbeddedZero", std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
        Utf8Case{"TwoByteBoundaries", "\xC2\x80\xDF\xBF", L"\x0080\x07FF"},
        Utf8Case{"ThreeByteBoundaries", "\xE0\xA0\x80\xEF\xBF\xBF", L"\x0800\xFFFF"},
        Utf8Case{"Pair", "\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
        Utf8Case{"LoneHigh", "\xEF\xBF\xBD", L"\xD800"},
        Utf8Case{"LoneLow", "\xEF\xBF\xBD", L"\xDC00"},
        Utf8Case{"HighThenAscii", "\xEF\xBF\xBD" "a", L"\xD800" L"a"},
        Utf8Case{"LowThenHigh", "\xEF\xBF\xBD\xEF\xBF\xBD", L"\xDC00\xD800"},
        Utf8Case{"HighHighLow", "\xEF\xBF\xBD\xF0\x90\x80\x80", L"\xD800\xD800\xDC00"}),
    [](const testing::TestParamInfo<Utf8Case>& info) { return info.param.name; });

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
// Every sequence of up to four bytes over the bytes where UTF-8 decoding changes its mind,
// through the system conversion and through our own.
TEST(TextConversion, OwnUtf8DecoderMatchesTheSystemOnEveryShortSequence) {
    const unsigned char alphabet[] = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF,
                                      0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xE1, 0xEC, 0xED, 0xEE,
                                      0xEF, 0xF0, 0xF1, 0xF3, 0xF4, 0xF5, 0xFF};
    const size_t n = sizeof alphabet;
    int differences = 0;
    std::string bytes;
    for (size_t length = 1; length <= 4; ++length) {
        size_t combinations = 1;
        for (size_t k = 0; k < length; ++k) combinations *= n;
        for (size_t index = 0; index < combinations; ++index) {
            bytes.clear();
            for (size_t k = 0, rest = index; k < length; ++k, rest /= n) {
                bytes.push_back(static_cast<char>(alphabet[rest % n]));
            }
            if (Utf8ToUtf16(bytes) != PortableUtf8ToUtf16(bytes) && ++differences <= 10) {
                std::string hex;
                for (unsigned char b : bytes) hex += " " + std::to_string(b);
                ADD_FAILURE() << "differs for bytes" << hex;
            }
        }
    }
    EXPECT_EQ(differences, 0);
}

TEST(TextConversion, OwnUtf8EncoderMatchesTheSystemOnEveryShortSequence) {
    const wchar_t alphabet[] = {0x0000, 0x0041, 0x007F, 0x0080, 0x07FF, 0x0800, 0xD7FF, 0xD800,
                                0xDBFF, 0xDC00, 0xDFFF, 0xE000, 0xFFFD, 0xFFFF};
    const size_t n = sizeof alphabet / sizeof alphabet[0];
    int differences = 0;
    std::wstring text;
    for (size_t length = 1; length <= 3; ++length) {
        size_t combinations = 1;
        for (size_t k = 0; k < length; ++k) combinations *= n;
        for (size_t index = 0; index < combinations; ++index) {
            text.clear();
            for (size_t k = 0, rest = index; k < length; ++k, rest /= n) {
                text.push_back(alphabet[rest % n]);
            }
            if (Utf16ToUtf8(text) != PortableUtf16ToUtf8(text)) {
                ++differences;
            }
        }
    }
    EXPECT_EQ(differences, 0);
}
#endif

}  // namespace
