#pragma once
// Separable image resampler with the interface and behaviour of
// stb_image_resize (version 1) `stbir_resize_uint8_srgb` (and, for tests and
// data maps, its linear colour space): 8-bit samples are
// converted to linear light through the sRGB curve, filtered horizontally then
// vertically with edges clamped, and converted back. Weights, sums and the
// conversions are single precision.
//
// Alpha: with alpha channel index -1 every channel, alpha included, is treated
// as a colour (sRGB-converted, weighting nothing). With an index >= 0, alpha is
// filtered linearly and weights the colour channels (they are premultiplied for
// filtering and divided back afterwards) unless the flags say otherwise.
//
// The caller provides the scratch memory (see resampleScratchSize); nothing is
// allocated here.

#include <cstddef>
#include <cstdint>

#include "framework/core/status.h"

namespace fw {

// Filter kernels by index; supports are radii in source pixels at scale 1.
enum class ResizeFilter : int {
    automatic = 0,         // Catmull-Rom when enlarging, Mitchell otherwise, per axis
    box = 1,               // trapezoid whose width follows the scale; 0.5
    triangle = 2,          // 1
    cubicBSpline = 3,      // 2
    catmullRom = 4,        // 2
    mitchell = 5,          // Mitchell-Netravali B = C = 1/3; 2
    lanczos2 = 6,          // 2
    lanczos2_5 = 7,        // 3
    lanczos3 = 8,          // 3
    lanczos4 = 9,          // 4
    magicKernel = 10,      // the quadratic B-spline "magic kernel"; 3
    magicKernelSharpBlend = 11,  // 0.86 Magic Kernel Sharp 2013 + 0.14 quadratic B-spline; 3
    magicKernelSharp2013 = 12,   // 3
    magicKernelSharp2021 = 13,   // 5
};
inline constexpr int kResizeFilterCount = 14;

// Flags, as stb_image_resize's.
inline constexpr int kResizeAlphaPremultiplied = 1 << 0;  // colours already weighted by alpha
inline constexpr int kResizeAlphaUsesColorspace = 1 << 1; // alpha goes through the sRGB curve too

// Any thread. The kernel value at distance x (source pixels when enlarging,
// destination pixels when shrinking) and its support radius; `scale` matters
// for the box filter only (the ratio, at most 1, of the smaller pixel to the
// larger). Not normalised. Filter `automatic` has no kernel of its own (0).
float resizeFilterKernel(ResizeFilter filter, float x, float scale) noexcept;
float resizeFilterSupport(ResizeFilter filter, float scale) noexcept;

// How 8-bit samples map to the values being filtered.
enum class ResizeColorspace : int {
    linear = 0,  // value / 255
    srgb = 1,    // through the sRGB curve (alpha stays linear unless flagged)
};

struct ResampleRequest {
    const std::uint8_t* input = nullptr;
    int inputWidth = 0;
    int inputHeight = 0;
    std::ptrdiff_t inputStride = 0;  // bytes; at least inputWidth * channels
    std::uint8_t* output = nullptr;
    int outputWidth = 0;
    int outputHeight = 0;
    std::ptrdiff_t outputStride = 0;  // bytes; at least outputWidth * channels
    int channels = 4;                 // 1 to 4
    int alphaChannel = -1;            // -1 or 0 .. channels - 1
    int flags = 0;
    ResizeFilter filter = ResizeFilter::automatic;
    ResizeColorspace colorspace = ResizeColorspace::srgb;
};

// Any thread. Bytes of scratch memory that resampleUint8 needs for this
// request (0 when the request is invalid).
std::size_t resampleScratchSize(const ResampleRequest& request) noexcept;

// Any thread; allocates nothing. Resamples input into output. Invalid requests
// (null pointers, empty or oversized images, strides too small, bad channel,
// alpha, flag or filter values, scratch too small) fail with a message and leave
// the output untouched. `scratch` must be 16-byte aligned.
Status resampleUint8(const ResampleRequest& request, void* scratch, std::size_t scratchSize) noexcept;

}  // namespace fw
