#pragma once
// Drawing primitives. All of them clip to the surface (coordinates outside draw
// nothing) and draw nothing when given a non-finite coordinate. Paint threads;
// none allocates.

#include "framework/graphics/image.h"
#include "framework/math/box.h"

namespace fw {

// Antialiased ring sector centred on (x, y) between radii r0 and r1 and angles
// a0 to a1 (radians from the positive x axis, growing clockwise on screen since
// y points down), any turn: a sector may cross the angle pi (a0 = 3 pi / 4,
// a1 = 9 pi / 4 is three quarters of a ring open at the bottom). Pixel centres
// are the integer coordinates. a0 == a1 draws nothing; a1 < a0 wraps through
// 2 pi. Every channel, alpha included, is
// blended as (color * k + dst * (255 - k)) / 255 with k the 8-bit coverage.
void aaFillSector(ImageRef<RGBA> surface, float x, float y, float r0, float r1, float a0, float a1,
                  RGBA color) noexcept;

// The lighting-aware drawing helpers below blend every channel linearly towards
// `color` by coverage x globalAlpha (clamped to 0..1), rounded to nearest. They
// exist for RGBA8 and L16 surfaces.

// Integer rectangle [x1, x2) x [y1, y2).
template <typename T>
void fillRectFloat(ImageRef<T> surface, int x1, int y1, int x2, int y2, T color, float globalAlpha = 1.0f) noexcept;

// Rectangle with fractional edges; edge pixels (unit squares [px, px + 1))
// are covered by the area of the rectangle that falls on them.
template <typename T>
void aaFillRectFloat(ImageRef<T> surface, float x1, float y1, float x2, float y2, T color,
                     float globalAlpha = 1.0f) noexcept;

// Disc at (x, y): full coverage up to radius r1, fading linearly to none at r2
// (r2 <= r1 gives a hard edge at r1). Pixel centres are the integer coordinates.
template <typename T>
void aaSoftDisc(ImageRef<T> surface, float x, float y, float r1, float r2, T color, float globalAlpha = 1.0f) noexcept;

// Gradient across `rect`: the first column (row) gets colorLeft (colorTop), the
// last colorRight (colorBottom), linear in between.
template <typename T>
void horizontalSlope(ImageRef<T> surface, Box rect, T colorLeft, T colorRight, float globalAlpha = 1.0f) noexcept;
template <typename T>
void verticalSlope(ImageRef<T> surface, Box rect, T colorTop, T colorBottom, float globalAlpha = 1.0f) noexcept;

}  // namespace fw
