#pragma once
// sRGB transfer curve for 8-bit samples, single precision.

#include <cstdint>

namespace fw {

// Any thread. The linear-light value (0..1) of an 8-bit sRGB code.
float srgbToLinear(std::uint8_t code) noexcept;

// Any thread. The 8-bit sRGB code nearest (on the sRGB scale) to a linear-light
// value: correctly rounded, values below 0 (and NaN) give 0, above 1 give 255.
std::uint8_t linearToSrgb8(float linear) noexcept;

}  // namespace fw
