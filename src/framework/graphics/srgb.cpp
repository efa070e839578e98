#include "framework/graphics/srgb.h"

#include <cmath>

namespace fw {

namespace {

double srgbCurveToLinear(double c) noexcept {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

constexpr int kLookupCells = 4096;

struct SrgbTables {
    float toLinear[256];
    // threshold[k]: the smallest linear value that encodes to code k or above
    // (the linear value of the midpoint between codes k - 1 and k); threshold[0] = 0.
    float threshold[256];
    // The code of the lower end of each of kLookupCells equal cells of [0, 1):
    // a cell is narrower than the smallest step between codes, so at most one
    // threshold lies inside it and one comparison finishes the search.
    std::uint8_t cellCode[kLookupCells];

    SrgbTables() noexcept {
        for (int v = 0; v < 256; ++v) toLinear[v] = float(srgbCurveToLinear(v / 255.0));
        threshold[0] = 0.0f;
        for (int k = 1; k < 256; ++k) threshold[k] = float(srgbCurveToLinear((k - 0.5) / 255.0));
        int code = 0;
        for (int i = 0; i < kLookupCells; ++i) {
            const float x = float(i) / kLookupCells;
            while (code < 255 && x >= threshold[code + 1]) ++code;
            cellCode[i] = std::uint8_t(code);
        }
    }
};

const SrgbTables& tables() noexcept {
    static const SrgbTables t;
    return t;
}

}  // namespace

float srgbToLinear(std::uint8_t code) noexcept { return tables().toLinear[code]; }

std::uint8_t linearToSrgb8(float linear) noexcept {
    if (!(linear > 0.0f)) return 0;  // also NaN
    if (linear >= 1.0f) return 255;
    int code = tables().cellCode[int(linear * kLookupCells)];
    while (code < 255 && linear >= tables().threshold[code + 1]) ++code;
    return std::uint8_t(code);
}

}  // namespace fw
