#include "update/strict_utf8.h"

#include <gtest/gtest.h>

namespace {

// One table for both builds: on Windows StrictUtf8ToUtf16 is the system's strict conversion,
// elsewhere our own; on Windows our own is also held against the system's.
TEST(StrictUtf8, ConvertsWellFormedTextAndRefusesTheRest) {
    const struct {
        const char* name;
        std::string utf8;
        std::wstring utf16;  // empty: refused
    } cases[] = {
        {"Empty", "", L""},
        {"Ascii", "1.0.1", L"1.0.1"},
        {"TwoByte", "Caf\xC3\xA9", L"Caf\x00E9"},
        {"ThreeByte", "\xE2\x82\xAC", L"\x20AC"},
        {"FourByteBecomesPair", "\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
        {"HighestScalar", "\xF4\x8F\xBF\xBF", L"\xDBFF\xDFFF"},
        {"LastBelowSurrogates", "\xED\x9F\xBF", L"\xD7FF"},
        {"LoneContinuation", "a\x80", L""},
        {"OverlongTwoByte", "\xC0\xAF", L""},
        {"OverlongThreeByte", "\xE0\x80\xAF", L""},
        {"OverlongFourByte", "\xF0\x8F\xBF\xBF", L""},
        {"EncodedSurrogate", "\xED\xA0\x80", L""},
        {"AboveUnicode", "\xF4\x90\x80\x80", L""},
        {"InvalidLead", "abc\xF5\x80\x80\x80", L""},
        {"CutShortAtEnd", "1.0.\xE2\x82", L""},
        {"CutShortBeforeAscii",
         "\xE2\x82"
         "A",
         L""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(StrictUtf8ToUtf16(c.utf8), c.utf16) << c.name;
#ifdef _WIN32
        EXPECT_EQ(PortableStrictUtf8ToUtf16(c.utf8), c.utf16) << c.name;
#endif
    }
}

}  // namespace
