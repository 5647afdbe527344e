#pragma once

#include <windows.h>

// Posted to the main window after a page change; settles the focus once the action that
// changed the page has started its operation (or has not).
constexpr UINT WM_APP_SETTLE_FOCUS = WM_APP + 30;

// Keeps the keyboard focus where a person can use it: never on a control that is hidden or
// disabled, back on the control that had it after an operation or a switch to another window,
// and on the page's first control otherwise.
class FocusKeeper {
public:
    // Before `control` (which holds the focus) is hidden or disabled: the frame takes the focus,
    // so keys still reach the window, and the control is remembered.
    void Park(HWND frame, HWND control);
    // Only while the frame itself holds the focus and nothing runs: the remembered control gets
    // the focus back when it is usable again, else `first`.
    void Settle(HWND frame, HWND first, bool busy);
    // WM_ACTIVATE. True when handled (the default would leave the focus on the frame).
    bool OnActivate(HWND frame, WPARAM wParam, HWND first, bool busy);

private:
    HWND remembered_ = nullptr;
};
