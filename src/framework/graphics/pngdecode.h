#pragma once
// Decoding of the PNG art carried inside the program into straight 8-bit RGBA.

#include <cstddef>
#include <cstdint>

#include "framework/core/status.h"
#include "framework/graphics/image.h"

namespace fw {

// UI thread; allocates. Decodes one PNG file held in memory into `out` (resized
// to the picture, no margin). On failure `out` is left untouched and the status
// says why (null or truncated data, not a PNG, corrupt stream, oversized picture).
Status decodePNG(const std::uint8_t* data, std::size_t size, OwnedImage<RGBA>& out);

// UI thread. The art is part of the program, so failing to decode it is a fatal
// error naming the asset.
OwnedImage<RGBA> loadEmbeddedPNG(const char* assetName, const std::uint8_t* data, std::size_t size);

}  // namespace fw
