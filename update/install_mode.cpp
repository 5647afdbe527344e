#include "update/install_mode.h"

#include "common/unique_owner.h"

namespace {

// Reads a string value of at most capacityChars characters into a zeroed buffer one character
// longer, so a value stored without its terminator still reads as bounded text.
bool QueryStringValue(HKEY key, const wchar_t* name, size_t capacityChars, std::wstring& text) {
    text.clear();
    std::wstring buffer(capacityChars + 1, L'\0');
    DWORD type = 0;
    DWORD bytes = static_cast<DWORD>(capacityChars * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &bytes) !=
        ERROR_SUCCESS) {
        return false;
    }
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return false;
    }
    buffer.resize(wcsnlen(buffer.c_str(), capacityChars));
    text = buffer;
    return true;
}

}  // namespace

bool EqualIgnoringCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

namespace {

// The folder a complete entry under root\subKey for expectedMode records.
bool ReadInstallFolder(HKEY root, const std::wstring& subKey, const std::wstring& expectedMode,
                       std::wstring& installPath) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(root, subKey.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) {
        return false;
    }
    UniqueRegistryKey key(raw);

    DWORD installed = 0;
    DWORD type = 0;
    DWORD bytes = sizeof(installed);
    if (RegQueryValueExW(key.get(), L"Installed", nullptr, &type,
                         reinterpret_cast<BYTE*>(&installed), &bytes) != ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof(installed) || installed != 1) {
        return false;
    }

    std::wstring mode;
    if (!QueryStringValue(key.get(), L"InstallMode", 32, mode) ||
        !EqualIgnoringCase(mode, expectedMode)) {
        return false;
    }

    // Used as recorded: an unexpanded value only matches a folder written the same way.
    return QueryStringValue(key.get(), L"InstallPath", 260, installPath);
}

// The folder part of a full path; false without a backslash.
bool FolderOf(const std::wstring& path, std::wstring& folder) {
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) {
        return false;
    }
    folder = path.substr(0, slash);
    return true;
}

const wchar_t* const kInstallKeys[] = {L"Software\\Tervane\\Tervane Connect",
                                       L"Software\\Tervane\\Tervane Config"};

}  // namespace

bool ProbeInstallRegistration(HKEY root, const std::wstring& subKey,
                              const std::wstring& expectedMode) {
    std::wstring installPath;
    if (!ReadInstallFolder(root, subKey, expectedMode, installPath)) {
        return false;
    }
    wchar_t modulePath[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, modulePath, MAX_PATH);
    std::wstring folder;
    if (length == 0 || length >= MAX_PATH || !FolderOf(std::wstring(modulePath, length), folder)) {
        return false;
    }
    return EqualIgnoringCase(folder, installPath);
}

bool IsInstalledProgram(InstallMode mode, const std::wstring& programPath) {
    const bool allUsers = mode == InstallMode::AllUsers;
    std::wstring folder;
    if (mode == InstallMode::None || !FolderOf(programPath, folder) ||
        programPath.size() < folder.size() + 6 ||
        !EqualIgnoringCase(programPath.substr(programPath.size() - 4), L".exe")) {
        return false;
    }
    for (const wchar_t* subKey : kInstallKeys) {
        std::wstring installPath;
        if (ReadInstallFolder(allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, subKey,
                              allUsers ? L"allusers" : L"currentuser", installPath) &&
            EqualIgnoringCase(folder, installPath)) {
            return true;
        }
    }
    return false;
}

InstallMode DetectInstallMode() {
    struct Probe {
        HKEY root;
        const wchar_t* subKey;
        const wchar_t* mode;
        InstallMode result;
    };
    static const Probe kProbes[] = {
        {HKEY_CURRENT_USER, L"Software\\Tervane\\Tervane Connect", L"currentuser",
         InstallMode::CurrentUser},
        {HKEY_CURRENT_USER, L"Software\\Tervane\\Tervane Config", L"currentuser",
         InstallMode::CurrentUser},
        {HKEY_LOCAL_MACHINE, L"Software\\Tervane\\Tervane Connect", L"allusers",
         InstallMode::AllUsers},
        {HKEY_LOCAL_MACHINE, L"Software\\Tervane\\Tervane Config", L"allusers",
         InstallMode::AllUsers},
    };
    for (const Probe& probe : kProbes) {
        if (ProbeInstallRegistration(probe.root, probe.subKey, probe.mode)) {
            return probe.result;
        }
    }
    return InstallMode::None;
}
