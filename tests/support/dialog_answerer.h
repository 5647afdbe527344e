#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

std::wstring WindowText(HWND window);

// A message box as a person sees it: title, text and which icon it shows.
struct SeenDialog {
    std::wstring title;
    std::wstring text;
    enum Icon { Unknown, Warning, Information, Error } icon = Unknown;
};

// Watches for message boxes of this process, reads them and presses OK, the way a person
// would. Runs on its own thread because a message box blocks the thread that shows it.
class DialogAnswerer {
public:
    DialogAnswerer();
    ~DialogAnswerer();
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    // The boxes seen since the last call.
    std::vector<SeenDialog> Take();
    // The button pressed on a Yes/No question: IDYES or IDNO (the default).
    void AnswerQuestionsWith(int button) { yesNoAnswer_ = button; }

private:
    void Run();
    std::atomic<bool> stop_{false};
    std::atomic<int> yesNoAnswer_{IDNO};
    std::mutex mutex_;
    std::vector<SeenDialog> seen_;
    std::vector<HWND> answered_;
    std::thread thread_;
};
