#include "app/app_entry.h"

#include <shellapi.h>

#include <string>
#include <vector>

#include "app/dll_search.h"
#include "app/wizard_app.h"
#include "update/update_helper.h"

namespace {

// The update helper mode: argv[1] is --apply-update (any letter case). Empty when this is a
// normal start.
bool UpdateHelperArguments(std::vector<std::wstring>& helperArguments) {
    helperArguments.clear();
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments) {
        return false;
    }
    const bool helper = count >= 2 && CompareStringOrdinal(arguments[1], -1, L"--apply-update", -1,
                                                           TRUE) == CSTR_EQUAL;
    if (helper) {
        helperArguments.assign(arguments, arguments + count);
    }
    LocalFree(arguments);
    return helper;
}

}  // namespace

int RunTervaneConnect(HINSTANCE instance, int showCommand, std::unique_ptr<IBleBackend> backend,
                      const wchar_t* webOrigin) {
    RestrictDllSearchToSystemDirectory();
    std::vector<std::wstring> helperArguments;
    if (UpdateHelperArguments(helperArguments)) {
        return RunApplyUpdate(helperArguments);
    }
    WizardApp app(instance, std::move(backend), webOrigin);
    if (!app.Initialise(showCommand)) {
        // A window destroyed during start-up has already asked to quit; a box shown with that
        // request pending would close at once.
        MSG quit{};
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        MessageBoxW(nullptr, L"Tervane Connect could not start.", L"Tervane", MB_OK | MB_ICONERROR);
        return 1;
    }
    return RunMessageLoop(app);
}
