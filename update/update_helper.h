#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "update/install_mode.h"

// The second process that installs a verified update: a copy of the program in the temporary
// folder, started with --apply-update, that waits for the program to end, runs the installer
// silently and starts the program again. Windows only.

// Copies this executable to %TEMP%\TervaneConfigUpdater-<pid>-<random hex>.exe, a name no other
// process can have prepared, and starts it.
bool LaunchUpdateHelper(const std::wstring& installerPath, InstallMode mode,
                        unsigned long parentProcessId, const std::wstring& appPath,
                        std::wstring& error);

// How the helper starts the installer; tests put in one that fails like a refused elevation.
using InstallerLaunch = decltype(&ShellExecuteExW);

// The whole --apply-update mode; returns the process exit code. arguments[0] is the helper's
// own path, arguments[1] the switch. It acts only on an installer of the program's own naming in
// the user's temporary folder and on the program of the installation of the named mode. Before
// the installer runs, the helper holds the file so that nothing can change, rename or delete
// it, and checks its signature and version again. An installation for all users asks for
// elevation; a per-user one never does.
int RunApplyUpdate(const std::vector<std::wstring>& arguments,
                   InstallerLaunch launch = &ShellExecuteExW);

// Helper copies and installers that earlier runs left in the temporary folder; those still in
// use stay.
void RemoveStaleUpdateFiles();

constexpr int kApplyUpdateTooFewArguments = 2;
constexpr int kApplyUpdateNotStarted = 3;
constexpr int kApplyUpdateForeignArguments = 4;
constexpr int kApplyUpdateRestartNeeded = 3010;
