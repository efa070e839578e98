#pragma once
// BaselineStereoCascade: a frozen copy of the cascade the oversampler used before
// it ran its sections as a pipeline, for the benchmarks only. Both channels'
// tenth-order low-passes run side by side, one channel per SSE lane (lane 0 = channel 0, lane 1 = channel 1), with the whole recursive
// state held in registers for a block.
//
// A single cascade is bound by the latency of its recursions, and reading and
// writing the state through memory on every sample adds store-to-load delays. Two
// independent channels in one instruction stream, with the state in registers, remove
// both costs. Every lane performs exactly the scalar operations of BiQuad::process in
// the same order (packed SSE single-precision arithmetic rounds like scalar SSE), so
// the results are identical bit for bit to ButterworthLPNthOrder::getNextSample.
//
// Usage on the audio thread: load() from the two filters, process() per sample,
// store() back before the filters are used any other way.

#include <xmmintrin.h>

#include "dsp/filters/butterworthlpnthorder.h"

namespace baseline {

class BaselineStereoCascade {
public:
    static constexpr int kSections = 5;  // tenth order

    // Audio thread. Takes both filters' coefficients and histories. Both must have
    // kSections sections.
    void load(dsp::filters::ButterworthLPNthOrder<float>& left, dsp::filters::ButterworthLPNthOrder<float>& right) noexcept {
        left_ = &left;
        right_ = &right;
        for (int i = 0; i < kSections; ++i) {
            const auto& l = left.section(i);
            const auto& r = right.section(i);
            b0_[i] = pair(l.b0(), r.b0());
            b1_[i] = pair(l.b1(), r.b1());
            b2_[i] = pair(l.b2(), r.b2());
            a1_[i] = pair(l.a1(), r.a1());
            a2_[i] = pair(l.a2(), r.a2());
            c0_[i] = pair(l.c0(), r.c0());
            d0_[i] = pair(l.d0(), r.d0());
            const auto hl = l.history(), hr = r.history();
            w1_[i] = pair(hl.w1, hr.w1);
            w2_[i] = pair(hl.w2, hr.w2);
            w_[i] = pair(hl.w, hr.w);
            y_[i] = pair(hl.y, hr.y);
        }
    }

    // Audio thread. One sample of each channel through its cascade.
    __m128 process(__m128 x) noexcept {
        for (int i = 0; i < kSections; ++i) {
            // w = (x - a1 w1) - a2 w2;  y = c0 (b2 w2 + (b1 w1 + b0 w)) + d0 x
            const __m128 w = _mm_sub_ps(_mm_sub_ps(x, _mm_mul_ps(a1_[i], w1_[i])), _mm_mul_ps(a2_[i], w2_[i]));
            const __m128 s = _mm_add_ps(_mm_mul_ps(b2_[i], w2_[i]),
                                        _mm_add_ps(_mm_mul_ps(b1_[i], w1_[i]), _mm_mul_ps(b0_[i], w)));
            const __m128 y = _mm_add_ps(_mm_mul_ps(c0_[i], s), _mm_mul_ps(d0_[i], x));
            w2_[i] = w1_[i];
            w1_[i] = w;
            w_[i] = w;
            y_[i] = y;
            x = y;
        }
        return x;
    }

    // Audio thread. Puts both histories back into the filters given to load().
    void store() noexcept {
        for (int i = 0; i < kSections; ++i) {
            left_->section(i).setHistory({lane(w_[i], 0), lane(w1_[i], 0), lane(w2_[i], 0), lane(y_[i], 0)});
            right_->section(i).setHistory({lane(w_[i], 1), lane(w1_[i], 1), lane(w2_[i], 1), lane(y_[i], 1)});
        }
    }

    static __m128 pair(float left, float right) noexcept { return _mm_set_ps(0.0f, 0.0f, right, left); }
    static float lane(__m128 v, int index) noexcept {
        alignas(16) float values[4];
        _mm_store_ps(values, v);
        return values[index];
    }

private:
    dsp::filters::ButterworthLPNthOrder<float>* left_ = nullptr;
    dsp::filters::ButterworthLPNthOrder<float>* right_ = nullptr;
    __m128 b0_[kSections], b1_[kSections], b2_[kSections], a1_[kSections], a2_[kSections];
    __m128 c0_[kSections], d0_[kSections];
    __m128 w_[kSections], w1_[kSections], w2_[kSections], y_[kSections];
};

}  // namespace baseline
