#include <windows.h>

#include <memory>

#include "account/service_origin.h"
#include "app/app_entry.h"
#include "ble/windows10_backend.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    return RunTervaneConnect(instance, showCommand, std::make_unique<Windows10Backend>(),
                             ServiceOrigin);
}
