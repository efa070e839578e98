// Speed of the signal path: the crossover delay's compute() alone on stereo in 512-frame
// blocks at 48 kHz and at the 768 kHz working-rate ceiling, and the oversampler's
// upsample + decimate pair at factors 2, 4 and 8. "x_realtime" is seconds of audio
// processed per CPU second.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

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

// Argument: the working rate. 768 kHz is the ceiling (384 kHz at 2x), where the
// lines in use are 16 times as long as at 48 kHz.
void BM_CrossoverDelayCompute(benchmark::State& state) {
    const int rate = int(state.range(0));
    auto dsp = kestrin::StereoCrossoverDelay::create();
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
BENCHMARK(BM_CrossoverDelayCompute)->Arg(48000)->Arg(768000);

void BM_UpsampleDecimate(benchmark::State& state) {
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
        const bool ok = upsampler.upsample(kBlock, ins).ok() && upsampler.decimate(outs, kBlock).ok();
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(out0.data());
    }
    reportRealtime(state, kBlock);
}
BENCHMARK(BM_UpsampleDecimate)->Arg(2)->Arg(4)->Arg(8);

}  // namespace
