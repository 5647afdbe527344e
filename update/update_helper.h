#pragma once

#include <string>
#include <vector>

#include "update/install_mode.h"

// The second process that installs a verified update: a copy of the program in the temporary
// folder, started with --apply-update, that waits for the program to end, runs the installer
// silently and starts the program again. Windows only.

// Copies this executable to %TEMP%\TervaneConfigUpdater-<pid>.exe and starts it.
bool LaunchUpdateHelper(const std::wstring& installerPath, InstallMode mode,
                        unsigned long parentProcessId, const std::wstring& appPath,
                        std::wstring& error);

// The whole --apply-update mode; returns the process exit code. arguments[0] is the helper's
// own path, arguments[1] the switch. Before the installer runs, the helper holds the file so
// that nothing can change, rename or delete it, and checks its signature again.
int RunApplyUpdate(const std::vector<std::wstring>& arguments);

constexpr int kApplyUpdateTooFewArguments = 2;
constexpr int kApplyUpdateNotStarted = 3;
constexpr int kApplyUpdateRestartNeeded = 3010;
