// Stands in for the program that the update helper starts again: leaves "<its path>.started",
// or, given a number of milliseconds, lives that long (a parent for the helper to wait on).
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc > 1) {
        Sleep(static_cast<DWORD>(wcstoul(argv[1], nullptr, 10)));
        return 0;
    }
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring marker = std::wstring(path) + L".started";
    const HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                                    nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return 0;
}
