// The oversampler: Upsampler per channel and the StereoUpsampler pair.

#include "dsp/oversampling/stereoupsampler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "dsp/inputguard.h"
#include "dsp/tonemeasure.h"
#include "support/realtime_watch.h"

namespace {

using testsupport::toneAmplitude;

using dsp::oversampling::StereoUpsampler;
using dsp::oversampling::Upsampler;

constexpr int kLargestFactor = 8;
constexpr int kLargestBlock = 512;

// An oversampler set up the way the effect client sets it up.
void prepare(StereoUpsampler& up, float rate, int factor) {
    ASSERT_TRUE(up.initialize(kLargestFactor, kLargestBlock).ok());
    up.setBaseSampleRate(rate);
    ASSERT_TRUE(up.setOverSampleFactor(factor).ok());
}

std::vector<float> sine(std::size_t n, double frequency, double rate, double amplitude = 0.5) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = float(amplitude * std::sin(2 * M_PI * frequency * double(i) / rate));
    return v;
}

// Runs both channels (the same signal on each) through upsample, an optional action
// on the work buffers, and decimate; collects the raised-rate and the decimated signals.
struct Pass {
    std::vector<float> raised, out;
};
template <typename Action>
Pass runThrough(StereoUpsampler& up, const std::vector<float>& in, int block, Action action) {
    Pass p;
    const int f = up.factor();
    std::vector<float> out0(static_cast<std::size_t>(block)), out1(static_cast<std::size_t>(block));
    for (std::size_t start = 0; start < in.size(); start += std::size_t(block)) {
        const int n = int(std::min<std::size_t>(std::size_t(block), in.size() - start));
        const float* ins[2] = {&in[start], &in[start]};
        EXPECT_TRUE(up.upsample(n, ins).ok());
        action(up.workBuffer(0), up.workBuffer(1), n * f);
        p.raised.insert(p.raised.end(), up.workBuffer(0), up.workBuffer(0) + n * f);
        float* outs[2] = {out0.data(), out1.data()};
        EXPECT_TRUE(up.decimate(outs, n).ok());
        EXPECT_EQ(std::memcmp(out0.data(), out1.data(), std::size_t(n) * sizeof(float)), 0);
        p.out.insert(p.out.end(), out0.begin(), out0.begin() + n);
    }
    return p;
}
Pass runThrough(StereoUpsampler& up, const std::vector<float>& in, int block = 512) {
    return runThrough(up, in, block, [](float*, float*, int) {});
}

// ---------------------------------------------------------------------------
// Configuration

TEST(StereoUpsampler, BuffersHoldTheLargestBlockAtTheLargestFactor) {
    StereoUpsampler up;
    prepare(up, 48000, 2);
    EXPECT_EQ(up.channel(0).workBufferLength(), 4097);
    EXPECT_EQ(up.channel(1).workBufferLength(), 4097);
    EXPECT_NE(up.workBuffer(0), up.workBuffer(1));
    EXPECT_EQ(up.workBuffer(2), nullptr);
    EXPECT_EQ(up.workBuffer(-1), nullptr);
    const std::vector<float> in(512, 0.25f);
    const float* ins[2] = {in.data(), in.data()};
    ASSERT_TRUE(up.upsample(512, ins).ok());  // 1,024 raised-rate frames per channel
    ASSERT_TRUE(up.setOverSampleFactor(8).ok());
    EXPECT_TRUE(up.upsample(512, ins).ok());  // 4,096: the largest case
}

TEST(StereoUpsampler, CornerSitsOneFortyFifthOfTheRateBelowNyquist) {
    for (float rate : {44100.0f, 48000.0f}) {
        StereoUpsampler up;
        prepare(up, rate, 4);
        EXPECT_NEAR(up.channel(0).cornerFrequency(), 0.5 * rate - rate / 45.0, 0.01);
        EXPECT_EQ(up.channel(1).raisedSampleRate(), 4 * rate);
    }
    StereoUpsampler up;
    prepare(up, 44100, 2);
    EXPECT_NEAR(up.channel(0).cornerFrequency(), 21070, 1);
}

TEST(StereoUpsampler, RefusesBadConfigurationAndChangesNothing) {
    StereoUpsampler up;
    EXPECT_FALSE(up.setOverSampleFactor(2).ok());  // not initialised
    EXPECT_FALSE(up.initialize(3, 512).ok());
    EXPECT_FALSE(up.initialize(8, 0).ok());
    ASSERT_TRUE(up.initialize(8, 512).ok());
    EXPECT_FALSE(up.setOverSampleFactor(2).ok());  // no base rate yet
    up.setBaseSampleRate(std::numeric_limits<float>::quiet_NaN());
    EXPECT_FALSE(up.setOverSampleFactor(2).ok());
    up.setBaseSampleRate(48000);
    for (int bad : {0, 3, 16, -2}) EXPECT_FALSE(up.setOverSampleFactor(bad).ok()) << bad;
    EXPECT_EQ(up.factor(), 0);
    const float x[4] = {1, 2, 3, 4};
    const float* ins[2] = {x, x};
    EXPECT_FALSE(up.upsample(4, ins).ok());  // no factor yet
    ASSERT_TRUE(up.setOverSampleFactor(4).ok());
    EXPECT_EQ(up.factor(), 4);
}

TEST(StereoUpsampler, RefusesOversizedOrNullBlocksWithoutTouchingTheBuffers) {
    StereoUpsampler up;
    prepare(up, 48000, 8);
    std::vector<float> in(600, 0.5f), out(600, 9.0f);
    const float* ins[2] = {in.data(), in.data()};
    const float* halfNull[2] = {in.data(), nullptr};
    const float before = up.workBuffer(0)[0];
    EXPECT_FALSE(up.upsample(513, ins).ok());
    EXPECT_FALSE(up.upsample(-1, ins).ok());
    EXPECT_FALSE(up.upsample(4, halfNull).ok());
    EXPECT_FALSE(up.upsample(4, nullptr).ok());
    EXPECT_EQ(up.workBuffer(0)[0], before);
    float* outs[2] = {out.data(), nullptr};
    EXPECT_FALSE(up.decimate(outs, 4).ok());
    EXPECT_EQ(out[0], 9.0f);
    EXPECT_TRUE(up.upsample(0, ins).ok());
    // At factor 2 the same buffer takes twice the frames.
    ASSERT_TRUE(up.setOverSampleFactor(2).ok());
    EXPECT_TRUE(up.upsample(600, ins).ok());
    EXPECT_FALSE(up.upsample(2049, ins).ok());
}

// ---------------------------------------------------------------------------
// Factor 1

TEST(StereoUpsampler, FactorOnePassesSamplesThroughUntouched) {
    StereoUpsampler up;
    prepare(up, 44100, 1);
    std::mt19937 rng(3);
    std::vector<float> in(1000);
    for (float& x : in) x = std::uniform_real_distribution<float>(-1000, 1000)(rng);
    in[5] = -0.0f;
    in[6] = std::numeric_limits<float>::denorm_min();
    const Pass p = runThrough(up, in, 333);
    EXPECT_EQ(std::memcmp(p.out.data(), in.data(), in.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(p.raised.data(), in.data(), in.size() * sizeof(float)), 0);
}

// ---------------------------------------------------------------------------
// Filters: level, images, aliasing, flatness

TEST(StereoUpsampler, ConstantInputSettlesToTheSameConstant) {
    StereoUpsampler up;
    prepare(up, 48000, 4);
    const Pass p = runThrough(up, std::vector<float>(4096, 1.0f));
    EXPECT_NEAR(p.out.back(), 1.0f, 1e-4f);
    // The work buffer averages 1 with only a small residue of the images.
    double sum = 0, peak = 0;
    for (std::size_t i = p.raised.size() - 2048; i < p.raised.size(); ++i) {
        sum += p.raised[i];
        peak = std::max(peak, std::fabs(double(p.raised[i]) - 1.0));
    }
    EXPECT_NEAR(sum / 2048, 1.0, 1e-4);
    EXPECT_LT(peak, 2e-3);  // about 64 dB below
}

TEST(StereoUpsampler, RejectsTheImagesOfTheZeroStuffing) {
    const double rate = 48000, tone = 1500;
    for (int factor : {2, 4, 8}) {
        StereoUpsampler up;
        prepare(up, float(rate), factor);
        const Pass p = runThrough(up, sine(6000, tone, rate));
        const double raised = rate * factor;
        // 3200 base-rate samples hold whole periods of the tone and of every image.
        const std::size_t from = 2000 * std::size_t(factor), length = 3200 * std::size_t(factor);
        const double wanted = toneAmplitude(p.raised, from, length, tone, raised);
        EXPECT_NEAR(wanted, 0.5, 0.005) << factor;
        for (int k = 1; k < factor; ++k) {
            for (double image : {k * rate - tone, k * rate + tone}) {
                if (image >= raised / 2) continue;
                const double level = 20 * std::log10(toneAmplitude(p.raised, from, length, image, raised) / wanted);
                EXPECT_LT(level, -60.0) << "factor " << factor << ", image at " << image << " Hz";
            }
        }
    }
}

TEST(StereoUpsampler, DecimationRemovesWhatWouldAlias) {
    const double rate = 48000;
    for (int factor : {2, 4, 8}) {
        StereoUpsampler up;
        prepare(up, float(rate), factor);
                // Each tone lies above the host Nyquist frequency and would fold into the audio band.
        const double raised = rate * factor, tone = factor == 2 ? 0.5 * raised - 4000 : 1.5 * rate - 5000;
        long n = 0;
        const Pass p = runThrough(up, std::vector<float>(6000, 0.0f), 512, [&](float* left, float* right, int count) {
            for (int i = 0; i < count; ++i, ++n)
                left[i] = right[i] = float(0.5 * std::sin(2 * M_PI * tone * double(n) / raised));
        });
        double peak = 0;
        for (std::size_t i = 2000; i < p.out.size(); ++i) peak = std::max(peak, std::fabs(double(p.out[i])));
        EXPECT_LT(20 * std::log10(peak / 0.5), -60.0) << factor;
    }
}

TEST(StereoUpsampler, PassbandIsFlatAfterUpsampleAndDecimate) {
    const double rate = 48000, corner = 0.5 * rate - rate / 45;
    for (int factor : {2, 4, 8}) {
        for (double f : {100.0, 1000.0, 5000.0, 10000.0, 16000.0, 20000.0}) {
            StereoUpsampler up;
            prepare(up, float(rate), factor);
            const Pass p = runThrough(up, sine(8000, f, rate));
            const double gain = toneAmplitude(p.out, 3200, 4800, f, rate) / 0.5;
            // Two tenth-order Butterworth passes, pre-warped at the corner at the raised rate.
            const double raised = rate * factor;
            const double ratio = std::tan(M_PI * f / raised) / std::tan(M_PI * corner / raised);
            const double expected = 1 / (1 + std::pow(ratio, 20));
            EXPECT_NEAR(20 * std::log10(gain), 20 * std::log10(expected), 0.1) << factor << " x, " << f << " Hz";
            if (f <= 16000) {
                EXPECT_NEAR(20 * std::log10(gain), 0.0, 0.05) << factor << " x, " << f << " Hz";
            }
        }
    }
}

// ---------------------------------------------------------------------------
// Factor changes

TEST(StereoUpsampler, SameFactorAgainChangesNothingEvenAfterARateChange) {
    StereoUpsampler a, b;
    prepare(a, 48000, 4);
    prepare(b, 48000, 4);
    const std::vector<float> x = sine(1024, 3000, 48000);
    runThrough(a, x);
    runThrough(b, x);
    a.setBaseSampleRate(44100);
    ASSERT_TRUE(a.setOverSampleFactor(4).ok());
    EXPECT_EQ(a.channel(0).raisedSampleRate(), 4 * 48000.0f);
    EXPECT_EQ(a.channel(1).cornerFrequency(), b.channel(1).cornerFrequency());
    EXPECT_EQ(runThrough(a, x).out, runThrough(b, x).out);
}

TEST(StereoUpsampler, FactorChangeStartsBothFiltersOfBothChannelsFromSilence) {
    StereoUpsampler used, fresh;
    prepare(used, 48000, 2);
    runThrough(used, sine(2048, 2000, 48000));
    ASSERT_TRUE(used.setOverSampleFactor(4).ok());
    prepare(fresh, 48000, 4);
    const std::vector<float> x = sine(700, 500, 48000);
    std::vector<float> usedOut[2], freshOut[2];
    for (auto* up : {&used, &fresh}) {
        std::vector<float> o0(512), o1(512);
        for (std::size_t start = 0; start < x.size(); start += 512) {
            const int n = int(std::min<std::size_t>(512, x.size() - start));
            const float* ins[2] = {&x[start], &x[start]};
            float* outs[2] = {o0.data(), o1.data()};
            ASSERT_TRUE(up->upsample(n, ins).ok());
            ASSERT_TRUE(up->decimate(outs, n).ok());
            auto& dest = (up == &used) ? usedOut : freshOut;
            dest[0].insert(dest[0].end(), o0.begin(), o0.begin() + n);
            dest[1].insert(dest[1].end(), o1.begin(), o1.begin() + n);
        }
    }
    EXPECT_EQ(usedOut[0], freshOut[0]);
    EXPECT_EQ(usedOut[1], freshOut[1]);
}

TEST(StereoUpsampler, FactorChangeClearsTheFiltersEvenWhenTheRaisedRateStays) {
    StereoUpsampler used, fresh;
    prepare(used, 48000, 2);
    runThrough(used, sine(1024, 3000, 48000));
    used.setBaseSampleRate(96000);
    ASSERT_TRUE(used.setOverSampleFactor(1).ok());  // raised rate 96 kHz again
    used.setBaseSampleRate(48000);
    ASSERT_TRUE(used.setOverSampleFactor(2).ok());
    prepare(fresh, 48000, 2);
    const std::vector<float> x = sine(600, 700, 48000);
    EXPECT_EQ(runThrough(used, x).out, runThrough(fresh, x).out);
}

// ---------------------------------------------------------------------------
// Guards and real-time safety

TEST(StereoUpsampler, NonFiniteOrAbsurdInputEntersAsSilence) {
    for (int factor : {1, 2, 8}) {
        StereoUpsampler a, b;
        prepare(a, 48000, factor);
        prepare(b, 48000, factor);
        std::vector<float> bad = sine(2000, 440, 48000), silenced = bad;
        const std::size_t spots[] = {3, 700, 701, 1500};
        const float values[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(), 1e30f};
        for (int k = 0; k < 4; ++k) {
            bad[spots[k]] = values[k];
            silenced[spots[k]] = 0.0f;
        }
        const Pass pa = runThrough(a, bad), pb = runThrough(b, silenced);
        EXPECT_EQ(pa.out, pb.out) << factor;
        for (float y : pa.out) ASSERT_TRUE(std::isfinite(y));
    }
    EXPECT_EQ(dsp::guardInputSample(1000.0f), 1000.0f);
    EXPECT_EQ(dsp::guardInputSample(-dsp::kLargestInputMagnitude), -dsp::kLargestInputMagnitude);
    EXPECT_EQ(dsp::guardInputSample(2.0f * dsp::kLargestInputMagnitude), 0.0f);
}

TEST(StereoUpsampler, UpsampleAndDecimateNeitherAllocateNorLock) {
    for (int factor : {1, 2, 4, 8}) {
        StereoUpsampler up;
        prepare(up, 44100, factor);
        std::vector<float> in(512, 0.5f), o0(512), o1(512);
        const float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {o0.data(), o1.data()};
        testsupport::RealtimeWatch watch;
        for (int frames = 1; frames <= 512; ++frames) {
            EXPECT_TRUE(up.upsample(frames, ins).ok());
            EXPECT_TRUE(up.decimate(outs, frames).ok());
        }
        up.setBaseSampleRate(96000);
        EXPECT_TRUE(up.setOverSampleFactor(factor == 8 ? 2 : 8).ok());  // reconfiguring allocates nothing either
        const testsupport::RealtimeCounts counts = watch.counts();
        EXPECT_EQ(counts.allocations, 0) << factor;
        EXPECT_EQ(counts.locks, 0) << factor;
        EXPECT_EQ(counts.blockingCalls, 0) << factor;
    }
}

}  // namespace

namespace {

// ---------------------------------------------------------------------------
// The stereo fast path against the plain per-channel reference

TEST(StereoUpsampler, BothChannelsTogetherMatchEachChannelAloneBitForBit) {
    std::mt19937 rng(77);
    std::uniform_real_distribution<float> dist(-1.0f, 1.0f);
    for (int factor : {2, 4, 8}) {
        StereoUpsampler pair;
        prepare(pair, 44100.0f, factor);
        Upsampler alone[2];
        for (Upsampler& u : alone) {
            ASSERT_TRUE(u.initialize(kLargestFactor, kLargestBlock).ok());
            u.setBaseSampleRate(44100.0f);
            ASSERT_TRUE(u.setOverSampleFactor(factor).ok());
        }
        for (int block : {1, 7, 512, 333, 2, 3, 4, 5, 6, 9, 511, 1}) {
            const auto n = static_cast<std::size_t>(block);
            std::vector<float> left(n), right(n);
            for (float& x : left) x = dist(rng);
            for (float& x : right) x = dist(rng) * 0.25f;
            right[0] = std::numeric_limits<float>::quiet_NaN();  // guarded the same way
            const float* ins[2] = {left.data(), right.data()};
            ASSERT_TRUE(pair.upsample(block, ins).ok());
            ASSERT_TRUE(alone[0].upsample(block, left.data()).ok());
            ASSERT_TRUE(alone[1].upsample(block, right.data()).ok());
            const std::size_t raised = std::size_t(block * factor);
            for (int c = 0; c < 2; ++c)
                ASSERT_EQ(std::memcmp(pair.workBuffer(c), alone[c].workBuffer(), raised * sizeof(float)), 0)
                    << "factor " << factor << " block " << block << " channel " << c;

            // The effect would change the work buffers here; make them differ per channel.
            for (std::size_t i = 0; i < raised; ++i) {
                pair.workBuffer(1)[i] *= -0.5f;
                alone[1].workBuffer()[i] *= -0.5f;
            }
            std::vector<float> p0(n), p1(n), a0(n), a1(n);
            float* outs[2] = {p0.data(), p1.data()};
            ASSERT_TRUE(pair.decimate(outs, block).ok());
            ASSERT_TRUE(alone[0].decimate(a0.data(), block).ok());
            ASSERT_TRUE(alone[1].decimate(a1.data(), block).ok());
            ASSERT_EQ(std::memcmp(p0.data(), a0.data(), std::size_t(block) * sizeof(float)), 0);
            ASSERT_EQ(std::memcmp(p1.data(), a1.data(), std::size_t(block) * sizeof(float)), 0);
        }
    }
}

}  // namespace
