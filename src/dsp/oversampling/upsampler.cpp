#include "dsp/oversampling/upsampler.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "dsp/inputguard.h"

namespace dsp::oversampling {

namespace {

constexpr int kMostFactor = 64;
constexpr int kMostBlock = 65536;

bool isPowerOfTwoUpTo(int value, int most) noexcept {
    return value >= 1 && value <= most && (value & (value - 1)) == 0;
}

}  // namespace

Upsampler::Upsampler() noexcept
    : baseRate_(std::numeric_limits<float>::quiet_NaN()),
      raisedRate_(std::numeric_limits<float>::quiet_NaN()),
      transitionWidth_(std::numeric_limits<float>::quiet_NaN()) {}

Upsampler::~Upsampler() = default;

fw::Status Upsampler::initialize(int largestFactor, int largestBlock) {
    if (!isPowerOfTwoUpTo(largestFactor, kMostFactor))
        return fw::Status::failure("largest oversampling factor must be a power of two from 1 to 64");
    if (largestBlock < 1 || largestBlock > kMostBlock)
        return fw::Status::failure("largest block must be 1 to 65536 frames");
    largestFactor_ = largestFactor;
    largestBlock_ = largestBlock;
    interpolation_ = std::make_unique<filters::ButterworthLPNthOrder<float>>(kFilterOrder);
    decimation_ = std::make_unique<filters::ButterworthLPNthOrder<float>>(kFilterOrder);
    // The buffer is sized for the largest case once, so that neither a factor nor a
    // rate change ever allocates on the audio thread.
    workBuffer_.resize(static_cast<std::size_t>(largestFactor) * static_cast<std::size_t>(largestBlock) + 1);
    factor_ = 0;
    return fw::Status::success();
}

void Upsampler::setBaseSampleRate(float baseRate) noexcept { baseRate_ = baseRate; }

fw::Status Upsampler::setOverSampleFactor(int factor) noexcept {
    if (!interpolation_) return fw::Status::failure("oversampler is not initialised");
    if (!(baseRate_ > 0.0f) || !std::isfinite(baseRate_)) return fw::Status::failure("oversampler has no base sample rate");
    if (!isPowerOfTwoUpTo(factor, largestFactor_))
        return fw::Status::failure("oversampling factor must be a power of two up to the largest factor");
    if (factor == factor_) return fw::Status::success();
    factor_ = factor;
    raisedRate_ = static_cast<float>(factor) * baseRate_;
    transitionWidth_ = baseRate_ * transitionFraction_;
    interpolation_->setSampleRate(raisedRate_);
    decimation_->setSampleRate(raisedRate_);
    const float corner = 0.5f * baseRate_ - transitionWidth_;
    interpolation_->setFrequency(corner);
    decimation_->setFrequency(corner);
    // A new rate clears the filters anyway; a factor change that meets a base-rate change
    // can keep the raised rate, and stale history must not leak into the new setting.
    interpolation_->reset();
    decimation_->reset();
    return fw::Status::success();
}

float Upsampler::cornerFrequency() const noexcept {
    return interpolation_ ? interpolation_->frequency() : std::numeric_limits<float>::quiet_NaN();
}

fw::Status Upsampler::checkBlock(int frames, const void* samples) const noexcept {
    if (factor_ == 0) return fw::Status::failure("oversampler is not configured");
    if (frames < 0 || static_cast<long>(frames) * factor_ > static_cast<long>(largestFactor_) * largestBlock_)
        return fw::Status::failure("block is larger than the oversampler was prepared for");
    if (samples == nullptr && frames > 0) return fw::Status::failure("null channel buffer");
    return fw::Status::success();
}

fw::Status Upsampler::upsample(int frames, const float* input) noexcept {
    if (fw::Status status = checkBlock(frames, input); !status) return status;
    float* buffer = workBuffer_.data();
    const int f = factor_;
    if (f == 1) {
        for (int i = 0; i < frames; ++i) buffer[i] = guardInputSample(input[i]);
        return fw::Status::success();
    }
    // Zero-stuffing loses a factor f of level; scaling by f restores unity gain at 0 Hz.
    const float gain = static_cast<float>(f);
    filters::ButterworthLPNthOrder<float>& filter = *interpolation_;
    for (int i = 0; i < frames; ++i) {
        *buffer++ = filter.getNextSample(guardInputSample(input[i])) * gain;
        for (int k = 1; k < f; ++k) *buffer++ = filter.getNextSample(0.0f) * gain;
    }
    return fw::Status::success();
}

fw::Status Upsampler::decimate(float* output, int frames) noexcept {
    if (fw::Status status = checkBlock(frames, output); !status) return status;
    const float* buffer = workBuffer_.data();
    const int f = factor_;
    if (f == 1) {
        std::memmove(output, buffer, static_cast<std::size_t>(frames) * sizeof(float));
        return fw::Status::success();
    }
    // Every raised-rate sample passes the filter; the first of each group is kept.
    filters::ButterworthLPNthOrder<float>& filter = *decimation_;
    for (int i = 0; i < frames; ++i) {
        output[i] = filter.getNextSample(*buffer++);
        for (int k = 1; k < f; ++k) filter.getNextSample(*buffer++);
    }
    return fw::Status::success();
}

}  // namespace dsp::oversampling
