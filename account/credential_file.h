#pragma once

#include <windows.h>

#include <string>

// The credential store's file work in a folder of the caller's choosing; the product's store
// uses the per-user folder. Tests reach the write step through the writer, to see what a
// refused write leaves behind.

using CredentialWriter = bool (*)(HANDLE file, const void* data, DWORD size);

// One WriteFile of every byte.
bool WriteWholeFile(HANDLE file, const void* data, DWORD size);

extern const wchar_t kCredentialsFileName[];      // "\config-app-credentials.dat"
extern const wchar_t kCredentialsTempFileName[];  // the new file before it replaces the old

bool SaveCredentialsIn(const std::wstring& folder, const std::wstring& username,
                       const std::wstring& password, CredentialWriter writer = WriteWholeFile);
bool LoadCredentialsFrom(const std::wstring& folder, std::wstring& username,
                         std::wstring& password);
