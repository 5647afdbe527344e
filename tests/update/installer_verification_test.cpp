#include "update/installer_verification.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "common/text_conversion.h"
#include "tests/support/windows_files.h"

#include "update/update_check.h"
#include "update/update_download.h"
#include "update/update_info.h"

// Signed copies of a small program, made by the build with the test certificates.
#ifndef TERVANE_SIGNING_FIXTURES
#error "TERVANE_SIGNING_FIXTURES names the folder of the signed sample files"
#endif

namespace {

const std::wstring kFixtures = TERVANE_SIGNING_FIXTURES;
const std::wstring kSigner = TERVANE_TEST_SIGNER_SHA256;
const std::wstring kOther = TERVANE_OTHER_SIGNER_SHA256;

std::wstring Fixture(const wchar_t* name) {
    return kFixtures + L"\\" + name;
}

std::wstring TempFileWith(const std::string& content) {
    const std::wstring name = TempFolder() + L"tervane-digest-test.bin";
    std::ofstream(name.c_str(), std::ios::binary) << content;
    return name;
}

std::wstring Upper(std::wstring text) {
    CharUpperW(&text[0]);
    return text;
}

// Published test vectors: "abc", and one million 'a' characters (over fifteen 64 KiB reads).
TEST(VerifyUpdateSha256, AcceptsOnlyTheFilesDigestInEitherLetterCase) {
    const std::wstring abc = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    const wchar_t* const kFailed = L"The downloaded update failed its SHA-256 checksum.";
    std::wstring wrong = abc;
    wrong.back() = L'e';
    const struct {
        std::string content;
        std::wstring expected;
        const wchar_t* error;  // null: accepted
    } cases[] = {
        {"abc", abc, nullptr},
        {"abc", Upper(abc), nullptr},
        {std::string(1000000, 'a'),
         L"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", nullptr},
        {"abc", wrong, kFailed},
        {"abc", abc.substr(0, 63), kFailed},
        {"abc", L"", kFailed},
    };
    for (const auto& c : cases) {
        const std::wstring path = TempFileWith(c.content);
        std::wstring error;
        EXPECT_EQ(VerifyUpdateSha256(path, c.expected, error), c.error == nullptr)
            << Utf16ToUtf8(c.expected);
        EXPECT_EQ(error, c.error ? c.error : L"");
        DeleteFileW(path.c_str());
    }
    const std::wstring gone = TempFileWith("abc");
    DeleteFileW(gone.c_str());
    std::wstring error;
    EXPECT_FALSE(VerifyUpdateSha256(gone, abc, error));
    EXPECT_EQ(error, L"Could not reopen the downloaded update.");
}

TEST(IdentifyInstallerSigner, NamesTheTestSignerAndItsFingerprint) {
    std::wstring name, fingerprint;
    ASSERT_TRUE(IdentifyInstallerSigner(Fixture(L"signed.exe"), name, fingerprint));
    EXPECT_EQ(name, L"Tervane Test Signing");
    EXPECT_EQ(fingerprint, kSigner);
    EXPECT_FALSE(IdentifyInstallerSigner(Fixture(L"unsigned.exe"), name, fingerprint));
    EXPECT_TRUE(name.empty() && fingerprint.empty());
}

const std::wstring kNotConfigured =
    L"The updater's signing-certificate fingerprint is not configured.";

TEST(VerifyInstallerSignature, AcceptsOnlyThePinnedSigner) {
    const std::wstring kUnexpected = L"The installer was signed with an unexpected certificate.";
    const std::wstring kFailed = L"The downloaded installer failed Authenticode verification ";
    const struct {
        const wchar_t* file;
        std::wstring pinned;
        std::wstring error;  // empty: accepted
    } cases[] = {
        {L"signed.exe", kSigner, L""},
        {L"signed.exe", Upper(kSigner), L""},
        {L"other.exe", kSigner, kUnexpected},
        {L"signed.exe", kOther, kUnexpected},
        {L"unsigned.exe", kSigner, kFailed + L"(0x800b0100)."},
        {L"tampered.exe", kSigner, kFailed + L"(0x80096010)."},
        {L"signed.exe", L"", kNotConfigured},
        {L"signed.exe", L"g" + kSigner.substr(1), kNotConfigured},
    };
    for (const auto& c : cases) {
        std::wstring error;
        EXPECT_EQ(VerifyInstallerSignatureWith(Fixture(c.file), c.pinned, error), c.error.empty())
            << c.file;
        EXPECT_EQ(error, c.error) << c.file;
    }
}

// This program links the shipping fingerprint, empty unless the build was given one.
TEST(PinnedSignerConfigured, AnUnpinnedBuildNeitherAsksNorDownloads) {
    if (PinnedSignerConfigured())
        GTEST_SKIP() << "this build pins a signer";
    UpdateServer nowhere;
    nowhere.host = L"localhost";
    nowhere.port = 9;
    UpdateInfo info;
    bool none = false;
    std::wstring error, path;
    EXPECT_FALSE(CheckForUpdateAt(nowhere, true, info, none, error));
    EXPECT_EQ(error, kNotConfigured);
    info.download_url = L"https://localhost:9/app/windows/installer/download/1/a.exe";
    info.size_bytes = 10;
    EXPECT_FALSE(FetchVerifiedInstallerFrom(L"localhost", info, path, error));
    EXPECT_EQ(error, kNotConfigured);
    EXPECT_TRUE(path.empty());
}

}  // namespace
