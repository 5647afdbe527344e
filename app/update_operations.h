#pragma once

#include <windows.h>

#include <string>

#include "update/install_mode.h"
#include "update/update_info.h"

// What the window's self-update steps call below it: the network check, the download with its
// tests, the helper launch and the browser. The program uses the real ones; window tests put in
// scripted ones, so the dialogs and the ready and apply states run without a network.
struct UpdateOperations {
    bool (*check)(bool installedCopy, UpdateInfo& info, bool& noPublishedUpdate,
                  std::wstring& error);
    bool (*fetchVerifiedInstaller)(const UpdateInfo& info, std::wstring& installerPath,
                                   std::wstring& error);
    bool (*launchHelper)(const std::wstring& installerPath, InstallMode mode,
                         unsigned long parentProcessId, const std::wstring& appPath,
                         std::wstring& error);
    void (*openInBrowser)(HWND owner, const std::wstring& url);
};

UpdateOperations RealUpdateOperations();
