#include "framework/graphics/draw.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace fw {

namespace {

// Integer pixel range [lo, hi] of a float range, clipped to [0, size - 1];
// empty (lo > hi) when nothing remains. Clamping before conversion keeps huge
// coordinates from overflowing the int conversion.
struct Span {
    int lo, hi;
};
Span clipSpan(float lo, float hi, int size) noexcept {
    const float l = std::max(lo, 0.0f);
    const float h = std::min(hi, float(size - 1));
    if (!(l <= h)) return {0, -1};
    return {int(l), int(h)};
}

bool finite(std::initializer_list<float> values) noexcept {
    for (float v : values)
        if (!std::isfinite(v)) return false;
    return true;
}

std::uint8_t lerp8(std::uint8_t dst, std::uint8_t src, float a) noexcept {
    return std::uint8_t(int(float(dst) + (float(src) - float(dst)) * a + 0.5f));
}
std::uint16_t lerp16(std::uint16_t dst, std::uint16_t src, float a) noexcept {
    return std::uint16_t(int(float(dst) + (float(src) - float(dst)) * a + 0.5f));
}

RGBA blendLinear(RGBA dst, RGBA src, float a) noexcept {
    return RGBA{lerp8(dst.r, src.r, a), lerp8(dst.g, src.g, a), lerp8(dst.b, src.b, a), lerp8(dst.a, src.a, a)};
}
L16 blendLinear(L16 dst, L16 src, float a) noexcept { return L16{lerp16(dst.l, src.l, a)}; }

RGBA mix(RGBA a, RGBA b, float t) noexcept { return blendLinear(a, b, t); }
L16 mix(L16 a, L16 b, float t) noexcept { return blendLinear(a, b, t); }

template <typename T>
void blendPixel(T& dst, T color, float coverage) noexcept {
    if (coverage <= 0) return;
    dst = coverage >= 1 ? color : blendLinear(dst, color, coverage);
}

float clampAlpha(float a) noexcept { return std::isfinite(a) ? std::clamp(a, 0.0f, 1.0f) : 0.0f; }

// Overlap of the unit interval [p, p + 1) with [lo, hi).
float overlap(int p, float lo, float hi) noexcept {
    return std::max(0.0f, std::min(hi, float(p + 1)) - std::max(lo, float(p)));
}

}  // namespace

void aaFillSector(ImageRef<RGBA> surface, float x, float y, float r0, float r1, float a0, float a1,
                  RGBA color) noexcept {
    if (surface.empty() || !finite({x, y, r0, r1, a0, a1})) return;
    if (a0 == a1) return;
    constexpr float kPi = std::numbers::pi_v<float>;
    constexpr float kTwoPi = 2 * kPi;
    if (a1 < a0) a1 += kTwoPi;
    // A span of more than a whole turn is a full ring, without angular edges.
    const bool fullRing = a1 - a0 > kTwoPi;
    // Bring a0 into [-pi, pi) with a1 following it (in double, so that even huge
    // angles land in range). Pixel angles from atan2 are then moved up by 2 pi when
    // below a0, so that a sector reaching past pi (a knob trail runs from 3 pi / 4 to
    // 9 pi / 4) is drawn over its whole span.
    const double turns = std::floor((double(a0) + std::numbers::pi) / (2 * std::numbers::pi));
    a0 = float(double(a0) - turns * 2 * std::numbers::pi);
    a1 = float(double(a1) - turns * 2 * std::numbers::pi);
    const Span cols = clipSpan(std::floor(x - r1 - 1), std::ceil(x + r1 + 1), surface.w);
    const Span rows = clipSpan(std::floor(y - r1 - 1), std::ceil(y + r1 + 1), surface.h);
    const float inner = std::max(0.0f, r0 - 1);
    const float innerSq = inner * inner;
    const float outerSq = (r1 + 1) * (r1 + 1);

    for (int py = rows.lo; py <= rows.hi; ++py) {
        RGBA* row = surface.scanline(py);
        const float dy = float(py) - y;
        for (int px = cols.lo; px <= cols.hi; ++px) {
            const float dx = float(px) - x;
            const float d2 = dx * dx + dy * dy;
            if (d2 < innerSq || d2 > outerSq) continue;
            const float d = std::sqrt(d2);
            if (d < r0 || d >= r1) continue;
            float alpha = 1.0f;
            if (d > r1 - 1)
                alpha = r1 - d;
            else if (d < r0 + 1)
                alpha = d - r0;
            if (!fullRing) {
                float theta = std::atan2(dy, dx);
                if (theta < a0) theta += kTwoPi;
                if (theta > a1) continue;
                if (theta < a0 + 1 / d) alpha *= (theta - a0) * d;
                if (a1 < theta + 1 / d) alpha *= (a1 - theta) * d;
            }
            const int k = int(alpha * 255 + 0.5f);
            RGBA& p = row[px];
            p.r = std::uint8_t((color.r * k + p.r * (255 - k)) / 255);
            p.g = std::uint8_t((color.g * k + p.g * (255 - k)) / 255);
            p.b = std::uint8_t((color.b * k + p.b * (255 - k)) / 255);
            p.a = std::uint8_t((color.a * k + p.a * (255 - k)) / 255);
        }
    }
}

template <typename T>
void fillRectFloat(ImageRef<T> surface, int x1, int y1, int x2, int y2, T color, float globalAlpha) noexcept {
    if (surface.empty()) return;
    const float a = clampAlpha(globalAlpha);
    const Box r = Box{x1, y1, x2, y2}.intersection(surface.bounds());
    for (int y = r.minY; y < r.maxY; ++y) {
        T* row = surface.scanline(y);
        for (int x = r.minX; x < r.maxX; ++x) blendPixel(row[x], color, a);
    }
}

template <typename T>
void aaFillRectFloat(ImageRef<T> surface, float x1, float y1, float x2, float y2, T color,
                     float globalAlpha) noexcept {
    if (surface.empty() || !finite({x1, y1, x2, y2})) return;
    const float a = clampAlpha(globalAlpha);
    const Span cols = clipSpan(std::floor(x1), std::ceil(x2) - 1, surface.w);
    const Span rows = clipSpan(std::floor(y1), std::ceil(y2) - 1, surface.h);
    for (int py = rows.lo; py <= rows.hi; ++py) {
        T* row = surface.scanline(py);
        const float cy = overlap(py, y1, y2);
        for (int px = cols.lo; px <= cols.hi; ++px) blendPixel(row[px], color, cy * overlap(px, x1, x2) * a);
    }
}

template <typename T>
void aaSoftDisc(ImageRef<T> surface, float x, float y, float r1, float r2, T color, float globalAlpha) noexcept {
    if (surface.empty() || !finite({x, y, r1, r2})) return;
    const float a = clampAlpha(globalAlpha);
    const float outer = std::max(r1, r2);
    const Span cols = clipSpan(std::floor(x - outer), std::ceil(x + outer), surface.w);
    const Span rows = clipSpan(std::floor(y - outer), std::ceil(y + outer), surface.h);
    for (int py = rows.lo; py <= rows.hi; ++py) {
        T* row = surface.scanline(py);
        const float dy = float(py) - y;
        for (int px = cols.lo; px <= cols.hi; ++px) {
            const float dx = float(px) - x;
            const float d = std::sqrt(dx * dx + dy * dy);
            float coverage;
            if (d <= r1)
                coverage = 1;
            else if (d >= r2)
                coverage = 0;
            else
                coverage = (r2 - d) / (r2 - r1);
            blendPixel(row[px], color, coverage * a);
        }
    }
}

namespace {

// Blends `rect` towards a colour that runs from c0 to c1 along one axis.
template <typename T>
void slope(ImageRef<T> surface, Box rect, T c0, T c1, float globalAlpha, bool horizontal) noexcept {
    if (surface.empty()) return;
    const float a = clampAlpha(globalAlpha);
    const Box r = rect.intersection(surface.bounds());
    const float span = float(std::max((horizontal ? rect.width() : rect.height()) - 1, 1));
    for (int y = r.minY; y < r.maxY; ++y) {
        T* row = surface.scanline(y);
        for (int x = r.minX; x < r.maxX; ++x) {
            const float t = horizontal ? float(x - rect.minX) / span : float(y - rect.minY) / span;
            blendPixel(row[x], mix(c0, c1, t), a);
        }
    }
}

}  // namespace

template <typename T>
void horizontalSlope(ImageRef<T> surface, Box rect, T colorLeft, T colorRight, float globalAlpha) noexcept {
    slope(surface, rect, colorLeft, colorRight, globalAlpha, true);
}

template <typename T>
void verticalSlope(ImageRef<T> surface, Box rect, T colorTop, T colorBottom, float globalAlpha) noexcept {
    slope(surface, rect, colorTop, colorBottom, globalAlpha, false);
}

#define KESTRIN_DRAW_INSTANTIATE(T)                                                                 \
    template void fillRectFloat<T>(ImageRef<T>, int, int, int, int, T, float) noexcept;            \
    template void aaFillRectFloat<T>(ImageRef<T>, float, float, float, float, T, float) noexcept;  \
    template void aaSoftDisc<T>(ImageRef<T>, float, float, float, float, T, float) noexcept;       \
    template void horizontalSlope<T>(ImageRef<T>, Box, T, T, float) noexcept;                     \
    template void verticalSlope<T>(ImageRef<T>, Box, T, T, float) noexcept;

KESTRIN_DRAW_INSTANTIATE(RGBA)
KESTRIN_DRAW_INSTANTIATE(L16)
#undef KESTRIN_DRAW_INSTANTIATE

}  // namespace fw
