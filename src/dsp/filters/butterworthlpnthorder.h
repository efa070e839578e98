#pragma once
// ButterworthLPNthOrder<T>: an N-th order Butterworth low-pass made of N/2 LowpassO2
// sections in series, each tuned to the common corner with its own quality factor
// Q_i = |1 / (2 cos((2i + 1) pi / (2N)))|.
//
// Created once with its order (even, at least 2); all storage is allocated then.

#include <memory>

#include "dsp/filters/audioeffect.h"
#include "dsp/filters/lowpasso2.h"

namespace dsp::filters {

template <typename T>
class ButterworthLPNthOrder final : public AudioEffect<T> {
public:
    // Set-up thread; allocates the sections. An odd or non-positive order is a fatal
    // programming error.
    explicit ButterworthLPNthOrder(int order);

    // Audio thread; never blocks, never allocates. x runs through every section in turn.
    T getNextSample(T x) noexcept override {
        for (int i = 0; i < sectionCount_; ++i) x = sections_[i].process(x);
        return x;
    }

    // Audio thread; never blocks, never allocates. input and output may alias.
    void processBuffers(const T* input, T* output, int count) noexcept override;

    // Audio thread. Clears every section's history.
    void reset() noexcept override;

    // Audio or set-up thread. Does nothing when the rate is the one already set;
    // otherwise every section takes it, recomputes and clears its history.
    void setSampleRate(float sampleRate) noexcept override;

    // Audio or set-up thread. Does nothing when the corner is the one already set;
    // otherwise every section takes the corner and then its quality factor.
    virtual void setFrequency(float frequency) noexcept;

    int order() const noexcept { return order_; }
    float frequency() const noexcept { return frequency_; }
    int sectionCount() const noexcept { return sectionCount_; }
    const LowpassO2<T>& section(int i) const noexcept { return sections_[i]; }
    LowpassO2<T>& section(int i) noexcept { return sections_[i]; }

private:
    std::unique_ptr<LowpassO2<T>[]> sections_;
    int sectionCount_ = 0;
    int order_ = 0;
    float frequency_;
};

extern template class ButterworthLPNthOrder<float>;
extern template class ButterworthLPNthOrder<double>;

}  // namespace dsp::filters
