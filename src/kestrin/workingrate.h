#pragma once
// The working rate: the rate the delay processor runs at, host rate x oversampling
// factor. It never exceeds kMaxWorkingRate. Above it the oversampling buys nothing
// audible (a 384 kHz host rate already leaves the drive stage's harmonics room) and
// the wet chain's 60 Hz single-precision high-pass loses its corner: at about 1.5 MHz
// its state collapses to a constant and no echo is heard. When "Upsample Amount" asks
// for more, the next lower factor that fits is used; the parameter keeps its value.
//
// Pure functions, shared by the effect client and the command-line host, which
// computes the factor in force from the rate and the parameter on its own.

namespace kestrin {

inline constexpr double kMaxWorkingRate = 768000.0;  // hertz
inline constexpr int kLargestOversamplingFactor = 8;

// Any thread. The factor in force: the largest of 1, 2, 4, 8 that is not above
// `askedFactor` and keeps hostRate x factor <= kMaxWorkingRate. Factor 1 is always
// allowed (also for a NaN, negative or too high host rate, or an asked factor below 1).
constexpr int oversamplingFactorInForce(double hostRate, int askedFactor) noexcept {
    int factor = 1;
    while (factor < kLargestOversamplingFactor && factor * 2 <= askedFactor &&
           hostRate * double(factor * 2) <= kMaxWorkingRate)
        factor *= 2;
    return factor;
}

// Any thread. The highest working rate a host rate can reach (at the largest factor
// in force), in hertz.
constexpr double highestWorkingRate(double hostRate) noexcept {
    return hostRate * double(oversamplingFactorInForce(hostRate, kLargestOversamplingFactor));
}

}  // namespace kestrin
