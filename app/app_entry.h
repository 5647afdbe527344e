#pragma once

#include <windows.h>

#include <memory>

#include "ble/ble_backend.h"

// The whole life of a normal start: the application object, start-up, the message loop, the
// exit code. Each flavour's entry point picks the backend and the service origin.
int RunTervaneConnect(HINSTANCE instance, int showCommand, std::unique_ptr<IBleBackend> backend,
                      const wchar_t* webOrigin);
