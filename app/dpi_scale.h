#pragma once

#include <windows.h>

// The DPI the window is drawn at: its monitor's with per-monitor awareness, else the system's.
int WindowDpi(HWND window);
// The system DPI, for sizes needed before a window exists.
int SystemDpi();
// A copy of the bitmap stretched to the given size; null when it cannot be made.
HBITMAP StretchedBitmap(HBITMAP source, int width, int height);
