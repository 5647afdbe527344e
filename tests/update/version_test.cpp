#include "update/version.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ParseVersion, AcceptsThreeOrFourSmallComponentsOnly) {
    const struct {
        const wchar_t* text;
        std::vector<uint32_t> parts;
    } accepted[] = {{L"1.0.0", {1, 0, 0, 0}},
                    {L"1.2.3.4", {1, 2, 3, 4}},
                    {L"01.002.0", {1, 2, 0, 0}},
                    {L"65535.65535.65535.65535", {65535, 65535, 65535, 65535}}};
    for (const auto& c : accepted) {
        VersionParts parts;
        parts.parts[3] = 99;
        EXPECT_TRUE(ParseVersion(c.text, parts)) << c.text;
        EXPECT_EQ(std::vector<uint32_t>(parts.parts, parts.parts + 4), c.parts) << c.text;
    }
    for (const wchar_t* text :
         {L"", L"1", L"1.0", L"1..0", L".1.0.0", L"1.0.0.", L"1.0.0-beta", L"1.0.0 ", L" 1.0.0",
          L"+1.0.0", L"1.70000.0", L"1.0.99999999999999999999", L"1.2.3.4.", L"1.2.3.4.5",
          L"1.\x0661.0"}) {  // the last with an Arabic-Indic digit
        VersionParts parts;
        EXPECT_FALSE(ParseVersion(text, parts)) << text;
    }
}

TEST(IsNewerVersion, ComparesComponentByComponent) {
    const struct {
        const wchar_t* current;
        const wchar_t* candidate;
        bool newer;
    } cases[] = {{L"1.0.0", L"1.0.0", false},
                 {L"1.0.0", L"1.0.0.0", false},
                 {L"1.0.0", L"1.0.0.1", true},
                 {L"1.9.0", L"1.10.0", true},
                 {L"2.0.0", L"1.99.99.99", false}};
    for (const auto& c : cases) {
        VersionParts current, candidate;
        ASSERT_TRUE(ParseVersion(c.current, current));
        ASSERT_TRUE(ParseVersion(c.candidate, candidate));
        EXPECT_EQ(IsNewerVersion(current, candidate), c.newer) << c.current << " " << c.candidate;
    }
}

// A version resource as resource compilers lay it out: header, key, padding, fixed part.
std::string VersionResource(uint32_t productHigh, uint32_t productLow) {
    std::string bytes(92, '\0');
    auto put = [&bytes](size_t at, uint32_t value, size_t count) {
        for (size_t i = 0; i < count; ++i)
            bytes[at + i] = static_cast<char>(value >> (8 * i));
    };
    put(0, 92, 2);
    put(2, 52, 2);
    const std::string key = "VS_VERSION_INFO";
    for (size_t i = 0; i < key.size(); ++i)
        put(6 + 2 * i, static_cast<uint8_t>(key[i]), 2);
    put(40, 0xFEEF04BD, 4);
    put(56, productHigh, 4);
    put(60, productLow, 4);
    return bytes;
}

TEST(ReadFixedProductVersion, ReadsOnlyAWholeFixedPartUnderItsKeyAndSignature) {
    const std::string good = VersionResource(0x00010003, 0x00050007);
    std::string badKey = good, badSignature = good, longer = good;
    badKey[6] = 'W';
    badSignature[40] = 0;
    longer[0] = 93;
    const struct {
        std::string resource;
        bool ok;
    } cases[] = {{good, true},
                 {good.substr(0, 91), false},
                 {badKey, false},
                 {badSignature, false},
                 {longer, false}};
    for (const auto& c : cases) {
        VersionParts version;
        EXPECT_EQ(ReadFixedProductVersion(reinterpret_cast<const uint8_t*>(c.resource.data()),
                                          c.resource.size(), version),
                  c.ok);
        if (c.ok) {
            EXPECT_EQ(std::vector<uint32_t>(version.parts, version.parts + 4),
                      std::vector<uint32_t>({1, 3, 5, 7}));
        }
    }
}

TEST(AcceptsInstallerVersion, OnlyTheAnnouncedVersionAndOnlyWhenNewer) {
    const struct {
        const wchar_t* installer;
        const wchar_t* announced;
        const wchar_t* running;
        const wchar_t* error;  // null: accepted
    } cases[] = {
        {L"1.0.1", L"1.0.1", L"1.0.0", nullptr},
        {L"1.0.1.0", L"1.0.1", L"1.0.0", nullptr},
        {L"1.0.0", L"1.0.1", L"1.0.0",
         L"The update installer is not the version the update server announced."},
        {L"1.0.0", L"1.0.0", L"1.0.0",
         L"The update installer is not newer than the installed version."},
    };
    for (const auto& c : cases) {
        VersionParts installer;
        ASSERT_TRUE(ParseVersion(c.installer, installer));
        std::wstring error;
        EXPECT_EQ(AcceptsInstallerVersion(installer, c.announced, c.running, error),
                  c.error == nullptr)
            << testing::PrintToString(std::wstring(c.installer));
        EXPECT_EQ(error, c.error ? c.error : L"");
    }
}

}  // namespace
