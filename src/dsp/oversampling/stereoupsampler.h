#pragma once
// StereoUpsampler: the oversampler for the effect's two channels, channel 0 first.
// Every operation acts on both channels, each with its own filters and work buffer;
// see Upsampler for the behaviour of each step.
//
// The effect client uses it like this, all on the audio thread except initialize():
//   initialize(8, 512)                      once, at construction
//   setBaseSampleRate(hostRate)             then
//   setOverSampleFactor(factor)             whenever the factor (or the rate) changed
//   upsample(frames, inputs)                per block
//   effect.compute(frames x factor, {workBuffer(0), workBuffer(1)}, same)
//   decimate(outputs, frames)
// Host samples that are NaN, infinite or beyond +-2^20 enter as silence (upsample()
// guards them, and so does the effect's compute()), so the client needs no guard of
// its own.

#include "dsp/oversampling/upsampler.h"
#include "framework/core/status.h"

namespace dsp::oversampling {

class StereoUpsampler {
public:
    static constexpr int kChannels = 2;

    // Set-up thread; allocates. See Upsampler::initialize.
    [[nodiscard]] fw::Status initialize(int largestFactor, int largestBlock);

    // Audio thread; never blocks, never allocates.
    void setBaseSampleRate(float baseRate) noexcept;

    // Audio thread; never blocks, never allocates.
    [[nodiscard]] fw::Status setOverSampleFactor(int factor) noexcept;

    // Audio thread; never blocks, never allocates. inputs: two channel pointers.
    [[nodiscard]] fw::Status upsample(int frames, const float* const* inputs) noexcept;

    // Audio thread; never blocks, never allocates. outputs: two channel pointers.
    [[nodiscard]] fw::Status decimate(float* const* outputs, int frames) noexcept;

    // Channel 0 or 1's work buffer; null for another index or before initialize().
    float* workBuffer(int channel) noexcept {
        return channel == 0 || channel == 1 ? channels_[channel].workBuffer() : nullptr;
    }
    // Channel 0 or 1; another index is a fatal programming error.
    Upsampler& channel(int channel) noexcept;
    int factor() const noexcept { return channels_[0].factor(); }

private:
    // True when both channels are configured alike (always, unless a caller set one
    // channel's factor on its own through channel()).
    bool sameFactors() const noexcept;

    Upsampler channels_[kChannels];
};

}  // namespace dsp::oversampling
