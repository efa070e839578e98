#include "samplequantizer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using kestrincli::SampleQuantizer;

TEST(SampleQuantizer, TwentyFourBitsRoundToTheNearestStepWithoutNoise) {
    SampleQuantizer q(24);
    const double step = std::ldexp(1.0, -23);
    for (double x : {0.0, 0.25, -0.5, 0.3 + 0.4 * step, -0.3 - 0.6 * step})
        EXPECT_EQ(q.quantize(float(x)), std::int32_t(std::floor(double(float(x)) / step + 0.5))) << x;
    EXPECT_EQ(q.clipped(), 0u);
}

TEST(SampleQuantizer, SixteenBitsAddTriangularDitherOfOneStep) {
    // Two uniform values of +-1/2 step: the added noise stays within +-1 step, has a
    // variance of 1/6 step^2 and so with the rounding (1/12) a total error power near
    // 1/4 step^2, where plain rounding gives 1/12.
    SampleQuantizer q(16);
    const double step = 1.0 / 32768.0;
    const int n = 200000;
    double power = 0, mean = 0;
    int largest = 0;
    for (int i = 0; i < n; ++i) {
        const double x = 0.1 * std::sin(0.001 * i) + 0.37 * step;
        const double error = double(q.quantize(float(x))) - double(float(x)) / step;
        EXPECT_LE(std::fabs(error), 1.5) << i;
        largest = std::max(largest, int(std::fabs(error) > 1.0));
        power += error * error;
        mean += error;
    }
    EXPECT_NEAR(power / n, 0.25, 0.01);
    EXPECT_NEAR(mean / n, 0.0, 0.01);
    EXPECT_EQ(largest, 1) << "errors beyond one step come from the dither";
    // Silence dithered stays within one step.
    for (int i = 0; i < 1000; ++i) EXPECT_LE(std::abs(q.quantize(0.0f)), 1);
}

TEST(SampleQuantizer, TheSameSamplesGiveTheSameIntegers) {
    SampleQuantizer a(16), b(16);
    for (int i = 0; i < 10000; ++i) {
        const float x = float(0.5 * std::sin(0.01 * i));
        ASSERT_EQ(a.quantize(x), b.quantize(x)) << i;
    }
}

TEST(SampleQuantizer, ClipsAtFullScaleAndCountsEachClippedSample) {
    SampleQuantizer q24(24), q16(16);
    const std::vector<float> samples = {0.5f, 1.5f, -1.25f, 0.9f, 2.0f, -0.999f, -3.0f};
    int beyond = 0;
    for (float x : samples) {
        const std::int32_t v24 = q24.quantize(x);
        const std::int32_t v16 = q16.quantize(x);
        EXPECT_GE(v24, -(1 << 23));
        EXPECT_LE(v24, (1 << 23) - 1);
        EXPECT_GE(v16, -32768);
        EXPECT_LE(v16, 32767);
        if (std::fabs(x) > 1.0f) {
            ++beyond;
            EXPECT_EQ(v16, x > 0 ? 32767 : -32768) << x;
        }
    }
    EXPECT_EQ(q24.clipped(), std::uint64_t(beyond));
    EXPECT_EQ(q16.clipped(), std::uint64_t(beyond));
}

}  // namespace
