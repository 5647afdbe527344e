#include <windows.h>

#include "app/contrast_colours.h"

// Wine never reports a high-contrast theme, so the demo's contrast run asks for one through
// TERVANE_DEMO_HIGH_CONTRAST; otherwise the system decides, as in the shipping program.
bool HighContrastOn() {
    if (GetEnvironmentVariableW(L"TERVANE_DEMO_HIGH_CONTRAST", nullptr, 0) > 0) {
        return true;
    }
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}
