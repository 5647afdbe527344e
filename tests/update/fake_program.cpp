// Stands in for the real installer and for the program the update helper starts again: records
// its parameters and whether its own file could be opened for writing while it ran in
// "<its path without .exe>.log", then exits with the code in FAKE_INSTALLER_EXIT (0 without).
// Given only a number of milliseconds it lives that long instead (a parent for the helper to
// wait on).
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && iswdigit(argv[1][0])) {
        Sleep(static_cast<DWORD>(wcstoul(argv[1], nullptr, 10)));
        return 0;
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring self(path);
    wchar_t exit[16] = {};
    const DWORD code = GetEnvironmentVariableW(L"FAKE_INSTALLER_EXIT", exit, 16) > 0
                           ? static_cast<DWORD>(wcstoul(exit, nullptr, 10))
                           : 0;

    const HANDLE writer =
        CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    const bool writable = writer != INVALID_HANDLE_VALUE;
    if (writable)
        CloseHandle(writer);

    const wchar_t* commandLine = GetCommandLineW();
    const wchar_t* parameters = wcsstr(commandLine, L" /");
    std::wstring record = parameters ? parameters + 1 : L"";
    record += writable ? L"\nwritable\n" : L"\nlocked\n";

    const std::wstring logPath = self.substr(0, self.size() - 4) + L".log";
    const HANDLE log =
        CreateFileW(logPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (log != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(log, record.data(), static_cast<DWORD>(record.size() * sizeof(wchar_t)), &written,
                  nullptr);
        CloseHandle(log);
    }
    return static_cast<int>(code);
}
