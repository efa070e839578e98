#include "dsp/oversampling/stereocascade.h"

namespace dsp::oversampling {

namespace {

// Section k's lanes: register k / 2, lanes 0 and 1 for even k, 2 and 3 for odd k.
__m128 gather(const filters::ButterworthLPNthOrder<float>& left, const filters::ButterworthLPNthOrder<float>& right,
              int g, float (*value)(const filters::LowpassO2<float>&)) noexcept {
    const int first = 2 * g, second = 2 * g + 1;
    const bool hasSecond = second < StereoCascade::kSections;
    return _mm_setr_ps(value(left.section(first)), value(right.section(first)),
                       hasSecond ? value(left.section(second)) : 0.0f, hasSecond ? value(right.section(second)) : 0.0f);
}

float laneOf(__m128 v, int lane) noexcept {
    alignas(16) float values[4];
    _mm_store_ps(values, v);
    return values[lane];
}

}  // namespace

void StereoCascade::load(filters::ButterworthLPNthOrder<float>& left,
                         filters::ButterworthLPNthOrder<float>& right) noexcept {
    left_ = &left;
    right_ = &right;
    using Section = filters::LowpassO2<float>;
    unitWeight_ = true;
    for (int i = 0; i < kSections; ++i)
        if (!(left.section(i).c0() == 1.0f && right.section(i).c0() == 1.0f)) unitWeight_ = false;
    for (int g = 0; g < kRegisters; ++g) {
        b0_[g] = gather(left, right, g, [](const Section& s) { return s.b0(); });
        b1_[g] = gather(left, right, g, [](const Section& s) { return s.b1(); });
        b2_[g] = gather(left, right, g, [](const Section& s) { return s.b2(); });
        a1_[g] = gather(left, right, g, [](const Section& s) { return s.a1(); });
        a2_[g] = gather(left, right, g, [](const Section& s) { return s.a2(); });
        c0_[g] = gather(left, right, g, [](const Section& s) { return s.c0(); });
        d0_[g] = gather(left, right, g, [](const Section& s) { return s.d0(); });
        state_.w1[g] = gather(left, right, g, [](const Section& s) { return s.history().w1; });
        state_.w2[g] = gather(left, right, g, [](const Section& s) { return s.history().w2; });
        state_.y[g] = gather(left, right, g, [](const Section& s) { return s.history().y; });
    }
}

void StereoCascade::store() noexcept {
    for (int i = 0; i < kSections; ++i) {
        const int g = i / 2, lane = 2 * (i % 2);
        for (int channel = 0; channel < 2; ++channel) {
            // After a step w and w1 are the same value.
            const float w1 = laneOf(state_.w1[g], lane + channel);
            auto& section = (channel == 0 ? left_ : right_)->section(i);
            section.setHistory({w1, w1, laneOf(state_.w2[g], lane + channel), laneOf(state_.y[g], lane + channel)});
        }
    }
}

}  // namespace dsp::oversampling
