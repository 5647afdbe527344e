#include "tests/support/message_box_answerer.h"

namespace {

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

struct Search {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK Collect(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (processId == search->processId && IsWindowVisible(window) &&
        lstrcmpW(className, L"#32770") == 0) {
        search->found.push_back(window);
    }
    return TRUE;
}

}  // namespace

MessageBoxAnswerer::MessageBoxAnswerer(int buttonId)
    : buttonId_(buttonId), thread_([this] { Run(); }) {}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<MessageBoxAnswerer::Seen> MessageBoxAnswerer::Boxes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return boxes_;
}

void MessageBoxAnswerer::Run() {
    while (!stop_) {
        Search search{GetCurrentProcessId(), {}};
        EnumWindows(Collect, reinterpret_cast<LPARAM>(&search));
        std::lock_guard<std::mutex> lock(mutex_);
        // A box that has gone frees its handle for a later one.
        std::vector<HWND> open;
        for (const HWND seen : answered_) {
            if (IsWindow(seen)) open.push_back(seen);
        }
        answered_.swap(open);
        for (const HWND box : search.found) {
            bool known = false;
            for (const HWND seen : answered_) known = known || seen == box;
            if (known) continue;
            answered_.push_back(box);
            boxes_.push_back({WindowText(box), WindowText(GetDlgItem(box, 0xFFFF))});
            const HWND button = GetDlgItem(box, buttonId_);
            if (button != nullptr) {
                PostMessageW(button, BM_CLICK, 0, 0);
            } else {
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId_, BN_CLICKED), 0);
            }
        }
        Sleep(30);
    }
}
