#include "update/update_helper.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>

#include "account/unique_handle.h"
#include "update/command_line_quoting.h"
#include "update/hex_digest.h"
#include "update/installer_verification.h"

namespace {

constexpr wchar_t kUpdateTitle[] = L"Tervane Connect Update";
constexpr wchar_t kInstallerParameters[] = L"/SILENT /SP- /NORESTART /RESTARTEXITCODE=3010 ";
constexpr wchar_t kNotStarted[] = L"The update installer could not be started.";

std::wstring ModulePath() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return std::wstring();
    }
    return std::wstring(path, length);
}

void StartApplication(const std::wstring& appPath) {
    ShellExecuteW(nullptr, L"open", appPath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void WaitForParent(unsigned long processId) {
    UniqueFileHandle parent(OpenProcess(SYNCHRONIZE, FALSE, processId));
    if (parent) {
        WaitForSingleObject(parent.get(), INFINITE);
    }
}

}  // namespace

bool LaunchUpdateHelper(const std::wstring& installerPath, InstallMode mode,
                        unsigned long parentProcessId, const std::wstring& appPath,
                        std::wstring& error) {
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD tempLength = GetTempPathW(MAX_PATH, temp);
    if (tempLength == 0 || tempLength > MAX_PATH) {
        error = L"Could not locate the temporary directory.";
        return false;
    }
    const std::wstring helperPath =
        std::wstring(temp) + L"TervaneConfigUpdater-" + std::to_wstring(parentProcessId) + L".exe";
    const std::wstring self = ModulePath();
    if (self.empty() || !CopyFileW(self.c_str(), helperPath.c_str(), FALSE)) {
        error = L"Could not prepare the update helper.";
        return false;
    }
    std::wstring commandLine =
        QuoteArgument(helperPath) + L" --apply-update " + QuoteArgument(installerPath) + L" " +
        std::to_wstring(parentProcessId) + L" " + (mode == InstallMode::AllUsers ? L"allusers" : L"currentuser") + L" " +
        QuoteArgument(appPath);
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

int RunApplyUpdate(const std::vector<std::wstring>& arguments) {
    if (arguments.size() < 6) {
        return kApplyUpdateTooFewArguments;
    }
    const std::wstring& installerPath = arguments[2];
    const unsigned long parentProcessId = wcstoul(arguments[3].c_str(), nullptr, 10);
    const std::wstring& mode = arguments[4];
    const std::wstring& appPath = arguments[5];

    WaitForParent(parentProcessId);

    std::wstring parameters = kInstallerParameters;
    parameters += LowerAscii(mode) == L"allusers" ? L"/ALLUSERS" : L"/CURRENTUSER";

    // The installer waited, closed, in the user's temporary folder; hold it so that nothing
    // can write, rename or delete it until it has run, and prove it genuine once more.
    UniqueFileHandle guard(CreateFileW(installerPath.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::wstring verifyError;
    if (!guard || !VerifyInstallerSignature(installerPath, verifyError)) {
        guard.reset();
        DeleteFileW(installerPath.c_str());
        MessageBoxW(nullptr, kNotStarted, kUpdateTitle, MB_OK | MB_ICONERROR);
        StartApplication(appPath);
        return kApplyUpdateNotStarted;
    }

    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.lpVerb = L"open";
    execute.lpFile = installerPath.c_str();
    execute.lpParameters = parameters.c_str();
    execute.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&execute) || execute.hProcess == nullptr) {
        const DWORD lastError = GetLastError();
        guard.reset();
        if (lastError == ERROR_CANCELLED) {
            MessageBoxW(nullptr, L"The update was cancelled. Tervane Connect was not changed.",
                        kUpdateTitle, MB_OK | MB_ICONINFORMATION);
        } else {
            MessageBoxW(nullptr, kNotStarted, kUpdateTitle, MB_OK | MB_ICONERROR);
        }
        StartApplication(appPath);
        return kApplyUpdateNotStarted;
    }
    UniqueFileHandle installer(execute.hProcess);
    WaitForSingleObject(installer.get(), INFINITE);
    DWORD exitCode = 1;
    GetExitCodeProcess(installer.get(), &exitCode);
    installer.reset();
    guard.reset();

    if (exitCode == 0) {
        DeleteFileW(installerPath.c_str());
        StartApplication(appPath);
        return 0;
    }
    if (exitCode == static_cast<DWORD>(kApplyUpdateRestartNeeded)) {
        DeleteFileW(installerPath.c_str());
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
