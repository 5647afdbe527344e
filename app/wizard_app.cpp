#include "app/wizard_app.h"

#include <algorithm>
#include <utility>

#include "account/credential_store.h"
#include "app/accessible_names.h"
#include "app/dpi_scale.h"
#include "app/wizard_workers.h"
#include "update/install_mode.h"
#include "wizard/form_rules.h"
#include "wizard/scan_list_views.h"

const wchar_t kMainWindowClass[] = L"TervaneConfigNativeWindow";
const wchar_t kPlacementKey[] = L"Software\\Tervane\\ConfigApp";

namespace {

constexpr int kDefaultWidth = 600;
constexpr int kDefaultHeight = 620;
constexpr int kMaximumWidth = 1600;
constexpr int kMaximumHeight = 1400;

bool ReadDword(HKEY key, const wchar_t* name, DWORD& value) {
    DWORD type = 0;
    DWORD data = 0;
    DWORD bytes = sizeof(data);
    // Only a 32-bit number counts; any other type of value is treated as missing.
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || bytes != sizeof(data)) {
        return false;
    }
    value = data;
    return true;
}

bool IsSelfOrDescendant(HWND root, HWND window) {
    return window == root || IsChild(root, window);
}

}  // namespace

WizardApp::WizardApp(HINSTANCE instanceHandle, std::unique_ptr<IBleBackend> ownedBackend,
                     std::wstring origin)
    : instance(instanceHandle), backend(std::move(ownedBackend)), webOrigin(std::move(origin)) {}

WizardApp::~WizardApp() {
    if (window && IsWindow(window)) {
        DestroyWindow(window);
    }
    WipeSecret(pendingLoginPassword);
    WipeSecret(lastWifiPassword);
}

HWND WizardApp::ControlById(int id) const {
    for (size_t i = 0; i < kControlCount; ++i) {
        if (kControlTable[i].id == id) {
            return controls[i];
        }
    }
    return nullptr;
}

void WizardApp::RestorePlacement(int& width, int& height, bool& maximized) const {
    width = kDefaultWidth;
    height = kDefaultHeight;
    maximized = false;
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kPlacementKey, 0, KEY_READ, &raw) != ERROR_SUCCESS) {
        return;
    }
    UniqueRegistryKey key(raw);
    DWORD value = 0;
    if (ReadDword(key.get(), L"Width", value)) {
        width = static_cast<int>(static_cast<int32_t>(value));
    }
    if (ReadDword(key.get(), L"Height", value)) {
        height = static_cast<int>(static_cast<int32_t>(value));
    }
    if (ReadDword(key.get(), L"Maximized", value)) {
        maximized = value != 0;
    }
    key.reset();
    width = std::max(width, kMinimumWindowWidth);
    height = std::max(height, kMinimumWindowHeight);
    if (width > kMaximumWidth) {
        width = kDefaultWidth;
    }
    if (height > kMaximumHeight) {
        height = kDefaultHeight;
    }
}

void WizardApp::SavePlacement() const {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    if (!GetWindowPlacement(window, &placement)) {
        return;
    }
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kPlacementKey, 0, nullptr, 0, KEY_WRITE, nullptr, &raw,
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    UniqueRegistryKey key(raw);
    const RECT& normal = placement.rcNormalPosition;
    // Kept in 96-DPI units, so the window has the same physical size on any display.
    const DWORD values[3] = {static_cast<DWORD>(UnscaleForDpi(normal.right - normal.left, dpi)),
                             static_cast<DWORD>(UnscaleForDpi(normal.bottom - normal.top, dpi)),
                             IsZoomed(window) ? 1u : 0u};
    const wchar_t* names[3] = {L"Width", L"Height", L"Maximized"};
    for (int i = 0; i < 3; ++i) {
        RegSetValueExW(key.get(), names[i], 0, REG_DWORD, reinterpret_cast<const BYTE*>(&values[i]),
                       sizeof(DWORD));
    }
}

void WizardApp::PrefillCredentials() {
    std::wstring username;
    std::wstring password;
    if (!LoadCredentials(username, password)) {
        WipeSecret(password);
        return;
    }
    usernamePlaceholder = false;
    SetFieldText(kUsernameField, username);
    HWND field = controls[kPasswordField];
    passwordPlaceholder = false;
    SetWindowLongPtrW(field, GWL_STYLE, GetWindowLongPtrW(field, GWL_STYLE) | ES_PASSWORD);
    SendMessageW(field, EM_SETPASSWORDCHAR, 0x25CF, 0);
    // Marked stored before the text arrives, so the show button never appears for it.
    passwordIsStored = true;
    passwordRevealed = false;
    SetFieldText(kPasswordField, password);
    SendMessageW(field, EM_EMPTYUNDOBUFFER, 0, 0);
    UpdatePasswordToggles();
    WipeSecret(password);
}

bool WizardApp::Initialise(int showCommand) {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES |
                                                      ICC_LINK_CLASS | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&classes);

    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &WizardApp::WindowThunk;
    windowClass.hInstance = instance;
    windowClass.hIcon = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON), IMAGE_ICON,
                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), LR_SHARED));
    windowClass.hIconSm = static_cast<HICON>(
        LoadImageW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kMainWindowClass;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        return false;
    }

    int width = 0;
    int height = 0;
    bool maximized = false;
    RestorePlacement(width, height, maximized);

    const std::wstring title = std::wstring(L"Tervane Connect ") + APP_VERSION;
    const int systemDpi = SystemDpi();
    if (!CreateWindowExW(0, kMainWindowClass, title.c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                         CW_USEDEFAULT, CW_USEDEFAULT, ScaleForDpi(width, systemDpi),
                         ScaleForDpi(height, systemDpi), nullptr, nullptr, instance, this) ||
        !window) {
        return false;
    }
    // The saved size is in 96-DPI units; the window may open on a monitor of its own scale.
    width = ScaleForDpi(width, dpi);
    height = ScaleForDpi(height, dpi);

    RECT workArea{};
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0)) {
        const int x = workArea.left + (workArea.right - width - workArea.left) / 2;
        const int y = workArea.top + (workArea.bottom - height - workArea.top) / 2;
        SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    }

    const std::wstring tokenFile = GetTokenFilePath();
    if (!tokenFile.empty()) {
        DeleteFileW(tokenFile.c_str());
    }

    PrefillCredentials();
    installMode = DetectInstallMode();

    page = WizardPage::Login;
    ShowPage();

    ShowWindow(window, maximized ? SW_MAXIMIZE : showCommand);
    UpdateWindow(window);
    SetTimer(window, kFinishStartupTimerId, USER_TIMER_MINIMUM, nullptr);
    StartStartupUpdateCheck();
    return true;
}

bool WizardApp::HandleTabKey() {
    std::vector<HWND> stops;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
        if ((style & WS_TABSTOP) && IsWindowVisible(child) && IsWindowEnabled(child)) {
            stops.push_back(child);
        }
    }
    if (stops.empty()) {
        return true;
    }
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    const size_t n = stops.size();
    auto found = std::find(stops.begin(), stops.end(), GetFocus());
    size_t next = 0;
    if (found == stops.end()) {
        next = shift ? n - 1 : 0;
    } else {
        const size_t i = static_cast<size_t>(found - stops.begin());
        next = shift ? (i + n - 1) % n : (i + 1) % n;
    }
    SetFocus(stops[next]);
    return true;
}

bool WizardApp::PreTranslateKey(const MSG& message) {
    if (!window || message.message != WM_KEYDOWN) {
        return false;
    }
    HWND focus = GetFocus();
    if (focus && !IsSelfOrDescendant(window, focus)) {
        return false;
    }
    if (message.wParam == VK_RETURN) {
        if (ReturnOnFocusedControl()) {
            return true;
        }
        switch (page) {
            case WizardPage::Login: {
                if (loginBusy) {
                    return true;
                }
                const bool noUsername =
                    usernamePlaceholder || GetWindowTextLengthW(controls[kUsernameField]) == 0;
                const bool noPassword =
                    passwordPlaceholder || GetWindowTextLengthW(controls[kPasswordField]) == 0;
                if (noUsername && noPassword) {
                    StartWifiOnlySetup();
                } else {
                    StartLogin();
                }
                return true;
            }
            case WizardPage::BaseUnitSelect: {
                if (bleBusy) {
                    return true;
                }
                const int row = SelectedRow(controls[kBaseUnitListView]);
                if (row >= 0 && static_cast<size_t>(row) < baseUnits.size()) {
                    StartConnect();
                } else {
                    ShowWarning(L"Select Base Unit",
                                L"Please select a base unit before continuing.");
                    FocusControl(kBaseUnitListView);
                }
                return true;
            }
            case WizardPage::WifiSelect:
                if (!wifiScanBusy && !sendBusy) {
                    StartConfigure(false);
                }
                return true;
            case WizardPage::Result:
                FinishOrRetry();
                return true;
        }
        return false;
    }
    if (message.wParam == VK_TAB) {
        return HandleTabKey();
    }
    return false;
}

void WizardApp::OnClose() {
    if (loginBusy || bleBusy || wifiScanBusy || sendBusy || updateDownloadBusy) {
        MessageBoxW(window,
                    L"Please wait for the current operation to finish before closing the "
                    L"application.",
                    L"Tervane", MB_OK | MB_ICONINFORMATION);
        return;
    }
    SavePlacement();
    backend->Disconnect();
    DestroyWindow(window);
}

void WizardApp::OnDestroy() {
    KillTimer(window, UPDATE_APPLY_TIMER_ID);
    logoBitmap.reset();
    signalImages.reset();
    shownLogo.reset();
    titleFont.reset();
    bodyFont.reset();
    smallFont.reset();
    staticBrush.reset();
    editBrush.reset();
    revealIcon.reset();
    PostQuitMessage(0);
}

LRESULT CALLBACK WizardApp::WindowThunk(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* app = reinterpret_cast<WizardApp*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_NCCREATE) {
        app = static_cast<WizardApp*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        app->window = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
    }
    if (!app) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The object may outlive its window; nothing may reach it through a dead handle.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        app->window = nullptr;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return app->WindowProcedure(message, wParam, lParam);
}

LRESULT WizardApp::WindowProcedure(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            return CreateControls() ? 0 : -1;
        case WM_DESTROY:
            OnDestroy();
            return 0;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) {
                LayoutPage(LOWORD(lParam), HIWORD(lParam));
                RequestFocusSettle();  // restored from an icon, the frame holds the focus
            }
            return 0;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_ACTIVATE:
            if (focusKeeper.OnActivate(window, wParam, FirstFocus(), Busy())) {
                return 0;
            }
            break;
        case WM_APP_SETTLE_FOCUS:
            SettleFocus();
            return 0;
        case WM_APP_PLACEHOLDER_SHOWN:
            return (wParam == control_id::kUsername && usernamePlaceholder) ||
                   (wParam == control_id::kPassword && passwordPlaceholder) ||
                   (wParam == control_id::kWifiPassword && wifiPasswordPlaceholder);
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = ScaleForDpi(kMinimumWindowWidth, dpi);
            info->ptMinTrackSize.y = ScaleForDpi(kMinimumWindowHeight, dpi);
            return 0;
        }
        case WM_DPICHANGED:
            OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
            return 0;
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE:
            // A high-contrast theme switched on or off, or its colours changed.
            if (message == WM_SYSCOLORCHANGE || wParam == SPI_SETHIGHCONTRAST) {
                ApplyColours();
            }
            break;
        case WM_DRAWITEM:
            return OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id < control_id::kUsername || id > control_id::kShowWifiPassword) {
                break;
            }
            OnCommand(id, HIWORD(wParam));
            return 0;
        }
        case WM_SYSCOMMAND:
            if ((wParam & 0xFFF0) == IDM_CHECK_FOR_UPDATES) {
                StartUpdateCheck(true);
                return 0;
            }
            break;
        case WM_TIMER:
            if (wParam == UPDATE_APPLY_TIMER_ID) {
                TryApplyUpdate();
                return 0;
            }
            if (wParam == kFinishStartupTimerId) {
                FinishStartup();
                return 0;
            }
            break;
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORSTATIC:
            return OnControlColour(message, reinterpret_cast<HDC>(wParam),
                                   reinterpret_cast<HWND>(lParam));
        case WM_APP_LOGIN_DONE:
            OnLoginDone(TakeResult<LoginResult>(lParam));
            return 0;
        case WM_APP_BASE_SCAN_DONE:
            OnBaseScanDone(TakeResult<BleOperationResult>(lParam));
            return 0;
        case WM_APP_CONNECT_DONE:
            OnConnectDone(TakeResult<BleOperationResult>(lParam));
            return 0;
        case WM_APP_WIFI_SCAN_DONE:
            OnWifiScanDone(TakeResult<BleOperationResult>(lParam));
            return 0;
        case WM_APP_CONFIGURE_DONE:
            OnConfigureDone(TakeResult<ConfigureResult>(lParam));
            return 0;
        case WM_APP_UPDATE_CHECK_DONE:
            OnUpdateCheckComplete(TakeResult<UpdateCheckResult>(lParam));
            return 0;
        case WM_APP_UPDATE_DOWNLOAD_DONE:
            OnUpdateDownloadComplete(TakeResult<UpdateDownloadResult>(lParam));
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int RunMessageLoop(WizardApp& app) {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!app.PreTranslateKey(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
