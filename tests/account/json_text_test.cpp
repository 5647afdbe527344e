#include "account/json_text.h"

#include <gtest/gtest.h>

namespace {

std::string Bytes(const char* data, size_t size) {
    return std::string(data, size);
}

// FindJsonString leaves nothing on failure; ReadJsonStringField keeps what it decoded.
TEST(JsonReaders, FindTheTopLevelStringMemberAndDecodeIt) {
    const struct {
        const char* name;
        std::string json;
        const char* key;
        bool found;
        std::string value;
        std::string partial = "";
    } cases[] = {
        {"Plain", R"({"token":"abc"})", "token", true, "abc"},
        {"SpacesAroundColon", "{ \"token\" \t:\r\n \"abc\" }", "token", true, "abc"},
        {"EmptyValue", R"({"token":""})", "token", true, ""},
        {"LaterMember", R"({"a":1,"b":[1,{"x":"y"}],"token":"t"})", "token", true, "t"},
        {"NoMatchInsideLongerName", R"({"tervane_username":"a","username":"b"})", "username", true,
         "b"},
        {"ColonLikeTextDoesNotShadow", R"({"note":"\"token\":\"fake\"","token":"real"})", "token",
         true, "real"},
        {"NestedMemberIgnored", R"({"user":{"token":"inner"},"token":"outer"})", "token", true,
         "outer"},
        {"InsideArrayIgnored", R"({"list":["token",{"token":"x"}]})", "token", false, ""},
        {"FirstDuplicateWins", R"({"token":"one","token":"two"})", "token", true, "one"},
        {"NotAnObject", R"(["token","x"])", "token", false, ""},
        {"NumberIsNotAString", R"({"token": 123})", "token", false, ""},
        {"KeyLongerThanText", R"({})", "token", false, ""},
        {"NameComparedWithoutUnescaping", R"({"tok\u0065n":"x"})", "token", false, ""},
        {"CaseSensitive", R"({"Token":"x"})", "token", false, ""},
        {"SimpleEscapes", R"({"k":"\"\/\\\b\f\n\r\t"})", "k", true, "\"/\\\b\f\n\r\t"},
        {"UnicodeEscapesInEitherHexCase", R"({"k":"\u00e9\u20AC"})", "k", true,
         "\xC3\xA9\xE2\x82\xAC"},
        {"UnicodeEscapeZero", R"({"k":"a\u0000b"})", "k", true, Bytes("a\0b", 3)},
        {"SurrogatePairJoined", R"({"k":"\ud83d\ude00"})", "k", true, "\xF0\x9F\x98\x80"},
        {"HighestSurrogatePair", R"({"k":"\uDBFF\uDFFF"})", "k", true, "\xF4\x8F\xBF\xBF"},
        {"LoneHighSurrogate", R"({"k":"\ud83dx"})", "k", true, "\xEF\xBF\xBDx"},
        {"LoneLowSurrogate", R"({"k":"\ude00"})", "k", true, "\xEF\xBF\xBD"},
        {"RawControlAndUtf8PassThrough", "{\"k\":\"a\x01\xC3\xA9\"}", "k", true, "a\x01\xC3\xA9"},
        {"UnknownEscape", R"({"k":"ab\a"})", "k", false, "", "ab"},
        {"BadHexDigit", R"({"k":"ab\u00g0"})", "k", false, "", "ab"},
        {"ShortUnicodeEscape", R"({"k":"ab\u00)", "k", false, "", "ab"},
        {"BackslashAtEnd", "{\"k\":\"ab\\", "k", false, "", "ab"},
        {"NoClosingQuote", R"({"k":"abc)", "k", false, "", "abc"},
        {"QuoteIsLastByte", "{\"k\":\"", "k", false, ""},
        {"ColonIsLastByte", "{\"k\":", "k", false, ""},
        {"NoColonAfterName", R"({"k" "v"})", "k", false, ""},
        {"HighBytesAreNotSpaces", "{\"k\":\xA0\"v\"}", "k", false, ""},
    };
    for (const auto& c : cases) {
        std::string found = "stale", read = "stale";
        EXPECT_EQ(FindJsonString(c.json, c.key, found), c.found) << c.name;
        EXPECT_EQ(found, c.value) << c.name;
        EXPECT_EQ(ReadJsonStringField(c.json, c.key, read), c.found) << c.name;
        EXPECT_EQ(read, c.found ? c.value : c.partial) << c.name;
    }
}

// The two families differ in what they skip as white space.
TEST(JsonReaders, OnlyTheMetadataReadersSkipVerticalTabAndFormFeed) {
    std::string value;
    EXPECT_FALSE(FindJsonString("{\"k\":\v\f\"v\"}", "k", value));
    EXPECT_TRUE(ReadJsonStringField("{\"k\":\v\f\"v\"}", "k", value));
    EXPECT_EQ(value, "v");
    uint64_t number = 0;
    EXPECT_TRUE(ReadJsonUnsignedField("{\"n\":\v\f7}", "n", number));
    EXPECT_EQ(number, 7u);
}

TEST(JsonReaders, ReadUnsignedDecimalDigits) {
    const struct {
        std::string json;
        bool found;
        uint64_t value;
    } cases[] = {
        {R"({"size_bytes": 123})", true, 123},
        {R"({"size_bytes":0})", true, 0},
        {R"({"size_bytes": 18446744073709551615})", true, 18446744073709551615ull},
        {R"({"size_bytes": 18446744073709551616})", false, 1844674407370955161ull},
        {R"({"size_bytes": 12.5})", true, 12},  // a fraction stops the reading
        {R"({"size_bytes":42)", true, 42},
        {R"({"size_bytes": "123"})", false, 0},
        {R"({"a":{"size_bytes":5},"size_bytes":6})", true, 6},
        {R"({"a":"size_bytes","b":1})", false, 0},
        {R"({"size_bytes":)", false, 0},
    };
    for (const auto& c : cases) {
        uint64_t value = 99;
        EXPECT_EQ(ReadJsonUnsignedField(c.json, "size_bytes", value), c.found) << c.json;
        EXPECT_EQ(value, c.value) << c.json;
    }
}

TEST(JsonWriter, EscapesControlsQuoteAndBackslashOnly) {
    EXPECT_EQ(EscapeJsonString("\b\t\n\f\r\"\\"), R"(\b\t\n\f\r\"\\)");
    EXPECT_EQ(EscapeJsonString(Bytes("\x00\x01\x1f\x0b", 4)), R"(\u0000\u0001\u001f\u000b)");
    EXPECT_EQ(EscapeJsonString("/\x7f\xC3\xA9\xF0\x9F\x98\x80\xFF"),
              "/\x7f\xC3\xA9\xF0\x9F\x98\x80\xFF");
    // Whatever it writes reads back as the same bytes.
    std::string all;
    for (int b = 0; b < 256; ++b)
        all.push_back(static_cast<char>(b));
    std::string value;
    ASSERT_TRUE(FindJsonString("{\"k\":\"" + EscapeJsonString(all) + "\"}", "k", value));
    EXPECT_EQ(value, all);
}

TEST(ServiceError, PicksTheServiceTextOrTheStatus) {
    const struct {
        std::string json;
        uint32_t status;
        std::wstring text;
    } cases[] = {
        {R"({"error":"e","detail":"d","message":"m"})", 400, L"d"},
        {R"({"message":"m","error":"e"})", 403, L"e"},
        {R"({"detail":"","message":"m"})", 500, L"m"},
        {R"({"detail":["x"],"error":"e"})", 400, L"e"},
        {R"({"detail":"Caf\u00e9 \u00fc"})", 401, L"Caf\x00E9 \x00FC"},
        {"<html>Bad gateway</html>", 502, L"Tervane server returned HTTP 502."},
        {"", 4294967295u, L"Tervane server returned HTTP 4294967295."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtractServiceError(c.json, c.status), c.text) << c.json;
}

}  // namespace
