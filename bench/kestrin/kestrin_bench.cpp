// Speed of the whole effect client: 48 kHz stereo through Kestrin's processing in
// 512-frame host blocks, at oversampling factors 1, 2, 4 and 8. "x_realtime" is
// seconds of audio processed per CPU second. BM_KestrinFactorChange measures what a
// change of "Upsample Amount" costs the audio thread: every block switches between
// two factors, so each one re-initialises the delay (clearing its lines) and the
// oversampler before it processes.

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "kestrin/kestrin.h"

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;

void BM_KestrinProcess(benchmark::State& state) {
    const int amount = int(state.range(0));  // "Upsample Amount" 0..3
    auto k = fw::makeClient<kestrin::Kestrin>();
    k->param(kestrin::kUpsampleAmountParameter)->setFromHost(amount / 3.0);
    k->resetFromHost(kRate, kBlock, 2, 2);
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    std::vector<float> left(kBlock), right(kBlock), out0(kBlock), out1(kBlock);
    for (float& x : left) x = dist(rng);
    for (float& x : right) x = dist(rng);
    fw::TimeInfo info;
    for (auto _ : state) {
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {out0.data(), out1.data()};
        k->processAudioFromHost(ins, outs, kBlock, info, false);
        info.timeInSamples += kBlock;
        benchmark::DoNotOptimize(out0.data());
        benchmark::DoNotOptimize(out1.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(double(kBlock) / kRate, benchmark::Counter::kIsIterationInvariantRate);
    state.SetLabel("factor " + std::to_string(1 << amount));
}
BENCHMARK(BM_KestrinProcess)->DenseRange(0, 3);

void BM_KestrinFactorChange(benchmark::State& state) {
    const int rate = int(state.range(0));
    auto k = fw::makeClient<kestrin::Kestrin>();
    fw::Parameter& amount = *k->param(kestrin::kUpsampleAmountParameter);
    k->resetFromHost(rate, kBlock, 2, 2);
    std::vector<float> left(kBlock, 0.25f), right(kBlock, -0.25f), out0(kBlock), out1(kBlock);
    fw::TimeInfo info;
    bool raised = false;
    for (auto _ : state) {
        raised = !raised;
        amount.setFromHost(raised ? 1.0 / 3.0 : 0.0);  // factor 2, then 1
        float* ins[2] = {left.data(), right.data()};
        float* outs[2] = {out0.data(), out1.data()};
        k->processAudioFromHost(ins, outs, kBlock, info, false);
        benchmark::DoNotOptimize(out0.data());
    }
    state.SetLabel(std::to_string(rate / 1000) + " kHz, one block with a factor change");
}
BENCHMARK(BM_KestrinFactorChange)->Arg(48000)->Arg(96000)->Arg(192000)->Unit(benchmark::kMicrosecond);

}  // namespace
