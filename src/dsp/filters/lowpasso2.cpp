#include "dsp/filters/lowpasso2.h"

#include <cmath>

namespace dsp::filters {

template <typename T>
void LowpassO2<T>::setQualityFactor(float q) noexcept {
    if (q == q_) return;
    q_ = q;
    calcCoefficients();
}

// The low-pass of the classic "DSP book" form: unity gain at 0 Hz because
// b0 + b1 + b2 = 2 (beta + 0.5 - gamma) = 1 + a1 + a2. Each step keeps the precision
// it is written in; the narrowing conversions are deliberate.
template <typename T>
void LowpassO2<T>::calcCoefficients() noexcept {
    constexpr long double kTwoPi = 2.0L * 3.141592653589793238462643383279502884L;
    theta_ = static_cast<float>(kTwoPi * static_cast<long double>(this->frequency_) /
                                static_cast<long double>(this->sectionRate_));
    invQ_ = 1.0f / q_;
    const float alpha = std::sin(theta_) * (0.5f * invQ_);                  // single
    beta_ = static_cast<float>(0.5 * static_cast<double>(1.0f - alpha) /    // sums single,
                               static_cast<double>(1.0f + alpha));           // rest double
    gamma_ = static_cast<float>(std::cos(static_cast<double>(theta_)) *
                                (static_cast<double>(beta_) + 0.5));
    const double numerator = static_cast<double>(beta_) + 0.5 - static_cast<double>(gamma_);
    this->b1_ = static_cast<T>(static_cast<float>(numerator));
    this->b0_ = static_cast<T>(static_cast<float>(0.5 * numerator));
    this->b2_ = this->b1_ * T(0.5);
    this->a1_ = T(-2) * static_cast<T>(gamma_);
    this->a2_ = T(2) * static_cast<T>(beta_);
}

template class LowpassO2<float>;
template class LowpassO2<double>;

}  // namespace dsp::filters
