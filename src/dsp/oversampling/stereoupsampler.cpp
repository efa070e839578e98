#include "dsp/oversampling/stereoupsampler.h"

#include "dsp/inputguard.h"
#include "dsp/oversampling/stereocascade.h"
#include "framework/core/fatal.h"

namespace dsp::oversampling {

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
    if (!sameFactors()) {
        for (int c = 0; c < kChannels; ++c)
            if (fw::Status status = channels_[c].upsample(frames, inputs[c]); !status) return status;
        return fw::Status::success();
    }
    const int f = channels_[0].factor();
    if (f == 1) {
        for (int c = 0; c < kChannels; ++c) (void)channels_[c].upsample(frames, inputs[c]);  // a guarded copy
        return fw::Status::success();
    }
    // Both channels at once; identical to Upsampler::upsample on each channel.
    StereoCascade cascade;
    cascade.load(*channels_[0].interpolationFilter(), *channels_[1].interpolationFilter());
    const __m128 gain = _mm_set1_ps(static_cast<float>(f));
    const __m128 zero = _mm_setzero_ps();
    float* out0 = channels_[0].workBuffer();
    float* out1 = channels_[1].workBuffer();
    const float* in0 = inputs[0];
    const float* in1 = inputs[1];
    for (int i = 0; i < frames; ++i) {
        __m128 y = _mm_mul_ps(cascade.process(StereoCascade::pair(guardInputSample(in0[i]), guardInputSample(in1[i]))),
                              gain);
        *out0++ = _mm_cvtss_f32(y);
        *out1++ = _mm_cvtss_f32(_mm_shuffle_ps(y, y, 1));
        for (int k = 1; k < f; ++k) {
            y = _mm_mul_ps(cascade.process(zero), gain);
            *out0++ = _mm_cvtss_f32(y);
            *out1++ = _mm_cvtss_f32(_mm_shuffle_ps(y, y, 1));
        }
    }
    cascade.store();
    return fw::Status::success();
}

fw::Status StereoUpsampler::decimate(float* const* outputs, int frames) noexcept {
    if (outputs == nullptr) return fw::Status::failure("null channel list");
    for (int c = 0; c < kChannels; ++c)
        if (fw::Status status = channels_[c].checkBlock(frames, outputs[c]); !status) return status;
    const int f = channels_[0].factor();
    if (!sameFactors() || f == 1) {
        for (int c = 0; c < kChannels; ++c)
            if (fw::Status status = channels_[c].decimate(outputs[c], frames); !status) return status;
        return fw::Status::success();
    }
    // Both channels at once; identical to Upsampler::decimate on each channel.
    StereoCascade cascade;
    cascade.load(*channels_[0].decimationFilter(), *channels_[1].decimationFilter());
    const float* in0 = channels_[0].workBuffer();
    const float* in1 = channels_[1].workBuffer();
    float* out0 = outputs[0];
    float* out1 = outputs[1];
    for (int i = 0; i < frames; ++i) {
        const __m128 y = cascade.process(StereoCascade::pair(*in0++, *in1++));
        out0[i] = _mm_cvtss_f32(y);
        out1[i] = _mm_cvtss_f32(_mm_shuffle_ps(y, y, 1));
        for (int k = 1; k < f; ++k) cascade.process(StereoCascade::pair(*in0++, *in1++));
    }
    cascade.store();
    return fw::Status::success();
}

bool StereoUpsampler::sameFactors() const noexcept {
    return channels_[0].factor() == channels_[1].factor() && channels_[0].factor() > 0;
}

}  // namespace dsp::oversampling
