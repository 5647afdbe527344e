#include "update/command_line_quoting.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

struct QuoteCase {
    const char* name;
    std::wstring text;
    std::wstring quoted;
};

const QuoteCase kCases[] = {
    {"Spaces", L"C:\\Program Files\\Tervane Connect\\TervaneConnect.exe",
     L"\"C:\\Program Files\\Tervane Connect\\TervaneConnect.exe\""},
    {"Empty", L"", L"\"\""},
    {"Quote", L"say \"hi\"", L"\"say \\\"hi\\\"\""},
    {"TrailingBackslash", L"C:\\Temp\\", L"\"C:\\Temp\\\\\""},
    {"BackslashesBeforeQuote", L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},
    {"OnlyBackslashes", L"\\\\", L"\"\\\\\\\\\""},
    {"Tab", L"a\tb", L"\"a\tb\""},
    {"NonAscii", L"C:\\Users\\J\x00F6rg\\\xD83D\xDE00.exe",
     L"\"C:\\Users\\J\x00F6rg\\\xD83D\xDE00.exe\""},
};

class QuoteArgumentCases : public testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteArgumentCases, QuotesSoTheTextSplitsBackWhole) {
    EXPECT_EQ(QuoteArgument(GetParam().text), GetParam().quoted);
}

#ifdef _WIN32
TEST_P(QuoteArgumentCases, CommandLineToArgvGivesTheSameSingleArgument) {
    const std::wstring commandLine = L"helper.exe " + QuoteArgument(GetParam().text) + L" next";
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(commandLine.c_str(), &count);
    ASSERT_NE(arguments, nullptr);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(std::wstring(arguments[1]), GetParam().text);
    EXPECT_EQ(std::wstring(arguments[2]), L"next");
    LocalFree(arguments);
}
#endif

INSTANTIATE_TEST_SUITE_P(Table, QuoteArgumentCases, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<QuoteCase>& info) {
                             return info.param.name;
                         });

}  // namespace
