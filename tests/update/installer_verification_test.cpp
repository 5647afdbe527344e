#include "update/installer_verification.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>

#include "update/hex_digest.h"
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
    wchar_t folder[MAX_PATH];
    wchar_t name[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    GetTempFileNameW(folder, L"tvt", 0, name);
    std::ofstream(name, std::ios::binary) << content;
    return name;
}

std::wstring Upper(std::wstring text) {
    for (auto& ch : text)
        ch = static_cast<wchar_t>(towupper(ch));
    return text;
}

const std::wstring kAbcDigest = L"ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

TEST(VerifyUpdateSha256, AcceptsTheDigestInEitherLetterCase) {
    const std::wstring path = TempFileWith("abc");
    std::wstring error;
    EXPECT_TRUE(VerifyUpdateSha256(path, kAbcDigest, error)) << error;
    EXPECT_TRUE(VerifyUpdateSha256(path, Upper(kAbcDigest), error)) << error;
    DeleteFileW(path.c_str());
}

TEST(VerifyUpdateSha256, HashesFilesLongerThanOneBuffer) {
    // One million 'a' characters: the classic test vector, over fifteen 64 KiB reads.
    const std::wstring path = TempFileWith(std::string(1000000, 'a'));
    std::wstring error;
    EXPECT_TRUE(VerifyUpdateSha256(
        path, L"cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0", error))
        << error;
    DeleteFileW(path.c_str());
}

TEST(VerifyUpdateSha256, RefusesAWrongShortOrMissingDigestAndAMissingFile) {
    const std::wstring path = TempFileWith("abc");
    std::wstring error;
    std::wstring wrong = kAbcDigest;
    wrong.back() = L'e';
    for (const std::wstring& expected : {wrong, kAbcDigest.substr(0, 63), std::wstring()}) {
        error.clear();
        EXPECT_FALSE(VerifyUpdateSha256(path, expected, error));
        EXPECT_EQ(error, L"The downloaded update failed its SHA-256 checksum.");
    }
    DeleteFileW(path.c_str());
    error.clear();
    EXPECT_FALSE(VerifyUpdateSha256(path, L"00", error));
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

struct SignatureCase {
    const char* name;
    const wchar_t* file;
    std::wstring pinned;
    bool ok;
    std::wstring error;
};

class VerifyInstallerSignatureCases : public testing::TestWithParam<SignatureCase> {};

TEST_P(VerifyInstallerSignatureCases, AcceptsOnlyThePinnedSigner) {
    const SignatureCase& c = GetParam();
    std::wstring error;
    EXPECT_EQ(VerifyInstallerSignatureWith(Fixture(c.file), c.pinned, error), c.ok);
    EXPECT_EQ(error, c.error);
}

const std::wstring kNotConfigured =
    L"The updater's signing-certificate fingerprint is not configured.";
const std::wstring kUnexpected = L"The installer was signed with an unexpected certificate.";

INSTANTIATE_TEST_SUITE_P(
    Files, VerifyInstallerSignatureCases,
    testing::Values(
        SignatureCase{"PinnedSigner", L"signed.exe", kSigner, true, L""},
        SignatureCase{"PinnedSignerUpperCase", L"signed.exe", Upper(kSigner), true, L""},
        SignatureCase{"OtherSignerOfValidSignature", L"other.exe", kSigner, false, kUnexpected},
        SignatureCase{"PinnedIsTheOtherOne", L"signed.exe", kOther, false, kUnexpected},
        SignatureCase{"Unsigned", L"unsigned.exe", kSigner, false,
                      L"The downloaded installer failed Authenticode verification (0x800b0100)."},
        SignatureCase{"ChangedAfterSigning", L"tampered.exe", kSigner, false,
                      L"The downloaded installer failed Authenticode verification (0x80096010)."},
        SignatureCase{"PinEmpty", L"signed.exe", L"", false, kNotConfigured},
        SignatureCase{"PinNotHex", L"signed.exe", L"g" + kSigner.substr(1), false, kNotConfigured}),
    [](const testing::TestParamInfo<SignatureCase>& info) { return info.param.name; });

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
