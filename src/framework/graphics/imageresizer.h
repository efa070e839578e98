#pragma once
// ImageResizer: rescales RGBA8 images with the sRGB-aware resampler, keeping its
// scratch memory between calls (grown to what a call needs, never shrunk). One
// per editor plus one per widget that resizes on its own; not thread-safe.

#include "framework/core/status.h"
#include "framework/core/vec.h"
#include "framework/graphics/image.h"
#include "framework/graphics/resample.h"

namespace fw {

class ImageResizer {
public:
    ImageResizer() = default;
    ImageResizer(const ImageResizer&) = delete;
    ImageResizer& operator=(const ImageResizer&) = delete;

    // UI or paint thread (one caller at a time per resizer).
    // stbir_resize_uint8_srgb with a filter: 4 channels, alpha at
    // `alphaChannel` (-1: alpha is a colour channel; 3: alpha weights colours).
    // Allocates only when the scratch memory must grow. On failure (invalid
    // views or arguments) the destination keeps its contents.
    Status resizeImageSRGB(ImageRef<const RGBA> input, ImageRef<RGBA> output, int alphaChannel,
                           ResizeFilter filter, int flags = 0);

    // Alpha treated as a colour (the knobs and the editor background).
    Status resizeImageSRGBNoAlpha(ImageRef<const RGBA> input, ImageRef<RGBA> output, ResizeFilter filter) {
        return resizeImageSRGB(input, output, -1, filter);
    }
    // Alpha filtered linearly and weighting the colours (switches, sliders, buttons).
    Status resizeImageSRGBWithAlpha(ImageRef<const RGBA> input, ImageRef<RGBA> output, ResizeFilter filter) {
        return resizeImageSRGB(input, output, 3, filter);
    }

    std::size_t scratchCapacity() const noexcept { return scratch_.capacity(); }

private:
    Vec<std::uint8_t, 16> scratch_;
};

}  // namespace fw
