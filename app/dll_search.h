#pragma once

// Windows looks for a library named without a path beside the executable first. The update
// helper runs from the user's temporary folder, where any program of the user can leave a DLL,
// so every library this process loads at run time, including the delay-loaded ones, comes from
// the system directory only. Called before anything else in every mode.
void RestrictDllSearchToSystemDirectory();
