#pragma once

#include <windows.h>

// Every colour the window paints with. The program's own colours normally; the theme's system
// colours while a high-contrast theme is on, so text keeps the contrast the person chose.
struct Palette {
    bool system = false;
    COLORREF background;       // statics, edit fields, lists
    COLORREF text;             // titles, field text, list rows
    COLORREF secondaryText;    // account, base-unit and status lines, result message
    COLORREF placeholderText;  // a field's hint while it is empty
    COLORREF disabledText;
    COLORREF buttonFill, buttonHoverFill, buttonPressedFill, buttonDisabledFill;
    COLORREF buttonText, buttonHotText;  // hot: on a hovered or pressed fill
    COLORREF buttonFrame;
    COLORREF accentFill, accentHoverFill, accentPressedFill, accentDisabledFill, accentText;
    COLORREF linkText, linkHoverText, linkHoverFill;
    COLORREF signalOn, signalOff;
};

bool HighContrastOn();
// The palette for the current theme.
Palette CurrentPalette();

// The artwork in two colours: ink wherever the source is not white, paper where it is. A
// high-contrast theme shows the logo this way instead of as a white box.
HBITMAP TwoColourCopy(HBITMAP source, COLORREF ink, COLORREF paper);
