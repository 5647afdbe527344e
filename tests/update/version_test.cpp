#include "update/version.h"

#include <gtest/gtest.h>

namespace {

struct VersionCase {
    const wchar_t* text;
    bool valid;
    VersionParts parts;
};

class ParseVersionCases : public testing::TestWithParam<VersionCase> {};

TEST_P(ParseVersionCases, AcceptsThreeOrFourSmallComponentsOnly) {
    const VersionCase& c = GetParam();
    VersionParts parts;
    parts.parts[0] = 99;
    EXPECT_EQ(ParseVersion(c.text, parts), c.valid) << testing::PrintToString(std::wstring(c.text));
    if (c.valid) {
        for (int i = 0; i < 4; ++i) EXPECT_EQ(parts.parts[i], c.parts.parts[i]) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseVersionCases,
    testing::Values(VersionCase{L"1.0.0", true, {{1, 0, 0, 0}}},
                    VersionCase{L"1.2.3.4", true, {{1, 2, 3, 4}}},
                    VersionCase{L"01.002.0", true, {{1, 2, 0, 0}}},
                    VersionCase{L"65535.65535.65535.65535", true, {{65535, 65535, 65535, 65535}}},
                    VersionCase{L"", false, {}}, VersionCase{L"1", false, {}},
                    VersionCase{L"1.0", false, {}}, VersionCase{L"1..0", false, {}},
                    VersionCase{L".1.0.0", false, {}}, VersionCase{L"1.0.0.", false, {}},
                    VersionCase{L"1.0.0-beta", false, {}}, VersionCase{L"1.0.0 ", false, {}},
                    VersionCase{L" 1.0.0", false, {}}, VersionCase{L"+1.0.0", false, {}},
                    VersionCase{L"1.70000.0", false, {}},
                    VersionCase{L"1.0.99999999999999999999", false, {}},
                    VersionCase{L"1.2.3.4.", false, {}}, VersionCase{L"1.2.3.4.5", false, {}},
                    VersionCase{L"1.\x0661.0", false, {}}));  // an Arabic-Indic digit

struct NewerCase {
    const wchar_t* current;
    const wchar_t* candidate;
    bool newer;
};

class IsNewerVersionCases : public testing::TestWithParam<NewerCase> {};

TEST_P(IsNewerVersionCases, ComparesComponentByComponent) {
    VersionParts current, candidate;
    ASSERT_TRUE(ParseVersion(GetParam().current, current));
    ASSERT_TRUE(ParseVersion(GetParam().candidate, candidate));
    EXPECT_EQ(IsNewerVersion(current, candidate), GetParam().newer);
}

INSTANTIATE_TEST_SUITE_P(Table, IsNewerVersionCases,
                         testing::Values(NewerCase{L"1.0.0", L"1.0.0", false},
                                         NewerCase{L"1.0.0", L"1.0.0.0", false},
                                         NewerCase{L"1.0.0", L"1.0.0.1", true},
                                         NewerCase{L"1.0.0", L"1.0.1", true},
                                         NewerCase{L"1.0.0", L"0.9.9", false},
                                         NewerCase{L"1.9.0", L"1.10.0", true},
                                         NewerCase{L"2.0.0", L"1.99.99.99", false}));

}  // namespace
