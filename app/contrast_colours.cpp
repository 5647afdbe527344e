#include "app/contrast_colours.h"

namespace {

Palette OwnColours() {
    Palette p;
    p.background = RGB(255, 255, 255);
    p.text = RGB(34, 34, 34);
    p.secondaryText = RGB(112, 112, 112);
    p.placeholderText = RGB(160, 160, 160);
    p.disabledText = RGB(150, 150, 150);
    p.buttonFill = RGB(235, 235, 235);
    p.buttonHoverFill = RGB(205, 231, 248);
    p.buttonPressedFill = RGB(180, 215, 239);
    p.buttonDisabledFill = RGB(242, 242, 242);
    p.buttonText = p.buttonHotText = RGB(34, 34, 34);
    p.buttonFrame = RGB(128, 128, 128);
    p.accentFill = RGB(80, 80, 80);
    p.accentHoverFill = RGB(32, 112, 166);
    p.accentPressedFill = RGB(24, 88, 132);
    p.accentDisabledFill = RGB(150, 150, 150);
    p.accentText = RGB(255, 255, 255);
    p.linkText = RGB(0, 102, 204);
    p.linkHoverText = RGB(0, 128, 224);
    p.linkHoverFill = RGB(238, 248, 253);
    p.signalOn = RGB(70, 120, 70);
    p.signalOff = RGB(205, 205, 205);
    return p;
}

Palette SystemColours() {
    Palette p;
    p.system = true;
    p.background = GetSysColor(COLOR_WINDOW);
    p.text = p.secondaryText = GetSysColor(COLOR_WINDOWTEXT);
    p.placeholderText = p.disabledText = GetSysColor(COLOR_GRAYTEXT);
    p.buttonFill = p.buttonDisabledFill = p.accentFill = p.accentDisabledFill =
        GetSysColor(COLOR_BTNFACE);
    p.buttonHoverFill = p.buttonPressedFill = p.accentHoverFill = p.accentPressedFill =
        GetSysColor(COLOR_HIGHLIGHT);
    p.buttonText = p.accentText = p.buttonFrame = GetSysColor(COLOR_BTNTEXT);
    p.buttonHotText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    p.linkText = p.linkHoverText = GetSysColor(COLOR_HOTLIGHT);
    p.linkHoverFill = p.background;
    p.signalOn = GetSysColor(COLOR_WINDOWTEXT);
    p.signalOff = GetSysColor(COLOR_GRAYTEXT);
    return p;
}

}  // namespace

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

Palette CurrentPalette() {
    return HighContrastOn() ? SystemColours() : OwnColours();
}
