#include "account/json_text.h"

#include <gtest/gtest.h>

namespace {

struct StringCase {
    const char* name;
    std::string json;
    const char* key;
    bool found;
    std::string value;         // FindJsonString's output
    std::string partialValue;  // ReadJsonStringField's output
};

std::string Bytes(const char* data, size_t size) {
    return std::string(data, size);
}

class StringLookupCases : public testing::TestWithParam<StringCase> {};

TEST_P(StringLookupCases, FindJsonStringLeavesNothingOnFailure) {
    const StringCase& c = GetParam();
    std::string value = "stale";
    EXPECT_EQ(FindJsonString(c.json, c.key, value), c.found);
    EXPECT_EQ(value, c.value);
}

TEST_P(StringLookupCases, ReadJsonStringFieldKeepsWhatItDecoded) {
    const StringCase& c = GetParam();
    std::string value = "stale";
    EXPECT_EQ(ReadJsonStringField(c.json, c.key, value), c.found);
    EXPECT_EQ(value, c.found ? c.value : c.partialValue);
}

INSTANTIATE_TEST_SUITE_P(
    Both, StringLookupCases,
    testing::Values(
        StringCase{"Plain", R"({"token":"abc"})", "token", true, "abc", ""},
        StringCase{"SpacesAroundColon", "{ \"token\" \t:\r\n \"abc\" }", "token", true, "abc", ""},
        StringCase{"EmptyValue", R"({"token":""})", "token", true, "", ""},
        StringCase{"LaterMember", R"({"a":1,"b":[1,{"x":"y"}],"token":"t"})", "token", true, "t",
                   ""},
        StringCase{"QuotedKeyDoesNotMatchInsideLongerName",
                   R"({"tervane_username":"a","username":"b"})", "username", true, "b", ""},
        StringCase{"UsernameCalledTokenDoesNotShadow",
                   R"({"tervane_username":"token","token":"real"})", "token", true, "real", ""},
        StringCase{"ValueFollowedByColonLikeTextDoesNotShadow",
                   R"({"note":"\"token\":\"fake\"","token":"real"})", "token", true, "real", ""},
        StringCase{"NestedMemberIgnored", R"({"user":{"token":"inner"},"token":"outer"})", "token",
                   true, "outer", ""},
        StringCase{"InsideArrayIgnored", R"({"list":["token",{"token":"x"}]})", "token", false, "",
                   ""},
        StringCase{"FirstDuplicateWins", R"({"token":"one","token":"two"})", "token", true, "one",
                   ""},
        StringCase{"NotAnObject", R"(["token","x"])", "token", false, "", ""},
        StringCase{"NumberIsNotAString", R"({"token": 123})", "token", false, "", ""},
        StringCase{"Missing", R"({"other":"x"})", "token", false, "", ""},
        StringCase{"KeyLongerThanText", R"({})", "token", false, "", ""},
        StringCase{"NameComparedWithoutUnescaping", R"({"tok\u0065n":"x"})", "token", false, "",
                   ""},
        StringCase{"CaseSensitive", R"({"Token":"x"})", "token", false, "", ""},
        StringCase{"SimpleEscapes", R"({"k":"\"\/\\\b\f\n\r\t"})", "k", true, "\"/\\\b\f\n\r\t",
                   ""},
        StringCase{"UnicodeEscapesInEitherHexCase", R"({"k":"\u00e9\u20AC"})", "k", true,
                   "\xC3\xA9\xE2\x82\xAC", ""},
        StringCase{"UnicodeEscapeZeroGivesZeroByte", R"({"k":"a\u0000b"})", "k", true,
                   Bytes("a\0b", 3), ""},
        StringCase{"SurrogatePairJoined", R"({"k":"\ud83d\ude00"})", "k", true, "\xF0\x9F\x98\x80",
                   ""},
        StringCase{"LoneHighSurrogate", R"({"k":"\ud83dx"})", "k", true,
                   "\xEF\xBF\xBD"
                   "x",
                   ""},
        StringCase{"LoneLowSurrogate", R"({"k":"\ude00"})", "k", true, "\xEF\xBF\xBD", ""},
        StringCase{"HighThenHigh", R"({"k":"\ud83d\ud83d"})", "k", true, "\xEF\xBF\xBD\xEF\xBF\xBD",
                   ""},
        StringCase{"RawControlAndUtf8PassThrough", "{\"k\":\"a\x01\xC3\xA9\"}", "k", true,
                   "a\x01\xC3\xA9", ""},
        StringCase{"UnknownEscape", R"({"k":"ab\a"})", "k", false, "", "ab"},
        StringCase{"BadHexDigit", R"({"k":"ab\u00g0"})", "k", false, "", "ab"},
        StringCase{"ShortUnicodeEscape", R"({"k":"ab\u00)", "k", false, "", "ab"},
        StringCase{"BackslashAtEnd", "{\"k\":\"ab\\", "k", false, "", "ab"},
        StringCase{"NoClosingQuote", R"({"k":"abc)", "k", false, "", "abc"},
        StringCase{"QuoteIsLastByte", "{\"k\":\"", "k", false, "", ""},
        StringCase{"ColonIsLastByte", "{\"k\":", "k", false, "", ""},
        StringCase{"OnlySpacesAfterColon", "{\"k\":  ", "k", false, "", ""},
        StringCase{"NoColonAfterName", R"({"k" "v"})", "k", false, "", ""},
        StringCase{"HighBytesAreNotSpaces", "{\"k\":\xA0\"v\"}", "k", false, "", ""}),
    [](const testing::TestParamInfo<StringCase>& info) { return info.param.name; });

// The two families differ in what they skip as white space.
TEST(JsonReaders, OnlyTheMetadataReadersSkipVerticalTabAndFormFeed) {
    const std::string json = "{\"k\":\v\f\"v\"}";
    std::string value;
    EXPECT_FALSE(FindJsonString(json, "k", value));
    EXPECT_TRUE(ReadJsonStringField(json, "k", value));
    EXPECT_EQ(value, "v");
    uint64_t number = 0;
    EXPECT_TRUE(ReadJsonUnsignedField("{\"n\":\v\f7}", "n", number));
    EXPECT_EQ(number, 7u);
}

struct UnsignedCase {
    const char* name;
    std::string json;
    bool found;
    uint64_t value;
};

class UnsignedLookupCases : public testing::TestWithParam<UnsignedCase> {};

TEST_P(UnsignedLookupCases, ReadsDecimalDigits) {
    const UnsignedCase& c = GetParam();
    uint64_t value = 99;
    EXPECT_EQ(ReadJsonUnsignedField(c.json, "size_bytes", value), c.found);
    EXPECT_EQ(value, c.value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UnsignedLookupCases,
    testing::Values(UnsignedCase{"Plain", R"({"size_bytes": 123})", true, 123},
                    UnsignedCase{"Zero", R"({"size_bytes":0})", true, 0},
                    UnsignedCase{"Largest", R"({"size_bytes": 18446744073709551615})", true,
                                 18446744073709551615ull},
                    UnsignedCase{"OneTooMany", R"({"size_bytes": 18446744073709551616})", false,
                                 1844674407370955161ull},
                    UnsignedCase{"FractionStopsReading", R"({"size_bytes": 12.5})", true, 12},
                    UnsignedCase{"AtEndOfText", R"({"size_bytes":42)", true, 42},
                    UnsignedCase{"QuotedNumber", R"({"size_bytes": "123"})", false, 0},
                    UnsignedCase{"Negative", R"({"size_bytes": -1})", false, 0},
                    UnsignedCase{"NestedIgnored", R"({"a":{"size_bytes":5},"size_bytes":6})", true,
                                 6},
                    UnsignedCase{"AsValueIgnored", R"({"a":"size_bytes","b":1})", false, 0},
                    UnsignedCase{"ColonIsLastByte", R"({"size_bytes":)", false, 0},
                    UnsignedCase{"Missing", R"({"size":5})", false, 0}),
    [](const testing::TestParamInfo<UnsignedCase>& info) { return info.param.name; });

struct EscapeCase {
    const char* name;
    std::string in;
    std::string out;
};

class EscapeCases : public testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeCases, EscapesForAJsonString) {
    EXPECT_EQ(EscapeJsonString(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EscapeCases,
    testing::Values(EscapeCase{"Named", "\b\t\n\f\r\"\\", R"(\b\t\n\f\r\"\\)"},
                    EscapeCase{"OtherControlsAsLowerHex", Bytes("\x00\x01\x1f\x0b", 4),
                               R"(\u0000\u0001\u001f\u000b)"},
                    EscapeCase{"SlashAndDeleteKept", "/\x7f", "/\x7f"},
                    EscapeCase{"Utf8Unchanged", "\xC3\xA9\xF0\x9F\x98\x80\xFF",
                               "\xC3\xA9\xF0\x9F\x98\x80\xFF"}),
    [](const testing::TestParamInfo<EscapeCase>& info) { return info.param.name; });

// Whatever EscapeJsonString writes, FindJsonString reads back as the same bytes.
TEST(JsonReaders, EveryByteSurvivesEscapingAndReading) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<char>(b));
    }
    std::string value;
    ASSERT_TRUE(FindJsonString("{\"k\":\"" + EscapeJsonString(all) + "\"}", "k", value));
    EXPECT_EQ(value, all);
}

struct ErrorCase {
    const char* name;
    std::string json;
    uint32_t status;
    std::wstring text;
};

class ServiceErrorCases : public testing::TestWithParam<ErrorCase> {};

TEST_P(ServiceErrorCases, PicksTheServiceTextOrTheStatus) {
    EXPECT_EQ(ExtractServiceError(GetParam().json, GetParam().status), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ServiceErrorCases,
    testing::Values(
        ErrorCase{"DetailBeforeError", R"({"error":"e","detail":"d","message":"m"})", 400, L"d"},
        ErrorCase{"ErrorBeforeMessage", R"({"message":"m","error":"e"})", 403, L"e"},
        ErrorCase{"EmptyDetailSkipped", R"({"detail":"","message":"m"})", 500, L"m"},
        ErrorCase{"ListDetailSkipped", R"({"detail":["x"],"error":"e"})", 400, L"e"},
        ErrorCase{"NonAsciiDecoded", R"({"detail":"Caf\u00e9 \u00fc"})", 401, L"Caf\x00E9 \x00FC"},
        ErrorCase{"FieldErrorsOnly", R"({"username":["This field is required."]})", 400,
                  L"Tervane server returned HTTP 400."},
        ErrorCase{"NotJson", "<html>Bad gateway</html>", 502, L"Tervane server returned HTTP 502."},
        ErrorCase{"LargestStatus", "", 4294967295u, L"Tervane server returned HTTP 4294967295."}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

}  // namespace
