#pragma once

// Drives another process's wizard window the way a person's input reaches it: clicks and
// key presses are posted to the controls, so they pass through the program's own message
// loop; message boxes are found, read and answered by their buttons. Windows only.

#include <windows.h>

#include <functional>
#include <string>

class WindowDriver {
public:
    WindowDriver() = default;
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;
    ~WindowDriver();

    // Waits up to timeoutMs for a top-level window of this class.
    bool Attach(const wchar_t* windowClass, DWORD timeoutMs);

    HWND Main() const { return main_; }
    HWND Control(int id) const { return GetDlgItem(main_, id); }
    std::wstring Text(HWND window) const;
    std::wstring ControlText(int id) const { return Text(Control(id)); }
    bool IsShown(int id) const;
    bool IsEnabled(int id) const;

    void Click(int id);                       // mouse down and up in the control's centre
    void Type(int id, const std::wstring& text);  // focus by click, then one WM_CHAR each
    void Replace(int id, const std::wstring& text);  // the same over the selected old text
    void PressKey(UINT virtualKey);           // to the control that has the focus
    HWND Focused() const;

    int ListCount(int id) const;
    std::wstring ListText(int id, int row, int column) const;
    bool ClickListRow(int id, int row);
    int SelectedListRow(int id) const;

    // A message box owned by the program: its title and text, and its button.
    struct MessageBox {
        HWND window = nullptr;
        std::wstring title;
        std::wstring text;
    };
    bool WaitForMessageBox(MessageBox& box, DWORD timeoutMs) const;
    // The same for the boxes of another process (0: of any process).
    bool WaitForMessageBoxOf(DWORD processId, MessageBox& box, DWORD timeoutMs) const;
    void Answer(const MessageBox& box, int buttonId);

    bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) const;
    bool WaitForIdle(DWORD timeoutMs) const;  // the program's window thread answers again

    // Saves the main window (or any other window, as the screen shows it) as a 24-bit BMP.
    bool Capture(const std::wstring& path) const;
    bool CaptureWindow(HWND window, const std::wstring& path) const;

    bool ProcessAlive() const;
    DWORD ProcessId() const { return processId_; }

private:
    bool CaptureRect(const RECT& rect, const std::wstring& path) const;
    void PostClick(HWND control, int x, int y);
    void TypeInto(int id, const std::wstring& text, bool selectAll);
    bool RemoteCall(HWND control, UINT message, WPARAM wParam, void* data, size_t size,
                    LRESULT* result) const;

    HWND main_ = nullptr;
    DWORD processId_ = 0;
    DWORD threadId_ = 0;
    HANDLE process_ = nullptr;
};
