#pragma once
// Input guard: the first thing every recursive stage of the signal path applies to
// the samples it receives from the host.
//
// A NaN, an infinity or an absurdly large sample would otherwise enter the feedback
// lines and recursive filters and poison them for good. Such a sample is treated as
// silence instead. Every sample within +-2^20 (about 120 dB above full scale) passes
// untouched, and with every magnitude in the path bounded by that, nothing overflows.

#include <cmath>

namespace dsp {

inline constexpr float kLargestInputMagnitude = 1048576.0f;  // 2^20

// Any thread; pure. x when |x| <= 2^20, otherwise 0 (also for NaN and +-Inf).
inline float guardInputSample(float x) noexcept {
    return std::fabs(x) <= kLargestInputMagnitude ? x : 0.0f;
}

}  // namespace dsp
