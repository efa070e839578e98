#pragma once
// Encoding of 8-bit straight RGBA pixels as PNG, for the art generator, the
// editor screenshot tool and test diagnostics. The output depends only on the
// pixels (no time stamp or other metadata), so a picture encodes to the same
// bytes every time.

#include <cstdint>
#include <vector>

#include "framework/core/status.h"
#include "framework/graphics/image.h"

namespace fw {

// zlib levels: the smallest files, and a level that is several times faster
// on large film strips for files only a few percent larger.
constexpr int kPNGSmallest = 9;
constexpr int kPNGFast = 6;

// UI thread; allocates. Replaces `out` with the PNG file of `image`, deflated
// at `level` (clamped to 0..9).
Status encodePNG(ImageRef<const RGBA> image, std::vector<std::uint8_t>& out, int level = kPNGSmallest);

// UI thread. Writes the PNG file of `image` to `path` (replacing it); on failure
// the status says why.
Status writePNGFile(const char* path, ImageRef<const RGBA> image, int level = kPNGSmallest);

}  // namespace fw
