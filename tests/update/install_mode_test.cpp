#include "update/install_mode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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
    CharUpperW(&text[0]);
    return text;
}

// One value as the installer might have written it (or failed to).
struct Value {
    std::wstring name;
    DWORD type;         // REG_NONE: left out
    std::wstring text;  // string types
    DWORD number;       // REG_DWORD
};

// A complete entry for this program's folder, with the overrides put in place of its values.
std::vector<Value> Entry(const wchar_t* mode, const std::vector<Value>& overrides = {}) {
    std::vector<Value> entry = {{L"Installed", REG_DWORD, L"", 1},
                                {L"InstallMode", REG_SZ, mode, 0},
                                {L"InstallPath", REG_SZ, ExeFolder(), 0}};
    for (Value& v : entry) {
        for (const Value& o : overrides)
            v = o.name == v.name ? o : v;
    }
    return entry;
}

void WriteEntry(HKEY root, const wchar_t* subKey, const std::vector<Value>& values) {
    RegDeleteTreeW(root, subKey);
    for (const Value& v : values) {
        if (v.type == REG_DWORD)
            RegSetKeyValueW(root, subKey, v.name.c_str(), REG_DWORD, &v.number, sizeof v.number);
        else if (v.type != REG_NONE)
            RegSetKeyValueW(root, subKey, v.name.c_str(), v.type, v.text.c_str(),
                            static_cast<DWORD>((v.text.size() + 1) * sizeof(wchar_t)));
    }
}

class InstallModeTest : public testing::Test {
protected:
    void TearDown() override {
        for (const wchar_t* key : {kScratchKey, kConnectKey, kConfigKey}) {
            RegDeleteTreeW(HKEY_CURRENT_USER, key);
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
        }
    }
    void SetUp() override { TearDown(); }
};

TEST_F(InstallModeTest, ProbeAcceptsOnlyACompleteEntryForThisFolder) {
    EXPECT_FALSE(ProbeInstallRegistration(HKEY_CURRENT_USER, kScratchKey, L"currentuser"));
    const std::wstring folder = ExeFolder();
    const struct {
        const char* what;
        std::vector<Value> overrides;
        bool expected;
    } cases[] = {
        {"complete entry", {}, true},
        {"letter case of mode and folder ignored",
         {{L"InstallMode", REG_SZ, L"CurrentUser", 0},
          {L"InstallPath", REG_EXPAND_SZ, UpperCased(folder), 0}},
         true},
        {"not marked installed", {{L"Installed", REG_DWORD, L"", 0}}, false},
        {"installed flag as text", {{L"Installed", REG_SZ, L"1", 0}}, false},
        {"other mode", {{L"InstallMode", REG_SZ, L"allusers", 0}}, false},
        {"mode as a number", {{L"InstallMode", REG_DWORD, L"", 1}}, false},
        {"mode longer than its buffer",
         {{L"InstallMode", REG_SZ, L"currentuser" + std::wstring(40, L' '), 0}},
         false},
        {"no folder", {{L"InstallPath", REG_NONE, L"", 0}}, false},
        {"folder with a trailing backslash", {{L"InstallPath", REG_SZ, folder + L"\\", 0}}, false},
        {"folder longer than a path",
         {{L"InstallPath", REG_SZ, folder + std::wstring(300, L'x'), 0}},
         false},
    };
    for (const auto& c : cases) {
        WriteEntry(HKEY_CURRENT_USER, kScratchKey, Entry(L"currentuser", c.overrides));
        EXPECT_EQ(ProbeInstallRegistration(HKEY_CURRENT_USER, kScratchKey, L"currentuser"),
                  c.expected)
            << c.what;
    }
}

TEST_F(InstallModeTest, DetectionTakesThePerUserEntryFirstUnderEitherProductName) {
    struct Registration {
        HKEY root;
        const wchar_t* key;
        const wchar_t* mode;
    };
    const struct {
        const char* what;
        std::vector<Registration> entries;
        InstallMode expected;
    } cases[] = {
        {"no entry means portable", {}, InstallMode::None},
        {"former product name still counts for the user",
         {{HKEY_CURRENT_USER, kConfigKey, L"currentuser"}},
         InstallMode::CurrentUser},
        {"machine-wide entry",
         {{HKEY_LOCAL_MACHINE, kConnectKey, L"allusers"}},
         InstallMode::AllUsers},
        {"per-user entry wins over machine-wide",
         {{HKEY_LOCAL_MACHINE, kConnectKey, L"allusers"},
          {HKEY_CURRENT_USER, kConfigKey, L"currentuser"}},
         InstallMode::CurrentUser},
        {"machine-wide entry must say allusers",
         {{HKEY_LOCAL_MACHINE, kConnectKey, L"currentuser"}},
         InstallMode::None},
    };
    for (const auto& c : cases) {
        TearDown();
        for (const Registration& r : c.entries)
            WriteEntry(r.root, r.key, Entry(r.mode));
        EXPECT_EQ(DetectInstallMode(), c.expected) << c.what;
    }
}

}  // namespace
