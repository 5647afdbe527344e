#pragma once

#include <windows.h>

// Asked of the main window by a control's accessible object: non-zero when the control's text
// is a placeholder rather than a value (wParam = control id).
constexpr UINT WM_APP_PLACEHOLDER_SHOWN = WM_APP + 31;

// Gives a child control of the main window the name and role a screen reader announces: its
// accessible object is the system's standard one, with the name and role of the control table
// (buttons drawn by the program and fields that show a placeholder included).
void AttachAccessibleName(HWND control, int controlId);

// Tells screen readers that a control's text (its name) changed, e.g. the status line.
void AnnounceTextChange(HWND control);
