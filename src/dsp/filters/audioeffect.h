#pragma once
// AudioEffect<T>: a per-sample effect with a sample rate, the base of the filters.
//
// T is the sample type (the plug-in uses float). Rates are in hertz, as float.
// An effect is created once and owned by its user; it is used from one thread.

#include <limits>

namespace dsp::filters {

template <typename T>
class AudioEffect {
public:
    AudioEffect() noexcept = default;
    virtual ~AudioEffect() = default;
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // Audio thread; never blocks, never allocates. One sample in, one out.
    virtual T getNextSample(T x) noexcept = 0;

    // Audio thread; never blocks, never allocates. output[i] = getNextSample(input[i]);
    // input and output may be the same buffer. A null buffer or a count below 1 does nothing.
    virtual void processBuffers(const T* input, T* output, int count) noexcept {
        if (input == nullptr || output == nullptr) return;
        for (int i = 0; i < count; ++i) output[i] = getNextSample(input[i]);
    }

    // Audio thread. Clears the history.
    virtual void reset() noexcept = 0;

    // Audio or set-up thread; never allocates.
    virtual void setSampleRate(float sampleRate) noexcept { sampleRate_ = sampleRate; }

protected:
    float sampleRate_ = std::numeric_limits<float>::quiet_NaN();
};

}  // namespace dsp::filters
