#pragma once

#include <windows.h>

#include <string>
#include <vector>

// What the display shows in a rectangle of the screen, as 0x00RRGGBB rows from the top: what the
// demo saves as screenshots and the window tests read colours from.
struct ScreenPixels {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;

    COLORREF At(int x, int y) const {
        const DWORD p = pixels[static_cast<size_t>(y) * width + x];
        return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
    }

    static ScreenPixels Capture(const RECT& screenRect) {
        ScreenPixels shot;
        shot.width = screenRect.right - screenRect.left;
        shot.height = screenRect.bottom - screenRect.top;
        if (shot.width <= 0 || shot.height <= 0) {
            return shot;
        }
        shot.pixels.resize(static_cast<size_t>(shot.width) * shot.height);
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {
            sizeof(BITMAPINFOHEADER), shot.width, -shot.height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap) {
            HGDIOBJ previous = SelectObject(memory, bitmap);
            BitBlt(memory, 0, 0, shot.width, shot.height, screen, screenRect.left, screenRect.top,
                   SRCCOPY);
            GdiFlush();
            memcpy(shot.pixels.data(), bits, shot.pixels.size() * sizeof(DWORD));
            SelectObject(memory, previous);
            DeleteObject(bitmap);
        }
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        return shot;
    }
};
