#pragma once
// Blitters: turn rasterizer coverage rows into pixels on an RGBA8 view.
//
// A pixel's weight w is its coverage (16-bit) scaled by the source colour's
// alpha; every channel, alpha included, becomes dst x (1 - w) + colour x w.
// ColorBlit handles the runs of untouched cells between touched ones as a
// whole: skipped when their coverage is at most 255 (below 1/256), filled
// with the colour when it is opaque and the coverage is at least 65281, else
// blended. The gradient blitters look the colour up per pixel.
// Paint threads; init and blitRow never allocate.

#include "framework/canvas/rasterizer.h"
#include "framework/graphics/image.h"

namespace fw {

// Any thread. One channel blended with a 16-bit weight (0 .. 65535 = full).
inline std::uint8_t blendChannel16(std::uint8_t dst, std::uint8_t src, std::uint32_t weight) noexcept {
    const int d = int(src) - int(dst);
    // ((d * w + 32768) >> 16) rounds d * w / 65536 to nearest; |result| <= |d|.
    const int v = int(dst) + ((d * int(weight) + 32768) >> 16);
    return std::uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// 16-bit weight of a coverage (0 .. 65535) for a colour alpha (0 .. 255);
// full coverage of an opaque colour gives exactly 65535.
inline std::uint32_t coverageWeight(int coverage, std::uint8_t alpha) noexcept {
    return (std::uint32_t(coverage + 1) * (std::uint32_t(alpha) * 257u)) >> 16;
}

inline void blendPixel16(RGBA& d, RGBA c, std::uint32_t w) noexcept {
    d.r = blendChannel16(d.r, c.r, w);
    d.g = blendChannel16(d.g, c.g, w);
    d.b = blendChannel16(d.b, c.b, w);
    d.a = blendChannel16(d.a, c.a, w);
}

class ColorBlit final : public IBlitter {
public:
    void init(ImageRef<RGBA> target, RGBA color) noexcept {
        target_ = target;
        color_ = color;
    }
    void blitRow(const CoverageRow& row) noexcept override;

private:
    ImageRef<RGBA> target_;
    RGBA color_;
};

// Index = ((p - start) . v) x 256 / max(|v|^2, 0.1), clamped to 0 .. 255, at pixel centres.
class LinearGradientBlit final : public IBlitter {
public:
    // `lut` must hold 256 colours and stay valid while rows are blitted.
    void init(ImageRef<RGBA> target, const RGBA* lut, float x0, float y0, float x1, float y1) noexcept;
    void blitRow(const CoverageRow& row) noexcept override;

private:
    ImageRef<RGBA> target_;
    const RGBA* lut_ = nullptr;
    float x0_ = 0, y0_ = 0, kx_ = 0, ky_ = 0;  // index = (p - start) . k
};

// Index = 256 x the elliptical distance from the centre: along v the unit is
// |v| (L^2 = max(|v|^2, 1)), across v it is ratio x |v|. Clamped to 0 .. 255.
class EllipticalGradientBlit final : public IBlitter {
public:
    void init(ImageRef<RGBA> target, const RGBA* lut, float x0, float y0, float x1, float y1, float ratio) noexcept;
    void blitRow(const CoverageRow& row) noexcept override;

private:
    ImageRef<RGBA> target_;
    const RGBA* lut_ = nullptr;
    float cx_ = 0, cy_ = 0;
    float ux_ = 0, uy_ = 0;  // along v, divided by its length
    float wx_ = 0, wy_ = 0;  // across v, divided by the second axis length
};

}  // namespace fw
