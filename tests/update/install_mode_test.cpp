#include "update/install_mode.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const wchar_t kScratchKey[] = L"Software\\Tervane\\InstallProbeTest";
const wchar_t kConnectKey[] = L"Software\\Tervane\\Tervane Connect";
const wchar_t kConfigKey[] = L"Software\\Tervane\\Tervane Config";

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

std::wstring UpperCased(std::wstring text) {
    for (wchar_t& ch : text) {
        if (ch >= L'a' && ch <= L'z') {
            ch = static_cast<wchar_t>(ch - L'a' + L'A');
        }
    }
    return text;
}

// One value as the installer might have written it (or failed to).
struct Value {
    const wchar_t* name;
    DWORD type;
    std::wstring text;  // string types
    DWORD number;       // REG_DWORD
};

void WriteEntry(HKEY root, const wchar_t* subKey, const std::initializer_list<Value>& values) {
    RegDeleteTreeW(root, subKey);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, subKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    for (const Value& v : values) {
        if (v.type == REG_DWORD) {
            RegSetValueExW(key, v.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.number),
                           sizeof(DWORD));
        } else {
            RegSetValueExW(key, v.name, 0, v.type, reinterpret_cast<const BYTE*>(v.text.c_str()),
                           static_cast<DWORD>((v.text.size() + 1) * sizeof(wchar_t)));
        }
    }
    RegCloseKey(key);
}

class InstallModeTest : public testing::Test {
protected:
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey);
        for (const wchar_t* key : {kConnectKey, kConfigKey}) {
            RegDeleteTreeW(HKEY_CURRENT_USER, key);
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
        }
    }
    void SetUp() override { TearDown(); }
};

struct ProbeCase {
    const char* what;
    std::initializer_list<Value> values;
    bool expected;
};

TEST_F(InstallModeTest, ProbeAcceptsOnlyACompleteEntryForThisFolder) {
    const std::wstring folder = ExeFolder();
    const ProbeCase cases[] = {
        {"complete entry",
         {{L"Installed", REG_DWORD, L"", 1},
          {L"InstallMode", REG_SZ, L"currentuser", 0},
          {L"InstallPath", REG_SZ, folder, 0}},
         true},
        {"letter case of mode and folder ignored",
         {{L"Installed", REG_DWORD, L"", 1},
          {L"InstallMode", REG_SZ, L"CurrentUser", 0},
          {L"InstallPath", REG_EXPAND_SZ, UpperCased(folder), 0}},
         true},
        {"not marked installed",
         {{L"Installed", REG_DWORD, L"", 0},
          {L"InstallMode", REG_SZ, L"currentuser", 0},
          {L"InstallPath", REG_SZ, folder, 0}},
         false},
        {"installed flag as text",
         {{L"Installed", REG_SZ, L"1", 0},
          {L"InstallMode", REG_SZ, L"currentuser", 0},
          {L"InstallPath", REG_SZ, folder, 0}},
         false},
        {"other mode",
         {{L"Installed", REG_DWORD, L"", 1},
          {L"InstallMode", REG_SZ, L"allusers", 0},
          {L"InstallPath", REG_SZ, folder, 0}},
         false},
        {"mode as a number",
         {{L"Installed", REG_DWORD, L"", 1},
          {L"InstallMode", REG_DWORD, L"", 1},
          {L"InstallPath", REG_SZ, folder, 0}},
         false},
        {"mode longer than its buffer",
         {{L"Installed", REG_DWORD, L"", 1},
          {L"InstallMode", REG_SZ, L"currentuser" + std::wstring(40, L' '), 0},
          {L"InstallPath", REG_SZ, folder, 0}},
         false},
        {"no folder",
         {{L"Installed", REG_DWORD, L"", 1}, {L"InstallMode", REG_SZ, L"currentuser", 0}},
         false},
        {"another folder",
         {{L"Installed", REG_DWORD, L"", 1},
          {L"InstallMode", REG_SZ, L"currentuser", 0},
          {L"InstallPath", REG_SZ, folder + L"\\sub", 0}},
         false},
        {"folder with a trailing backslash",
         {{L"Installed", REG_DWORD, L"", 1},
          {L"InstallMode", REG_SZ, L"currentuser", 0},
          {L"InstallPath", REG_SZ, folder + L"\\", 0}},
         false},
        {"folder longer than a path",
         {{L"Installed", REG_DWORD, L"", 1},
          {L"InstallMode", REG_SZ, L"currentuser", 0},
          {L"InstallPath", REG_SZ, folder + std::wstring(300, L'x'), 0}},
         false},
    };
    for (const ProbeCase& c : cases) {
        WriteEntry(HKEY_CURRENT_USER, kScratchKey, c.values);
        EXPECT_EQ(ProbeInstallRegistration(HKEY_CURRENT_USER, kScratchKey, L"currentuser"),
                  c.expected)
            << c.what;
    }
}

TEST_F(InstallModeTest, ProbeOfAMissingKeyFails) {
    EXPECT_FALSE(ProbeInstallRegistration(HKEY_CURRENT_USER, kScratchKey, L"currentuser"));
}

TEST_F(InstallModeTest, NoEntryMeansPortable) {
    EXPECT_EQ(DetectInstallMode(), InstallMode::None);
}

TEST_F(InstallModeTest, FormerProductNameStillCountsForTheUser) {
    WriteEntry(HKEY_CURRENT_USER, kConfigKey,
               {{L"Installed", REG_DWORD, L"", 1},
                {L"InstallMode", REG_SZ, L"currentuser", 0},
                {L"InstallPath", REG_SZ, ExeFolder(), 0}});
    EXPECT_EQ(DetectInstallMode(), InstallMode::CurrentUser);
}

TEST_F(InstallModeTest, MachineWideEntryGivesAllUsers) {
    WriteEntry(HKEY_LOCAL_MACHINE, kConnectKey,
               {{L"Installed", REG_DWORD, L"", 1},
                {L"InstallMode", REG_SZ, L"allusers", 0},
                {L"InstallPath", REG_SZ, ExeFolder(), 0}});
    EXPECT_EQ(DetectInstallMode(), InstallMode::AllUsers);
}

TEST_F(InstallModeTest, PerUserEntryWinsOverMachineWide) {
    WriteEntry(HKEY_LOCAL_MACHINE, kConnectKey,
               {{L"Installed", REG_DWORD, L"", 1},
                {L"InstallMode", REG_SZ, L"allusers", 0},
                {L"InstallPath", REG_SZ, ExeFolder(), 0}});
    WriteEntry(HKEY_CURRENT_USER, kConfigKey,
               {{L"Installed", REG_DWORD, L"", 1},
                {L"InstallMode", REG_SZ, L"currentuser", 0},
                {L"InstallPath", REG_SZ, ExeFolder(), 0}});
    EXPECT_EQ(DetectInstallMode(), InstallMode::CurrentUser);
}

TEST_F(InstallModeTest, MachineWideEntryMustSayAllUsers) {
    WriteEntry(HKEY_LOCAL_MACHINE, kConnectKey,
               {{L"Installed", REG_DWORD, L"", 1},
                {L"InstallMode", REG_SZ, L"currentuser", 0},
                {L"InstallPath", REG_SZ, ExeFolder(), 0}});
    EXPECT_EQ(DetectInstallMode(), InstallMode::None);
}

}  // namespace
