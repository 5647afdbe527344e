#include "update/update_helper.h"

#include <bcrypt.h>

#include <cwchar>

#include "common/unique_owner.h"
#include "update/command_line_quoting.h"
#include "update/hex_digest.h"
#include "update/installer_verification.h"
#include "update/update_info.h"

namespace {

constexpr wchar_t kUpdateTitle[] = L"Tervane Connect Update";
constexpr wchar_t kInstallerParameters[] = L"/SILENT /SP- /NORESTART /RESTARTEXITCODE=3010 ";
constexpr wchar_t kNotStarted[] = L"The update installer could not be started.";
constexpr wchar_t kHelperPrefix[] = L"TervaneConfigUpdater-";
constexpr wchar_t kInstallerPrefix[] = L"OVC";

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::wstring();
    }
    return std::wstring(path, length);
}

// Ends with a backslash; empty when there is none.
std::wstring TempFolder() {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathW(MAX_PATH, temp);
    return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(temp, length);
}

// What MakeUpdateTempPath names: the temporary folder, "OVC", hexadecimal digits, ".exe".
bool IsOwnInstallerPath(const std::wstring& path) {
    const std::wstring folder = TempFolder();
    const size_t prefix = folder.size() + 3;
    if (folder.empty() || path.size() < prefix + 1 + 4 || path.size() > prefix + 8 + 4 ||
        !EqualIgnoringCase(path.substr(0, folder.size()), folder) ||
        !EqualIgnoringCase(path.substr(folder.size(), 3), kInstallerPrefix) ||
        !EqualIgnoringCase(path.substr(path.size() - 4), L".exe")) {
        return false;
    }
    for (size_t i = prefix; i < path.size() - 4; ++i) {
        if (!iswxdigit(path[i])) {
            return false;
        }
    }
    return true;
}

void StartApplication(const std::wstring& appPath) {
    ShellExecuteW(nullptr, L"open", appPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void WaitForParent(unsigned long processId) {
    UniqueHandle parent(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (parent) {
        WaitForSingleObject(parent.get(), INFINITE);
    }
}

// The installer is never left in the temporary folder once it will not run, or has run.
int Refuse(const std::wstring& installerPath, const std::wstring& appPath, const wchar_t* text,
           UINT icon) {
    DeleteFileW(installerPath.c_str());
    MessageBoxW(nullptr, text, kUpdateTitle, MB_OK | icon);
    StartApplication(appPath);
    return kApplyUpdateNotStarted;
}

void DeleteMatching(const std::wstring& folder, const std::wstring& pattern,
                    bool (*ours)(const std::wstring& path)) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) {
        return;
    }
    do {
        const std::wstring path = folder + found.cFileName;
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && ours(path)) {
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

bool AnyFile(const std::wstring&) {
    return true;
}

}  // namespace

bool LaunchUpdateHelper(const std::wstring& installerPath, InstallMode mode,
                        unsigned long parentProcessId, const std::wstring& appPath,
                        std::wstring& error) {
    const std::wstring temp = TempFolder();
    if (temp.empty()) {
        error = L"Could not locate the temporary directory.";
        return false;
    }
    unsigned char random[8] = {};
    const std::wstring self = ModulePath();
    const bool named =
        BCryptGenRandom(nullptr, random, sizeof random, BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0;
    const std::wstring helperPath = temp + kHelperPrefix + std::to_wstring(parentProcessId) + L"-" +
                                    HexEncodeLower(random, sizeof random) + L".exe";
    // Never onto an existing file: whatever lies there was not made by this call.
    if (self.empty() || !named || !CopyFileW(self.c_str(), helperPath.c_str(), TRUE)) {
        error = L"Could not prepare the update helper.";
        return false;
    }
    std::wstring commandLine = QuoteArgument(helperPath) + L" --apply-update " +
                               QuoteArgument(installerPath) + L" " +
                               std::to_wstring(parentProcessId) + L" " +
                               (mode == InstallMode::AllUsers ? L"allusers" : L"currentuser") +
                               L" " + QuoteArgument(appPath);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(helperPath.c_str(), &commandLine[0], nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process)) {
        DeleteFileW(helperPath.c_str());
        error = L"Could not start the update helper.";
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

int RunApplyUpdate(const std::vector<std::wstring>& arguments, InstallerLaunch launch) {
    if (arguments.size() < 6) {
        return kApplyUpdateTooFewArguments;
    }
    const std::wstring& installerPath = arguments[2];
    const unsigned long parentProcessId = wcstoul(arguments[3].c_str(), nullptr, 10);
    const bool allUsers = LowerAscii(arguments[4]) == L"allusers";
    const std::wstring& appPath = arguments[5];

    // Whoever else starts a copy of the program with this switch gets nothing deleted, run or
    // started.
    if (!IsOwnInstallerPath(installerPath) ||
        !IsInstalledProgram(allUsers ? InstallMode::AllUsers : InstallMode::CurrentUser, appPath)) {
        return kApplyUpdateForeignArguments;
    }

    WaitForParent(parentProcessId);

    std::wstring parameters = kInstallerParameters;
    parameters += allUsers ? L"/ALLUSERS" : L"/CURRENTUSER";

    // The installer waited, closed, in the user's temporary folder; hold it so that nothing
    // can write, rename or delete it until it has run, and prove it genuine and newer once more.
    UniqueHandle guard(CreateFileW(installerPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::wstring verifyError;
    if (!guard || !VerifyInstallerSignature(installerPath, verifyError)) {
        guard.reset();
        return Refuse(installerPath, appPath, kNotStarted, MB_ICONERROR);
    }
    VersionParts installerVersion;
    VersionParts ownVersion;
    if (!ReadInstallerVersion(installerPath, installerVersion) ||
        !ParseVersion(APP_VERSION, ownVersion) || !IsNewerVersion(ownVersion, installerVersion)) {
        guard.reset();
        return Refuse(installerPath, appPath,
                      L"The update installer is not newer than the installed version.",
                      MB_ICONERROR);
    }

    // A machine-wide installation needs an administrator: ask for elevation for it, and only
    // for it.
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = allUsers ? L"runas" : L"open";
    execute.lpFile = installerPath.c_str();
    execute.lpParameters = parameters.c_str();
    execute.nShow = SW_SHOWNORMAL;
    if (!launch(&execute) || execute.hProcess == nullptr) {
        const DWORD lastError = GetLastError();
        guard.reset();
        if (lastError == ERROR_CANCELLED) {
            return Refuse(installerPath, appPath,
                          L"The update was cancelled. Tervane Connect was not changed.",
                          MB_ICONINFORMATION);
        }
        return Refuse(installerPath, appPath, kNotStarted, MB_ICONERROR);
    }
    UniqueHandle installer(execute.hProcess);
    WaitForSingleObject(installer.get(), INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(installer.get(), &exitCode);
    installer.reset();
    guard.reset();
    DeleteFileW(installerPath.c_str());

    if (exitCode == 0) {
        StartApplication(appPath);
        return 0;
    }
    if (exitCode == static_cast<DWORD>(kApplyUpdateRestartNeeded)) {
        MessageBoxW(nullptr,
                    L"The update was installed successfully, but Windows must be restarted before "
                    L"Tervane Connect is started again.",
                    kUpdateTitle, MB_OK | MB_ICONINFORMATION);
        return kApplyUpdateRestartNeeded;
    }
    const std::wstring text = L"The update installer did not complete successfully (exit code " +
                              std::to_wstring(exitCode) +
                              L"). The existing application will be restarted.";
    MessageBoxW(nullptr, text.c_str(), kUpdateTitle, MB_OK | MB_ICONERROR);
    StartApplication(appPath);
    return static_cast<int>(exitCode);
}

void RemoveStaleUpdateFiles() {
    const std::wstring temp = TempFolder();
    if (temp.empty()) {
        return;
    }
    DeleteMatching(temp, std::wstring(kHelperPrefix) + L"*.exe", &AnyFile);
    DeleteMatching(temp, std::wstring(kInstallerPrefix) + L"*.exe", &IsOwnInstallerPath);
}
