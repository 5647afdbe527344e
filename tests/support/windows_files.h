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

// Points TMP and TEMP at a folder that does not exist for as long as it lives.
class MissingTempFolder {
public:
    MissingTempFolder() {
        for (int i = 0; i < 2; ++i) {
            had_[i] = GetEnvironmentVariableW(kNames[i], saved_[i], MAX_PATH) > 0;
            SetEnvironmentVariableW(kNames[i], L"C:\\tervane-no-such-folder");
        }
    }
    ~MissingTempFolder() {
        for (int i = 0; i < 2; ++i) {
            SetEnvironmentVariableW(kNames[i], had_[i] ? saved_[i] : nullptr);
        }
    }
    MissingTempFolder(const MissingTempFolder&) = delete;
    MissingTempFolder& operator=(const MissingTempFolder&) = delete;

private:
    static constexpr const wchar_t* kNames[2] = {L"TMP", L"TEMP"};
    wchar_t saved_[2][MAX_PATH] = {};
    bool had_[2] = {};
};
