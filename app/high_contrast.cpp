#include "app/contrast_colours.h"

// Alone in its file: a program linked with its own definition (the window tests, which cannot
// switch Wine's theme) replaces this one.
bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}
