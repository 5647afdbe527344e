#pragma once

#include <functional>
#include <vector>

#include "wizard/wizard_types.h"

// Where each control of a page sits, in client coordinates, as a function of the client size.
struct ControlRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

inline bool operator==(const ControlRect& a, const ControlRect& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

struct ControlPlacement {
    int controlId = 0;
    ControlRect rect;
};

// Which optional controls are shown; the password fields narrow while their show button is up.
struct PageGeometryInput {
    int clientWidth = 0;
    int clientHeight = 0;
    bool showPasswordButtonVisible = false;
    bool showWifiPasswordButtonVisible = false;
    // Height the status text needs when wrapped at the given width; null when it is empty. A
    // sentence that does not fit the usual status rectangle gets a larger one.
    std::function<int(int width)> statusTextHeight;
};

// Every control the page can show. Controls of the page that are
// hidden at the moment still get a place, so showing them later needs no new layout rule.
std::vector<ControlPlacement> ComputePageGeometry(WizardPage page, const PageGeometryInput& in);

// The smallest window (outer size) a person can drag the frame to.
constexpr int kMinimumWindowWidth = 520;
constexpr int kMinimumWindowHeight = 540;
