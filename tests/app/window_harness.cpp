#include "tests/app/window_harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "blufi/configuration_payload.h"
#include "tests/support/windows_files.h"

DialogAnswerer& Answerer() {
    static DialogAnswerer answerer;
    return answerer;
}

bool operator==(const SeenDialog& a, const SeenDialog& b) {
    return a.title == b.title && a.text == b.text && a.icon == b.icon;
}

void PrintTo(const SeenDialog& dialog, std::ostream* out) {
    *out << "{" << testing::PrintToString(dialog.title) << ", "
         << testing::PrintToString(dialog.text) << ", icon " << dialog.icon << "}";
}

WizardWindow::WizardWindow(const ScriptedBackend::Script& script) {
    auto backend = std::make_unique<ScriptedBackend>();
    backend->SetScript(script);
    backend_ = backend.get();
    Answerer();
    app_ = std::make_unique<WizardApp>(GetModuleHandleW(nullptr), std::move(backend),
                                       L"https://account.example.test");
    app_->updateOperations = ScriptedUpdates::Operations();
    initialised_ = app_->Initialise(SW_SHOWNORMAL);
    Pump();
}

WizardWindow::~WizardWindow() {
    backend_->gate.Hold(false);
    WaitIdle(10000);
    Close();
}

void WizardWindow::Pump(int milliseconds) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                continue;
            }
            if (!app_->PreTranslateKey(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (std::chrono::steady_clock::now() < deadline);
}

bool WizardWindow::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        Pump(5);
    }
    Pump(5);
    return true;
}

bool WizardWindow::WaitIdle(int timeoutMs) {
    WizardApp& a = *app_;
    return PumpUntil([&a] { return !a.loginBusy && !a.bleBusy && !a.wifiScanBusy && !a.sendBusy; },
                     timeoutMs);
}

void WizardWindow::PressKey(UINT key, bool shift) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    const BYTE before = state[VK_SHIFT];
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    HWND target = GetFocus() ? GetFocus() : app_->window;
    const UINT scan = MapVirtualKeyW(key, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, key, 1 | (scan << 16));
    Pump();
    PostMessageW(target, WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
    Pump();
    GetKeyboardState(state);
    state[VK_SHIFT] = before;
    SetKeyboardState(state);
}

bool WizardWindow::Xdotool(const std::wstring& arguments) {
    // A Unix child gives Wine no process handle to wait on: the shell leaves xdotool's exit
    // code in a file instead (Wine's drive Z: is the Unix root).
    static int runs = 0;
    const std::wstring marker = L"/tmp/tervane-xdotool-" + std::to_wstring(GetCurrentProcessId()) +
                                L"-" + std::to_wstring(++runs);
    const std::wstring windowsMarker = WindowsPath(marker);
    std::wstring command = L"/bin/sh -c \"xdotool " + arguments + L"; echo $? >" + marker + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const bool finished = PumpUntil([&] { return Exists(windowsMarker); }, 10000);
    Pump(150);  // the X events reach the queue after xdotool has gone
    char code = '1';
    if (FILE* file = _wfopen(windowsMarker.c_str(), L"rb")) {
        code = static_cast<char>(fgetc(file));
        fclose(file);
    }
    DeleteFileW(windowsMarker.c_str());
    return finished && code == '0';
}

bool WizardWindow::Click(ControlIndex button) {
    HWND control = app_->Control(button);
    const bool clickable = IsWindowVisible(control) && IsWindowEnabled(control);
    PostMessageW(app_->window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED),
                 reinterpret_cast<LPARAM>(control));
    Pump();
    return clickable;
}

void WizardWindow::TypeInto(ControlIndex field, const std::wstring& text) {
    HWND control = app_->Control(field);
    SetFocus(control);
    Pump(5);
    SendMessageW(control, EM_SETSEL, GetWindowTextLengthW(control), GetWindowTextLengthW(control));
    for (wchar_t ch : text) {
        PostMessageW(control, WM_CHAR, ch, 1);
    }
    Pump();
}

void WizardWindow::PasteInto(ControlIndex field, const std::wstring& text) {
    HWND control = app_->Control(field);
    SetFocus(control);
    Pump(5);
    SendMessageW(control, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
    Pump();
}

void WizardWindow::SelectRow(ControlIndex list, int row) {
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(app_->Control(list), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    Pump();
}

ControlRect WizardWindow::ClientRectOf(ControlIndex control) const {
    RECT r{};
    GetWindowRect(app_->Control(control), &r);
    MapWindowPoints(nullptr, app_->window, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void WizardWindow::ResizeClient(int width, int height) {
    RECT r{0, 0, width, height};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongPtrW(app_->window, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(app_->window, GWL_EXSTYLE)));
    SetWindowPos(app_->window, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    Pump();
}

bool WizardWindow::Close() {
    if (!app_->window) {
        return true;
    }
    PostMessageW(app_->window, WM_CLOSE, 0, 0);
    WizardApp& a = *app_;
    return PumpUntil([&a] { return a.window == nullptr; }, 3000);
}

void WindowTest::SetUp() {
    FakeAccount().Reset();
    TearDown();
}

void WindowTest::TearDown() {
    w.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, kPlacementKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kInstallKey);
    Answerer().AnswerQuestionsWith(IDNO);
    Answerer().Take();
    Updates().Reset();
}

void WindowTest::Open(const ScriptedBackend::Script& script) {
    w = std::make_unique<WizardWindow>(script);
    ASSERT_TRUE(w->initialised());
}

ScriptedBackend::Script ThreeUnitsScript() {
    ScriptedBackend::Script script;
    script.units = {{0x11, L"OV-Kitchen", -71, true},
                    {0x22, L"OV-Attic", 0, false},
                    {0x33, L"OV-Hall", -48, true}};
    script.networks = {{L"HomeNet", -66}, {L"Cafe", -80}, {L"HomeNet", -52}, {L"", -40}};
    return script;
}

std::vector<DWORD> SavedPlacement() {
    std::vector<DWORD> values;
    for (const wchar_t* name : {L"Width", L"Height", L"Maximized"}) {
        DWORD value = 0xFFFFFFFF;
        DWORD bytes = sizeof(value);
        RegGetValueW(HKEY_CURRENT_USER, kPlacementKey, name, RRF_RT_REG_DWORD, nullptr, &value,
                     &bytes);
        values.push_back(value);
    }
    return values;
}

std::string Payload(const std::wstring& ssid, const std::wstring& password,
                    const std::wstring& username) {
    std::string payload;
    std::wstring error;
    EXPECT_TRUE(BuildConfigurationPayload(ssid, password, username, payload, error));
    return payload;
}

void SendNetwork(WizardWindow& w, int row, const std::wstring& password) {
    w.SelectRow(kWifiListView, row);
    w.TypeInto(kWifiPasswordField, password);
    ASSERT_TRUE(w.ClickAndWait(kConfigureButton));
}

void LogInAndReachBaseUnits(WizardWindow& w) {
    w.TypeInto(kUsernameField, L"anna");
    w.TypeInto(kPasswordField, L"pa55word");
    ASSERT_TRUE(w.ClickAndWait(kLoginButton));
    ASSERT_EQ(w.app().page, WizardPage::BaseUnitSelect);
}

void ConnectFirstUnitAndReachWifi(WizardWindow& w) {
    w.SelectRow(kBaseUnitListView, 0);
    ASSERT_TRUE(w.ClickAndWait(kConnectButton));
    ASSERT_EQ(w.app().page, WizardPage::WifiSelect);
}

void ReachWifi(WizardWindow& w) {
    LogInAndReachBaseUnits(w);
    ConnectFirstUnitAndReachWifi(w);
}
