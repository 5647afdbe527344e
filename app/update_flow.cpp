// The window's side of self-update: the check from the system menu and at start-up, the
// download worker, the ready state and the hand-over to the update helper.
#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <utility>

#include "app/update_operations.h"
#include "app/wizard_app.h"
#include "app/wizard_workers.h"
#include "update/update_check.h"
#include "update/update_download.h"
#include "update/update_helper.h"
#include "update/version.h"

namespace {

constexpr wchar_t kAppTitle[] = L"Tervane Connect";
constexpr wchar_t kUpdateTitle[] = L"Tervane Connect Update";
constexpr UINT kApplyPeriodMs = 500;

// The workers get the window handle itself: WizardApp::window is cleared on the window thread
// when the window goes, and must not be read from another thread.
struct UpdateCheckContext {
    HWND window = nullptr;
    bool interactive = false;
    bool installedCopy = false;
    UpdateOperations operations{};
};

struct UpdateDownloadContext {
    HWND window = nullptr;
    UpdateInfo info;
    UpdateOperations operations{};
};

DWORD WINAPI UpdateCheckThread(LPVOID raw) {
    std::unique_ptr<UpdateCheckContext> context(static_cast<UpdateCheckContext*>(raw));
    std::unique_ptr<UpdateCheckResult> result;
    try {
        result = std::make_unique<UpdateCheckResult>();
        result->interactive = context->interactive;
        result->installedCopy = context->installedCopy;
        result->succeeded = context->operations.check(context->installedCopy, result->info,
                                                      result->noPublishedUpdate,
                                                      result->errorMessage);
        VersionParts own;
        VersionParts published;
        if (result->succeeded && !result->noPublishedUpdate && ParseVersion(APP_VERSION, own) &&
            ParseVersion(result->info.version, published)) {
            result->newerAvailable = IsNewerVersion(own, published);
        }
    } catch (const std::exception&) {
        result.reset();  // the handler still clears the busy flag
    }
    PostResult(context->window, WM_APP_UPDATE_CHECK_DONE, std::move(result));
    return 0;
}

DWORD WINAPI UpdateDownloadThread(LPVOID raw) {
    std::unique_ptr<UpdateDownloadContext> context(static_cast<UpdateDownloadContext*>(raw));
    std::unique_ptr<UpdateDownloadResult> result;
    std::wstring installerPath;
    try {
        result = std::make_unique<UpdateDownloadResult>();
        result->succeeded = context->operations.fetchVerifiedInstaller(
            context->info, result->installerPath, result->errorMessage);
        installerPath = result->installerPath;
    } catch (const std::exception&) {
        result.reset();
    }
    // A verified installer nobody will run (the window is gone) is not left behind.
    if (!PostResult(context->window, WM_APP_UPDATE_DOWNLOAD_DONE, std::move(result)) &&
        !installerPath.empty()) {
        DeleteFileW(installerPath.c_str());
    }
    return 0;
}

bool RealCheck(bool installedCopy, UpdateInfo& info, bool& noPublishedUpdate,
               std::wstring& error) {
    return CheckForUpdate(installedCopy, info, noPublishedUpdate, error);
}

void OpenWithShell(HWND owner, const std::wstring& url) {
    ShellExecuteW(owner, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

UpdateOperations RealUpdateOperations() {
    return {&RealCheck, &FetchVerifiedInstaller, &LaunchUpdateHelper, &OpenWithShell};
}

void WizardApp::StartUpdateCheck(bool interactive) {
    if (updateCheckBusy) {
        if (interactive) {
            MessageBoxW(window, L"An update check is already in progress.", kAppTitle,
                        MB_OK | MB_ICONINFORMATION);
        }
        return;
    }
    updateCheckBusy = true;
    auto context = std::make_unique<UpdateCheckContext>();
    context->window = window;
    context->interactive = interactive;
    context->installedCopy = installMode != InstallMode::None;
    context->operations = updateOperations;
    if (StartWorker(&UpdateCheckThread, context)) {
        return;
    }
    updateCheckBusy = false;
    if (interactive) {
        MessageBoxW(window, L"Could not start the update check.", kAppTitle,
                    MB_OK | MB_ICONERROR);
    }
}

void WizardApp::StartStartupUpdateCheck() {
    if (installMode != InstallMode::None) {
        RemoveStaleUpdateFiles();
    }
    if (installMode != InstallMode::None && !updateCheckBusy) {
        StartUpdateCheck(false);
    }
}

void WizardApp::OnUpdateCheckComplete(std::unique_ptr<UpdateCheckResult> result) {
    updateCheckBusy = false;
    if (!result) {
        return;
    }
    if (!result->succeeded) {
        if (result->interactive) {
            const std::wstring& text = result->errorMessage.empty()
                                           ? std::wstring(L"Could not check for updates.")
                                           : result->errorMessage;
            MessageBoxW(window, text.c_str(), kAppTitle, MB_OK | MB_ICONWARNING);
        }
        return;
    }
    if (result->noPublishedUpdate) {
        if (result->interactive) {
            MessageBoxW(window, L"No published update is currently available.", kAppTitle,
                        MB_OK | MB_ICONINFORMATION);
        }
        return;
    }
    const UpdateInfo& info = result->info;
    if (!result->newerAvailable) {
        if (result->interactive) {
            const std::wstring text = std::wstring(L"Tervane Connect is up to date.\r\n\r\n") +
                                      L"Installed version: " + APP_VERSION +
                                      L"\r\nLatest version: " + info.version;
            MessageBoxW(window, text.c_str(), kAppTitle, MB_OK | MB_ICONINFORMATION);
        }
        return;
    }
    std::wstring text = std::wstring(L"A newer version of Tervane Connect is available.\r\n\r\n") +
                        L"Installed: " + APP_VERSION + L"\r\nAvailable: " + info.version;
    if (!info.release_notes.empty()) {
        text += L"\r\n\r\nRelease notes:\r\n" + info.release_notes;
    }
    if (result->installedCopy) {
        text += L"\r\n\r\nDownload and install this update?";
        const int answer =
            MessageBoxW(window, text.c_str(), kUpdateTitle, MB_YESNO | MB_ICONINFORMATION);
        // The flags are read after the box: a download may have started or finished meanwhile.
        if (answer == IDYES && !updateDownloadBusy && !updateReady) {
            StartUpdateDownload(info);
        }
        return;
    }
    text +=
        L"\r\n\r\nThis is a portable copy, so it will not replace itself automatically.\r\n"
        L"Open the portable update download in your browser?";
    if (MessageBoxW(window, text.c_str(), kUpdateTitle, MB_YESNO | MB_ICONINFORMATION) == IDYES) {
        updateOperations.openInBrowser(window, info.download_url);
    }
}

void WizardApp::StartUpdateDownload(const UpdateInfo& info) {
    updateDownloadBusy = true;
    auto context = std::make_unique<UpdateDownloadContext>();
    context->window = window;
    context->info = info;
    context->operations = updateOperations;
    if (StartWorker(&UpdateDownloadThread, context)) {
        return;
    }
    updateDownloadBusy = false;
    MessageBoxW(window, L"Could not start the update download.", kAppTitle, MB_OK | MB_ICONERROR);
}

void WizardApp::OnUpdateDownloadComplete(std::unique_ptr<UpdateDownloadResult> result) {
    updateDownloadBusy = false;
    if (!result) {
        return;
    }
    if (!result->succeeded) {
        const std::wstring& text = result->errorMessage.empty()
                                       ? std::wstring(L"The update could not be downloaded or "
                                                      L"verified.")
                                       : result->errorMessage;
        MessageBoxW(window, text.c_str(), kUpdateTitle, MB_OK | MB_ICONERROR);
        return;
    }
    pendingInstallerPath = result->installerPath;
    updateReady = true;
    result.reset();
    if (!Busy()) {
        TryApplyUpdate();
        return;
    }
    MessageBoxW(window,
                L"The update is ready. It will be installed when the current base-unit "
                L"operation has finished.",
                kUpdateTitle, MB_OK | MB_ICONINFORMATION);
    SetTimer(window, UPDATE_APPLY_TIMER_ID, kApplyPeriodMs, nullptr);
}

void WizardApp::DiscardReadyUpdate() {
    updateReady = false;
    if (!pendingInstallerPath.empty()) {
        DeleteFileW(pendingInstallerPath.c_str());
    }
    pendingInstallerPath.clear();
}

void WizardApp::TryApplyUpdate() {
    if (!updateReady || pendingInstallerPath.empty() || Busy()) {
        return;
    }
    KillTimer(window, UPDATE_APPLY_TIMER_ID);
    if (installMode == InstallMode::None) {
        DiscardReadyUpdate();
        return;
    }
    backend->Disconnect();
    wchar_t appPath[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, appPath, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        MessageBoxW(window, L"Could not determine the installed application path.", kUpdateTitle,
                    MB_OK | MB_ICONERROR);
        // Kept, the ready state would refuse every later update until the program restarts.
        DiscardReadyUpdate();
        return;
    }
    std::wstring error;
    if (updateOperations.launchHelper(pendingInstallerPath, installMode, GetCurrentProcessId(),
                                      std::wstring(appPath, length), error)) {
        updateReady = false;
        pendingInstallerPath.clear();  // the helper runs it now
        PostMessageW(window, WM_CLOSE, 0, 0);
        return;
    }
    if (error.empty()) {
        error = L"Could not start the update installer.";
    }
    MessageBoxW(window, error.c_str(), kUpdateTitle, MB_OK | MB_ICONERROR);
    DiscardReadyUpdate();
}
