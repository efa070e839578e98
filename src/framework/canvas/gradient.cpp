#include "framework/canvas/gradient.h"

#include <algorithm>
#include <cmath>

namespace fw {

void Gradient::addStop(float position, RGBA color) {
    const float p = std::isnan(position) ? 0.0f : std::clamp(position, 0.0f, 1.0f);
    stops_.pushBack(Stop{p, color});
    changed_ = true;
}

void Gradient::reset() noexcept {
    stops_.clearContents();
    changed_ = true;
}

const RGBA* Gradient::lookupTable() noexcept {
    if (changed_) {
        initLookup();
        changed_ = false;
    }
    return lut_;
}

void Gradient::initLookup() noexcept {
    // Stable insertion sort: few stops, usually already in order.
    for (std::size_t i = 1; i < stops_.size(); ++i) {
        const Stop s = stops_[i];
        std::size_t j = i;
        while (j > 0 && stops_[j - 1].position > s.position) {
            stops_[j] = stops_[j - 1];
            --j;
        }
        stops_[j] = s;
    }
    const int n = numStops();
    if (n == 0) {
        std::fill(lut_, lut_ + lutLength, RGBA{});
        return;
    }
    if (n == 1) {
        std::fill(lut_, lut_ + lutLength, stops_[0].color);
        return;
    }
    int k = 0;  // current segment: stops k and k + 1
    for (int i = 0; i < lutLength; ++i) {
        const float x = float(i);
        const float first = stops_[0].position * lutLength;
        const float last = stops_[std::size_t(n - 1)].position * lutLength;
        if (x < first) {
            lut_[i] = stops_[0].color;
            continue;
        }
        if (x >= last) {
            lut_[i] = stops_[std::size_t(n - 1)].color;
            continue;
        }
        while (k + 1 < n - 1 && x >= stops_[std::size_t(k + 1)].position * lutLength) ++k;
        const Stop& a = stops_[std::size_t(k)];
        const Stop& b = stops_[std::size_t(k + 1)];
        const float pa = a.position * lutLength, pb = b.position * lutLength;
        const float t = pb > pa ? (x - pa) / (pb - pa) : 1.0f;
        auto channel = [t](std::uint8_t ca, std::uint8_t cb) {
            return std::uint8_t(int(float(ca) + (float(cb) - float(ca)) * t + 0.5f));
        };
        lut_[i] = RGBA{channel(a.color.r, b.color.r), channel(a.color.g, b.color.g), channel(a.color.b, b.color.b),
                       channel(a.color.a, b.color.a)};
    }
}

}  // namespace fw
