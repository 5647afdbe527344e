#include "update/update_metadata.h"

#include "update/hex_digest.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const char kDigest[] = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
const wchar_t kIncomplete[] = L"The update server returned incomplete metadata.";
const wchar_t kInvalid[] = L"The update metadata did not pass validation.";
const wchar_t kBadVersion[] = L"The update server returned an invalid version number.";

// A metadata body with every field; an override replaces a member's raw JSON value, and an
// override with a null value leaves the member out.
using Member = std::pair<std::string, const char*>;

std::string Body(const std::vector<Member>& overrides = {}) {
    std::vector<Member> members = {
        {"schema_version", "1"},
        {"platform", "\"windows\""},
        {"package_type", "\"installer\""},
        {"version", "\"1.0.1\""},
        {"release_notes", "\"Faster pairing.\""},
        {"filename", "\"TervaneConnectSetup-1.0.1.exe\""},
        {"size_bytes", "123456"},
        {"sha256", "\"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef\""},
        {"download_url",
         "\"https://connect.tervane.invalid/app/windows/installer/download/7/setup.exe\""},
    };
    std::string body;
    for (Member& member : members) {
        for (const Member& o : overrides)
            member.second = o.first == member.first ? o.second : member.second;
        if (member.second != nullptr)
            body += (body.empty() ? "{\"" : ", \"") + member.first + "\": " + member.second;
    }
    return body + "}";
}

TEST(ReadUpdateMetadata, KeepsEveryFieldOfValidMetadata) {
    UpdateInfo info;
    std::wstring error = L"stale";
    ASSERT_TRUE(ReadUpdateMetadata(Body({{"release_notes", "\"Faster\\n\\u00e9 \xE2\x82\xAC\""}}),
                                   true, info, error));
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(info.schema_version, 1u);
    EXPECT_EQ(info.package_type, L"installer");
    EXPECT_EQ(info.version, L"1.0.1");
    EXPECT_EQ(info.release_notes, L"Faster\n\x00E9 \x20AC");
    EXPECT_EQ(info.filename, L"TervaneConnectSetup-1.0.1.exe");
    EXPECT_EQ(info.size_bytes, 123456u);
    EXPECT_EQ(info.sha256, std::wstring(kDigest, kDigest + 64));
    EXPECT_EQ(info.download_url,
              L"https://connect.tervane.invalid/app/windows/installer/download/7/setup.exe");
}

struct MetadataCase {
    const char* name;
    std::vector<Member> overrides;
    bool installedCopy;
    const wchar_t* error;  // nullptr: accepted
};

TEST(ReadUpdateMetadata, GivesTheSentenceOfTheFirstBrokenRule) {
    const MetadataCase cases[] = {
        {"PortableCopyTakesPortablePackage", {{"package_type", "\"portable\""}}, false, nullptr},
        {"LetterCaseOfPlatformAndTypeIsFree",
         {{"platform", "\"Windows\""}, {"package_type", "\"INSTALLER\""}},
         true,
         nullptr},
        {"ReleaseNotesMayBeMissing", {{"release_notes", nullptr}}, true, nullptr},
        {"SizeZeroIsAccepted", {{"size_bytes", "0"}}, true, nullptr},
        {"NoSchemaVersion", {{"schema_version", nullptr}}, true, kIncomplete},
        {"NoVersion", {{"version", nullptr}}, true, kIncomplete},
        {"NoDownloadUrl", {{"download_url", nullptr}}, true, kIncomplete},
        {"SchemaAsString", {{"schema_version", "\"1\""}}, true, kIncomplete},
        {"SizeBeyond64Bits", {{"size_bytes", "18446744073709551616"}}, true, kIncomplete},
        // Reading comes first: a missing field wins over a wrong schema.
        {"MissingBeatsInvalid",
         {{"schema_version", "2"}, {"download_url", nullptr}},
         true,
         kIncomplete},
        {"SchemaTwo", {{"schema_version", "2"}}, true, kInvalid},
        {"SchemaWithLow32BitsOne", {{"schema_version", "4294967297"}}, true, kInvalid},
        {"OtherPlatform", {{"platform", "\"linux\""}}, true, kInvalid},
        {"NonAsciiLookalikePlatform", {{"platform", "\"W\\u0130NDOWS\""}}, true, kInvalid},
        {"InstalledCopyGivenPortable", {{"package_type", "\"portable\""}}, true, kInvalid},
        {"PortableCopyGivenInstaller", {}, false, kInvalid},
        // Validation comes before the version.
        {"InvalidBeatsBadVersion", {{"schema_version", "2"}, {"version", "\"x\""}}, true, kInvalid},
        {"TwoComponents", {{"version", "\"1.0\""}}, true, kBadVersion},
        {"VersionWithBadUtf8", {{"version", "\"1.0.1\xFF\""}}, true, kBadVersion},
    };
    for (const MetadataCase& c : cases) {
        UpdateInfo info;
        info.version = L"stale";
        std::wstring error = L"stale";
        const bool ok = ReadUpdateMetadata(Body(c.overrides), c.installedCopy, info, error);
        EXPECT_EQ(ok, c.error == nullptr) << c.name;
        EXPECT_EQ(error, c.error ? c.error : L"") << c.name;
        EXPECT_TRUE(ok || (info.version.empty() && info.download_url.empty())) << c.name;
    }
}

TEST(ReadUpdateMetadata, TheDigestIsSixtyFourLowerCaseHexDigits) {
    const std::string digest = kDigest, rest = digest.substr(1);
    for (const std::string& bad :
         {"A" + rest, rest, digest + "0", "/" + rest, ":" + rest, "`" + rest, "g" + rest}) {
        const std::string value = "\"" + bad + "\"";
        UpdateInfo info;
        std::wstring error;
        EXPECT_FALSE(ReadUpdateMetadata(Body({{"sha256", value.c_str()}}), true, info, error));
        EXPECT_EQ(error, kInvalid) << bad;
    }
}

// The SHA-256 digest of "abc" as bytes and as the text the standard gives for it.
TEST(HexDigest, WritesADigestAsItsStandardText) {
    const uint8_t abc[32] = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40,
                             0xde, 0x5d, 0xae, 0x22, 0x23, 0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17,
                             0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};
    EXPECT_EQ(HexEncodeLower(abc, sizeof abc),
              L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(ReadUpdateMetadata, IllFormedUtf8InATextLeavesThatTextEmpty) {
    UpdateInfo info;
    std::wstring error;
    ASSERT_TRUE(ReadUpdateMetadata(
        Body({{"release_notes", "\"caf\xE9\""}, {"filename", "\"setup\xED\xA0\x80.exe\""}}), true,
        info, error));
    EXPECT_TRUE(info.release_notes.empty());
    EXPECT_TRUE(info.filename.empty());
    // The URL is left for the URL check to refuse.
    ASSERT_TRUE(
        ReadUpdateMetadata(Body({{"download_url", "\"https://\x80/\""}}), true, info, error));
    EXPECT_TRUE(info.download_url.empty());
}

TEST(ReadUpdateMetadata, NonObjectBodiesAreIncomplete) {
    for (const char* body :
         {"", "null", "[]", "{", "not json", "{\"data\": {\"version\": \"1.0.1\"}}"}) {
        UpdateInfo info;
        std::wstring error;
        EXPECT_FALSE(ReadUpdateMetadata(body, true, info, error)) << body;
        EXPECT_EQ(error, kIncomplete) << body;
    }
}

TEST(EqualsIgnoringAsciiCase, FoldsAsciiLettersOnly) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase(L"WiNdOwS", L"windows"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"windows", L"window"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"\x00C9", L"\x00E9"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"[", L"{"));  // '[' + 0x20 is '{'
}

}  // namespace
