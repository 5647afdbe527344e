#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/support/windows_files.h"

namespace {

// The shipping program as a separate process, started the way Windows starts it.
DWORD RunProgram(const std::wstring& arguments) {
    const std::string unix = TERVANE_CONNECT_EXE;
    const std::wstring program = WindowsPath(std::wstring(unix.begin(), unix.end()));
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        return 0xFFFFFFFF;
    }
    DWORD code = 0xFFFFFFFE;
    if (WaitForSingleObject(process.hProcess, 15000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &code);
    } else {
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(ProgramStart, UpdateHelperRequestWithoutItsArgumentsExitsWithTwo) {
    EXPECT_EQ(RunProgram(L"--apply-update"), 2u);
    EXPECT_EQ(RunProgram(L"--APPLY-UPDATE C:\\setup.exe"), 2u);
}

}  // namespace
