#pragma once
// Float samples into the integers of a 16- or 24-bit output. Reducing to 16 bits
// adds TPDF dither (two uniform values, together a triangular +-1 LSB) from a
// generator with a fixed seed, so that identical renders give identical bytes.
// Samples beyond full scale are clipped and counted.

#include <cstdint>

namespace kestrincli {

class SampleQuantizer {
public:
    // `bits` is 16 or 24.
    explicit SampleQuantizer(int bits);

    // The integer for `x` (full scale at +-1), from -2^(bits-1) to 2^(bits-1) - 1.
    std::int32_t quantize(float x);

    // Samples that lay beyond what the integers hold.
    std::uint64_t clipped() const { return clipped_; }

private:
    double uniform();  // [-0.5, 0.5)

    double scale_;
    std::int32_t lowest_, highest_;
    bool dither_;
    std::uint64_t state_;
    std::uint64_t clipped_ = 0;
};

}  // namespace kestrincli
