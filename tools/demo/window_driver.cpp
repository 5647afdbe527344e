#include "tools/demo/window_driver.h"

#include "tools/demo/screen_pixels.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

namespace {

constexpr DWORD kMessageTimeoutMs = 5000;

struct BoxSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindBox(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[32] = {};
    GetClassNameW(window, className, 32);
    if ((search->processId == 0 || processId == search->processId) && IsWindowVisible(window) &&
        wcscmp(className, L"#32770") == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

WindowDriver::~WindowDriver() {
    if (process_ != nullptr) {
        CloseHandle(process_);
    }
}

bool WindowDriver::Attach(const wchar_t* windowClass, DWORD timeoutMs) {
    const bool found = WaitFor(
        [&] {
            main_ = FindWindowW(windowClass, nullptr);
            return main_ != nullptr && IsWindowVisible(main_);
        },
        timeoutMs);
    if (!found) {
        return false;
    }
    threadId_ = GetWindowThreadProcessId(main_, &processId_);
    // Start-up has finished once the window thread answers and has put the focus somewhere.
    WaitForIdle(kMessageTimeoutMs);
    WaitFor([&] { return Focused() != nullptr; }, 5000);
    Sleep(300);
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                               PROCESS_QUERY_INFORMATION | SYNCHRONIZE,
                           FALSE, processId_);
    return process_ != nullptr;
}

bool WindowDriver::ProcessAlive() const {
    return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

std::wstring WindowDriver::Text(HWND window) const {
    if (window == nullptr) {
        return std::wstring();
    }
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                             &length)) {
        return std::wstring();
    }
    std::vector<wchar_t> buffer(length + 1);
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_ABORTIFHUNG, kMessageTimeoutMs, &copied);
    return std::wstring(buffer.data(), copied);
}

bool WindowDriver::IsShown(int id) const {
    const HWND control = Control(id);
    return control != nullptr && IsWindowVisible(control);
}

bool WindowDriver::IsEnabled(int id) const {
    const HWND control = Control(id);
    return control != nullptr && IsWindowEnabled(control);
}

void WindowDriver::PostClick(HWND control, int x, int y) {
    const LPARAM at = MAKELPARAM(x, y);
    PostMessageW(control, WM_MOUSEMOVE, 0, at);
    PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(control, WM_LBUTTONUP, 0, at);
}

void WindowDriver::Click(int id) {
    const HWND control = Control(id);
    RECT client{};
    GetClientRect(control, &client);
    PostClick(control, client.right / 2, client.bottom / 2);
    WaitForIdle(kMessageTimeoutMs);
}

HWND WindowDriver::Focused() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!GetGUIThreadInfo(threadId_, &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

void WindowDriver::Type(int id, const std::wstring& text) {
    TypeInto(id, text, false);
}

void WindowDriver::Replace(int id, const std::wstring& text) {
    TypeInto(id, text, true);
}

void WindowDriver::TypeInto(int id, const std::wstring& text, bool selectAll) {
    const HWND control = Control(id);
    RECT client{};
    GetClientRect(control, &client);
    // A click gives the field the focus (and clears its placeholder); try again while the
    // program is still settling its own focus.
    for (int attempt = 0; attempt < 5 && Focused() != control; ++attempt) {
        PostClick(control, client.right - 4, client.bottom / 2);  // caret at the end
        WaitForIdle(kMessageTimeoutMs);
        WaitFor([&] { return Focused() == control; }, 500);
    }
    if (selectAll) {
        PostMessageW(control, EM_SETSEL, 0, -1);
    }
    WaitForIdle(kMessageTimeoutMs);
    for (const wchar_t ch : text) {
        PostMessageW(control, WM_CHAR, ch, 1);
    }
    WaitForIdle(kMessageTimeoutMs);
}

void WindowDriver::PressKey(UINT virtualKey) {
    HWND target = Focused();
    if (target == nullptr) {
        target = main_;
    }
    const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | (scan << 16) | (3u << 30));
    WaitForIdle(kMessageTimeoutMs);
}

bool WindowDriver::RemoteCall(HWND control, UINT message, WPARAM wParam, void* data, size_t size,
                              LRESULT* result) const {
    void* remote =
        VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr) {
        return false;
    }
    bool ok = WriteProcessMemory(process_, remote, data, size, nullptr) != 0;
    DWORD_PTR answer = 0;
    ok = ok && SendMessageTimeoutW(control, message, wParam, reinterpret_cast<LPARAM>(remote),
                                   SMTO_ABORTIFHUNG, kMessageTimeoutMs, &answer) != 0;
    ok = ok && ReadProcessMemory(process_, remote, data, size, nullptr) != 0;
    VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
    if (result != nullptr) {
        *result = static_cast<LRESULT>(answer);
    }
    return ok;
}

int WindowDriver::ListCount(int id) const {
    DWORD_PTR count = 0;
    SendMessageTimeoutW(Control(id), LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, kMessageTimeoutMs,
                        &count);
    return static_cast<int>(count);
}

std::wstring WindowDriver::ListText(int id, int row, int column) const {
    // One remote block: the LVITEMW followed by its text buffer.
    struct Block {
        LVITEMW item;
        wchar_t text[260];
    };
    Block block{};
    void* remote =
        VirtualAllocEx(process_, nullptr, sizeof block, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (remote == nullptr) {
        return std::wstring();
    }
    block.item.iSubItem = column;
    block.item.cchTextMax = 260;
    block.item.pszText = reinterpret_cast<Block*>(remote)->text;
    std::wstring text;
    DWORD_PTR length = 0;
    if (WriteProcessMemory(process_, remote, &block, sizeof block, nullptr) &&
        SendMessageTimeoutW(Control(id), LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(remote),
                            SMTO_ABORTIFHUNG, kMessageTimeoutMs, &length) &&
        ReadProcessMemory(process_, remote, &block, sizeof block, nullptr)) {
        text.assign(block.text, length < 260 ? length : 259);
    }
    VirtualFreeEx(process_, remote, 0, MEM_RELEASE);
    return text;
}

bool WindowDriver::ClickListRow(int id, int row) {
    RECT rect{};
    rect.left = LVIR_LABEL;
    LRESULT ok = 0;
    if (!RemoteCall(Control(id), LVM_GETITEMRECT, row, &rect, sizeof rect, &ok) || !ok) {
        return false;
    }
    PostClick(Control(id), rect.left + 8, (rect.top + rect.bottom) / 2);
    WaitForIdle(kMessageTimeoutMs);
    return WaitFor([&] { return SelectedListRow(id) == row; }, 3000);
}

int WindowDriver::SelectedListRow(int id) const {
    DWORD_PTR row = static_cast<DWORD_PTR>(-1);
    SendMessageTimeoutW(Control(id), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED,
                        SMTO_ABORTIFHUNG, kMessageTimeoutMs, &row);
    return static_cast<int>(static_cast<LRESULT>(row));
}

bool WindowDriver::WaitForMessageBox(MessageBox& box, DWORD timeoutMs) const {
    return WaitForMessageBoxOf(processId_, box, timeoutMs);
}

bool WindowDriver::WaitForMessageBoxOf(DWORD processId, MessageBox& box, DWORD timeoutMs) const {
    BoxSearch search{processId, nullptr};
    if (!WaitFor(
            [&] {
                search.found = nullptr;
                EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
                return search.found != nullptr;
            },
            timeoutMs)) {
        return false;
    }
    box.window = search.found;
    box.title = Text(search.found);
    box.text = Text(GetDlgItem(search.found, 0xFFFF));  // the message text's static control
    return true;
}

void WindowDriver::Answer(const MessageBox& box, int buttonId) {
    const HWND button = GetDlgItem(box.window, buttonId);
    if (button != nullptr) {
        PostMessageW(button, BM_CLICK, 0, 0);
    } else {
        PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
    }
    WaitFor([&] { return !IsWindow(box.window); }, kMessageTimeoutMs);
    WaitForIdle(kMessageTimeoutMs);
}

bool WindowDriver::WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) const {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) {
            return true;
        }
        if (GetTickCount64() >= deadline) {
            return false;
        }
        Sleep(50);
    }
}

bool WindowDriver::WaitForIdle(DWORD timeoutMs) const {
    DWORD_PTR ignored = 0;
    return SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &ignored) != 0;
}

bool WindowDriver::Capture(const std::wstring& path) const {
    RedrawWindow(main_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    WaitForIdle(kMessageTimeoutMs);
    Sleep(250);
    RECT rect{};
    GetWindowRect(main_, &rect);
    return CaptureRect(rect, path);
}

bool WindowDriver::CaptureWindow(HWND window, const std::wstring& path) const {
    Sleep(250);
    RECT rect{};
    return GetWindowRect(window, &rect) && CaptureRect(rect, path);
}

bool WindowDriver::CaptureRect(const RECT& rect, const std::wstring& path) const {
    const ScreenPixels shot = ScreenPixels::Capture(rect);
    if (shot.pixels.empty()) {
        return false;
    }
    // 24-bit rows padded to four bytes, top row first.
    const DWORD stride = (static_cast<DWORD>(shot.width) * 3 + 3) & ~3u;
    std::vector<BYTE> rows(static_cast<size_t>(stride) * shot.height);
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const DWORD pixel = shot.pixels[static_cast<size_t>(y) * shot.width + x];
            BYTE* out = &rows[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
            out[0] = pixel & 0xFF;
            out[1] = (pixel >> 8) & 0xFF;
            out[2] = (pixel >> 16) & 0xFF;
        }
    }
    BITMAPINFOHEADER info{sizeof info, shot.width, -shot.height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof header + sizeof info;
    header.bfSize = header.bfOffBits + static_cast<DWORD>(rows.size());
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = fwrite(&header, sizeof header, 1, file) == 1 &&
                         fwrite(&info, sizeof info, 1, file) == 1 &&
                         fwrite(rows.data(), rows.size(), 1, file) == 1;
    return fclose(file) == 0 && written;
}
