#include "framework/canvas/blitters.h"

#include <algorithm>
#include <cmath>

namespace fw {

namespace {

constexpr int kSkipBelow = 255;     // coverage at most this (< 1/256) leaves a run alone
constexpr int kSolidFrom = 65281;   // coverage from here on fills an opaque colour outright

int lutIndex(float t) noexcept {
    if (!(t > 0)) return 0;  // also NaN
    return t >= 255.0f ? 255 : int(t);
}

template <typename ColorAt>
void blitLookedUp(ImageRef<RGBA> target, const CoverageRow& row, ColorAt&& colorAt) noexcept {
    RGBA* line = target.scanline(row.y);
    auto blend = [&](int x, int coverage) {
        const RGBA c = colorAt(x, row.y);
        blendPixel16(line[x], c, coverageWeight(coverage, c.a));
    };
    scanCoverageRow(
        row, blend, [&](int x0, int x1, int coverage) {
            if (coverage <= kSkipBelow) return;
            for (int x = x0; x <= x1; ++x) blend(x, coverage);
        });
}

}  // namespace

void ColorBlit::blitRow(const CoverageRow& row) noexcept {
    RGBA* line = target_.scanline(row.y);
    const RGBA c = color_;
    scanCoverageRow(
        row, [&](int x, int coverage) { blendPixel16(line[x], c, coverageWeight(coverage, c.a)); },
        [&](int x0, int x1, int coverage) {
            if (coverage <= kSkipBelow) return;
            if (c.a == 255 && coverage >= kSolidFrom) {
                std::fill(line + x0, line + x1 + 1, c);
                return;
            }
            const std::uint32_t w = coverageWeight(coverage, c.a);
            for (int x = x0; x <= x1; ++x) blendPixel16(line[x], c, w);
        });
}

void LinearGradientBlit::init(ImageRef<RGBA> target, const RGBA* lut, float x0, float y0, float x1,
                              float y1) noexcept {
    target_ = target;
    lut_ = lut;
    x0_ = x0;
    y0_ = y0;
    const float vx = x1 - x0, vy = y1 - y0;
    const float l2 = std::max(vx * vx + vy * vy, 0.1f);
    kx_ = vx * 256.0f / l2;
    ky_ = vy * 256.0f / l2;
}

void LinearGradientBlit::blitRow(const CoverageRow& row) noexcept {
    blitLookedUp(target_, row, [this](int x, int y) {
        return lut_[lutIndex((float(x) + 0.5f - x0_) * kx_ + (float(y) + 0.5f - y0_) * ky_)];
    });
}

void EllipticalGradientBlit::init(ImageRef<RGBA> target, const RGBA* lut, float x0, float y0, float x1, float y1,
                                  float ratio) noexcept {
    target_ = target;
    lut_ = lut;
    cx_ = x0;
    cy_ = y0;
    float vx = x1 - x0, vy = y1 - y0;
    float length2 = vx * vx + vy * vy;
    if (!(length2 > 0.0f)) {  // no axis at all: a circle along x
        vx = 1;
        vy = 0;
        length2 = 1;
    }
    // L^2 = max(|v|^2, 1); (p - c) . v / L^2 is the distance along v.
    const float l2 = std::max(length2, 1.0f);
    ux_ = vx / l2;
    uy_ = vy / l2;
    // Across v: the distance from the axis, (p - c) . perp(v) / |v|, over the second
    // axis sqrt(L^2) x ratio.
    const float second = std::sqrt(l2) * (std::isfinite(ratio) && ratio > 1e-6f ? ratio : 1e-6f);
    const float len = std::sqrt(length2);
    wx_ = -vy / (len * second);
    wy_ = vx / (len * second);
}

void EllipticalGradientBlit::blitRow(const CoverageRow& row) noexcept {
    blitLookedUp(target_, row, [this](int x, int y) {
        const float dx = float(x) + 0.5f - cx_, dy = float(y) + 0.5f - cy_;
        const float a = dx * ux_ + dy * uy_;
        const float b = dx * wx_ + dy * wy_;
        return lut_[lutIndex(256.0f * std::sqrt(a * a + b * b))];
    });
}

}  // namespace fw
