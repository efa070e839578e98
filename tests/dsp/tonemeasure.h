#pragma once
// Test helper: the amplitude of one sine component of a signal.

#include <cmath>
#include <cstddef>
#include <vector>

namespace testsupport {

// Amplitude of the sine at `frequency` in y[from, from + length), by correlation with
// a sine and a cosine. Exact when the window holds whole periods of every component.
inline double toneAmplitude(const std::vector<float>& y, std::size_t from, std::size_t length, double frequency,
                            double rate) {
    double s = 0, c = 0;
    const double w = 2 * M_PI * frequency / rate;
    for (std::size_t i = from; i < from + length; ++i) {
        s += y[i] * std::sin(w * double(i));
        c += y[i] * std::cos(w * double(i));
    }
    return 2 * std::hypot(s, c) / double(length);
}

}  // namespace testsupport
