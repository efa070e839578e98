#pragma once
// Upsampler: one channel of the oversampler. It raises a host-rate block by a factor
// of 1, 2, 4 or 8 into its work buffer (zero-stuffing scaled by the factor, then a
// tenth-order Butterworth low-pass), the effect processes the work buffer in place,
// and decimate() filters it with a second such low-pass and keeps the first sample of
// every group of `factor`. Both corners sit at 0.5 x base rate - base rate / 45.
//
// Life cycle: initialize() once (allocates everything), setBaseSampleRate() with the
// host rate, setOverSampleFactor() (reconfigures and clears both filters when the
// factor changes), then upsample()/decimate() per block. Factor 1 copies and leaves the
// filters untouched.

#include <memory>

#include "dsp/filters/butterworthlpnthorder.h"
#include "framework/core/status.h"
#include "framework/core/vec.h"

namespace dsp::oversampling {

class Upsampler {
public:
    static constexpr int kFilterOrder = 10;

    Upsampler() noexcept;
    ~Upsampler();
    Upsampler(const Upsampler&) = delete;
    Upsampler& operator=(const Upsampler&) = delete;

    // Set-up thread; allocates both filters and the work buffer of
    // largestFactor x largestBlock + 1 samples. Fails, changing nothing, unless
    // largestFactor is a power of two from 1 to 64 and largestBlock is 1 to 65536.
    [[nodiscard]] fw::Status initialize(int largestFactor, int largestBlock);

    // Audio thread; never blocks, never allocates. Stores the host rate. The filters
    // follow it at the next factor change only (their response relative to the raised
    // rate does not depend on the base rate).
    void setBaseSampleRate(float baseRate) noexcept;

    // Audio thread; never blocks, never allocates. When the factor differs from the
    // current one: raised rate = factor x base rate, both filters take it and the
    // corner, and start from silence. The same factor again changes nothing. Fails,
    // changing nothing, before initialize() or setBaseSampleRate(), or for a factor
    // that is not a power of two from 1 to the largest factor.
    [[nodiscard]] fw::Status setOverSampleFactor(int factor) noexcept;

    // Audio thread; never blocks, never allocates. Writes frames x factor samples to
    // the work buffer. Samples beyond +-2^20, NaN and infinities enter as silence.
    // Fails, changing nothing, when unconfigured, for a null input with frames > 0, or
    // when frames is negative or frames x factor exceeds the work buffer.
    [[nodiscard]] fw::Status upsample(int frames, const float* input) noexcept;

    // Audio thread; never blocks, never allocates. Reads frames x factor samples of the
    // work buffer and writes frames samples to output. Same failures as upsample().
    [[nodiscard]] fw::Status decimate(float* output, int frames) noexcept;

    // The work buffer (null before initialize()); the effect runs in place on it.
    float* workBuffer() noexcept { return workBuffer_.data(); }
    int workBufferLength() const noexcept { return static_cast<int>(workBuffer_.length()); }

    int factor() const noexcept { return factor_; }  // 0 until first set
    float baseSampleRate() const noexcept { return baseRate_; }
    float raisedSampleRate() const noexcept { return raisedRate_; }
    float cornerFrequency() const noexcept;
    int largestFactor() const noexcept { return largestFactor_; }
    int largestBlock() const noexcept { return largestBlock_; }

    // The two filters (null before initialize()), for code that runs both channels'
    // filters together (StereoUpsampler).
    filters::ButterworthLPNthOrder<float>* interpolationFilter() noexcept { return interpolation_.get(); }
    filters::ButterworthLPNthOrder<float>* decimationFilter() noexcept { return decimation_.get(); }

    // Any thread that owns the oversampler. Whether upsample()/decimate() would accept
    // a block of `frames` with this channel buffer, and why not.
    [[nodiscard]] fw::Status checkBlock(int frames, const void* samples) const noexcept;

private:
    float transitionFraction_ = 0.022222223f;  // 1/45 of the base rate
    std::unique_ptr<filters::ButterworthLPNthOrder<float>> interpolation_;
    std::unique_ptr<filters::ButterworthLPNthOrder<float>> decimation_;
    float baseRate_;
    float raisedRate_;
    float transitionWidth_;  // hertz
    int largestFactor_ = 0;
    int factor_ = 0;
    int largestBlock_ = 0;
    fw::Vec<float, 64> workBuffer_;
};

}  // namespace dsp::oversampling
