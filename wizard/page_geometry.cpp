#include "wizard/page_geometry.h"

#include <algorithm>

namespace {

void Place(std::vector<ControlPlacement>& out, int id, int x, int y, int w, int h) {
    out.push_back({id, {x, y, w, h}});
}

// The height the status text needs at this width, or 0 when the usual height already holds it.
int StatusOverflow(const PageGeometryInput& in, int width, int usualHeight) {
    if (!in.statusTextHeight) {
        return 0;
    }
    const int needed = in.statusTextHeight(width);
    return needed > usualHeight ? needed : 0;
}

void LoginGeometry(const PageGeometryInput& in, std::vector<ControlPlacement>& out) {
    const int W = in.clientWidth;
    const int H = in.clientHeight;
    const int c = W - 64;
    // Tall windows push the form down a little so it does not hug the top edge.
    const int e = std::min(std::max(H - 680, 0) / 4, 70);
    const int f = std::min(c, 330);
    const int fx = (W - f) / 2;
    const int g = std::min(c, 440);
    Place(out, control_id::kLogo, (W - g) / 2, e + 20, g, g * 91 / 440);
    Place(out, control_id::kPageTitle, 32, e + 170, c, 62);
    Place(out, control_id::kUsername, fx, e + 250, f, 30);
    Place(out, control_id::kPassword, fx, e + 296, in.showPasswordButtonVisible ? f - 32 : f, 30);
    Place(out, control_id::kShowPassword, fx + f - 30, e + 296, 30, 30);
    const int bx = fx + (f - 205) / 2;
    Place(out, control_id::kLogin, bx, e + 344, 205, 32);
    Place(out, control_id::kWifiOnly, bx, e + 390, 205, 32);
    const int k = std::min(c, 300);
    int linkY = std::min(H - 42, e + 458 + std::min(std::max(H - 680, 0) / 10, 20));
    ControlRect status{fx, e + 428, f, 24};
    if (StatusOverflow(in, f, 24) > 0) {
        // A long sentence takes the full content width and pushes the sign-up link down.
        status = {32, e + 428, c, std::max(24, in.statusTextHeight(c))};
        linkY = std::max(linkY, status.y + status.height + 2);
    }
    Place(out, control_id::kSignUp, (W - k) / 2 + 6, linkY, k, 26);
    Place(out, control_id::kStatus, status.x, status.y, status.width, status.height);
}

void BaseUnitGeometry(const PageGeometryInput& in, std::vector<ControlPlacement>& out) {
    const int W = in.clientWidth;
    const int H = in.clientHeight;
    const int c = W - 64;
    Place(out, control_id::kPageTitle, 32, 28, c, 38);
    Place(out, control_id::kAccountLine, 32, 68, c, 22);
    Place(out, control_id::kBaseUnitList, 32, 138, c, H - 230);
    Place(out, control_id::kRefreshBaseUnits, W - 118, 98, 86, 30);
    Place(out, control_id::kConnect, W - 137, H - 76, 105, 34);
    Place(out, control_id::kBackBaseUnits, 32, 98, 72, 30);
    Place(out, control_id::kProgress, 32, H - 88, c, 4);
    ControlRect status{32, H - 54, W - 184, 22};
    if (const int needed = StatusOverflow(in, status.width, status.height)) {
        // Grows down to the bottom margin, then up, never over the progress bar.
        status.height = needed;
        status.y = std::max(std::min(status.y, H - 4 - needed), H - 82);
    }
    Place(out, control_id::kStatus, status.x, status.y, status.width, status.height);
}

void WifiGeometry(const PageGeometryInput& in, std::vector<ControlPlacement>& out) {
    const int W = in.clientWidth;
    const int H = in.clientHeight;
    const int c = W - 64;
    // Below a client height of 526 the bottom row stays put rather than overlapping the form.
    const int b = std::max(H - 74, 452);
    ControlRect status{160, b + 3, W - 312, 28};
    // A long sentence grows about the middle of the bottom row, down to the bottom margin and
    // up to the password field; beyond that the form moves up and the list gives the room.
    int lift = 0;
    if (const int needed = StatusOverflow(in, status.width, status.height)) {
        const int lowest = std::max(H - 4, b + 31);
        status.height = needed;
        status.y = std::min(b + 17 - needed / 2, lowest - needed);
        lift = std::min(std::max(440 - status.y, 0), 150);
    }
    Place(out, control_id::kPageTitle, 32, 22, c, 38);
    Place(out, control_id::kAccountLine, 32, 60, c, 20);
    Place(out, control_id::kBaseUnitLine, 32, 82, c, 20);
    Place(out, control_id::kWifiList, 32, 150, c, 190 - lift);
    Place(out, control_id::kProgress, 32, 344 - lift, c, 4);
    Place(out, control_id::kRefreshWifi, W - 118, 110, 86, 30);
    Place(out, control_id::kNetworkName, 32, 360 - lift, c, 30);
    Place(out, control_id::kWifiPassword, 32, 406 - lift,
          in.showWifiPasswordButtonVisible ? c - 32 : c, 30);
    Place(out, control_id::kShowWifiPassword, W - 62, 406 - lift, 30, 30);
    Place(out, control_id::kUsernameOnly, 32, b, 120, 34);
    Place(out, control_id::kConfigure, W - 144, b, 112, 34);
    Place(out, control_id::kBackWifi, 32, 110, 72, 30);
    Place(out, control_id::kStatus, status.x, status.y, status.width, status.height);
}

void ResultGeometry(const PageGeometryInput& in, std::vector<ControlPlacement>& out) {
    const int W = in.clientWidth;
    const int H = in.clientHeight;
    const int c = W - 64;
    const int m = std::min(c, 450);
    Place(out, control_id::kFinish, W - 137, H - 70, 105, 36);
    Place(out, control_id::kResultHeading, 32, 100, c, 44);
    Place(out, control_id::kResultMessage, (W - m) / 2, 164, m, 110);
}

}  // namespace

std::vector<ControlPlacement> ComputePageGeometry(WizardPage page, const PageGeometryInput& in) {
    std::vector<ControlPlacement> out;
    switch (page) {
        case WizardPage::Login:
            LoginGeometry(in, out);
            break;
        case WizardPage::BaseUnitSelect:
            BaseUnitGeometry(in, out);
            break;
        case WizardPage::WifiSelect:
            WifiGeometry(in, out);
            break;
        case WizardPage::Result:
            ResultGeometry(in, out);
            break;
    }
    return out;
}
