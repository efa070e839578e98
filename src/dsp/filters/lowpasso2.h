#pragma once
// LowpassO2<T>: a second-order low-pass section with a quality factor (default 0.707),
// its coefficients derived from the corner frequency and the section rate.

#include "dsp/filters/biquad.h"

namespace dsp::filters {

template <typename T>
class LowpassO2 : public BiQuad<T> {
public:
    // Set-up or audio thread; never allocates. Recomputes only when q really changes.
    virtual void setQualityFactor(float q) noexcept;

    float qualityFactor() const noexcept { return q_; }

protected:
    void calcCoefficients() noexcept override;

private:
    float theta_ = 0.0f;   // corner as an angle per sample, radians
    float q_ = 0.707f;
    float beta_ = 0.0f;
    float gamma_ = 0.0f;
    float invQ_ = 0.0f;
};

extern template class LowpassO2<float>;
extern template class LowpassO2<double>;

}  // namespace dsp::filters
