#pragma once

#include <cstdint>

// The four pages of the wizard, in the order a person meets them.
enum class WizardPage : int32_t {
    Login = 0,
    BaseUnitSelect = 1,
    WifiSelect = 2,
    Result = 3,
};

// Child-control identifiers of the main window.
namespace control_id {
constexpr int kUsername = 1002;
constexpr int kPassword = 1003;
constexpr int kLogin = 1004;
constexpr int kWifiOnly = 1005;
constexpr int kStatus = 1006;
constexpr int kAccountLine = 1007;
constexpr int kBaseUnitList = 1008;
constexpr int kRefreshBaseUnits = 1009;
constexpr int kConnect = 1010;
constexpr int kWifiList = 1014;
constexpr int kRefreshWifi = 1015;
constexpr int kNetworkName = 1017;
constexpr int kWifiPassword = 1019;
constexpr int kUsernameOnly = 1020;
constexpr int kConfigure = 1021;
constexpr int kBackWifi = 1022;
constexpr int kBaseUnitLine = 1023;
constexpr int kFinish = 1024;
constexpr int kResultHeading = 1025;
constexpr int kResultMessage = 1026;
constexpr int kLogo = 1027;
constexpr int kPageTitle = 1028;
constexpr int kBackBaseUnits = 1030;
constexpr int kSignUp = 1031;
constexpr int kShowPassword = 1032;
constexpr int kShowWifiPassword = 1033;
// The moving bar of long Bluetooth steps; made by the window, not part of the Tab order.
constexpr int kProgress = 1040;
}  // namespace control_id
