#include "dsp/filters/butterworthlpnthorder.h"

#include <cmath>
#include <limits>

#include "framework/core/fatal.h"

namespace dsp::filters {

template <typename T>
ButterworthLPNthOrder<T>::ButterworthLPNthOrder(int order)
    : frequency_(std::numeric_limits<float>::quiet_NaN()) {
    if (order < 2 || order % 2 != 0) fw::fatalError("Butterworth low-pass order must be even and at least 2");
    order_ = order;
    sectionCount_ = order / 2;
    sections_ = std::make_unique<LowpassO2<T>[]>(static_cast<std::size_t>(sectionCount_));
}

template <typename T>
void ButterworthLPNthOrder<T>::processBuffers(const T* input, T* output, int count) noexcept {
    if (input == nullptr || output == nullptr || count <= 0) return;
    // Section by section over the whole block: each section's result depends only on
    // its own input sequence, so this equals running the samples one by one.
    sections_[0].processBuffers(input, output, count);
    for (int i = 1; i < sectionCount_; ++i) sections_[i].processBuffers(output, output, count);
}

template <typename T>
void ButterworthLPNthOrder<T>::reset() noexcept {
    for (int i = 0; i < sectionCount_; ++i) sections_[i].reset();
}

template <typename T>
void ButterworthLPNthOrder<T>::setSampleRate(float sampleRate) noexcept {
    if (sampleRate == this->sampleRate_) return;
    this->sampleRate_ = sampleRate;
    for (int i = 0; i < sectionCount_; ++i) sections_[i].setSampleRate(sampleRate);
}

template <typename T>
void ButterworthLPNthOrder<T>::setFrequency(float frequency) noexcept {
    if (frequency == frequency_) return;
    frequency_ = frequency;
    constexpr long double kPi = 3.141592653589793238462643383279502884L;
    const long double twiceOrder = 2.0L * static_cast<long double>(order_);
    for (int i = 0; i < sectionCount_; ++i) {
        // Pole angles of the analogue Butterworth prototype, in extended precision.
        const long double angle = static_cast<long double>(2 * i + 1) * kPi / twiceOrder;
        const float q = static_cast<float>(std::fabs(1.0L / (2.0L * std::cos(angle))));
        sections_[i].setFrequency(frequency);
        sections_[i].setQualityFactor(q);
    }
}

template class ButterworthLPNthOrder<float>;
template class ButterworthLPNthOrder<double>;

}  // namespace dsp::filters
