#pragma once
// sRGB transfer curve for 8-bit samples, single precision.

#include <cstdint>

namespace fw {

// Tables of the curve, built once on first use (thread-safe).
struct SrgbTables {
    static constexpr int kLookupCells = 4096;

    float toLinear[256];
    // threshold[k]: the smallest linear value that encodes to code k or above
    // (the linear value of the midpoint between codes k - 1 and k); threshold[0] = 0.
    float threshold[256];
    // The code at the lower end of each of kLookupCells equal cells of [0, 1):
    // a cell is narrower than the smallest step between codes, so at most one
    // threshold lies inside it and one comparison finishes the search.
    std::uint8_t cellCode[kLookupCells];

    // The 8-bit code nearest (on the sRGB scale) to a linear-light value:
    // correctly rounded; below 0 (and NaN) gives 0, above 1 gives 255.
    std::uint8_t encode(float linear) const noexcept {
        if (!(linear > 0.0f)) return 0;
        if (linear >= 1.0f) return 255;
        int code = cellCode[int(linear * kLookupCells)];
        while (code < 255 && linear >= threshold[code + 1]) ++code;
        return std::uint8_t(code);
    }
};

// Any thread.
const SrgbTables& srgbTables() noexcept;

// Any thread. The linear-light value (0..1) of an 8-bit sRGB code.
inline float srgbToLinear(std::uint8_t code) noexcept { return srgbTables().toLinear[code]; }

// Any thread. See SrgbTables::encode.
inline std::uint8_t linearToSrgb8(float linear) noexcept { return srgbTables().encode(linear); }

}  // namespace fw
