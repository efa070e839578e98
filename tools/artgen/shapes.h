#pragma once
// Antialiased shape masks from signed distances (coverage = distance to the
// edge clamped to one pixel), and text masks from the embedded font.
// Coordinates are global pixels; each mask covers `area`.
//
// Generator thread only; everything allocates.

#include <string_view>

#include "framework/graphics/font.h"
#include "raster.h"

namespace artgen {

// Generator thread, like everything below. The pixel box around a circle of radius r at (cx, cy), plus `margin`.
fw::Box boxAround(float cx, float cy, float r, int margin);

Mask disc(fw::Box area, float cx, float cy, float r);
// Ring between radii r0 < r1.
Mask ring(fw::Box area, float cx, float cy, float r0, float r1);
// Rectangle [x0, x1) x [y0, y1) with corners rounded by `radius`.
Mask roundRect(fw::Box area, float x0, float y0, float x1, float y1, float radius);
// Segment from (ax, ay) to (bx, by) with round ends, half width `halfWidth`.
Mask capsule(fw::Box area, float ax, float ay, float bx, float by, float halfWidth);
// Arc band between radii r0 and r1 from angle a0 to a1 (a0 < a1, radians, screen
// convention), with round ends.
Mask arcBand(fw::Box area, float cx, float cy, float r0, float r1, float a0, float a1);

// Text measured and drawn with the embedded Bitstream Vera Sans Bold; one
// writer per thread (glyphs are cached in it).
class TextWriter {
public:
    TextWriter();  // loads the embedded font
    // The ink width of `text` at `sizePx`.
    float width(std::string_view text, float sizePx, float letterSpacing = 0) const;
    // Height of a capital letter above the baseline at `sizePx`.
    float capHeight(float sizePx) const;
    // Coverage of `text` with its baseline at y and horizontally centred on cx,
    // unioned into `mask`.
    void centred(Mask& mask, std::string_view text, float sizePx, float cx, float baseline,
                 float letterSpacing = 0);
    void leftAligned(Mask& mask, std::string_view text, float sizePx, float x, float baseline,
                     float letterSpacing = 0);

private:
    fw::Font font_;
};

}  // namespace artgen
