#pragma once
// The "over" blend of straight-alpha art onto a layer, used by every widget that
// draws an image. For a source pixel with alpha a, each channel (alpha included)
// becomes (src * a + dst * (255 - a)) / 255 rounded down; multiplying by 32897
// and shifting right by 23 gives exactly that quotient for every value that can
// occur (at most 255 * 255).
//
// Paint threads; nothing allocates.

#include <cstdint>

#include "framework/graphics/image.h"

namespace fw {

inline std::uint8_t blendOverChannel(std::uint32_t src, std::uint32_t dst, std::uint32_t alpha) noexcept {
    return std::uint8_t(((src * alpha + dst * (255u - alpha)) * 32897u) >> 23);
}

inline RGBA blendOverPixel(RGBA src, RGBA dst) noexcept {
    const std::uint32_t a = src.a;
    return RGBA{blendOverChannel(src.r, dst.r, a), blendOverChannel(src.g, dst.g, a),
                blendOverChannel(src.b, dst.b, a), blendOverChannel(src.a, dst.a, a)};
}

// Blends the overlapping top-left part of `src` over `dst` (both views start at
// their pixel 0, 0; the smaller width and height are used).
void blendOver(ImageRef<RGBA> dst, ImageRef<const RGBA> src) noexcept;

// Copies the overlapping top-left part of `src` into `dst`, row by row.
void copyPixels(ImageRef<RGBA> dst, ImageRef<const RGBA> src) noexcept;

}  // namespace fw
