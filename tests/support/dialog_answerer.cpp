#include "tests/support/dialog_answerer.h"

#include <algorithm>
#include <utility>

namespace {

BOOL CALLBACK CollectDialog(HWND window, LPARAM data) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (process == GetCurrentProcessId() && wcscmp(className, L"#32770") == 0 &&
        IsWindowVisible(window)) {
        reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
    }
    return TRUE;
}

SeenDialog::Icon IconOf(HWND dialog) {
    const struct {
        const wchar_t* id;
        SeenDialog::Icon icon;
    } kinds[] = {{IDI_WARNING, SeenDialog::Warning},
                 {IDI_INFORMATION, SeenDialog::Information},
                 {IDI_ERROR, SeenDialog::Error}};
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const HICON shown = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
        for (const auto& kind : kinds) {
            if (shown && shown == LoadIconW(nullptr, kind.id)) {
                return kind.icon;
            }
        }
    }
    return SeenDialog::Unknown;
}

}  // namespace

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], length + 1)));
    return text;
}

DialogAnswerer::DialogAnswerer() : thread_([this] { Run(); }) {}

DialogAnswerer::~DialogAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<SeenDialog> DialogAnswerer::Take() {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::exchange(seen_, {});
}

void DialogAnswerer::Run() {
    while (!stop_) {
        std::vector<HWND> dialogs;
        EnumWindows(&CollectDialog, reinterpret_cast<LPARAM>(&dialogs));
        std::lock_guard<std::mutex> lock(mutex_);
        // A box frees its handle for a later one once it is no longer listed; one that is
        // only closing is still listed and must not be read again.
        answered_.erase(std::remove_if(answered_.begin(), answered_.end(),
                                       [&dialogs](HWND w) {
                                           return std::find(dialogs.begin(), dialogs.end(), w) ==
                                                  dialogs.end();
                                       }),
                        answered_.end());
        for (HWND dialog : dialogs) {
            if (std::find(answered_.begin(), answered_.end(), dialog) != answered_.end()) {
                continue;
            }
            // 0xFFFF is the message box's text control.
            seen_.push_back(
                {WindowText(dialog), WindowText(GetDlgItem(dialog, 0xFFFF)), IconOf(dialog)});
            answered_.push_back(dialog);
            const int button = GetDlgItem(dialog, IDYES) ? yesNoAnswer_.load() : IDOK;
            PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, button)));
        }
        Sleep(15);
    }
}
