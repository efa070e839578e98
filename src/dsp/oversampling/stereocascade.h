#pragma once
// StereoCascade: both channels' tenth-order low-passes (five sections each) run as one
// pipeline in three SSE registers, with the whole recursive state held in registers
// for a block.
//
// Register g holds sections 2g and 2g + 1 of both channels: lanes [section 2g of
// channel 0, of channel 1, section 2g + 1 of channel 0, of channel 1] (register 2's
// upper lanes are idle and stay 0). At step t, section k works on sample t - k, so
// each section takes its input from the previous section's output of the step
// before, and the three registers of one step do not depend on each other. A sample
// leaves the last section kLatency steps after it entered the first; the steps at
// both ends of a block leave the lanes that have no sample of the block unchanged.
//
// A section works on its own samples in their own order, and every lane performs
// exactly the scalar operations of BiQuad::process in the same order (packed SSE
// single-precision arithmetic rounds like scalar SSE), so the results are identical
// bit for bit to ButterworthLPNthOrder::getNextSample, one sample at a time. The one
// shortcut: an output weight c0 of exactly 1 is not multiplied (x 1 is exact).
//
// Usage on the audio thread: load() from the two filters, run() per block, store()
// back before the filters are used any other way.

#include <emmintrin.h>

#include "dsp/filters/butterworthlpnthorder.h"

namespace dsp::oversampling {

class StereoCascade {
public:
    static constexpr int kSections = 5;  // tenth order
    static constexpr int kLatency = kSections - 1;

    // Audio thread. Takes both filters' coefficients and histories. Both must have
    // kSections sections.
    void load(filters::ButterworthLPNthOrder<float>& left, filters::ButterworthLPNthOrder<float>& right) noexcept;

    // Audio thread. Puts both histories back into the filters given to load().
    void store() noexcept;

    // Audio thread. Runs samples 0 to count - 1 of both channels through their
    // cascades in order. source.at(t) gives sample t as [channel 0, channel 1, 0, 0];
    // it is asked for every t in order, a little ahead of the outputs. sink.wants(t)
    // tells whether sample t's output is needed, and sink.put(t, y) receives it (lanes
    // 0 and 1), in order of t. The last section's output is only formed where wanted.
    template <typename Source, typename Sink>
    void run(int count, Source& source, Sink& sink) noexcept {
        if (count <= 0) return;
        if (unitWeight_) {
            runSteps<true>(count, source, sink);
        } else {
            runSteps<false>(count, source, sink);
        }
    }

private:
    static constexpr int kRegisters = 3;

    struct Registers {
        __m128 w1[kRegisters], w2[kRegisters], y[kRegisters];
    };

    template <bool UnitWeight>
    __m128 output(int g, __m128 x, __m128 w, __m128 w1, __m128 w2) const noexcept {
        // s = b2 w2 + (b1 w1 + b0 w);  y = c0 s + d0 x
        const __m128 s = _mm_add_ps(_mm_mul_ps(b2_[g], w2), _mm_add_ps(_mm_mul_ps(b1_[g], w1), _mm_mul_ps(b0_[g], w)));
        return _mm_add_ps(UnitWeight ? s : _mm_mul_ps(c0_[g], s), _mm_mul_ps(d0_[g], x));
    }
    __m128 internal(int g, __m128 x, __m128 w1, __m128 w2) const noexcept {
        // w = (x - a1 w1) - a2 w2
        return _mm_sub_ps(_mm_sub_ps(x, _mm_mul_ps(a1_[g], w1)), _mm_mul_ps(a2_[g], w2));
    }
    // The three registers' inputs at a step: the sample entering section 0 and the
    // previous step's outputs, moved on by one section.
    static void inputs(__m128 x, const Registers& r, __m128 (&in)[kRegisters]) noexcept {
        in[0] = _mm_movelh_ps(x, r.y[0]);
        in[1] = _mm_shuffle_ps(r.y[0], r.y[1], _MM_SHUFFLE(1, 0, 3, 2));
        in[2] = _mm_movehl_ps(_mm_setzero_ps(), r.y[1]);
    }

    template <bool UnitWeight, typename Source, typename Sink>
    void runSteps(int count, Source& source, Sink& sink) noexcept;

    filters::ButterworthLPNthOrder<float>* left_ = nullptr;
    filters::ButterworthLPNthOrder<float>* right_ = nullptr;
    bool unitWeight_ = false;  // c0 is exactly 1 in every lane
    __m128 b0_[kRegisters], b1_[kRegisters], b2_[kRegisters], a1_[kRegisters], a2_[kRegisters];
    __m128 c0_[kRegisters], d0_[kRegisters];
    Registers state_;
};

template <bool UnitWeight, typename Source, typename Sink>
void StereoCascade::runSteps(int count, Source& source, Sink& sink) noexcept {
    Registers r = state_;  // a local, so that the sink's stores cannot keep it in memory

    // A step at either end of the block: a lane changes only when its section has a
    // sample of the block (0 <= t - section < count); the others keep their state.
    const __m128i sectionOfLane[kRegisters] = {_mm_setr_epi32(0, 0, 1, 1), _mm_setr_epi32(2, 2, 3, 3),
                                               _mm_setr_epi32(4, 4, kSections, kSections)};
    auto edgeStep = [&](int t) {
        __m128 in[kRegisters];
        inputs(t < count ? source.at(t) : _mm_setzero_ps(), r, in);
        const __m128i step = _mm_set1_epi32(t);
        const __m128i last = _mm_set1_epi32(count - 1);
        for (int g = 0; g < kRegisters; ++g) {
            const __m128i sample = _mm_sub_epi32(step, sectionOfLane[g]);
            const __m128 keep = _mm_castsi128_ps(
                _mm_or_si128(_mm_cmplt_epi32(sample, _mm_setzero_si128()), _mm_cmpgt_epi32(sample, last)));
            const __m128 w = internal(g, in[g], r.w1[g], r.w2[g]);
            const __m128 y = output<UnitWeight>(g, in[g], w, r.w1[g], r.w2[g]);
            auto select = [keep](__m128 old, __m128 now) {
                return _mm_or_ps(_mm_and_ps(keep, old), _mm_andnot_ps(keep, now));
            };
            r.w2[g] = select(r.w2[g], r.w1[g]);
            r.w1[g] = select(r.w1[g], w);
            r.y[g] = select(r.y[g], y);
        }
        const int done = t - kLatency;
        if (done >= 0 && done < count && sink.wants(done)) sink.put(done, r.y[2]);
    };

    int t = 0;
    for (; t < kLatency; ++t) edgeStep(t);
    // Every lane has a sample of the block.
    for (; t < count; ++t) {
        __m128 in[kRegisters];
        inputs(source.at(t), r, in);
        for (int g = 0; g < 2; ++g) {
            const __m128 w = internal(g, in[g], r.w1[g], r.w2[g]);
            r.y[g] = output<UnitWeight>(g, in[g], w, r.w1[g], r.w2[g]);
            r.w2[g] = r.w1[g];
            r.w1[g] = w;
        }
        const __m128 w = internal(2, in[2], r.w1[2], r.w2[2]);
        const int done = t - kLatency;
        if (sink.wants(done)) {
            r.y[2] = output<UnitWeight>(2, in[2], w, r.w1[2], r.w2[2]);
            sink.put(done, r.y[2]);
        }
        r.w2[2] = r.w1[2];
        r.w1[2] = w;
    }
    // The last section's output of the block's last sample is always formed here, so
    // the stored history ends on it.
    for (; t < count + kLatency; ++t) edgeStep(t);

    state_ = r;
}

}  // namespace dsp::oversampling
