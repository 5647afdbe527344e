#include "app/app_entry.h"

#include <shellapi.h>

#include "app/wizard_app.h"

namespace {

// The update helper mode arrives with the self-update work; until then a request for it is
// refused the way a short command line is.
constexpr int kTooFewArguments = 2;

bool AsksForUpdateHelper() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) {
        return false;
    }
    const bool helper = count >= 2 && CompareStringOrdinal(arguments[1], -1, L"--apply-update", -1,
                                                           TRUE) == CSTR_EQUAL;
    LocalFree(arguments);
    return helper;
}

}  // namespace

int RunTervaneConnect(HINSTANCE instance, int showCommand, std::unique_ptr<IBleBackend> backend,
                      const wchar_t* webOrigin) {
    if (AsksForUpdateHelper()) {
        return kTooFewArguments;
    }
    WizardApp app(instance, std::move(backend), webOrigin);
    if (!app.Initialise(showCommand)) {
        MessageBoxW(nullptr, L"Tervane Connect could not start.", L"Tervane", MB_OK | MB_ICONERROR);
        return 1;
    }
    return RunMessageLoop(app);
}
