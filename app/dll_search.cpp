#include "app/dll_search.h"

#include <windows.h>
#include <delayimp.h>

namespace {

// The delay-load helper's own loading by bare name would also be safe once the default
// directories are set; this makes the delay-loaded libraries independent of that call.
FARPROC WINAPI LoadFromSystemDirectory(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(
        LoadLibraryExA(info->szDll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

}  // namespace

// Read by the delay-load helper before each library it loads (declared in delayimp.h).
PfnDliHook __pfnDliNotifyHook2 = &LoadFromSystemDirectory;

void RestrictDllSearchToSystemDirectory() {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Nor the current directory, for anything that still searches the old way.
    SetDllDirectoryW(L"");
}
