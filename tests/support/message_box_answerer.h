#pragma once

// Answers the message boxes this process shows, the way a person would: waits for each one,
// reads its title and text, and presses its first button. Windows only.

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class MessageBoxAnswerer {
public:
    struct Seen {
        std::wstring title;
        std::wstring text;
    };

    explicit MessageBoxAnswerer(int buttonId = IDOK);
    ~MessageBoxAnswerer();
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    std::vector<Seen> Boxes() const;

private:
    void Run();

    int buttonId_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<Seen> boxes_;
    std::vector<HWND> answered_;
    std::thread thread_;
};
