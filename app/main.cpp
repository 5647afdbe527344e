#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "account/service_origin.h"
#include "app/wizard_app.h"
#include "ble/windows10_backend.h"

namespace {

// The update helper mode arrives with the self-update work; until then a request for it is
// refused the way a short command line is.
constexpr int kTooFewArguments = 2;

bool AsksForUpdateHelper(int& exitCode) {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) {
        return false;
    }
    const bool helper = count >= 2 && CompareStringOrdinal(arguments[1], -1, L"--apply-update", -1,
                                                           TRUE) == CSTR_EQUAL;
    LocalFree(arguments);
    if (helper) {
        exitCode = kTooFewArguments;
    }
    return helper;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    int exitCode = 0;
    if (AsksForUpdateHelper(exitCode)) {
        return exitCode;
    }
    WizardApp app(instance, std::make_unique<Windows10Backend>(), ServiceOrigin);
    if (!app.Initialise(showCommand)) {
        MessageBoxW(nullptr, L"Tervane Connect could not start.", L"Tervane", MB_OK | MB_ICONERROR);
        return 1;
    }
    return RunMessageLoop(app);
}
