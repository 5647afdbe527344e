#include "app/contrast_colours.h"

#include "common/unique_owner.h"

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

Palette CurrentPalette() {
    return HighContrastOn() ? SystemColours() : OwnColours();
}

HBITMAP TwoColourCopy(HBITMAP source, COLORREF ink, COLORREF paper) {
    BITMAP size{};
    if (!source || !GetObjectW(source, sizeof(size), &size)) {
        return nullptr;
    }
    const int width = size.bmWidth;
    const int height = size.bmHeight;
    ScopedWindowDc screen(nullptr);
    UniqueMemoryDc from(CreateCompatibleDC(screen.get()));
    UniqueMemoryDc maskDc(CreateCompatibleDC(screen.get()));
    UniqueMemoryDc to(CreateCompatibleDC(screen.get()));
    UniqueBitmap mask(CreateBitmap(width, height, 1, 1, nullptr));
    UniqueBitmap result(CreateCompatibleBitmap(screen.get(), width, height));
    if (!from || !maskDc || !to || !mask || !result) {
        return nullptr;
    }
    ScopedSelect readFrom(from.get(), source);
    ScopedSelect writeMask(maskDc.get(), mask.get());
    ScopedSelect writeTo(to.get(), result.get());
    // Colour to monochrome: pixels of the background colour become 1, all others 0.
    SetBkColor(from.get(), RGB(255, 255, 255));
    BitBlt(maskDc.get(), 0, 0, width, height, from.get(), 0, 0, SRCCOPY);
    // Monochrome to colour: 0 takes the text colour, 1 the background colour.
    SetTextColor(to.get(), ink);
    SetBkColor(to.get(), paper);
    BitBlt(to.get(), 0, 0, width, height, maskDc.get(), 0, 0, SRCCOPY);
    return result.release();
}
