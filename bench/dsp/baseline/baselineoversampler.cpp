#include "baseline/baselineoversampler.h"

#include "baseline/baselinestereocascade.h"
#include "dsp/inputguard.h"

namespace baseline {

void upsample(dsp::oversampling::StereoUpsampler& up, int frames, const float* const* inputs) noexcept {
    const int f = up.factor();
    BaselineStereoCascade cascade;
    cascade.load(*up.channel(0).interpolationFilter(), *up.channel(1).interpolationFilter());
    const __m128 gain = _mm_set1_ps(static_cast<float>(f));
    const __m128 zero = _mm_setzero_ps();
    float* out0 = up.workBuffer(0);
    float* out1 = up.workBuffer(1);
    const float* in0 = inputs[0];
    const float* in1 = inputs[1];
    for (int i = 0; i < frames; ++i) {
        __m128 y = _mm_mul_ps(
            cascade.process(BaselineStereoCascade::pair(dsp::guardInputSample(in0[i]), dsp::guardInputSample(in1[i]))),
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
}

void decimate(dsp::oversampling::StereoUpsampler& up, float* const* outputs, int frames) noexcept {
    const int f = up.factor();
    BaselineStereoCascade cascade;
    cascade.load(*up.channel(0).decimationFilter(), *up.channel(1).decimationFilter());
    const float* in0 = up.workBuffer(0);
    const float* in1 = up.workBuffer(1);
    float* out0 = outputs[0];
    float* out1 = outputs[1];
    for (int i = 0; i < frames; ++i) {
        const __m128 y = cascade.process(BaselineStereoCascade::pair(*in0++, *in1++));
        out0[i] = _mm_cvtss_f32(y);
        out1[i] = _mm_cvtss_f32(_mm_shuffle_ps(y, y, 1));
        for (int k = 1; k < f; ++k) cascade.process(BaselineStereoCascade::pair(*in0++, *in1++));
    }
    cascade.store();
}

}  // namespace baseline
