// Goes through a self-update of the installed demo program as a person would: answers the
// update question, waits while the program hands over to its update helper and the installer
// runs, and looks at the program that comes back.
//
//   update_walkthrough.exe SCREENSHOT_FOLDER update
//       Yes to the update offered at start-up; the program must come back as the newer version.
//   update_walkthrough.exe SCREENSHOT_FOLDER swap REPLACEMENT_FILE
//       Yes while a base-unit scan runs, so the verified installer waits in the temporary
//       folder; it is then replaced by REPLACEMENT_FILE. The helper must refuse it, delete it
//       and bring the old program back.
//
// Prints one line per step; exits 0 when everything happened as expected.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "tools/demo/window_driver.h"

namespace {

constexpr int kWifiOnlyButton = 1005;
constexpr int kStatusLine = 1006;
constexpr DWORD kStepTimeoutMs = 90000;
const wchar_t kWindowClass[] = L"TervaneConfigNativeWindow";
const wchar_t kUpdateTitle[] = L"Tervane Connect Update";

void Say(const std::wstring& line) {
    std::wprintf(L"  %ls\n", line.c_str());
    std::fflush(stdout);
}

std::wstring OneLine(std::wstring text) {
    for (wchar_t& ch : text) {
        if (ch == L'\r' || ch == L'\n') ch = L' ';
    }
    return text;
}

// The verified installers waiting in the temporary folder.
std::vector<std::wstring> WaitingInstallers() {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    std::vector<std::wstring> found;
    WIN32_FIND_DATAW data{};
    const HANDLE search = FindFirstFileW((std::wstring(folder) + L"OVC*.exe").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) return found;
    do {
        found.push_back(std::wstring(folder) + data.cFileName);
    } while (FindNextFileW(search, &data));
    FindClose(search);
    return found;
}

class UpdateWalkthrough {
public:
    explicit UpdateWalkthrough(std::wstring folder) : folder_(std::move(folder)) {}

    int Update() {
        WindowDriver old;
        if (!Start(old)) return 1;
        WindowDriver::MessageBox question;
        if (!Question(old, question, L"01-update-offered")) return 1;
        old.Answer(question, IDYES);
        Say(L"answered Yes");
        if (!WaitForExit(old)) return 1;
        WindowDriver updated;
        if (!updated.Attach(kWindowClass, kStepTimeoutMs)) return Fail(L"no program came back");
        const std::wstring title = updated.Text(updated.Main());
        Say(L"program back: " + title);
        Shot(updated, L"02-updated-program");
        // The newer build checks too, finds itself current and says nothing.
        WindowDriver::MessageBox box;
        if (updated.WaitForMessageBox(box, 4000)) {
            return Fail(L"the updated program asked: " + OneLine(box.text));
        }
        if (!WaitingInstallers().empty()) return Fail(L"an installer was left in the temporary folder");
        PostMessageW(updated.Main(), WM_CLOSE, 0, 0);
        WaitForExit(updated);
        return title == L"Tervane Connect 1.0.1" ? 0 : Fail(L"unexpected version: " + title);
    }

    int Swap(const std::wstring& replacement) {
        WindowDriver old;
        if (!Start(old)) return 1;
        WindowDriver::MessageBox question;
        if (!Question(old, question, L"01-update-offered")) return 1;
        // A person who had already chosen the Wi-Fi-only setup: the base-unit scan runs while
        // the update downloads.
        PostMessageW(old.Main(), WM_COMMAND, MAKEWPARAM(kWifiOnlyButton, BN_CLICKED),
                     reinterpret_cast<LPARAM>(old.Control(kWifiOnlyButton)));
        if (!old.WaitFor([&] { return old.ControlText(kStatusLine) == L"Scanning..."; }, 10000)) {
            return Fail(L"the base-unit scan did not start");
        }
        old.Answer(question, IDYES);
        Say(L"answered Yes during the base-unit scan");
        WindowDriver::MessageBox ready;
        if (!old.WaitForMessageBox(ready, kStepTimeoutMs)) return Fail(L"no ready message");
        Say(L"[" + ready.title + L"] " + OneLine(ready.text));
        Shot(old, L"02-update-ready");
        const std::vector<std::wstring> waiting = WaitingInstallers();
        if (waiting.size() != 1) return Fail(L"expected one verified installer waiting");
        if (!CopyFileW(replacement.c_str(), waiting[0].c_str(), FALSE)) {
            return Fail(L"could not replace " + waiting[0]);
        }
        Say(L"replaced the verified installer " + waiting[0]);
        old.Answer(ready, IDOK);
        if (!WaitForExit(old)) return 1;

        WindowDriver::MessageBox refusal;
        if (!old.WaitForMessageBoxOf(0, refusal, kStepTimeoutMs)) {
            return Fail(L"the update helper said nothing");
        }
        Say(L"[" + refusal.title + L"] " + OneLine(refusal.text));
        old.CaptureWindow(refusal.window, folder_ + L"\\03-helper-refused.bmp");
        if (refusal.title != kUpdateTitle ||
            refusal.text != L"The update installer could not be started.") {
            return Fail(L"unexpected helper message");
        }
        old.Answer(refusal, IDOK);
        WindowDriver restarted;
        if (!restarted.Attach(kWindowClass, kStepTimeoutMs)) return Fail(L"no program came back");
        const std::wstring title = restarted.Text(restarted.Main());
        Say(L"program back: " + title);
        // The old build offers the update again at start-up; this time the answer is No.
        WindowDriver::MessageBox again;
        if (restarted.WaitForMessageBox(again, 20000)) {
            Say(L"[" + again.title + L"] offered again; answered No");
            restarted.Answer(again, IDNO);
        }
        Shot(restarted, L"04-old-program-back");
        const bool gone = GetFileAttributesW(waiting[0].c_str()) == INVALID_FILE_ATTRIBUTES;
        Say(gone ? L"the replaced file was deleted" : L"the replaced file is still there");
        PostMessageW(restarted.Main(), WM_CLOSE, 0, 0);
        WaitForExit(restarted);
        if (!gone) return Fail(L"the refused file was left behind");
        return title == L"Tervane Connect 1.0.0" ? 0 : Fail(L"unexpected version: " + title);
    }

private:
    bool Start(WindowDriver& driver) {
        if (!driver.Attach(kWindowClass, kStepTimeoutMs)) return Refuse(L"the program did not start");
        Say(L"program shown: " + driver.Text(driver.Main()));
        return true;
    }

    bool Question(WindowDriver& driver, WindowDriver::MessageBox& box, const wchar_t* shot) {
        if (!driver.WaitForMessageBox(box, kStepTimeoutMs)) {
            return Refuse(L"no update was offered at start-up");
        }
        Say(L"[" + box.title + L"] " + OneLine(box.text));
        Shot(driver, shot);
        return box.title == kUpdateTitle || Refuse(L"unexpected box instead of the update question");
    }

    bool WaitForExit(WindowDriver& driver) {
        if (!driver.WaitFor([&] { return !driver.ProcessAlive(); }, kStepTimeoutMs)) {
            return Refuse(L"the program did not close");
        }
        Say(L"program process " + std::to_wstring(driver.ProcessId()) + L" has ended");
        return true;
    }

    void Shot(const WindowDriver& driver, const std::wstring& name) {
        driver.Capture(folder_ + L"\\" + name + L".bmp");
    }

    int Fail(const std::wstring& why) {
        std::wprintf(L"FAILED: %ls\n", why.c_str());
        std::fflush(stdout);
        return 1;
    }
    bool Refuse(const std::wstring& why) {
        Fail(why);
        return false;
    }

    std::wstring folder_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wstring(argv[2]) == L"update") {
        return UpdateWalkthrough(argv[1]).Update();
    }
    if (argc >= 4 && std::wstring(argv[2]) == L"swap") {
        return UpdateWalkthrough(argv[1]).Swap(argv[3]);
    }
    std::fwprintf(stderr, L"usage: update_walkthrough FOLDER update | swap REPLACEMENT\n");
    return 2;
}
