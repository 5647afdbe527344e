#include "wizard/page_geometry.h"
#include "wizard/scaled_geometry.h"

#include <gtest/gtest.h>

#include <ostream>

std::ostream& operator<<(std::ostream& os, const ControlRect& r) {
    return os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

namespace {

ControlRect RectOf(WizardPage page, int width, int height, int id, bool showButton = false) {
    PageGeometryInput in;
    in.clientWidth = width;
    in.clientHeight = height;
    in.showPasswordButtonVisible = showButton;
    in.showWifiPasswordButtonVisible = showButton;
    for (const ControlPlacement& p : ComputePageGeometry(page, in)) {
        if (p.controlId == id) {
            return p.rect;
        }
    }
    ADD_FAILURE() << "control " << id << " has no place on page " << static_cast<int>(page);
    return {};
}

struct TopOffsetCase {
    int height;
    int expectedShift;
};

TEST(LoginGeometry, TallWindowsMoveTheFormDownUpToSeventyPixels) {
    const TopOffsetCase cases[] = {{540, 0}, {680, 0}, {684, 1}, {700, 5}, {960, 70}, {1000, 70}};
    for (const TopOffsetCase& c : cases) {
        EXPECT_EQ(RectOf(WizardPage::Login, 600, c.height, control_id::kUsername).y,
                  250 + c.expectedShift)
            << "client height " << c.height;
    }
}

TEST(LoginGeometry, SignUpLinkNeverLeavesTheBottomMargin) {
    for (int height : {300, 480, 500, 540, 541, 620, 700, 900, 1400}) {
        const ControlRect link = RectOf(WizardPage::Login, 600, height, control_id::kSignUp);
        EXPECT_LE(link.y, height - 42) << "client height " << height;
    }
    // With room to spare it sits under the Wi-Fi-only button, pushed a little on tall windows.
    EXPECT_EQ(RectOf(WizardPage::Login, 600, 620, control_id::kSignUp).y, 458);
    EXPECT_EQ(RectOf(WizardPage::Login, 600, 1000, control_id::kSignUp).y, 70 + 458 + 20);
}

TEST(LoginGeometry, NarrowWindowScalesTheLogoAndKeepsFullFieldWidth) {
    const ControlRect logo = RectOf(WizardPage::Login, 400, 600, control_id::kLogo);
    EXPECT_EQ(logo, (ControlRect{32, 20, 336, 69}));
    EXPECT_EQ(RectOf(WizardPage::Login, 400, 600, control_id::kUsername).width, 330);
}

TEST(LoginGeometry, PasswordFieldMakesRoomForItsShowButton) {
    const ControlRect without = RectOf(WizardPage::Login, 600, 620, control_id::kPassword, false);
    const ControlRect with = RectOf(WizardPage::Login, 600, 620, control_id::kPassword, true);
    const ControlRect button = RectOf(WizardPage::Login, 600, 620, control_id::kShowPassword, true);
    EXPECT_EQ(without.width, 330);
    EXPECT_EQ(with.width, 298);
    EXPECT_LE(with.x + with.width, button.x);
    EXPECT_EQ(button.x + button.width, without.x + without.width);
}

TEST(WifiGeometry, BottomRowStopsAtTheFormOnShortWindows) {
    const int heights[] = {480, 525, 526, 527, 620};
    const int expected[] = {452, 452, 452, 453, 546};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(RectOf(WizardPage::WifiSelect, 600, heights[i], control_id::kConfigure).y,
                  expected[i])
            << "client height " << heights[i];
        EXPECT_EQ(RectOf(WizardPage::WifiSelect, 600, heights[i], control_id::kStatus).y,
                  expected[i] + 3);
    }
}

TEST(WifiGeometry, PasswordFieldMakesRoomForItsShowButton) {
    EXPECT_EQ(RectOf(WizardPage::WifiSelect, 600, 620, control_id::kWifiPassword, false).width,
              536);
    EXPECT_EQ(RectOf(WizardPage::WifiSelect, 600, 620, control_id::kWifiPassword, true).width, 504);
    EXPECT_EQ(RectOf(WizardPage::WifiSelect, 600, 620, control_id::kShowWifiPassword).x, 538);
}

// Right- and bottom-anchored controls follow the window's edges.
struct AnchorCase {
    WizardPage page;
    int id;
    int rightGap;   // W - (x + width), or -1 when not right-anchored
    int bottomGap;  // H - (y + height), or -1 when not bottom-anchored
};

TEST(PageGeometry, AnchoredControlsKeepTheirDistanceFromTheEdges) {
    const AnchorCase cases[] = {
        {WizardPage::BaseUnitSelect, control_id::kConnect, 32, 42},
        {WizardPage::BaseUnitSelect, control_id::kRefreshBaseUnits, 32, -1},
        {WizardPage::BaseUnitSelect, control_id::kBaseUnitList, 32, 92},
        {WizardPage::BaseUnitSelect, control_id::kStatus, 152, 32},
        {WizardPage::WifiSelect, control_id::kConfigure, 32, 40},
        {WizardPage::WifiSelect, control_id::kRefreshWifi, 32, -1},
        {WizardPage::Result, control_id::kFinish, 32, 34},
    };
    const int sizes[][2] = {{504, 501}, {523, 541}, {600, 620}, {640, 1200}, {1500, 700}};
    for (const AnchorCase& c : cases) {
        for (const auto& size : sizes) {
            const ControlRect r = RectOf(c.page, size[0], size[1], c.id);
            if (c.rightGap >= 0) {
                EXPECT_EQ(size[0] - (r.x + r.width), c.rightGap) << "id " << c.id;
            }
            // The Wi-Fi page's bottom row stops following below 526 (tested above).
            const bool pinned = c.page == WizardPage::WifiSelect && size[1] < 526;
            if (c.bottomGap >= 0 && !pinned) {
                EXPECT_EQ(size[1] - (r.y + r.height), c.bottomGap) << "id " << c.id;
            }
        }
    }
}

TEST(PageGeometry, ResultMessageIsCentredAndAtMostFourHundredFiftyWide) {
    EXPECT_EQ(RectOf(WizardPage::Result, 600, 620, control_id::kResultMessage),
              (ControlRect{75, 164, 450, 110}));
    EXPECT_EQ(RectOf(WizardPage::Result, 505, 620, control_id::kResultMessage),
              (ControlRect{32, 164, 441, 110}));
}

struct ScaleCase {
    int value;
    int dpi;
    int expected;
};

TEST(ScaledGeometry, LengthsRoundToTheNearestPixel) {
    const ScaleCase cases[] = {{7, 96, 7},  {1, 144, 2},     {91, 144, 137}, {-3, 144, -5},
                               {3, 120, 4}, {330, 192, 660}, {0, 0, 0},      {20, 0, 20}};
    for (const ScaleCase& c : cases) {
        EXPECT_EQ(ScaleForDpi(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
    }
    // Scaled edges: a one-pixel gap at 96 DPI never becomes two rectangles that overlap.
    EXPECT_EQ(ScaleRect({1, 1, 1, 1}, 144), (ControlRect{2, 2, 1, 1}));
}

TEST(ScaledGeometry, EveryRectangleIsThePagesLayoutInPhysicalSize) {
    for (WizardPage page : {WizardPage::Login, WizardPage::BaseUnitSelect, WizardPage::WifiSelect,
                            WizardPage::Result}) {
        PageGeometryInput at96;
        at96.clientWidth = 600;
        at96.clientHeight = 620;
        const auto plain = ComputePageGeometry(page, at96);
        EXPECT_EQ(ComputeScaledPageGeometry(page, at96, 96).size(), plain.size());
        PageGeometryInput at192 = at96;
        at192.clientWidth = 1201;  // the odd pixel must not move anything
        at192.clientHeight = 1240;
        const auto doubled = ComputeScaledPageGeometry(page, at192, 192);
        ASSERT_EQ(doubled.size(), plain.size());
        for (size_t i = 0; i < plain.size(); ++i) {
            const ControlRect& r = plain[i].rect;
            EXPECT_EQ(ComputeScaledPageGeometry(page, at96, 96)[i].rect, r);
            EXPECT_EQ(doubled[i].rect, (ControlRect{2 * r.x, 2 * r.y, 2 * r.width, 2 * r.height}))
                << "control " << plain[i].controlId;
        }
    }
}

bool Overlap(const ControlRect& a, const ControlRect& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

TEST(StatusGeometry, LongSentenceGetsRoomOfItsOwnAtTheSmallestWindow) {
    // A sentence 700 pixels long on one line, in lines of 16 pixels.
    const auto measure = [](int width) { return 16 * ((700 + width - 1) / width); };
    for (WizardPage page :
         {WizardPage::Login, WizardPage::BaseUnitSelect, WizardPage::WifiSelect}) {
        PageGeometryInput in;
        in.clientWidth = 504;
        in.clientHeight = 501;
        in.showPasswordButtonVisible = in.showWifiPasswordButtonVisible = true;
        in.statusTextHeight = measure;
        const auto placements = ComputePageGeometry(page, in);
        ControlRect status;
        for (const ControlPlacement& p : placements) {
            if (p.controlId == control_id::kStatus) {
                status = p.rect;
            }
        }
        EXPECT_GE(status.height, measure(status.width)) << "page " << static_cast<int>(page);
        EXPECT_LE(status.y + status.height, in.clientHeight);
        for (const ControlPlacement& p : placements) {
            if (p.controlId != control_id::kStatus) {
                EXPECT_FALSE(Overlap(p.rect, status))
                    << "page " << static_cast<int>(page) << " control " << p.controlId;
            }
        }
        // A sentence that fits leaves the page as it is.
        in.statusTextHeight = [](int) { return 15; };
        PageGeometryInput plain = in;
        plain.statusTextHeight = nullptr;
        const auto fitting = ComputePageGeometry(page, in);
        const auto unmeasured = ComputePageGeometry(page, plain);
        for (size_t i = 0; i < fitting.size(); ++i) {
            EXPECT_EQ(fitting[i].rect, unmeasured[i].rect);
        }
    }
}

}  // namespace
