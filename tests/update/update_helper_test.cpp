#include "update/update_helper.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "tests/support/dialog_answerer.h"
#include "tests/support/windows_files.h"

#include <string>
#include <vector>

#ifndef TERVANE_UPDATE_FIXTURES
#error "TERVANE_UPDATE_FIXTURES names the folder of the fake installers and program"
#endif

namespace {

const std::wstring kFixtures = TERVANE_UPDATE_FIXTURES;
const std::wstring kParameters = L"/SILENT /SP- /NORESTART /RESTARTEXITCODE=3010 ";

const wchar_t kEntry[] = L"Software\\Tervane\\Tervane Connect";

void WriteEntry(HKEY root, const wchar_t* mode, const std::wstring& folder) {
    const DWORD one = 1;
    RegSetKeyValueW(root, kEntry, L"Installed", REG_DWORD, &one, sizeof one);
    RegSetKeyValueW(root, kEntry, L"InstallMode", REG_SZ, mode,
                    static_cast<DWORD>((wcslen(mode) + 1) * 2));
    RegSetKeyValueW(root, kEntry, L"InstallPath", REG_SZ, folder.c_str(),
                    static_cast<DWORD>((folder.size() + 1) * 2));
}

// The program installed in a fresh folder, per user and for all users, and installers named
// as the program names its downloads, since a successful run deletes its installer.
class UpdateHelperRun : public testing::Test {
protected:
    void SetUp() override {
        const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = TempFolder() + L"tervane-helper-" + std::wstring(test.begin(), test.end());
        CreateDirectoryW(folder_.c_str(), nullptr);
        app_ = folder_ + L"\\TervaneConnect.exe";
        started_ = folder_ + L"\\TervaneConnect.log";
        ASSERT_TRUE(CopyFileW((kFixtures + L"\\fake_app.exe").c_str(), app_.c_str(), FALSE));
        DeleteFileW(started_.c_str());
        WriteEntry(HKEY_CURRENT_USER, L"currentuser", folder_);
        WriteEntry(HKEY_LOCAL_MACHINE, L"allusers", folder_);
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kEntry);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kEntry);
        SetEnvironmentVariableW(L"FAKE_INSTALLER_EXIT", nullptr);
        for (const std::wstring& file : made_) {
            DeleteFileW(file.c_str());
            DeleteFileW((file.substr(0, file.size() - 4) + L".log").c_str());
        }
    }

    std::wstring Installer(const wchar_t* fixture, int exitCode,
                           const std::wstring& folder = TempFolder()) {
        static unsigned next = 40960;  // decimal digits are hex digits too
        const std::wstring path = folder + L"OVC" + std::to_wstring(next++) + L".exe";
        EXPECT_TRUE(CopyFileW((kFixtures + L"\\" + fixture).c_str(), path.c_str(), FALSE));
        SetEnvironmentVariableW(L"FAKE_INSTALLER_EXIT", std::to_wstring(exitCode).c_str());
        made_.push_back(path);
        return path;
    }

    int Run(const std::wstring& installer, const std::wstring& mode = L"currentuser",
            const std::wstring& parent = L"0", InstallerLaunch launch = &ShellExecuteExW) {
        return RunApplyUpdate({L"helper.exe", L"--apply-update", installer, parent, mode, app_},
                              launch);
    }

    std::wstring LogOf(const std::wstring& installer) {
        const std::string raw = ReadFileBytes(installer.substr(0, installer.size() - 4) + L".log");
        return std::wstring(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / 2);
    }

    bool AppStarted() {
        // The program is started with ShellExecute and not waited for.
        for (int i = 0; i < 100 && !Exists(started_); ++i)
            Sleep(50);
        return Exists(started_);
    }

    std::wstring folder_;
    std::wstring app_;
    std::wstring started_;  // what the program leaves when it is started
    std::vector<std::wstring> made_;
};

TEST(RunApplyUpdate, TooFewArgumentsExitWithTwoAndShowNothing) {
    DialogAnswerer boxes;
    EXPECT_EQ(RunApplyUpdate({L"helper.exe", L"--apply-update", L"a", L"1", L"currentuser"}), 2);
    EXPECT_TRUE(boxes.Take().empty());
}

TEST(RemoveStaleUpdateFiles, RemovesOnlyOwnLeftoversNotInUse) {
    const struct {
        const wchar_t* name;
        bool held;  // open without delete sharing, as during a download
        bool stays;
    } cases[] = {
        {L"TervaneConfigUpdater-12-0123456789abcdef.exe", false, false},
        {L"OVC1A2B.exe", false, false},
        {L"OVC1A2C.exe", true, true},
        {L"OVCsetup.exe", false, true},
        {L"TervaneSetup.exe", false, true},
    };
    std::vector<HANDLE> held;
    for (const auto& c : cases) {
        const HANDLE file = CreateFileW((TempFolder() + c.name).c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        c.held ? held.push_back(file) : static_cast<void>(CloseHandle(file));
    }
    RemoveStaleUpdateFiles();
    for (HANDLE file : held)
        CloseHandle(file);
    for (const auto& c : cases) {
        EXPECT_EQ(Exists(TempFolder() + c.name), c.stays) << testing::PrintToString(c.name);
        DeleteFileW((TempFolder() + c.name).c_str());
    }
}

// Windows asks for elevation when the launch uses "runas"; refusing it fails the launch with
// ERROR_CANCELLED, which is what the stand-in launch does.
const wchar_t* g_launchVerb = L"";
BOOL WINAPI RefusedElevation(SHELLEXECUTEINFOW* execute) {
    g_launchVerb = execute->lpVerb;
    SetLastError(ERROR_CANCELLED);
    return FALSE;
}

// The installer runs silently with the switch of the install mode word (in any letter case),
// locked against change; whatever the end, it is deleted, and only a restart of Windows keeps
// the program from being started again. Which rule of the signature check fails is the
// verification tests' business.
TEST_F(UpdateHelperRun, EveryEndLeavesNoInstallerAndIsReported) {
    const wchar_t* const kNotStarted = L"The update installer could not be started.";
    const wchar_t* const kCancelled = L"The update was cancelled. Tervane Connect was not changed.";
    const struct {
        const wchar_t* fixture;  // null: no installer at all
        int installerExit, exit;
        const wchar_t* text;                  // null: no message
        const wchar_t* modeSwitch = nullptr;  // the switch the installer ran with, if checked
        const wchar_t* mode = L"currentuser";
        InstallerLaunch launch = &ShellExecuteExW;
        const wchar_t* verb = L"";  // the refused launch's verb
    } cases[] = {
        {L"fake_installer.exe", 0, 0, nullptr, L"/CURRENTUSER"},
        {L"fake_installer.exe", 0, 0, nullptr, L"/ALLUSERS", L"AllUsers"},
        {L"fake_installer.exe", 0, 0, nullptr, L"/CURRENTUSER", L"allusers "},
        {L"fake_installer.exe", 3010, 3010,
         L"The update was installed successfully, but Windows must be restarted before Tervane "
         L"Connect is started again."},
        {L"fake_installer.exe", 1, 1,
         L"The update installer did not complete successfully (exit code 1). The existing "
         L"application will be restarted."},
        {L"fake_installer_other.exe", 0, 3, kNotStarted},
        {L"fake_installer_old.exe", 0, 3,
         L"The update installer is not newer than the installed version."},
        {nullptr, 0, 3, kNotStarted},
        {L"fake_installer.exe", 0, 3, kCancelled, nullptr, L"allusers", &RefusedElevation,
         L"runas"},
        {L"fake_installer.exe", 0, 3, kCancelled, nullptr, L"currentuser", &RefusedElevation,
         L"open"},
    };
    for (const auto& c : cases) {
        const std::wstring installer =
            c.fixture ? Installer(c.fixture, c.installerExit) : TempFolder() + L"OVCFFFFFFFF.exe";
        DeleteFileW(started_.c_str());
        g_launchVerb = L"";
        DialogAnswerer boxes;
        EXPECT_EQ(Run(installer, c.mode, L"0", c.launch), c.exit) << c.mode;
        EXPECT_FALSE(Exists(installer));
        EXPECT_EQ(!LogOf(installer).empty(), c.exit != 3) << c.exit;
        if (c.modeSwitch) {
            EXPECT_EQ(LogOf(installer), kParameters + c.modeSwitch + L"\nlocked\n") << c.mode;
        }
        EXPECT_EQ(std::wstring(g_launchVerb), c.verb);
        const bool restarted = c.exit != 3010;
        if (!restarted)
            Sleep(300);
        EXPECT_EQ(restarted ? AppStarted() : Exists(started_), restarted) << c.exit;
        const std::vector<SeenDialog> seen = boxes.Take();
        ASSERT_EQ(seen.size(), c.text ? 1u : 0u) << c.exit;
        if (c.text) {
            EXPECT_EQ(seen[0].title, L"Tervane Connect Update");
            EXPECT_EQ(seen[0].text, c.text);
        }
    }
}

TEST_F(UpdateHelperRun, ForeignArgumentsGetNothingDeletedRunOrStarted) {
    const std::wstring other = folder_ + L"\\Other";
    CreateDirectoryW(other.c_str(), nullptr);
    CopyFileW(app_.c_str(), (other + L"\\TervaneConnect.exe").c_str(), FALSE);
    const std::wstring own = Installer(L"fake_installer.exe", 0);
    const struct {
        std::wstring installer;
        std::wstring app;
    } cases[] = {
        {Installer(L"fake_installer.exe", 0, folder_ + L"\\"), app_},
        {Installer(L"fake_installer.exe", 0, folder_ + L"\\..\\"), app_},
        {own.substr(0, own.size() - 4) + L"-setup.exe", app_},
        {own, other + L"\\TervaneConnect.exe"},
        {own, folder_},
    };
    CopyFileW(own.c_str(), cases[2].installer.c_str(), FALSE);
    made_.push_back(cases[2].installer);
    for (const auto& c : cases) {
        DialogAnswerer boxes;
        EXPECT_EQ(RunApplyUpdate(
                      {L"helper.exe", L"--apply-update", c.installer, L"0", L"currentuser", c.app}),
                  4)
            << testing::PrintToString(c.installer);
        EXPECT_TRUE(Exists(c.installer));
        EXPECT_TRUE(LogOf(c.installer).empty()) << "the installer ran";
        EXPECT_TRUE(boxes.Take().empty());
    }
    Sleep(300);
    EXPECT_FALSE(Exists(started_));
}

TEST_F(UpdateHelperRun, WaitsForTheParentProcessToEnd) {
    std::wstring commandLine = L"\"" + app_ + L"\" 1500";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION parent{};
    ASSERT_TRUE(CreateProcessW(app_.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &parent));
    CloseHandle(parent.hThread);
    const std::wstring installer = Installer(L"fake_installer.exe", 0);
    EXPECT_EQ(Run(installer, L"currentuser", std::to_wstring(parent.dwProcessId)), 0);
    EXPECT_EQ(WaitForSingleObject(parent.hProcess, 0), WAIT_OBJECT_0)
        << "the installer ran while the parent was still running";
    CloseHandle(parent.hProcess);
}

}  // namespace
