#include "dsp/stereoupsampler.h"

#include "framework/core/fatal.h"

namespace dsp {

Upsampler& StereoUpsampler::channel(int channel) noexcept {
    if (channel != 0 && channel != 1) fw::fatalError("oversampler channel index out of range");
    return channels_[channel];
}

fw::Status StereoUpsampler::initialize(int largestFactor, int largestBlock) {
    for (Upsampler& channel : channels_)
        if (fw::Status status = channel.initialize(largestFactor, largestBlock); !status) return status;
    return fw::Status::success();
}

void StereoUpsampler::setBaseSampleRate(float baseRate) noexcept {
    for (Upsampler& channel : channels_) channel.setBaseSampleRate(baseRate);
}

fw::Status StereoUpsampler::setOverSampleFactor(int factor) noexcept {
    for (Upsampler& channel : channels_)
        if (fw::Status status = channel.setOverSampleFactor(factor); !status) return status;
    return fw::Status::success();
}

fw::Status StereoUpsampler::upsample(int frames, const float* const* inputs) noexcept {
    if (inputs == nullptr) return fw::Status::failure("null channel list");
    // Both channels are checked first, so that a refused block changes neither.
    for (int c = 0; c < kChannels; ++c)
        if (fw::Status status = channels_[c].checkBlock(frames, inputs[c]); !status) return status;
    for (int c = 0; c < kChannels; ++c)
        if (fw::Status status = channels_[c].upsample(frames, inputs[c]); !status) return status;
    return fw::Status::success();
}

fw::Status StereoUpsampler::decimate(float* const* outputs, int frames) noexcept {
    if (outputs == nullptr) return fw::Status::failure("null channel list");
    for (int c = 0; c < kChannels; ++c)
        if (fw::Status status = channels_[c].checkBlock(frames, outputs[c]); !status) return status;
    for (int c = 0; c < kChannels; ++c)
        if (fw::Status status = channels_[c].decimate(outputs[c], frames); !status) return status;
    return fw::Status::success();
}

}  // namespace dsp
