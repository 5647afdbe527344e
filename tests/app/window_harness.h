#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/wizard_app.h"
#include "tests/app/scripted_services.h"
#include "tests/support/dialog_answerer.h"

DialogAnswerer& Answerer();
using Dialogs = std::vector<SeenDialog>;
bool operator==(const SeenDialog& a, const SeenDialog& b);
void PrintTo(const SeenDialog& dialog, std::ostream* out);
ScriptedBackend::Script ThreeUnitsScript();

// The real main window with a scripted backend, driven from the test's (window) thread.
class WizardWindow {
public:
    explicit WizardWindow(const ScriptedBackend::Script& script);
    ~WizardWindow();

    WizardApp& app() { return *app_; }
    ScriptedBackend& backend() { return *backend_; }
    bool initialised() const { return initialised_; }

    // Runs the window thread's messages the way the program's loop does.
    void Pump(int milliseconds = 30);
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 8000);
    bool WaitIdle(int timeoutMs = 8000);

    // Real input through the display server: runs `xdotool <arguments>` (e.g. "key Tab",
    // "type anna") and pumps until its key presses have arrived. False if xdotool failed.
    bool Xdotool(const std::wstring& arguments);
    // A key press delivered to the focused control through the message queue.
    void PressKey(UINT key, bool shift = false);
    // Delivers the button's click even where a person could not click it (as a click queued
    // before the button was hidden or disabled still arrives); returns whether they could.
    bool Click(ControlIndex button);
    bool ClickAndWait(ControlIndex button) { return Click(button) && WaitIdle(); }
    // Focuses the field and types each character.
    void TypeInto(ControlIndex field, const std::wstring& text);
    // Replaces the field's selection as a paste would (control characters included).
    void PasteInto(ControlIndex field, const std::wstring& text);
    void SelectRow(ControlIndex list, int row);

    std::wstring Text(ControlIndex control) const { return WindowText(app_->Control(control)); }
    bool Visible(ControlIndex c) const { return IsWindowVisible(app_->Control(c)) != FALSE; }
    bool Enabled(ControlIndex c) const { return IsWindowEnabled(app_->Control(c)) != FALSE; }
    ControlRect ClientRectOf(ControlIndex control) const;
    HWND Focused() const { return GetFocus(); }
    int Rows(ControlIndex list) const {
        return static_cast<int>(SendMessageW(app_->Control(list), LVM_GETITEMCOUNT, 0, 0));
    }

    // Sets the client area to exactly width x height.
    void ResizeClient(int width, int height);
    // Closes the window as the title bar's close button does; true once it is gone.
    bool Close();

private:
    ScriptedBackend* backend_ = nullptr;
    std::unique_ptr<WizardApp> app_;
    bool initialised_ = false;
};

// Where the installer records an installation.
inline constexpr wchar_t kInstallKey[] = L"Software\\Tervane\\Tervane Connect";

// Every window test starts with no account, no saved placement or installation, no update and
// no dialog left.
class WindowTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    void Open(const ScriptedBackend::Script& script = ThreeUnitsScript());

    std::unique_ptr<WizardWindow> w;
};

// The usual journeys, each ending idle on the page named.
void LogInAndReachBaseUnits(WizardWindow& w);
void ConnectFirstUnitAndReachWifi(WizardWindow& w);
void ReachWifi(WizardWindow& w);

// Width, Height and Maximized as the window saved them (0xFFFFFFFF: not saved).
std::vector<DWORD> SavedPlacement();

// What the base unit is sent for these settings.
std::string Payload(const std::wstring& ssid, const std::wstring& password,
                    const std::wstring& username);
// A backend's record of one send of these settings.
inline std::vector<std::string> Sent(const std::wstring& ssid, const std::wstring& password,
                                     const std::wstring& username) {
    return {Payload(ssid, password, username)};
}
// Picks the network in that row, types the password and presses Configure.
void SendNetwork(WizardWindow& w, int row, const std::wstring& password);
