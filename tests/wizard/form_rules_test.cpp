#include "wizard/form_rules.h"

#include <gtest/gtest.h>

namespace {

TEST(LoginValidation, NamesWhatIsMissingAndTakesBlankTextAsGiven) {
    const struct {
        std::wstring username, password;
        const wchar_t* message;
    } cases[] = {{L"", L"", L"Please enter your username and password."},
                 {L"", L"secret", L"Please enter your username."},
                 {L"anna", L"", L"Please enter your password."},
                 {L"anna", L"secret", L""},
                 {std::wstring(1500, L'x'), L"\x00e9\x4e2d", L""}};
    for (const auto& c : cases)
        EXPECT_EQ(LoginValidationMessage(c.username, c.password), c.message);
}

TEST(ConfigureInput, FullRequestsNeedNetworkThenPassword) {
    EXPECT_EQ(CheckConfigureInput(L"", L"", false), ConfigureProblem::MissingNetwork);
    EXPECT_EQ(CheckConfigureInput(L"Home", L"", false), ConfigureProblem::MissingPassword);
    EXPECT_EQ(CheckConfigureInput(L"Home", L"pw", false), ConfigureProblem::None);
    EXPECT_EQ(CheckConfigureInput(L"", L"", true), ConfigureProblem::None);
}

// A key press in a password field, and whether the show button may appear afterwards: never
// while a stored value is still there, never over the placeholder, never for an empty field.
TEST(StoredPassword, OnlyAPrintableCharacterOverTheWholeTextReplacesItAndRevealsTheButton) {
    struct Case {
        bool stored;
        unsigned ch;
        size_t length, start, end;
        bool replaces, button;
    };
    const Case cases[] = {
        {true, 'a', 8, 0, 8, true, true},    {true, ' ', 8, 0, 8, true, true},
        {true, 0x25CF, 8, 0, 8, true, true}, {true, 8, 8, 0, 8, false, false},  // backspace
        {true, 22, 8, 0, 8, false, false},   // paste arrives as a control character
        {true, 'a', 8, 8, 8, false, false},  // typing after the last character
        {true, 'a', 8, 1, 8, false, false},  {true, 'a', 8, 0, 7, false, false},
        {true, 'a', 0, 0, 0, false, false},  {false, 'a', 8, 0, 8, false, true},
        {false, 8, 0, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        const bool replaces =
            TypedCharacterReplacesStored(c.stored, c.ch, c.length, c.start, c.end);
        EXPECT_EQ(replaces, c.replaces) << "ch " << c.ch << " sel " << c.start << "-" << c.end;
        const bool stored = c.stored && !replaces;
        const size_t length = replaces ? 1 : c.length;
        EXPECT_EQ(ShowButtonVisible(stored, false, length), c.button) << "ch " << c.ch;
        EXPECT_FALSE(ShowButtonVisible(stored, true, length)) << "over the placeholder";
    }
}

}  // namespace
