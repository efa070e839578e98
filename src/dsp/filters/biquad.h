#pragma once
// BiQuad<T>: one second-order section in direct form II, the building block of the
// low-pass cascades. Subclasses compute the coefficients from the section rate and
// the corner frequency (and whatever else they add) in calcCoefficients().
//
//   w = (x - a1 w1) - a2 w2
//   y = c0 (b2 w2 + (b1 w1 + b0 w)) + d0 x       (every step in precision T)
//
// c0 weighs the filtered signal and d0 the direct input (1 and 0: filtered only).

#include <limits>

#include "dsp/filters/audioeffect.h"

namespace dsp::filters {

template <typename T>
class BiQuad : public AudioEffect<T> {
public:
    // Audio thread; never blocks, never allocates.
    T getNextSample(T x) noexcept override { return process(x); }

    // Audio thread; never blocks, never allocates. input and output may alias. The
    // same arithmetic as process(), with the history held in locals for the block.
    void processBuffers(const T* input, T* output, int count) noexcept override {
        if (input == nullptr || output == nullptr || count <= 0) return;
        const T b0 = b0_, b1 = b1_, b2 = b2_, a1 = a1_, a2 = a2_, c0 = c0_, d0 = d0_;
        T w1 = w1_, w2 = w2_, w = w_, y = y_;
        for (int i = 0; i < count; ++i) {
            const T x = input[i];
            w = (x - a1 * w1) - a2 * w2;
            const T s = b2 * w2 + (b1 * w1 + b0 * w);
            y = c0 * s + d0 * x;
            w2 = w1;
            w1 = w;
            output[i] = y;
        }
        w_ = w;
        w1_ = w1;
        w2_ = w2;
        y_ = y;
    }

    // Audio thread. w, w1, w2 and the last output become 0.
    void reset() noexcept override { w_ = w1_ = w2_ = y_ = T(0); }

    // Audio or set-up thread. Always recomputes the coefficients and clears the
    // history, even when the rate is the one already set.
    void setSampleRate(float sampleRate) noexcept override {
        this->sampleRate_ = sampleRate;
        sectionRate_ = sampleRate;
        calcCoefficients();
        reset();
    }

    // Set-up thread. Sets every coefficient directly, bypassing calcCoefficients().
    virtual void initialize(T b0, T b1, T b2, T a1, T a2, T c0, T d0) noexcept {
        b0_ = b0; b1_ = b1; b2_ = b2; a1_ = a1; a2_ = a2; c0_ = c0; d0_ = d0;
    }

    // Audio or set-up thread. Recomputes only when the frequency really changes.
    virtual void setFrequency(float frequency) noexcept {
        if (frequency == frequency_) return;
        frequency_ = frequency;
        calcCoefficients();
    }

    // The per-sample step, inline so that cascades can call it without dispatch.
    T process(T x) noexcept {
        w_ = (x - a1_ * w1_) - a2_ * w2_;
        const T s = b2_ * w2_ + (b1_ * w1_ + b0_ * w_);
        y_ = c0_ * s + d0_ * x;
        w2_ = w1_;
        w1_ = w_;
        return y_;
    }

    // The recursive state, for code that runs many sections at once with the state in
    // registers (and puts it back afterwards).
    struct History {
        T w, w1, w2, y;
    };
    History history() const noexcept { return {w_, w1_, w2_, y_}; }
    void setHistory(const History& h) noexcept {
        w_ = h.w;
        w1_ = h.w1;
        w2_ = h.w2;
        y_ = h.y;
    }

    float frequency() const noexcept { return frequency_; }
    float sectionRate() const noexcept { return sectionRate_; }
    T b0() const noexcept { return b0_; }
    T b1() const noexcept { return b1_; }
    T b2() const noexcept { return b2_; }
    T a1() const noexcept { return a1_; }
    T a2() const noexcept { return a2_; }
    T c0() const noexcept { return c0_; }
    T d0() const noexcept { return d0_; }

protected:
    // Derives b0, b1, b2, a1, a2 from the section rate and the frequency. Until
    // both are known the results are not finite; they are replaced once both are set.
    virtual void calcCoefficients() noexcept = 0;

    T w_ = T(0), w1_ = T(0), w2_ = T(0), y_ = T(0);
    T b0_ = T(0), b1_ = T(0), b2_ = T(0), a1_ = T(0), a2_ = T(0);
    T c0_ = T(1), d0_ = T(0);
    float sectionRate_ = std::numeric_limits<float>::quiet_NaN();
    float frequency_ = std::numeric_limits<float>::quiet_NaN();
};

}  // namespace dsp::filters
