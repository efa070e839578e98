#include "framework/graphics/srgb.h"

#include <cmath>

namespace fw {

namespace {

double srgbCurveToLinear(double c) noexcept {
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

SrgbTables buildTables() noexcept {
    SrgbTables t;
    for (int v = 0; v < 256; ++v) t.toLinear[v] = float(srgbCurveToLinear(v / 255.0));
    t.threshold[0] = 0.0f;
    for (int k = 1; k < 256; ++k) t.threshold[k] = float(srgbCurveToLinear((k - 0.5) / 255.0));
    int code = 0;
    for (int i = 0; i < SrgbTables::kLookupCells; ++i) {
        const float x = float(i) / SrgbTables::kLookupCells;
        while (code < 255 && x >= t.threshold[code + 1]) ++code;
        t.cellCode[i] = std::uint8_t(code);
    }
    return t;
}

}  // namespace

const SrgbTables& srgbTables() noexcept {
    static const SrgbTables tables = buildTables();
    return tables;
}

}  // namespace fw
