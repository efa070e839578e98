#include "tlmgui/draw.h"

#include <algorithm>
#include <cmath>

#include "framework/graphics/blend.h"

namespace tlmgui {

namespace {

struct Point {
    long long x, y;
};

// In double so that spans near the int range neither overflow nor lose the
// end point; roundf as the curve's definition asks.
Point curvePoint(double t, int x0, int y0, int x1, int y1, int x2, int y2) noexcept {
    const double u = 1.0 - t;
    const double x = t * t * x2 + 2.0 * u * t * x1 + u * u * x0;
    const double y = t * t * y2 + 2.0 * u * t * y1 + u * u * y0;
    return {static_cast<long long>(std::roundf(float(x))), static_cast<long long>(std::roundf(float(y)))};
}

bool inside(fw::ImageRef<fw::RGBA> image, Point p) noexcept { return p.x >= 0 && p.y >= 0 && p.x < image.w && p.y < image.h; }

}  // namespace

void quadCurve(fw::ImageRef<fw::RGBA> image, int x0, int y0, int x1, int y1, int x2, int y2,
               fw::RGBA lineColor) noexcept {
    const long long span = static_cast<long long>(x2) - x0;
    if (span <= 0 || image.empty()) return;
    for (long long i = 0; i < span; ++i) {
        const Point p = curvePoint(double(i) / double(span), x0, y0, x1, y1, x2, y2);
        if (inside(image, p)) image.at(int(p.x), int(p.y)) = lineColor;
    }
}

void quadCurveFilled(fw::ImageRef<fw::RGBA> image, int x0, int y0, int x1, int y1, int x2, int y2,
                     fw::RGBA lineColor, fw::RGBA fillColor, int fillUntilX) noexcept {
    quadCurve(image, x0, y0, x1, y1, x2, y2, lineColor);
    const long long span = static_cast<long long>(x2) - x0;
    if (span <= 0 || image.empty() || fillUntilX < x0) return;
    const long long end = std::min<long long>(x2, fillUntilX);
    for (long long i = x0; i < end; ++i) {
        const Point p = curvePoint(double(i - x0) / double(span), x0, y0, x1, y1, x2, y2);
        if (p.x < 0 || p.x >= image.w) continue;
        for (long long y = std::max<long long>(p.y, 0); y < image.h; ++y) {
            fw::RGBA& d = image.at(int(p.x), int(y));
            d = fw::blendOverPixel(fillColor, d);
        }
    }
}

}  // namespace tlmgui
