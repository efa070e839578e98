#pragma once
// Operations on lists of rectangles shared by the dirty-rectangle lists and the
// render pipeline. None of them allocates once the lists have grown to their
// working size.

#include "framework/core/vec.h"
#include "framework/math/box.h"

namespace fw {

// `r` moved by (dx, dy), saturating at the int range so that enormous
// rectangles posted by widgets cannot overflow.
Box translateSaturated(const Box& r, int dx, int dy) noexcept;

// The up-to-four non-empty parts of `a` outside `overlap` (which lies inside
// `a`), appended in this order: the band above (a's full width), the part left
// of it, the part right of it, the band below (a's full width).
void appendPiecesOutside(const Box& a, const Box& overlap, Vec<Box>& out);

// Appends to `output` disjoint rectangles covering the union of `input`.
// `input` is consumed as scratch (it grows and shrinks during the walk).
void removeOverlappingAreas(Vec<Box>& input, Vec<Box>& output);

// Appends the tiles of at most maxWidth x maxHeight that cut `area`, row by row;
// the last row and column are narrower.
void splitIntoTiles(const Box& area, int maxWidth, int maxHeight, Vec<Box>& out);

// The bounding box of the non-empty rectangles of `list` (empty if none).
Box boundingBox(const Vec<Box>& list) noexcept;

}  // namespace fw
