#include "wizard/page_geometry.h"
#include "wizard/scaled_geometry.h"

#include <gtest/gtest.h>

#include <ostream>

std::ostream& operator<<(std::ostream& os, const ControlRect& r) {
    return os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

namespace {

PageGeometryInput Client(int width, int height, bool showButton = false) {
    PageGeometryInput in;
    in.clientWidth = width;
    in.clientHeight = height;
    in.showPasswordButtonVisible = in.showWifiPasswordButtonVisible = showButton;
    return in;
}

ControlRect Find(const std::vector<ControlPlacement>& placements, int id) {
    for (const ControlPlacement& p : placements) {
        if (p.controlId == id)
            return p.rect;
    }
    ADD_FAILURE() << "control " << id << " has no place";
    return {};
}

ControlRect RectOf(WizardPage page, int width, int height, int id, bool showButton = false) {
    return Find(ComputePageGeometry(page, Client(width, height, showButton)), id);
}

// One edge or length of one control at one client size.
TEST(PageGeometry, ControlsSitWhereTheLayoutPutsThem) {
    using P = WizardPage;
    namespace c = control_id;
    const struct {
        WizardPage page;
        int width, height, id;
        bool showButton;
        int ControlRect::*field;
        int value;
    } cases[] = {
        // Tall windows move the login form down by up to seventy pixels.
        {P::Login, 600, 680, c::kUsername, false, &ControlRect::y, 250},
        {P::Login, 600, 684, c::kUsername, false, &ControlRect::y, 251},
        {P::Login, 600, 1000, c::kUsername, false, &ControlRect::y, 320},
        // The sign-up link sits under the Wi-Fi-only button, pushed a little on tall windows.
        {P::Login, 600, 620, c::kSignUp, false, &ControlRect::y, 458},
        {P::Login, 600, 1000, c::kSignUp, false, &ControlRect::y, 548},
        // A narrow window keeps the full field width; password fields make room for the button.
        {P::Login, 400, 600, c::kUsername, false, &ControlRect::width, 330},
        {P::Login, 600, 620, c::kPassword, false, &ControlRect::width, 330},
        {P::Login, 600, 620, c::kPassword, true, &ControlRect::width, 298},
        {P::WifiSelect, 600, 620, c::kWifiPassword, false, &ControlRect::width, 536},
        {P::WifiSelect, 600, 620, c::kWifiPassword, true, &ControlRect::width, 504},
        {P::WifiSelect, 600, 620, c::kShowWifiPassword, true, &ControlRect::x, 538},
        // The Wi-Fi page's bottom row stops at the form on short windows.
        {P::WifiSelect, 600, 526, c::kConfigure, false, &ControlRect::y, 452},
        {P::WifiSelect, 600, 527, c::kConfigure, false, &ControlRect::y, 453},
        {P::WifiSelect, 600, 525, c::kStatus, false, &ControlRect::y, 455},
        {P::WifiSelect, 600, 620, c::kStatus, false, &ControlRect::y, 549},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(RectOf(k.page, k.width, k.height, k.id, k.showButton).*k.field, k.value)
            << "page " << static_cast<int>(k.page) << " control " << k.id << " at " << k.width
            << "x" << k.height;
    }
    EXPECT_EQ(RectOf(P::Login, 400, 600, c::kLogo), (ControlRect{32, 20, 336, 69}));
    EXPECT_EQ(RectOf(P::Result, 600, 620, c::kResultMessage), (ControlRect{75, 164, 450, 110}));
    EXPECT_EQ(RectOf(P::Result, 505, 620, c::kResultMessage), (ControlRect{32, 164, 441, 110}));
    EXPECT_EQ(RectOf(P::Login, 600, 620, c::kShowPassword, true).x, 435);
}

TEST(PageGeometry, SignUpLinkNeverLeavesTheBottomMargin) {
    for (int height : {300, 540, 541, 1400})
        EXPECT_LE(RectOf(WizardPage::Login, 600, height, control_id::kSignUp).y, height - 42);
}

// Right- and bottom-anchored controls follow the window's edges (the Wi-Fi page's bottom row
// only from a height of 526).
TEST(PageGeometry, AnchoredControlsKeepTheirDistanceFromTheEdges) {
    const struct {
        WizardPage page;
        int id;
        int rightGap;   // W - (x + width), or -1 when not right-anchored
        int bottomGap;  // H - (y + height), or -1 when not bottom-anchored
    } cases[] = {
        {WizardPage::BaseUnitSelect, control_id::kConnect, 32, 42},
        {WizardPage::BaseUnitSelect, control_id::kRefreshBaseUnits, 32, -1},
        {WizardPage::BaseUnitSelect, control_id::kBaseUnitList, 32, 92},
        {WizardPage::BaseUnitSelect, control_id::kStatus, 152, 32},
        {WizardPage::WifiSelect, control_id::kConfigure, 32, 40},
        {WizardPage::WifiSelect, control_id::kRefreshWifi, 32, -1},
        {WizardPage::Result, control_id::kFinish, 32, 34},
    };
    const int sizes[][2] = {{504, 501}, {600, 620}, {1500, 1200}};
    for (const auto& c : cases) {
        for (const auto& size : sizes) {
            const ControlRect r = RectOf(c.page, size[0], size[1], c.id);
            const bool pinned = c.page == WizardPage::WifiSelect && size[1] < 526;
            EXPECT_TRUE(c.rightGap < 0 || size[0] - (r.x + r.width) == c.rightGap) << c.id;
            EXPECT_TRUE(c.bottomGap < 0 || pinned || size[1] - (r.y + r.height) == c.bottomGap)
                << "id " << c.id << " at " << size[0] << "x" << size[1] << ": " << r;
        }
    }
}

bool Overlap(const ControlRect& a, const ControlRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

// Nothing is clipped by the side margins or hidden under another control. A show-password
// button that is not shown may sit under its field.
TEST(PageGeometry, ControlsStayInsideTheSideMarginsAndNeverOverlap) {
    for (WizardPage page : {WizardPage::Login, WizardPage::BaseUnitSelect, WizardPage::WifiSelect,
                            WizardPage::Result}) {
        for (const auto& size : {std::pair{504, 501}, {600, 620}, {1500, 1200}}) {
            for (bool showButton : {false, true}) {
                const auto placed =
                    ComputePageGeometry(page, Client(size.first, size.second, showButton));
                const auto hidden = [&](int id) {
                    return !showButton &&
                           (id == control_id::kShowPassword || id == control_id::kShowWifiPassword);
                };
                for (size_t i = 0; i < placed.size(); ++i) {
                    const ControlRect& a = placed[i].rect;
                    EXPECT_GE(a.x, 32) << "control " << placed[i].controlId;
                    EXPECT_LE(a.x + a.width, size.first - 32) << "control " << placed[i].controlId;
                    for (size_t j = i + 1; j < placed.size(); ++j) {
                        EXPECT_TRUE(hidden(placed[i].controlId) || hidden(placed[j].controlId) ||
                                    !Overlap(a, placed[j].rect))
                            << placed[i].controlId << " and " << placed[j].controlId << " at "
                            << size.first << "x" << size.second;
                    }
                }
            }
        }
    }
}

TEST(ScaledGeometry, LengthsRoundToTheNearestPixel) {
    const int cases[][3] = {{7, 96, 7},  {1, 144, 2},     {91, 144, 137}, {-3, 144, -5},
                            {3, 120, 4}, {330, 192, 660}, {0, 0, 0},      {20, 0, 20}};
    for (const auto& c : cases)
        EXPECT_EQ(ScaleForDpi(c[0], c[1]), c[2]) << c[0] << " at " << c[1];
    // Scaled edges: a one-pixel gap at 96 DPI never becomes two rectangles that overlap.
    EXPECT_EQ(ScaleRect({1, 1, 1, 1}, 144), (ControlRect{2, 2, 1, 1}));
}

TEST(ScaledGeometry, EveryRectangleIsThePagesLayoutInPhysicalSize) {
    for (WizardPage page : {WizardPage::Login, WizardPage::BaseUnitSelect, WizardPage::WifiSelect,
                            WizardPage::Result}) {
        const auto plain = ComputePageGeometry(page, Client(600, 620));
        // The odd pixel must not move anything.
        const auto doubled = ComputeScaledPageGeometry(page, Client(1201, 1240), 192);
        ASSERT_EQ(doubled.size(), plain.size());
        for (size_t i = 0; i < plain.size(); ++i) {
            const ControlRect& r = plain[i].rect;
            EXPECT_EQ(doubled[i].rect, (ControlRect{2 * r.x, 2 * r.y, 2 * r.width, 2 * r.height}))
                << "control " << plain[i].controlId;
        }
    }
}

TEST(StatusGeometry, LongSentenceGetsRoomOfItsOwnAtTheSmallestWindow) {
    // A sentence 700 pixels long on one line, in lines of 16 pixels.
    const auto measure = [](int width) { return 16 * ((700 + width - 1) / width); };
    for (WizardPage page :
         {WizardPage::Login, WizardPage::BaseUnitSelect, WizardPage::WifiSelect}) {
        PageGeometryInput in = Client(504, 501, true);
        in.statusTextHeight = measure;
        const auto placements = ComputePageGeometry(page, in);
        const ControlRect status = Find(placements, control_id::kStatus);
        EXPECT_GE(status.height, measure(status.width)) << "page " << static_cast<int>(page);
        EXPECT_LE(status.y + status.height, in.clientHeight);
        for (const ControlPlacement& p : placements) {
            EXPECT_TRUE(p.controlId == control_id::kStatus || !Overlap(p.rect, status))
                << "control " << p.controlId;
        }
        // A sentence that fits leaves the page as it is.
        in.statusTextHeight = [](int) { return 15; };
        const auto fitting = ComputePageGeometry(page, in);
        const auto unmeasured = ComputePageGeometry(page, Client(504, 501, true));
        for (size_t i = 0; i < fitting.size(); ++i)
            EXPECT_EQ(fitting[i].rect, unmeasured[i].rect);
    }
}

}  // namespace
