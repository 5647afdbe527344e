#pragma once

#include <string>

// The last successful login, protected for the current user, in
// %LOCALAPPDATA%\Tervane\config-app-credentials.dat. Paths are empty when the folder cannot be
// had.
std::wstring GetStoreFolder();
std::wstring GetCredentialsFilePath();
std::wstring GetTokenFilePath();

bool SaveCredentials(const std::wstring& username, const std::wstring& password);
// Both outputs are empty unless it returns true.
bool LoadCredentials(std::wstring& username, std::wstring& password);
