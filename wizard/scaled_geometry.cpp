#include "wizard/scaled_geometry.h"

namespace {

int SafeDpi(int dpi) {
    return dpi > 0 ? dpi : kLayoutDpi;
}

// Rounds half away from zero, as MulDiv does.
int RoundedQuotient(long long numerator, long long denominator) {
    const long long half = denominator / 2;
    return static_cast<int>(numerator >= 0 ? (numerator + half) / denominator
                                           : -((-numerator + half) / denominator));
}

}  // namespace

int ScaleForDpi(int value, int dpi) {
    return RoundedQuotient(static_cast<long long>(value) * SafeDpi(dpi), kLayoutDpi);
}

int UnscaleForDpi(int pixels, int dpi) {
    return static_cast<int>(static_cast<long long>(pixels) * kLayoutDpi / SafeDpi(dpi));
}

ControlRect ScaleRect(const ControlRect& rect, int dpi) {
    const int left = ScaleForDpi(rect.x, dpi);
    const int top = ScaleForDpi(rect.y, dpi);
    return {left, top, ScaleForDpi(rect.x + rect.width, dpi) - left,
            ScaleForDpi(rect.y + rect.height, dpi) - top};
}

std::vector<ControlPlacement> ComputeScaledPageGeometry(WizardPage page,
                                                        const PageGeometryInput& inPixels,
                                                        int dpi) {
    PageGeometryInput in = inPixels;
    in.clientWidth = UnscaleForDpi(inPixels.clientWidth, dpi);
    in.clientHeight = UnscaleForDpi(inPixels.clientHeight, dpi);
    if (inPixels.statusTextHeight) {
        const auto measure = inPixels.statusTextHeight;
        in.statusTextHeight = [measure, dpi](int width) {
            // A scaled width can come out one pixel short of the scaled edges' distance, and
            // the height is rounded up: the text is measured for the worse case.
            const int slack = SafeDpi(dpi) == kLayoutDpi ? 0 : 1;
            const long long pixels = measure(ScaleForDpi(width, dpi) - slack) + slack;
            return static_cast<int>((pixels * kLayoutDpi + SafeDpi(dpi) - 1) / SafeDpi(dpi));
        };
    }
    std::vector<ControlPlacement> placements = ComputePageGeometry(page, in);
    for (ControlPlacement& placement : placements) {
        placement.rect = ScaleRect(placement.rect, dpi);
    }
    return placements;
}
