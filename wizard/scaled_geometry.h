#pragma once

#include <vector>

#include "wizard/page_geometry.h"

// The page layout is drawn up for 96 dots per inch; on other displays every rectangle is the same
// rectangle in physical size.
constexpr int kLayoutDpi = 96;

// A length at 96 DPI in pixels of this DPI, rounded to the nearest pixel.
int ScaleForDpi(int value, int dpi);
// The inverse, rounded down: pixels of this DPI in 96-DPI units.
int UnscaleForDpi(int pixels, int dpi);
// Scales the rectangle's edges, so rectangles that touch at 96 DPI still touch.
ControlRect ScaleRect(const ControlRect& rect, int dpi);

// The page layout for a client area measured in pixels of this DPI. The status measure, if any,
// is asked and answers in pixels too.
std::vector<ControlPlacement> ComputeScaledPageGeometry(WizardPage page,
                                                        const PageGeometryInput& inPixels, int dpi);
