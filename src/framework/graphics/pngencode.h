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

// UI thread; allocates. Replaces `out` with the PNG file of `image`.
Status encodePNG(ImageRef<const RGBA> image, std::vector<std::uint8_t>& out);

// UI thread. Writes the PNG file of `image` to `path` (replacing it); on failure
// the status says why.
Status writePNGFile(const char* path, ImageRef<const RGBA> image);

}  // namespace fw
