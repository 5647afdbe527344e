#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// How this copy of the program was installed, as the installer recorded it.
enum class InstallMode : int32_t {
    None = 0,  // portable copy
    CurrentUser = 1,
    AllUsers = 2,
};

// True only when the installation entry under root\subKey is complete, names expectedMode
// (letter case ignored) and points at the folder this executable runs from.
bool ProbeInstallRegistration(HKEY root, const std::wstring& subKey,
                              const std::wstring& expectedMode);

// A program file directly in the folder that the entry of that mode records (per user: the
// user's entry, all users: the machine's), under the current or the former name.
bool IsInstalledProgram(InstallMode mode, const std::wstring& programPath);

// Per-user entries first, then machine-wide ones, under the current and the former name.
InstallMode DetectInstallMode();

// Letter case ignored the way the file system does it (ordinal, invariant).
bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b);
