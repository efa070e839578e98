#include "samplequantizer.h"

#include <cmath>

namespace kestrincli {

SampleQuantizer::SampleQuantizer(int bits)
    : scale_(std::ldexp(1.0, bits - 1)),
      lowest_(-(std::int32_t(1) << (bits - 1))),
      highest_((std::int32_t(1) << (bits - 1)) - 1),
      // 24 bits already sit below any converter's noise; only 16 bits need the dither.
      dither_(bits <= 16),
      state_(0x9E3779B97F4A7C15ull) {}

double SampleQuantizer::uniform() {
    // xorshift64*: fast, and plenty for dither noise.
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    const std::uint64_t r = state_ * 0x2545F4914F6CDD1Dull;
    return double(r >> 11) * 0x1.0p-53 - 0.5;
}

std::int32_t SampleQuantizer::quantize(float x) {
    double v = double(x) * scale_;
    if (dither_) v += uniform() + uniform();
    const double rounded = std::floor(v + 0.5);
    if (rounded > double(highest_)) {
        ++clipped_;
        return highest_;
    }
    if (rounded < double(lowest_)) {
        ++clipped_;
        return lowest_;
    }
    return std::int32_t(rounded);
}

}  // namespace kestrincli
