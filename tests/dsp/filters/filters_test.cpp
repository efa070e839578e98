// The ddsp filter library: BiQuad sections, LowpassO2 and ButterworthLPNthOrder.

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dsp/filters/butterworthlpnthorder.h"
#include "dsp/filters/lowpasso2.h"
#include "support/realtime_watch.h"

namespace {

using dsp::filters::ButterworthLPNthOrder;
using dsp::filters::LowpassO2;

// Steady-state amplitude of a sine at `frequency` after `effect`, by correlation over
// a whole number of periods once the transient has died away.
template <typename Effect>
double sineGain(Effect& effect, double frequency, double rate) {
    const int settle = 20000, length = 40000;
    const double w = 2 * M_PI * frequency / rate;
    double s = 0, c = 0;
    for (int i = 0; i < settle + length; ++i) {
        const double y = effect.getNextSample(float(std::sin(w * i)));
        if (i >= settle) {
            s += y * std::sin(w * i);
            c += y * std::cos(w * i);
        }
    }
    return 2 * std::hypot(s, c) / length;
}

void configure(LowpassO2<float>& s, float rate, float frequency, float q) {
    s.setSampleRate(rate);
    s.setFrequency(frequency);
    s.setQualityFactor(q);
}

// ---------------------------------------------------------------------------
// BiQuad and LowpassO2

TEST(Filters, SectionHasUnityGainAtZeroHertz) {
    LowpassO2<float> s;
    s.setSampleRate(44100);
    s.setFrequency(5000);
    EXPECT_NEAR(double(s.b0()) + s.b1() + s.b2(), 1.0 + s.a1() + s.a2(), 1e-6);
    float y = 0;
    for (int i = 0; i < 2000; ++i) y = s.getNextSample(1.0f);
    EXPECT_NEAR(y, 1.0f, 1e-5f);
}

TEST(Filters, SectionGainAtTheCornerEqualsItsQualityFactor) {
    for (float q : {0.5f, 0.707f, 1.3f, 3.2f}) {
        LowpassO2<float> s;
        configure(s, 48000, 4000, q);
        EXPECT_NEAR(sineGain(s, 4000, 48000), q, 2e-3 * q) << q;
    }
}

TEST(Filters, SectionCoefficientsFollowTheQuarterRateCase) {
    // At a quarter of the rate the angle is pi/2: alpha = 1/(2Q), gamma = 0, so
    // b0 = beta/2 + 1/4 and a1 = 0, a2 = 2 beta with beta = (1 - alpha) / (2 (1 + alpha)).
    LowpassO2<float> s;
    configure(s, 48000, 12000, 1.0f);
    const double beta = 0.5 * (1 - 0.5) / (1 + 0.5);
    EXPECT_NEAR(s.a1(), 0.0, 1e-6);
    EXPECT_NEAR(s.a2(), 2 * beta, 1e-6);
    EXPECT_NEAR(s.b0(), 0.5 * (beta + 0.5), 1e-6);
    EXPECT_NEAR(s.b1(), beta + 0.5, 1e-6);
    EXPECT_NEAR(s.b2(), 0.5 * (beta + 0.5), 1e-6);
}

TEST(Filters, SettingTheStoredFrequencyLeavesTheCoefficientsAlone) {
    LowpassO2<float> s;
    configure(s, 48000, 1000, 0.707f);
    s.initialize(0.25f, 0.5f, 0.25f, 0.1f, 0.2f, 1.0f, 0.0f);
    s.setFrequency(1000);
    s.setQualityFactor(0.707f);
    EXPECT_EQ(s.b0(), 0.25f);
    EXPECT_EQ(s.a2(), 0.2f);
    s.setFrequency(1001);
    EXPECT_NE(s.b0(), 0.25f);
}

TEST(Filters, SectionSampleRateAlwaysRecomputesAndClears) {
    LowpassO2<float> s;
    configure(s, 48000, 1000, 0.707f);
    for (int i = 0; i < 10; ++i) s.getNextSample(1.0f);
    s.initialize(9, 9, 9, 0, 0, 1, 0);
    s.setSampleRate(48000);  // the same rate
    EXPECT_NE(s.b0(), 9.0f);
    LowpassO2<float> fresh;
    configure(fresh, 48000, 1000, 0.707f);
    EXPECT_EQ(s.getNextSample(0.5f), fresh.getNextSample(0.5f));
}

TEST(Filters, OutputWeightsChooseFilteredOrDirectSignal) {
    LowpassO2<float> s, same;
    configure(s, 48000, 1000, 0.707f);
    configure(same, 48000, 1000, 0.707f);
    // Defaults c0 = 1, d0 = 0: the filtered signal only.
    const float x[] = {1, -0.5f, 0.25f, 0, 0};
    std::vector<float> filtered;
    for (float v : x) filtered.push_back(s.getNextSample(v));
    same.initialize(same.b0(), same.b1(), same.b2(), same.a1(), same.a2(), 0.0f, 1.0f);
    for (float v : x) EXPECT_EQ(same.getNextSample(v), v);  // direct only
    EXPECT_NEAR(filtered[0], s.b0(), 1e-7);                 // impulse: b0 first
    EXPECT_NE(filtered[1], -0.5f);
}

TEST(Filters, ProcessBuffersEqualsSampleBySampleAndWorksInPlace) {
    LowpassO2<float> a, b, c;
    for (auto* f : {&a, &b, &c}) configure(*f, 44100, 3000, 0.9f);
    std::vector<float> in(100), out(100);
    for (int i = 0; i < 100; ++i) in[i] = std::sin(0.3f * float(i));
    a.processBuffers(in.data(), out.data(), 100);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(out[i], b.getNextSample(in[i]));
    c.processBuffers(in.data(), in.data(), 100);
    EXPECT_EQ(in, out);
    c.processBuffers(nullptr, out.data(), 100);  // refused, no crash
}

// ---------------------------------------------------------------------------
// ButterworthLPNthOrder

TEST(Filters, TenthOrderQualityFactorsAreTheButterworthPoles) {
    ButterworthLPNthOrder<float> f(10);
    f.setSampleRate(88200);
    f.setFrequency(21070);
    ASSERT_EQ(f.sectionCount(), 5);
    const double expected[] = {0.50623, 0.56116, 0.70711, 1.10134, 3.19623};
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(f.section(i).qualityFactor(), expected[i], 1e-5) << i;
        EXPECT_EQ(f.section(i).frequency(), 21070.0f);
        EXPECT_EQ(f.section(i).sectionRate(), 88200.0f);
    }
}

TEST(Filters, ButterworthPassesAConstantUnchanged) {
    ButterworthLPNthOrder<float> f(10);
    f.setSampleRate(88200);
    f.setFrequency(21070);
    float y = 0;
    for (int i = 0; i < 4000; ++i) y = f.getNextSample(1.0f);
    EXPECT_NEAR(y, 1.0f, 1e-5f);
    ButterworthLPNthOrder<double> g(4);
    g.setSampleRate(48000);
    g.setFrequency(8000);  // coefficients are rounded to float whatever the sample type
    double z = 0;
    for (int i = 0; i < 4000; ++i) z = g.getNextSample(-2.0);
    EXPECT_NEAR(z, -2.0, 1e-6);
}

TEST(Filters, ButterworthMagnitudeIsMaximallyFlat) {
    // The sections pre-warp at the corner: |H| = 1/sqrt(1 + (tan(pi f/fs) / tan(pi fc/fs))^2N).
    const double rate = 96000, corner = 10000;
    for (double f : {2500.0, 10000.0, 20000.0}) {
        ButterworthLPNthOrder<float> filter(10);
        filter.setSampleRate(float(rate));
        filter.setFrequency(float(corner));
        const double ratio = std::tan(M_PI * f / rate) / std::tan(M_PI * corner / rate);
        const double expected = 1 / std::sqrt(1 + std::pow(ratio, 20));
        EXPECT_NEAR(20 * std::log10(sineGain(filter, f, rate)), 20 * std::log10(expected), 0.02) << f;
    }
}

TEST(Filters, ButterworthChainsItsSectionsInOrder) {
    ButterworthLPNthOrder<float> f(6), block(6);
    for (auto* b : {&f, &block}) {
        b->setSampleRate(48000);
        b->setFrequency(5000);
    }
    LowpassO2<float> manual[3];
    for (int i = 0; i < 3; ++i) configure(manual[i], 48000, 5000, f.section(i).qualityFactor());
    std::vector<float> in(200), blockOut(200);
    for (int n = 0; n < 200; ++n) {
        float x = (n % 17 == 0) ? 1.0f : 0.1f * float(n % 5);
        in[std::size_t(n)] = x;
        const float y = f.getNextSample(x);
        for (auto& s : manual) x = s.getNextSample(x);
        ASSERT_EQ(y, x) << n;
        blockOut[std::size_t(n)] = y;
    }
    // Whole blocks, section by section, give the same samples.
    std::vector<float> out(200);
    block.processBuffers(in.data(), out.data(), 37);
    block.processBuffers(in.data() + 37, out.data() + 37, 163);
    EXPECT_EQ(out, blockOut);
}

TEST(Filters, ButterworthIgnoresItsStoredRateButClearsOnANewOne) {
    ButterworthLPNthOrder<float> a(10), b(10);
    for (auto* f : {&a, &b}) {
        f->setSampleRate(48000);
        f->setFrequency(8000);
    }
    for (int i = 0; i < 50; ++i) {
        a.getNextSample(1.0f);
        b.getNextSample(1.0f);
    }
    a.setSampleRate(48000);  // stored: history kept
    EXPECT_EQ(a.getNextSample(0.3f), b.getNextSample(0.3f));

    ButterworthLPNthOrder<float> fresh(10);
    fresh.setSampleRate(96000);
    fresh.setFrequency(8000);
    a.setSampleRate(96000);  // new: every section recomputes and starts from silence
    EXPECT_EQ(a.getNextSample(0.7f), fresh.getNextSample(0.7f));
}

TEST(Filters, ButterworthFilteringNeitherAllocatesNorLocks) {
    ButterworthLPNthOrder<float> f(10);
    f.setSampleRate(96000);
    f.setFrequency(20000);
    std::vector<float> buffer(512, 0.5f);
    testsupport::RealtimeWatch watch;
    for (int frames = 1; frames <= 512; ++frames) {
        f.processBuffers(buffer.data(), buffer.data(), frames);
        f.getNextSample(0.1f);
    }
    EXPECT_EQ(watch.counts().allocations, 0);
    EXPECT_EQ(watch.counts().locks, 0);
    EXPECT_EQ(watch.counts().blockingCalls, 0);
}

}  // namespace
