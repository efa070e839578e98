#pragma once
// Quadratic curves for the displays: P0 = (x0, y0), control P1 = (x1, y1),
// end P2 = (x2, y2), sampled once per column between x0 and x2, each sample
// rounded to the nearest pixel. Points outside the image are skipped; an empty
// span (x2 <= x0) draws nothing.

#include "framework/graphics/color.h"
#include "framework/graphics/image.h"

namespace tlmgui {

// Any thread (paint pool in the displays). Writes `lineColor` (opaque, no
// blend) at every sample.
void quadCurve(fw::ImageRef<fw::RGBA> image, int x0, int y0, int x1, int y1, int x2, int y2,
               fw::RGBA lineColor) noexcept;

// Any thread. The curve as above, then for each column i in [x0, min(x2,
// fillUntilX)) the sample at t = (i - x0) / (x2 - x0) and every pixel below it
// down to the image bottom get `fillColor` blended over them by its alpha.
// Nothing is filled when fillUntilX < x0.
void quadCurveFilled(fw::ImageRef<fw::RGBA> image, int x0, int y0, int x1, int y1, int x2, int y2,
                     fw::RGBA lineColor, fw::RGBA fillColor, int fillUntilX) noexcept;

}  // namespace tlmgui
