// Speed of the signal path: the crossover delay's compute() alone on stereo in 512-frame
// blocks at 48 kHz and at the 768 kHz working-rate ceiling, and the oversampler's
// upsample + decimate pair at factors 2, 4 and 8. "x_realtime" is seconds of audio
// processed per CPU second.
//
// Every kernel is measured next to its Baseline twin, a frozen copy of the code it
// replaced (bench/dsp/baseline/), with the same bits out; compare the two in the same
// run, since the machine's load moves both alike:
//   bench_dsp --benchmark_repetitions=9 --benchmark_report_aggregates_only=true

#include <benchmark/benchmark.h>

#include <emmintrin.h>

#include <cmath>
#include <random>
#include <vector>

#include "baseline/baselinecrossoverdelay.h"
#include "baseline/baselineoversampler.h"
#include "dsp/oversampling/stereoupsampler.h"
#include "kestrin/stereocrossoverdelay.h"

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;

std::vector<float> noise(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    std::vector<float> v(n);
    for (float& x : v) x = dist(rng);
    return v;
}

void reportRealtime(benchmark::State& state, int framesPerIteration, double rate = kRate) {
    state.counters["x_realtime"] = benchmark::Counter(double(framesPerIteration) / rate,
                                                      benchmark::Counter::kIsIterationInvariantRate);
}

// Argument: the working rate: 48 kHz (a 48 kHz host at factor 1), 384 kHz (at factor
// 8) and the 768 kHz ceiling, where the lines in use are 16 times as long as at 48 kHz.
template <typename Delay>
void crossoverDelayCompute(benchmark::State& state) {
    const int rate = int(state.range(0));
    auto dsp = Delay::create();
    dsp->prepareLines(rate);
    dsp->initialize(rate);
    // Default settings with feedback, so that the lines and both wet chains all work.
    std::vector<float> left = noise(kBlock, 1), right = noise(kBlock, 2);
    std::vector<float> out0(kBlock), out1(kBlock);
    float* ins[2] = {left.data(), right.data()};
    float* outs[2] = {out0.data(), out1.data()};
    for (auto _ : state) {
        dsp->compute(kBlock, ins, outs);
        benchmark::DoNotOptimize(out0.data());
        benchmark::DoNotOptimize(out1.data());
    }
    reportRealtime(state, kBlock, rate);
}
void BM_CrossoverDelayCompute(benchmark::State& state) { crossoverDelayCompute<kestrin::StereoCrossoverDelay>(state); }
void BM_CrossoverDelayComputeBaseline(benchmark::State& state) {
    crossoverDelayCompute<baseline::BaselineCrossoverDelay>(state);
}
BENCHMARK(BM_CrossoverDelayCompute)->Arg(48000)->Arg(384000)->Arg(768000);
BENCHMARK(BM_CrossoverDelayComputeBaseline)->Arg(48000)->Arg(384000)->Arg(768000);

struct CurrentOversampler {
    static void upsample(dsp::oversampling::StereoUpsampler& up, int frames, const float* const* ins) {
        (void)up.upsample(frames, ins);
    }
    static void decimate(dsp::oversampling::StereoUpsampler& up, float* const* outs, int frames) {
        (void)up.decimate(outs, frames);
    }
};
struct BaselineOversampler {
    static void upsample(dsp::oversampling::StereoUpsampler& up, int frames, const float* const* ins) {
        baseline::upsample(up, frames, ins);
    }
    static void decimate(dsp::oversampling::StereoUpsampler& up, float* const* outs, int frames) {
        baseline::decimate(up, outs, frames);
    }
};

template <typename Oversampler>
void upsampleDecimate(benchmark::State& state) {
    const int factor = int(state.range(0));
    dsp::oversampling::StereoUpsampler upsampler;
    if (!upsampler.initialize(8, kBlock)) state.SkipWithError("initialize failed");
    upsampler.setBaseSampleRate(float(kRate));
    if (!upsampler.setOverSampleFactor(factor)) state.SkipWithError("factor refused");
    std::vector<float> left = noise(kBlock, 3), right = noise(kBlock, 4);
    std::vector<float> out0(kBlock), out1(kBlock);
    const float* ins[2] = {left.data(), right.data()};
    float* outs[2] = {out0.data(), out1.data()};
    for (auto _ : state) {
        Oversampler::upsample(upsampler, kBlock, ins);
        Oversampler::decimate(upsampler, outs, kBlock);
        benchmark::DoNotOptimize(out0.data());
    }
    reportRealtime(state, kBlock);
}
void BM_UpsampleDecimate(benchmark::State& state) { upsampleDecimate<CurrentOversampler>(state); }
void BM_UpsampleDecimateBaseline(benchmark::State& state) { upsampleDecimate<BaselineOversampler>(state); }
BENCHMARK(BM_UpsampleDecimate)->Arg(2)->Arg(4)->Arg(8);
BENCHMARK(BM_UpsampleDecimateBaseline)->Arg(2)->Arg(4)->Arg(8);

// The effect's signal path as the client runs it for one 512-frame host block at
// 48 kHz: upsample, the delay in place on the work buffers at factor x 48 kHz,
// decimate. Argument: the factor (1 copies through the oversampler).
template <typename Delay, typename Oversampler>
void effectPath(benchmark::State& state) {
    const int factor = int(state.range(0));
    dsp::oversampling::StereoUpsampler upsampler;
    if (!upsampler.initialize(8, kBlock)) state.SkipWithError("initialize failed");
    upsampler.setBaseSampleRate(float(kRate));
    if (!upsampler.setOverSampleFactor(factor)) state.SkipWithError("factor refused");
    auto dsp = Delay::create();
    dsp->prepareLines(factor * kRate);
    dsp->initialize(factor * kRate);
    std::vector<float> left = noise(kBlock, 5), right = noise(kBlock, 6);
    std::vector<float> out0(kBlock), out1(kBlock);
    const float* ins[2] = {left.data(), right.data()};
    float* outs[2] = {out0.data(), out1.data()};
    float* work[2] = {upsampler.workBuffer(0), upsampler.workBuffer(1)};
    for (auto _ : state) {
        if (factor == 1) {
            (void)upsampler.upsample(kBlock, ins);
        } else {
            Oversampler::upsample(upsampler, kBlock, ins);
        }
        dsp->compute(factor * kBlock, work, work);
        if (factor == 1) {
            (void)upsampler.decimate(outs, kBlock);
        } else {
            Oversampler::decimate(upsampler, outs, kBlock);
        }
        benchmark::DoNotOptimize(out0.data());
        benchmark::DoNotOptimize(out1.data());
    }
    reportRealtime(state, kBlock);
}
void BM_EffectPath(benchmark::State& state) { effectPath<kestrin::StereoCrossoverDelay, CurrentOversampler>(state); }
void BM_EffectPathBaseline(benchmark::State& state) {
    effectPath<baseline::BaselineCrossoverDelay, BaselineOversampler>(state);
}
BENCHMARK(BM_EffectPath)->Arg(1)->Arg(8);
BENCHMARK(BM_EffectPathBaseline)->Arg(1)->Arg(8);

// Latency bounds. Each recursion below is one loop-carried chain of the processing
// above, the same operations in the same order, and nothing else: no code that keeps
// those operations (and so the bits) can run a sample faster than its chain. One
// iteration is 512 samples, like one host block at factor 1 (for the delay's wet
// chain) or one eighth of a factor-8 block (for an oversampler section, which runs
// 2 x 8 x 512 samples per block: up and down). The inline asm keeps the value in a
// register without adding an instruction.

// Section 2 (and 3) of the wet chain: v = float(y - double((a1 v[n-1] + a2 v[n-2]) g)),
// where only the v[n-1] path is in the chain: mul, add, mul, widen, sub, narrow.
void BM_LatencyBoundWetSection(benchmark::State& state) {
    __m128 v = _mm_set1_ps(0.25f), older = _mm_set1_ps(0.125f);
    const __m128 a1 = _mm_set1_ps(-1.5f), a2 = _mm_set1_ps(0.6f), g = _mm_set1_ps(0.3f);
    const __m128d y = _mm_set1_pd(0.01);
    for (auto _ : state) {
        for (int n = 0; n < kBlock; ++n) {
            const __m128 fb = _mm_mul_ps(_mm_add_ps(_mm_mul_ps(a1, v), _mm_mul_ps(a2, older)), g);
            v = _mm_cvtpd_ps(_mm_sub_pd(y, _mm_cvtps_pd(fb)));
            __asm__ volatile("" : "+x"(v));
        }
    }
    benchmark::DoNotOptimize(v);
    reportRealtime(state, kBlock);
}
BENCHMARK(BM_LatencyBoundWetSection);

// The DC blocker: D = float((0.995 double(D[n-1]) + q) - q'): widen, mul, add, sub, narrow.
void BM_LatencyBoundDcBlocker(benchmark::State& state) {
    __m128 d = _mm_set1_ps(0.25f);
    const __m128d k = _mm_set1_pd(0.995), q = _mm_set1_pd(0.01), previous = _mm_set1_pd(0.01);
    for (auto _ : state) {
        for (int n = 0; n < kBlock; ++n) {
            d = _mm_cvtpd_ps(_mm_sub_pd(_mm_add_pd(_mm_mul_pd(k, _mm_cvtps_pd(d)), q), previous));
            __asm__ volatile("" : "+x"(d));
        }
    }
    benchmark::DoNotOptimize(d);
    reportRealtime(state, kBlock);
}
BENCHMARK(BM_LatencyBoundDcBlocker);

// One oversampler section: w = (x - a1 w[n-1]) - a2 w[n-2]: mul, sub, sub.
void BM_LatencyBoundCascadeSection(benchmark::State& state) {
    __m128 w = _mm_set1_ps(0.25f), older = _mm_set1_ps(0.125f);
    const __m128 x = _mm_set1_ps(0.01f), a1 = _mm_set1_ps(-1.5f), a2 = _mm_set1_ps(0.6f);
    for (auto _ : state) {
        for (int n = 0; n < kBlock; ++n) {
            const __m128 next = _mm_sub_ps(_mm_sub_ps(x, _mm_mul_ps(a1, w)), _mm_mul_ps(a2, older));
            older = w;
            w = next;
            __asm__ volatile("" : "+x"(w), "+x"(older));
        }
    }
    benchmark::DoNotOptimize(w);
    reportRealtime(state, kBlock);
}
BENCHMARK(BM_LatencyBoundCascadeSection);

// Throughput bound of the oversampler: the arithmetic of one pipelined cascade step
// (three registers of two sections each, 11 packed operations per register) and
// nothing else: the inputs are fixed registers instead of the previous step's
// shuffled outputs, no loads, no stores. Its recursions are the cascade's own, so
// this is the least time a step of that arithmetic can take on the FP ports.
void BM_ThroughputBoundCascadeStep(benchmark::State& state) {
    __m128 w1[3], w2[3], y[3];
    const __m128 a1 = _mm_set1_ps(-1.5f), a2 = _mm_set1_ps(0.6f), b0 = _mm_set1_ps(0.02f), b1 = _mm_set1_ps(0.04f),
                 b2 = _mm_set1_ps(0.02f), d0 = _mm_setzero_ps();
    for (int g = 0; g < 3; ++g) w1[g] = w2[g] = y[g] = _mm_set1_ps(0.1f * float(g + 1));
    const __m128 x[3] = {_mm_set1_ps(0.01f), _mm_set1_ps(0.02f), _mm_set1_ps(0.03f)};
    for (auto _ : state) {
        for (int n = 0; n < kBlock; ++n) {
            for (int g = 0; g < 3; ++g) {
                const __m128 w = _mm_sub_ps(_mm_sub_ps(x[g], _mm_mul_ps(a1, w1[g])), _mm_mul_ps(a2, w2[g]));
                const __m128 s = _mm_add_ps(_mm_mul_ps(b2, w2[g]), _mm_add_ps(_mm_mul_ps(b1, w1[g]), _mm_mul_ps(b0, w)));
                y[g] = _mm_add_ps(s, _mm_mul_ps(d0, x[g]));
                w2[g] = w1[g];
                w1[g] = w;
                __asm__ volatile("" : "+x"(y[g]), "+x"(w1[g]));
            }
        }
    }
    benchmark::DoNotOptimize(y);
    reportRealtime(state, kBlock);
}
BENCHMARK(BM_ThroughputBoundCascadeStep);

}  // namespace
