#pragma once

// Which flat Bluetooth layer the demo program runs over: the simulated one (the default), or the
// shipping one over the test provider of the Bluetooth runtime classes, chosen with
// --ble=winrt-sim on the command line or TERVANE_DEMO_BLE=winrt-sim in the environment. The
// same base units stand behind either.
bool DemoUsesRuntimeProvider();
