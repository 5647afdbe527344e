#include "wizard/form_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(LoginValidation, NamesWhatIsMissing) {
    EXPECT_EQ(LoginValidationMessage(L"", L""), L"Please enter your username and password.");
    EXPECT_EQ(LoginValidationMessage(L"", L"secret"), L"Please enter your username.");
    EXPECT_EQ(LoginValidationMessage(L"anna", L""), L"Please enter your password.");
    EXPECT_EQ(LoginValidationMessage(L"anna", L"secret"), L"");
}

TEST(LoginValidation, BlankTextCountsAsGivenAndIsPassedOnUntrimmed) {
    EXPECT_EQ(LoginValidationMessage(L" ", L"\t"), L"");
    EXPECT_EQ(LoginValidationMessage(std::wstring(1500, L'x'), L"\x00e9\x4e2d"), L"");
}

TEST(ConfigureInput, FullRequestsNeedNetworkThenPassword) {
    EXPECT_EQ(CheckConfigureInput(L"", L"", false), ConfigureProblem::MissingNetwork);
    EXPECT_EQ(CheckConfigureInput(L"", L"pw", false), ConfigureProblem::MissingNetwork);
    EXPECT_EQ(CheckConfigureInput(L"Home", L"", false), ConfigureProblem::MissingPassword);
    EXPECT_EQ(CheckConfigureInput(L"Home", L"pw", false), ConfigureProblem::None);
    EXPECT_EQ(CheckConfigureInput(L"", L"", true), ConfigureProblem::None);
}

TEST(ShowButton, AppearsOnlyForTypedNonEmptyText) {
    EXPECT_TRUE(ShowButtonVisible(false, false, 1));
    EXPECT_FALSE(ShowButtonVisible(true, false, 8));
    EXPECT_FALSE(ShowButtonVisible(false, true, 8));
    EXPECT_FALSE(ShowButtonVisible(false, false, 0));
}

TEST(StoredPassword, OnlyAPrintableCharacterOverTheWholeTextReplacesIt) {
    struct Case {
        bool stored;
        unsigned ch;
        size_t length, start, end;
        bool replaces;
    };
    const Case cases[] = {
        {true, 'a', 8, 0, 8, true},    {true, ' ', 8, 0, 8, true},
        {true, 0x25CF, 8, 0, 8, true}, {true, 8, 8, 0, 8, false},  // backspace
        {true, 22, 8, 0, 8, false},   // paste arrives as a control character
        {true, 'a', 8, 8, 8, false},  // typing after the last character
        {true, 'a', 8, 1, 8, false},   {true, 'a', 8, 0, 7, false},
        {true, 'a', 0, 0, 0, false},   {false, 'a', 8, 0, 8, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TypedCharacterReplacesStored(c.stored, c.ch, c.length, c.start, c.end),
                  c.replaces)
            << "ch " << c.ch << " sel " << c.start << "-" << c.end;
    }
}

}  // namespace
