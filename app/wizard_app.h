#pragma once

#include <windows.h>
#include <commctrl.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "account/account_session.h"
#include "app/contrast_colours.h"
#include "app/keyboard_focus.h"
#include "app/update_operations.h"
#include "ble/ble_backend.h"
#include "common/unique_owner.h"
#include "update/install_mode.h"
#include "update/update_info.h"
#include "wizard/page_geometry.h"
#include "wizard/scaled_geometry.h"
#include "wizard/wizard_types.h"

// Private completion messages of the worker threads (lParam carries the result record).
constexpr UINT WM_APP_LOGIN_DONE = WM_APP + 1;
constexpr UINT WM_APP_BASE_SCAN_DONE = WM_APP + 2;
constexpr UINT WM_APP_CONNECT_DONE = WM_APP + 3;
constexpr UINT WM_APP_WIFI_SCAN_DONE = WM_APP + 4;
constexpr UINT WM_APP_CONFIGURE_DONE = WM_APP + 5;
constexpr UINT WM_APP_UPDATE_CHECK_DONE = WM_APP + 6;
constexpr UINT WM_APP_UPDATE_DOWNLOAD_DONE = WM_APP + 7;

constexpr UINT IDM_CHECK_FOR_UPDATES = 0x1FF0;
constexpr UINT_PTR UPDATE_APPLY_TIMER_ID = 42;
// Fires once, after the first paint: the set-up the first page does not need.
constexpr UINT_PTR kFinishStartupTimerId = 43;

constexpr int IDI_APPLICATION_ICON = 101;
constexpr int IDB_LOGO = 102;
constexpr int IDI_REVEAL = 103;

extern const wchar_t kMainWindowClass[];
extern const wchar_t kPlacementKey[];

// One entry per child control, in creation (and Tab) order.
enum ControlIndex : size_t {
    kLogoPicture,
    kPageTitleText,
    kUsernameField,
    kPasswordField,
    kShowPasswordButton,
    kLoginButton,
    kWifiOnlyButton,
    kSignUpLink,
    kAccountLineText,
    kBaseUnitListView,
    kRefreshBaseUnitsButton,
    kConnectButton,
    kBackBaseUnitsButton,
    kBaseUnitLineText,
    kWifiListView,
    kRefreshWifiButton,
    kNetworkNameField,
    kWifiPasswordField,
    kShowWifiPasswordButton,
    kUsernameOnlyButton,
    kConfigureButton,
    kBackWifiButton,
    kResultHeadingText,
    kResultMessageText,
    kFinishButton,
    kStatusText,
    kControlCount
};

struct ControlDefinition {
    int id;
    const wchar_t* className;
    DWORD styles;
    DWORD extendedStyle;
    const wchar_t* text;
    enum Font { Title, Body, Small } font;
    const wchar_t* tooltip;  // null: no tip of its own
};
extern const std::array<ControlDefinition, kControlCount> kControlTable;

struct LoginResult;
struct BleOperationResult;
struct ConfigureResult;

// The one application object: owns the main window's state, the backend and the account
// session. Used on the window thread only; workers see it through their request records.
class WizardApp {
public:
    // webOrigin is the account service's web application (for the sign-up page).
    WizardApp(HINSTANCE instance, std::unique_ptr<IBleBackend> backend, std::wstring webOrigin);
    ~WizardApp();
    WizardApp(const WizardApp&) = delete;
    WizardApp& operator=(const WizardApp&) = delete;

    bool Initialise(int showCommand);
    bool PreTranslateKey(const MSG& message);
    LRESULT WindowProcedure(UINT message, WPARAM wParam, LPARAM lParam);

    HWND Control(ControlIndex index) const { return controls[index]; }
    HWND ControlById(int id) const;

    // Pages and actions.
    void ShowPage();
    void LayoutPage(int clientWidth, int clientHeight);
    void UpdatePasswordToggles();
    void StartLogin();
    void StartWifiOnlySetup();
    void StartBaseUnitScan();
    void StartConnect();
    void StartWifiScan();
    void StartConfigure(bool usernameOnly);
    void RetryConfigure();
    // Finish after a sent configuration, Retry after a failed one.
    void FinishOrRetry();
    void BackToLogin();
    // Back from the Wi-Fi page, and Finish: a fresh scan on the base-unit page.
    void BackToBaseUnits();
    void ScanOnBaseUnitPage();
    // A reconnect behind the page's back failed: the base-unit page, with the reason.
    void ReturnToBaseUnits(const std::wstring& reason);
    void OpenSignUpPage();
    void SetStatus(const std::wstring& text);
    // Lists, signal images, reveal icon and tooltips; at once if a page needs them sooner.
    void FinishStartup();

    // Self-update.
    void StartUpdateCheck(bool interactive);
    void StartStartupUpdateCheck();
    void StartUpdateDownload(const UpdateInfo& info);
    void TryApplyUpdate();

    // Fields, in the order the rest of the program relies on.
    HINSTANCE instance;
    HWND window = nullptr;
    std::array<HWND, kControlCount> controls{};
    HWND tooltip = nullptr;
    HWND hoveredButton = nullptr;
    UniqueFont titleFont, bodyFont, smallFont;
    UniqueBrush staticBrush, editBrush;
    UniqueBitmap logoBitmap;
    UniqueImageList signalImages;
    UniqueIcon revealIcon;
    AccountSession account;
    std::unique_ptr<IBleBackend> backend;
    std::vector<BaseUnitInfo> baseUnits;
    std::vector<WifiNetwork> wifiNetworks;
    WizardPage page = WizardPage::Login;
    bool wifiOnly = false;
    bool loginBusy = false, bleBusy = false, wifiScanBusy = false, sendBusy = false;
    bool updateCheckBusy = false, updateDownloadBusy = false, updateReady = false;
    bool lastSendOk = false;
    bool usernamePlaceholder = false, passwordPlaceholder = false, wifiPasswordPlaceholder = false;
    bool passwordRevealed = false, wifiPasswordRevealed = false;
    bool passwordIsStored = false, wifiPasswordRemembered = false;
    std::wstring selectedBaseUnitName;
    std::wstring pendingLoginUsername, pendingLoginPassword;
    std::wstring lastSsid, lastWifiPassword;
    std::wstring pendingInstallerPath;
    InstallMode installMode = InstallMode::None;
    UpdateOperations updateOperations = RealUpdateOperations();
    bool lastSendUsernameOnly = false;

    std::wstring webOrigin;

    // Display: the DPI the window is drawn at, the colours in use, the bar of long steps.
    int dpi = kLayoutDpi;
    Palette palette{};
    HWND progressBar = nullptr;
    bool startupFinished = false;
    UniqueBitmap shownLogo;  // the logo redrawn for this DPI or theme; null: the artwork itself

private:
    static LRESULT CALLBACK WindowThunk(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK HoverProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR id, DWORD_PTR data);
    static LRESULT CALLBACK StoredPasswordProcedure(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam, UINT_PTR id, DWORD_PTR data);

    bool Busy() const { return loginBusy || bleBusy || wifiScanBusy || sendBusy; }
    bool LoggedIn() const { return !account.token.empty() && !account.accountUsername.empty(); }

    // Start-up and shutdown.
    void RestorePlacement(int& width, int& height, bool& maximized) const;
    void SavePlacement() const;
    void PrefillCredentials();
    void OnClose();
    void OnDestroy();
    bool HandleTabKey();

    // Keyboard focus.
    HWND FirstFocus() const;
    bool ReturnOnFocusedControl();
    void ParkFocusIfLeaving(size_t index, bool staysUsable);
    void RequestFocusSettle();
    void SettleFocus();
    FocusKeeper focusKeeper;
    bool focusSettlePending = false;

    // Window contents.
    bool CreateControls();
    void CreateTooltips();
    LRESULT OnDrawItem(const DRAWITEMSTRUCT& item);
    void DrawFilledButton(const DRAWITEMSTRUCT& item, COLORREF fill, COLORREF textColour,
                          const wchar_t* text, int focusInset, bool frame);
    void DrawSignUpLink(const DRAWITEMSTRUCT& item);
    void DrawRevealButton(const DRAWITEMSTRUCT& item);
    LRESULT OnControlColour(UINT message, HDC dc, HWND control);
    LRESULT OnNotify(const NMHDR& header);

    // Display (window_display.cpp): DPI, theme colours, status size, progress.
    void ApplyDpi(int newDpi);
    void OnDpiChanged(int newDpi, const RECT& suggested);
    void ApplyColours();
    void RebuildSignalImages();
    void RefreshLogo();
    void LoadRevealIcon();
    int StatusTextHeight(int width) const;
    void RelayoutClient();
    void UpdateProgress();
    void OnCommand(int id, int code);

    // Fields.
    std::wstring FieldText(ControlIndex index) const;
    void SetFieldText(ControlIndex index, const std::wstring& text);
    void ClearPlaceholderOnFocus(ControlIndex index);
    void RestorePlaceholderIfEmpty(ControlIndex index);
    void ResetWifiPasswordField();
    void ToggleReveal(bool wifi);
    void OnPasswordChanged(bool wifi);
    void FocusControl(ControlIndex index);
    void ShowWarning(const wchar_t* title, const std::wstring& text);
    void ClearWifiPage();

    // Completion handlers.
    void OnLoginDone(std::unique_ptr<LoginResult> result);
    void OnBaseScanDone(std::unique_ptr<BleOperationResult> result);
    void OnConnectDone(std::unique_ptr<BleOperationResult> result);
    void OnWifiScanDone(std::unique_ptr<BleOperationResult> result);
    void OnConfigureDone(std::unique_ptr<ConfigureResult> result);
    void OnUpdateCheckComplete(std::unique_ptr<UpdateCheckResult> result);
    void OnUpdateDownloadComplete(std::unique_ptr<UpdateDownloadResult> result);
    void DiscardReadyUpdate();
};

// The loop of the running program: pre-translates keys, returns the quit code.
int RunMessageLoop(WizardApp& app);
