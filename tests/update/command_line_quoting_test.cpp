#include "update/command_line_quoting.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

namespace {

// Quoted so that the text splits back whole; on Windows the system's splitting agrees.
TEST(QuoteArgument, QuotesSoTheTextSplitsBackWhole) {
    const struct {
        std::wstring text, quoted;
    } cases[] = {
        {L"C:\\Program Files\\Tervane Connect\\TervaneConnect.exe",
         L"\"C:\\Program Files\\Tervane Connect\\TervaneConnect.exe\""},
        {L"", L"\"\""},
        {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
        {L"C:\\Temp\\", L"\"C:\\Temp\\\\\""},
        {L"a\\\\\"b", L"\"a\\\\\\\\\\\"b\""},
        {L"a\tb", L"\"a\tb\""},
        {L"C:\\Users\\J\x00F6rg\\\xD83D\xDE00.exe", L"\"C:\\Users\\J\x00F6rg\\\xD83D\xDE00.exe\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteArgument(c.text), c.quoted);
#ifdef _WIN32
        const std::wstring commandLine = L"helper.exe " + QuoteArgument(c.text) + L" next";
        int count = 0;
        LPWSTR* arguments = CommandLineToArgvW(commandLine.c_str(), &count);
        ASSERT_NE(arguments, nullptr);
        ASSERT_EQ(count, 3);
        EXPECT_EQ(std::wstring(arguments[1]), c.text);
        EXPECT_EQ(std::wstring(arguments[2]), L"next");
        LocalFree(arguments);
#endif
    }
}

}  // namespace
