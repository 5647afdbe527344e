#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

// Everything in the file, or nothing when it cannot be opened.
inline std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    char buffer[65536];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

// Wine shows the Unix root as drive Z:, so a path the build hands over can be opened.
inline std::wstring WindowsPath(std::wstring path) {
    if (!path.empty() && path[0] == L'/') {
        path = L"Z:" + path;
    }
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

inline bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::wstring TempFolder() {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    return folder;
}

