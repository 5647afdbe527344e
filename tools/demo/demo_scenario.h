#pragma once

// What the demo's world holds: the account the stand-in service knows and the base units
// around. Shared by the demo program's simulated units and the walk-through that drives it.

namespace demo {

constexpr wchar_t kUsername[] = L"demo";
constexpr wchar_t kPassword[] = L"tervane-demo";
constexpr wchar_t kWrongPassword[] = L"not-my-password";

constexpr wchar_t kLivingRoom[] = L"OV-Living Room";   // quick, clean
constexpr wchar_t kOffice[] = L"OV-Office";            // its first configuration write fails
constexpr wchar_t kAttic[] = L"OV-Attic";              // answers the Wi-Fi request with an error
constexpr wchar_t kGarage[] = L"OV-Garage";            // slow to answer and to write
constexpr wchar_t kHallway[] = L"OV-Hallway";          // drops mid-send, then lingers too long
constexpr wchar_t kPorch[] = L"OV-Porch";              // drops while the password is typed

constexpr wchar_t kHomeNetwork[] = L"Tervane Home";
constexpr wchar_t kHomePassword[] = L"correct horse battery";
constexpr wchar_t kHiddenNetwork[] = L"Attic Hidden";
constexpr wchar_t kHiddenPassword[] = L"up the ladder";

// How long the porch unit's link stays up without a write, and the hallway unit's after close.
constexpr int kPorchIdleDropMs = 1500;
constexpr int kHallwayLingerMs = 13000;

}  // namespace demo
