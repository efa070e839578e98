#pragma once
// Mipmap<T>: a chain of images for the lighting compositor. Level 0 is full size
// (optionally with a margin); each further level halves width and height,
// rounding down, and the chain stops before a dimension would reach 0. Levels are
// rebuilt only over the rectangles that changed.
//
// Level builders (pixel (x, y) of level n+1 from the 2x2 block at (2x, 2y) of level n):
//   box                   per channel (a + b + c + d + 2) >> 2
//   boxAlphaCoverage      colour averaged weighted by alpha, alpha averaged;
//                         a block with no alpha at all gives transparent black
//   boxAlphaCoveragePremultiplied   the same, storing premultiplied colour
//   cubic                 4x4 neighbourhood 2x-1 .. 2x+2 (clamped to the level),
//                         weights (1 3 3 1) x (1 3 3 1) / 64, rounded
// RGBA supports all four, L16 supports box and cubic.

#include "framework/core/vec.h"
#include "framework/graphics/image.h"

namespace fw {

enum class MipFilter { box, boxAlphaCoverage, boxAlphaCoveragePremultiplied, cubic };

// UI or paint thread. The builders write `dst` over `dstRect` (clipped to `dst`)
// from `src`, which must be the level above (dst sizes = src sizes / 2).
void generateLevelBoxRGBA(ImageRef<const RGBA> src, ImageRef<RGBA> dst, Box dstRect) noexcept;
void generateLevelBoxAlphaCovRGBA(ImageRef<const RGBA> src, ImageRef<RGBA> dst, Box dstRect) noexcept;
void generateLevelBoxAlphaCovIntoPremulRGBA(ImageRef<const RGBA> src, ImageRef<RGBA> dst, Box dstRect) noexcept;
void generateLevelCubicRGBA(ImageRef<const RGBA> src, ImageRef<RGBA> dst, Box dstRect) noexcept;
void generateLevelBoxL16(ImageRef<const L16> src, ImageRef<L16> dst, Box dstRect) noexcept;
void generateLevelCubicL16(ImageRef<const L16> src, ImageRef<L16> dst, Box dstRect) noexcept;

template <typename T>
class Mipmap {
public:
    Mipmap() = default;

    // UI thread; allocates. Up to `maxLevels` levels (at least 1). `border` and
    // `borderRight` apply to level 0 only.
    void size(int maxLevels, int width, int height, int border = 0, int borderRight = 0);

    int numLevels() const noexcept { return int(levels_.size()); }
    OwnedImage<T>& level(int i) noexcept { return levels_[std::size_t(i)]; }
    const OwnedImage<T>& level(int i) const noexcept { return levels_[std::size_t(i)]; }

    // Paint thread; allocates nothing. Rebuilds level `level` (>= 1) where
    // `changedInPrevious` (a rectangle of level - 1) affects it, and returns that
    // rectangle of `level`. Filters the format does not support are a program error.
    Box generateNextLevel(MipFilter filter, Box changedInPrevious, int level) noexcept;

    // Rebuilds every level above 0 after `changedInLevel0` changed.
    void generateMipmaps(MipFilter filter, Box changedInLevel0) noexcept;

private:
    Vec<OwnedImage<T>> levels_;
};

extern template class Mipmap<RGBA>;
extern template class Mipmap<L16>;

}  // namespace fw
