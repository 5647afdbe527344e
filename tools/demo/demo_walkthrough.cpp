// Walks through the demo program as a person would: types into the fields, clicks buttons and
// list rows, presses Return, answers message boxes, and saves a screenshot of every page.
//
//   demo_walkthrough.exe SCREENSHOT_FOLDER
//
// Prints one line per step; exits 0 when every path ended as expected.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tools/demo/demo_scenario.h"
#include "tools/demo/window_driver.h"

namespace {

// Control ids of the wizard window.
constexpr int kUsernameField = 1002;
constexpr int kPasswordField = 1003;
constexpr int kWifiOnlyButton = 1005;
constexpr int kStatusLine = 1006;
constexpr int kBaseUnitList = 1008;
constexpr int kConnectButton = 1010;
constexpr int kWifiList = 1014;
constexpr int kNetworkNameField = 1017;
constexpr int kWifiPasswordField = 1019;
constexpr int kUsernameOnlyButton = 1020;
constexpr int kConfigureButton = 1021;
constexpr int kFinishButton = 1024;
constexpr int kResultHeading = 1025;
constexpr int kResultMessage = 1026;
constexpr int kPageTitle = 1028;
constexpr int kBaseUnitBackButton = 1030;

constexpr DWORD kOperationTimeoutMs = 60000;

class Walkthrough {
public:
    explicit Walkthrough(std::wstring folder) : folder_(std::move(folder)) {}

    int Run() {
        if (!driver_.Attach(L"TervaneConfigNativeWindow", 60000)) {
            return Fail(L"the wizard window did not appear");
        }
        Step(L"window shown: " + driver_.Text(driver_.Main()));
        const bool ok = LogIn() && FullSetup() && RetryAfterFailedSend() &&
                        ManualNetworkAfterScanError() && UsernameOnly() &&
                        LingeringLinkAfterDrop() && DropWhileTyping() && WifiOnly() && Close();
        return ok ? 0 : 1;
    }

private:
    bool LogIn() {
        if (!WaitForPage(L"Log in to add a base to your account.")) return false;
        Shot(L"login");
        driver_.Type(kPasswordField, demo::kWrongPassword);
        driver_.PressKey(VK_RETURN);
        if (!ExpectBox(L"Log in", L"Please enter your username.", L"login-username-missing"))
            return false;
        driver_.Type(kUsernameField, demo::kUsername);
        driver_.PressKey(VK_RETURN);
        if (!WaitForStatusSettled()) return false;
        Step(L"wrong password: " + Status());
        Shot(L"login-rejected");
        driver_.Replace(kPasswordField, demo::kPassword);
        driver_.PressKey(VK_RETURN);
        return WaitForPage(L"Select Base Unit") && WaitForStatusSettled() &&
               Expect(driver_.ListCount(kBaseUnitList) == 6, L"the six base units listed") &&
               Shot(L"base-units");
    }

    bool ConnectTo(const std::wstring& name) {
        const int row = FindRow(kBaseUnitList, name);
        if (row < 0) return Fail(L"base unit not listed: " + name);
        if (!driver_.ClickListRow(kBaseUnitList, row)) return Fail(L"could not select " + name);
        driver_.Click(kConnectButton);
        if (!WaitForPage(L"Select Wi-Fi Network")) return false;
        const bool settled = WaitForStatusSettled();
        Step(L"connected to " + name + L": " + Status());
        return settled;
    }

    bool PickNetwork(const std::wstring& ssid) {
        const int row = FindRow(kWifiList, ssid);
        if (row < 0) return Fail(L"network not listed: " + ssid);
        if (!driver_.ClickListRow(kWifiList, row)) return Fail(L"could not select " + ssid);
        return Expect(driver_.ControlText(kNetworkNameField) == ssid,
                      L"the network-name field shows the chosen network");
    }

    // The result page with this heading; a result page still showing the previous outcome
    // (as right after Retry) does not count.
    bool WaitForResult(const std::wstring& heading, const wchar_t* shot) {
        const bool shown = driver_.WaitFor(
            [&] {
                return driver_.IsShown(kResultHeading) &&
                       driver_.ControlText(kResultHeading) == heading;
            },
            kOperationTimeoutMs);
        Step(L"result: " + driver_.ControlText(kResultHeading) + L" - " +
             driver_.ControlText(kResultMessage));
        Shot(shot);
        return shown || Fail(L"expected the result " + heading);
    }

    bool FinishAndBackToBaseUnits() {
        driver_.Click(kFinishButton);
        return WaitForPage(L"Select Base Unit") && WaitForStatusSettled();
    }

    bool FullSetup() {
        if (!ConnectTo(demo::kLivingRoom)) return false;
        Shot(L"wifi-networks");
        if (!PickNetwork(demo::kHomeNetwork)) return false;
        driver_.Click(kConfigureButton);
        if (!ExpectBox(L"Wi-Fi Password", L"Please enter the Wi-Fi password before continuing.",
                       L"wifi-password-missing"))
            return false;
        driver_.Type(kWifiPasswordField, demo::kHomePassword);
        Shot(L"wifi-password-typed");
        driver_.PressKey(VK_RETURN);
        return WaitForResult(L"Configuration Sent", L"result-sent") && FinishAndBackToBaseUnits();
    }

    bool RetryAfterFailedSend() {
        if (!ConnectTo(demo::kOffice) || !PickNetwork(demo::kHomeNetwork)) return false;
        driver_.Type(kWifiPasswordField, demo::kHomePassword);
        driver_.Click(kConfigureButton);
        if (!WaitForResult(L"Configuration Failed", L"result-failed")) return false;
        driver_.Click(kFinishButton);  // reads "Retry" now
        return WaitForResult(L"Configuration Sent", L"result-sent-after-retry") &&
               FinishAndBackToBaseUnits();
    }

    bool ManualNetworkAfterScanError() {
        if (!ConnectTo(demo::kAttic)) return false;
        Shot(L"wifi-scan-error");
        driver_.Type(kNetworkNameField, demo::kHiddenNetwork);
        driver_.Type(kWifiPasswordField, demo::kHiddenPassword);
        driver_.PressKey(VK_RETURN);
        return WaitForResult(L"Configuration Sent", L"result-sent-hidden-network") &&
               FinishAndBackToBaseUnits();
    }

    bool UsernameOnly() {
        if (!ConnectTo(demo::kGarage)) return false;
        Shot(L"wifi-networks-slow-unit");
        driver_.Click(kUsernameOnlyButton);
        return WaitForResult(L"Configuration Sent", L"result-username-only") &&
               FinishAndBackToBaseUnits();
    }

    // The send fails as the link drops; the retry's reconnect finds the old link still up and
    // says what to do instead of sending into it; connecting again once it is down works.
    bool LingeringLinkAfterDrop() {
        if (!ConnectTo(demo::kHallway) || !PickNetwork(demo::kHomeNetwork)) return false;
        driver_.Type(kWifiPasswordField, demo::kHomePassword);
        driver_.Click(kConfigureButton);
        if (!WaitForResult(L"Configuration Failed", L"result-link-dropped")) return false;
        driver_.Click(kFinishButton);  // Retry
        if (!WaitForPage(L"Select Base Unit") || !WaitForStatusSettled()) return false;
        Step(L"retry on a lingering link: " + Status());
        Shot(L"base-units-link-still-up");
        if (!Expect(Status().find(L"switch the base unit off and on") != std::wstring::npos,
                    L"the advice to switch the base unit off and on"))
            return false;
        if (!ConnectTo(demo::kHallway) || !PickNetwork(demo::kHomeNetwork)) return false;
        driver_.Type(kWifiPasswordField, demo::kHomePassword);
        driver_.Click(kConfigureButton);
        return WaitForResult(L"Configuration Sent", L"result-sent-after-reconnect") &&
               FinishAndBackToBaseUnits();
    }

    // The link goes down unseen while the password is typed; the send notices and connects
    // afresh instead of writing into a unit that starts its numbering again.
    bool DropWhileTyping() {
        if (!ConnectTo(demo::kPorch) || !PickNetwork(demo::kHomeNetwork)) return false;
        Sleep(demo::kPorchIdleDropMs + 1000);
        Step(L"typed the password slowly");
        driver_.Type(kWifiPasswordField, demo::kHomePassword);
        driver_.PressKey(VK_RETURN);
        return WaitForResult(L"Configuration Sent", L"result-sent-after-drop") &&
               FinishAndBackToBaseUnits();
    }

    bool WifiOnly() {
        driver_.Click(kBaseUnitBackButton);
        if (!WaitForPage(L"Log in to add a base to your account.")) return false;
        driver_.Click(kWifiOnlyButton);
        if (!WaitForPage(L"Select Base Unit") || !WaitForStatusSettled()) return false;
        Shot(L"wifi-only-base-units");
        if (!ConnectTo(demo::kLivingRoom) || !PickNetwork(demo::kHomeNetwork)) return false;
        Shot(L"wifi-only-networks");
        driver_.Type(kWifiPasswordField, demo::kHomePassword);
        driver_.PressKey(VK_RETURN);
        return WaitForResult(L"Configuration Sent", L"result-wifi-only");
    }

    bool Close() {
        PostMessageW(driver_.Main(), WM_CLOSE, 0, 0);
        if (!driver_.WaitFor([&] { return !driver_.ProcessAlive(); }, 20000))
            return Fail(L"the program did not end after its window was closed");
        Step(L"window closed, program ended");
        return true;
    }

    // -- helpers ------------------------------------------------------------------------------

    std::wstring Status() const { return driver_.ControlText(kStatusLine); }

    bool WaitForPage(const std::wstring& title) {
        if (!driver_.WaitFor(
                [&] {
                    return driver_.IsShown(kPageTitle) && driver_.ControlText(kPageTitle) == title;
                },
                kOperationTimeoutMs))
            return Fail(L"page did not appear: " + title);
        Step(L"page: " + title);
        return true;
    }

    // An operation has ended once the status line no longer ends in "...".
    bool WaitForStatusSettled() {
        const bool settled = driver_.WaitFor(
            [&] {
                const std::wstring status = Status();
                return status.size() < 3 || status.compare(status.size() - 3, 3, L"...") != 0;
            },
            kOperationTimeoutMs);
        return settled || Fail(L"operation still running: " + Status());
    }

    bool ExpectBox(const std::wstring& title, const std::wstring& text, const wchar_t* shot) {
        WindowDriver::MessageBox box;
        if (!driver_.WaitForMessageBox(box, 10000)) return Fail(L"no message box: " + title);
        Step(L"message box \"" + box.title + L"\": " + box.text);
        CaptureBox(box, shot);
        driver_.Answer(box, IDOK);
        return Expect(box.title == title && box.text == text, L"box " + title + L": " + text);
    }

    void CaptureBox(const WindowDriver::MessageBox&, const wchar_t* shot) { Shot(shot); }

    int FindRow(int list, const std::wstring& text) const {
        for (int row = 0, count = driver_.ListCount(list); row < count; ++row) {
            if (driver_.ListText(list, row, 0) == text) return row;
        }
        return -1;
    }

    bool Shot(const wchar_t* name) {
        wchar_t file[64];
        swprintf(file, 64, L"%02d-%ls.bmp", ++shots_, name);
        const std::wstring path = folder_ + L"\\" + file;
        if (!driver_.Capture(path)) {
            Step(L"screenshot failed: " + path);
        }
        return true;
    }

    bool Expect(bool condition, const std::wstring& what) {
        return condition || Fail(L"expected " + what);
    }

    bool Fail(const std::wstring& what) {
        std::wprintf(L"FAILED: %ls (page \"%ls\", status \"%ls\")\n", what.c_str(),
                     driver_.ControlText(kPageTitle).c_str(), Status().c_str());
        Shot(L"where-it-stopped");
        std::fflush(stdout);
        return false;
    }

    void Step(const std::wstring& what) {
        std::wprintf(L"  %ls\n", what.c_str());
        std::fflush(stdout);
    }

    WindowDriver driver_;
    std::wstring folder_;
    int shots_ = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::wprintf(L"usage: demo_walkthrough.exe SCREENSHOT_FOLDER\n");
        return 2;
    }
    Walkthrough walkthrough(argv[1]);
    return walkthrough.Run();
}
