#include "dsp/oversampling/stereoupsampler.h"

#include <cstring>

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
    // Both channels at once; identical to Upsampler::upsample on each channel. The
    // zero-stuffed input goes into the work buffers first; the cascade then filters
    // them in place (its outputs trail its inputs) and restores the level.
    float* buffer0 = channels_[0].workBuffer();
    float* buffer1 = channels_[1].workBuffer();
    const int raised = frames * f;
    std::memset(buffer0, 0, sizeof(float) * static_cast<std::size_t>(raised));
    std::memset(buffer1, 0, sizeof(float) * static_cast<std::size_t>(raised));
    for (int i = 0; i < frames; ++i) {
        buffer0[i * f] = guardInputSample(inputs[0][i]);
        buffer1[i * f] = guardInputSample(inputs[1][i]);
    }
    struct Source {
        const float* in0;
        const float* in1;
        __m128 at(int t) const noexcept { return _mm_unpacklo_ps(_mm_load_ss(in0 + t), _mm_load_ss(in1 + t)); }
    } source{buffer0, buffer1};
    struct Sink {
        float* out0;
        float* out1;
        __m128 gain;
        static bool wants(int) noexcept { return true; }
        void put(int t, __m128 y) const noexcept {
            y = _mm_mul_ps(y, gain);
            _mm_store_ss(out0 + t, y);
            _mm_store_ss(out1 + t, _mm_shuffle_ps(y, y, _MM_SHUFFLE(1, 1, 1, 1)));
        }
    } sink{buffer0, buffer1, _mm_set1_ps(static_cast<float>(f))};
    StereoCascade cascade;
    cascade.load(*channels_[0].interpolationFilter(), *channels_[1].interpolationFilter());
    cascade.run(raised, source, sink);
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
    // Both channels at once; identical to Upsampler::decimate on each channel. Only
    // the first sample of every group of f leaves the cascade.
    struct Source {
        const float* in0;
        const float* in1;
        __m128 at(int t) const noexcept { return _mm_unpacklo_ps(_mm_load_ss(in0 + t), _mm_load_ss(in1 + t)); }
    } source{channels_[0].workBuffer(), channels_[1].workBuffer()};
    struct Sink {
        float* out0;
        float* out1;
        int groupMask;  // f - 1, f a power of two
        int shift;      // log2 f
        bool wants(int t) const noexcept { return (t & groupMask) == 0; }
        void put(int t, __m128 y) const noexcept {
            _mm_store_ss(out0 + (t >> shift), y);
            _mm_store_ss(out1 + (t >> shift), _mm_shuffle_ps(y, y, _MM_SHUFFLE(1, 1, 1, 1)));
        }
    } sink{outputs[0], outputs[1], f - 1, __builtin_ctz(static_cast<unsigned>(f))};
    StereoCascade cascade;
    cascade.load(*channels_[0].decimationFilter(), *channels_[1].decimationFilter());
    cascade.run(frames * f, source, sink);
    cascade.store();
    return fw::Status::success();
}

bool StereoUpsampler::sameFactors() const noexcept {
    return channels_[0].factor() == channels_[1].factor() && channels_[0].factor() > 0;
}

}  // namespace dsp::oversampling
