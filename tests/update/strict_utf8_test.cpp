#include "update/strict_utf8.h"

#include <gtest/gtest.h>

// One table for both builds: on Windows StrictUtf8ToUtf16 is the system's strict conversion,
// elsewhere our own; on Windows our own is also held against the system's for every case.

namespace {

struct StrictCase {
    const char* name;
    std::string utf8;
    std::wstring utf16;  // empty: refused
};

class StrictUtf8Cases : public testing::TestWithParam<StrictCase> {};

TEST_P(StrictUtf8Cases, ConvertsWellFormedTextAndRefusesTheRest) {
    EXPECT_EQ(StrictUtf8ToUtf16(GetParam().utf8), GetParam().utf16);
}

#ifdef _WIN32
TEST_P(StrictUtf8Cases, OwnConversionAgreesWithTheSystemConversion) {
    EXPECT_EQ(PortableStrictUtf8ToUtf16(GetParam().utf8), StrictUtf8ToUtf16(GetParam().utf8));
}
#endif

INSTANTIATE_TEST_SUITE_P(
    Table, StrictUtf8Cases,
    testing::Values(StrictCase{"Empty", "", L""}, StrictCase{"Ascii", "1.0.1", L"1.0.1"},
                    StrictCase{"TwoByte", "Caf\xC3\xA9", L"Caf\x00E9"},
                    StrictCase{"ThreeByte", "\xE2\x82\xAC", L"\x20AC"},
                    StrictCase{"FourByteBecomesPair", "\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
                    StrictCase{"HighestScalar", "\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},
                    StrictCase{"EncodedReplacementCharacterIsText", "\xEF\xBF\xBD", L"\xFFFD"},
                    StrictCase{"LastBelowSurrogates", "\xED\x9F\xBF", L"\xD7FF"},
                    StrictCase{"LoneContinuation", "a\x80", L""},
                    StrictCase{"OverlongTwoByte", "\xC0\xAF", L""},
                    StrictCase{"OverlongThreeByte", "\xE0\x80\xAF", L""},
                    StrictCase{"OverlongFourByte", "\xF0\x8F\xBF\xBF", L""},
                    StrictCase{"EncodedSurrogate", "\xED\xA0\x80", L""},
                    StrictCase{"AboveUnicode", "\xF4\x90\x80\x80", L""},
                    StrictCase{"InvalidLead", "abc\xF5\x80\x80\x80", L""},
                    StrictCase{"ByteFF", "\xFF", L""},
                    StrictCase{"CutShortAtEnd", "1.0.\xE2\x82", L""},
                    StrictCase{"CutShortBeforeAscii",
                               "\xE2\x82"
                               "A",
                               L""},
                    StrictCase{"Latin1Byte", "Caf\xE9", L""}),
    [](const testing::TestParamInfo<StrictCase>& info) { return info.param.name; });

}  // namespace
