#include "account/credential_store.h"

#include <windows.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "account/credential_file.h"
#include "account/credential_layout.h"
#include "common/text_conversion.h"
#include "tests/support/windows_files.h"

namespace {

std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

std::string Protect(const std::string& plain) {
    DATA_BLOB in{static_cast<DWORD>(plain.size()),
                 reinterpret_cast<BYTE*>(const_cast<char*>(plain.data()))};
    DATA_BLOB out{};
    EXPECT_TRUE(CryptProtectData(&in, L"test", nullptr, nullptr, nullptr, 1, &out));
    std::string blob(reinterpret_cast<char*>(out.pbData), out.cbData);
    LocalFree(out.pbData);
    return blob;
}

// Each test gets an empty folder of its own.
class CredentialFileTest : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::wstring(temp) + L"tervane-store-" + std::to_wstring(GetCurrentProcessId()) +
                  L"-" + Utf8ToUtf16(info->name());
        CreateDirectoryW(folder_.c_str(), nullptr);
        file_ = folder_ + L"\\config-app-credentials.dat";
    }
    void TearDown() override {
        for (const std::wstring& path : {file_, folder_ + kCredentialsTempFileName}) {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
            RemoveDirectoryW(path.c_str());
        }
        RemoveDirectoryW(folder_.c_str());
    }
    void ExpectLoads(const std::wstring& username, const std::wstring& password) {
        std::wstring u, p;
        EXPECT_TRUE(LoadCredentialsFrom(folder_, u, p));
        EXPECT_EQ(u + L"|" + p, username + L"|" + password);
    }
    void ExpectIgnoredAndUntouched(const std::string& content) {
        SetFileAttributesW(file_.c_str(), FILE_ATTRIBUTE_NORMAL);
        std::ofstream(file_.c_str(), std::ios::binary | std::ios::trunc) << content;
        std::wstring u = L"stale", p = L"stale";
        EXPECT_FALSE(LoadCredentialsFrom(folder_, u, p));
        EXPECT_TRUE(u.empty() && p.empty());
        EXPECT_EQ(ReadFileBytes(file_), content);
    }
    std::wstring folder_;
    std::wstring file_;
};

TEST_F(CredentialFileTest, TheFileIsAHiddenBlobWithoutTheSecretsInClear) {
    const std::wstring username = L"alice.cleartext", password = L"hunter2-cleartext";
    ASSERT_TRUE(SaveCredentialsIn(folder_, username, password));
    EXPECT_NE(GetFileAttributesW(file_.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    const std::string blob = ReadFileBytes(file_);
    for (const std::string& secret : {Utf16Bytes(username), Utf16Bytes(password),
                                      Utf16ToUtf8(username), Utf16ToUtf8(password)}) {
        EXPECT_EQ(blob.find(secret), std::string::npos);
    }
    DATA_BLOB in{static_cast<DWORD>(blob.size()),
                 reinterpret_cast<BYTE*>(const_cast<char*>(blob.data()))};
    DATA_BLOB out{};
    LPWSTR description = nullptr;
    ASSERT_TRUE(CryptUnprotectData(&in, &description, nullptr, nullptr, nullptr, 1, &out));
    EXPECT_STREQ(description, L"Tervane configuration login credentials");
    std::string expected;
    ASSERT_TRUE(EncodeCredentialPlain(username, password, expected));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.pbData), out.cbData), expected);
    LocalFree(description);
    LocalFree(out.pbData);
    EXPECT_FALSE(Exists(folder_ + kCredentialsTempFileName));
}

TEST_F(CredentialFileTest, SavingAgainReplacesTheFileWithValuesThatLoadBackUnchanged) {
    EXPECT_FALSE(SaveCredentialsIn(folder_, L"user", L""));
    EXPECT_FALSE(Exists(file_)) << "empty values are not saved";
    ASSERT_TRUE(SaveCredentialsIn(folder_, L"first", L"one"));
    ASSERT_TRUE(SaveCredentialsIn(folder_, L" user name ", L"p\x00E9 \"w\xD83D\xDE00"));
    ExpectLoads(L" user name ", L"p\x00E9 \"w\xD83D\xDE00");
}

bool WriteHalfThenFail(HANDLE file, const void* data, DWORD size) {
    DWORD written = 0;
    WriteFile(file, data, size / 2, &written, nullptr);
    SetLastError(ERROR_DISK_FULL);
    return false;
}

// A write refused half-way, and a new file that cannot be created at all.
TEST_F(CredentialFileTest, AFailedSaveLeavesThePreviousFileReadable) {
    for (const bool blocked : {false, true}) {
        ASSERT_TRUE(SaveCredentialsIn(folder_, L"kept", L"old"));
        const std::string before = ReadFileBytes(file_);
        const std::wstring temp = folder_ + kCredentialsTempFileName;
        ASSERT_TRUE(!blocked || CreateDirectoryW(temp.c_str(), nullptr));
        EXPECT_FALSE(SaveCredentialsIn(folder_, L"lost", L"new",
                                       blocked ? WriteWholeFile : WriteHalfThenFail));
        EXPECT_EQ(ReadFileBytes(file_), before);
        ExpectLoads(L"kept", L"old");
        EXPECT_EQ(Exists(temp), blocked);  // a refused write leaves no half file behind
    }
}

// No file; files outside the size bounds; a damaged blob; a layout the reader refuses.
TEST_F(CredentialFileTest, UnreadableFilesLoadNothingAndAreLeftUntouched) {
    std::wstring u = L"stale", p = L"stale";
    EXPECT_FALSE(LoadCredentialsFrom(folder_, u, p));
    EXPECT_TRUE(u.empty() && p.empty());
    ASSERT_TRUE(SaveCredentialsIn(folder_, L"someone", L"else"));
    std::string damaged = ReadFileBytes(file_);
    damaged[damaged.size() - 8] ^= 0x5A;
    for (const std::string& content : {std::string("abc"), std::string(0x10001, 'x'), damaged,
                                       damaged.substr(0, damaged.size() - 1),
                                       Protect(std::string("u\0\0\0p\0\0", 7))}) {  // odd length
        ExpectIgnoredAndUntouched(content);
    }
}

TEST(CredentialStorePaths, LieInTheLocalApplicationDataFolder) {
    const std::wstring folder = GetStoreFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.substr(folder.size() - 8), L"\\Tervane");
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(GetCredentialsFilePath(), folder + L"\\config-app-credentials.dat");
    EXPECT_EQ(GetTokenFilePath(), folder + L"\\config-app-token.dat");
}

}  // namespace
