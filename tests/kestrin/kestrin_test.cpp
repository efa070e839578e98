#include "kestrin/kestrin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "framework/core/fpcontrol.h"
#include "kestrin/stereocrossoverdelay.h"
#include "support/realtime_watch.h"

namespace {

using kestrin::Kestrin;

std::vector<float> noise(std::size_t n, unsigned seed, float amplitude = 0.5f) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-amplitude, amplitude);
    std::vector<float> v(n);
    for (float& x : v) x = dist(rng);
    return v;
}

// Renders `in0`/`in1` (in1 empty for mono) through the client in host blocks of `block`.
struct Rendered {
    std::vector<float> left, right;
};
Rendered render(Kestrin& k, const std::vector<float>& in0, const std::vector<float>& in1, int block,
                double tempo = 120.0) {
    const std::size_t n = in0.size();
    Rendered r{std::vector<float>(n), std::vector<float>(n)};
    for (std::size_t start = 0; start < n; start += std::size_t(block)) {
        const int frames = int(std::min<std::size_t>(std::size_t(block), n - start));
        float* ins[2] = {const_cast<float*>(in0.data() + start),
                         in1.empty() ? nullptr : const_cast<float*>(in1.data() + start)};
        float* outs[2] = {r.left.data() + start, r.right.data() + start};
        fw::TimeInfo info;
        info.tempo = tempo;
        info.timeInSamples = std::int64_t(start);
        k.processAudioFromHost(std::span<float*>(ins, in1.empty() ? 1 : 2), outs, frames, info, false);
    }
    return r;
}

bool allFinite(const std::vector<float>& v) {
    for (float x : v)
        if (!std::isfinite(x)) return false;
    return true;
}

// ---------------------------------------------------------------------------
// Shape of the client

TEST(Kestrin, HasTheDelaysParametersThenUpsampleAmount) {
    auto k = fw::makeClient<Kestrin>();
    ASSERT_EQ(k->numParams(), 16);
    EXPECT_EQ(k->param(14)->name(), "Tempo");
    EXPECT_NE(dynamic_cast<fw::FloatParameter*>(k->param(14)), nullptr);
    auto* up = dynamic_cast<fw::IntegerParameter*>(k->param(15));
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->name(), "Upsample Amount");
    EXPECT_EQ(up->label(), "");
    EXPECT_EQ(up->minValue(), 0);
    EXPECT_EQ(up->maxValue(), 3);
    EXPECT_EQ(up->value(), 0);
    ASSERT_EQ(k->legalIOs().size(), 2u);
    EXPECT_EQ(k->legalIOs()[0].numInputChannels, 1);
    EXPECT_EQ(k->legalIOs()[0].numOutputChannels, 2);
    EXPECT_EQ(k->legalIOs()[1].numInputChannels, 2);
    EXPECT_EQ(k->maxInputs(), 2);
    EXPECT_EQ(k->maxOutputs(), 2);
    EXPECT_EQ(k->presetBank().numPresets(), 3);
}

// ---------------------------------------------------------------------------
// Oversampling factor

TEST(Kestrin, UpsampleAmountSetsTheProcessorRateAtTheNextBlock) {
    auto k = fw::makeClient<Kestrin>();
    k->resetFromHost(44100, 512, 2, 2);
    const auto in = noise(256, 1);
    render(*k, in, in, 256);
    EXPECT_EQ(k->appliedFactor(), 1);
    EXPECT_EQ(k->processorSampleRate(), 44100);

    k->param(15)->setFromHost(2.0 / 3.0);  // 2: four times
    EXPECT_EQ(k->processorSampleRate(), 44100);  // not before the next block
    render(*k, in, in, 256);
    EXPECT_EQ(k->appliedFactor(), 4);
    EXPECT_EQ(k->processorSampleRate(), 4 * 44100);

    k->param(15)->setFromHost(1.0);  // 3: eight times
    render(*k, in, in, 256);
    EXPECT_EQ(k->processorSampleRate(), 8 * 44100);

    k->param(15)->setFromHost(0.0);
    render(*k, in, in, 256);
    EXPECT_EQ(k->processorSampleRate(), 44100);
}

TEST(Kestrin, ResetAtANewRateReappliesTheFactorBeforeTheNextBlock) {
    auto k = fw::makeClient<Kestrin>();
    k->param(15)->setFromHost(1.0 / 3.0);  // 1: twice
    k->resetFromHost(44100, 512, 2, 2);
    const auto in = noise(64, 2);
    render(*k, in, in, 64);
    EXPECT_EQ(k->processorSampleRate(), 88200);
    k->resetFromHost(96000, 512, 2, 2);
    EXPECT_EQ(k->appliedFactor(), 0);
    render(*k, in, in, 64);
    EXPECT_EQ(k->processorSampleRate(), 192000);
}

TEST(Kestrin, FactorOneMatchesTheProcessorAloneBitForBit) {
    auto k = fw::makeClient<Kestrin>();
    k->resetFromHost(48000, 512, 2, 2);
    k->param(2)->setFromHost(0.8);   // Feedback L
    k->param(11)->setFromHost(0.3);  // Drive
    const auto in0 = noise(3000, 3), in1 = noise(3000, 4);
    const Rendered r = render(*k, in0, in1, 700);  // split into 512 + 188 by the client

    auto dsp = kestrin::StereoCrossoverDelay::create();
    dsp->initialize(48000);
    std::vector<float> out0(3000), out1(3000);
    // The same controls, written the way the client writes them before each sub-block.
    struct Zones : kestrin::UI {
        std::vector<float*> zones;
        void addHorizontalSlider(const char*, float* z, float, float, float, float) override { zones.push_back(z); }
        void addCheckButton(const char*, float* z) override { zones.push_back(z); }
    } ui;
    dsp->buildUserInterface(&ui);
    std::size_t pos = 0;
    for (int hostBlock = 0; pos < 3000; ++hostBlock) {
        const std::size_t hostEnd = std::min<std::size_t>(pos + 700, 3000);
        while (pos < hostEnd) {
            const int frames = int(std::min<std::size_t>(512, hostEnd - pos));
            for (int i = 0; i < 15; ++i) {
                auto* p = k->param(i);
                double plain;
                if (auto* f = dynamic_cast<fw::FloatParameter*>(p)) plain = f->value();
                else if (auto* n = dynamic_cast<fw::IntegerParameter*>(p)) plain = n->value();
                else plain = p->getNormalized();
                *ui.zones[std::size_t(i)] = float(plain);
            }
            float* ins[2] = {const_cast<float*>(in0.data() + pos), const_cast<float*>(in1.data() + pos)};
            float* outs[2] = {out0.data() + pos, out1.data() + pos};
            dsp->compute(frames, ins, outs);
            pos += std::size_t(frames);
        }
    }
    EXPECT_EQ(std::memcmp(out0.data(), r.left.data(), 3000 * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(out1.data(), r.right.data(), 3000 * sizeof(float)), 0);
}

// ---------------------------------------------------------------------------
// Host tempo and channel layouts

TEST(Kestrin, HostTempoReplacesTheTempoParameterClamped) {
    auto k = fw::makeClient<Kestrin>();
    k->resetFromHost(48000, 512, 2, 2);
    auto* tempo = static_cast<fw::FloatParameter*>(k->param(14));
    EXPECT_EQ(tempo->value(), 120.0);
    const auto in = noise(32, 5);
    render(*k, in, in, 32, 90.0);
    EXPECT_EQ(tempo->value(), 90.0);
    render(*k, in, in, 32, 9000.0);
    EXPECT_EQ(tempo->value(), 5000.0);
    render(*k, in, in, 32, -3.0);
    EXPECT_EQ(tempo->value(), 0.0);
    render(*k, in, in, 32, std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(tempo->value(), 0.0);  // a NaN tempo is ignored
}

TEST(Kestrin, MonoInputFeedsBothSidesAndBothOutputsKeepTheirEchoes) {
    auto mono = fw::makeClient<Kestrin>();
    auto stereo = fw::makeClient<Kestrin>();
    mono->resetFromHost(48000, 512, 1, 2);
    stereo->resetFromHost(48000, 512, 2, 2);
    const auto in = noise(2048, 6);
    const Rendered m = render(*mono, in, {}, 512);
    const Rendered s = render(*stereo, in, in, 512);
    EXPECT_EQ(std::memcmp(m.left.data(), s.left.data(), in.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(m.right.data(), s.right.data(), in.size() * sizeof(float)), 0);
    float energy = 0;
    for (float x : m.right) energy += x * x;
    EXPECT_GT(energy, 1.0f);  // output 1 carries the processed right channel
}

TEST(Kestrin, ProcessingBeforeAnyResetGivesSilence) {
    auto k = fw::makeClient<Kestrin>();
    const auto in = noise(64, 7);
    const Rendered r = render(*k, in, in, 64);
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_EQ(r.left[i], 0.0f);
        ASSERT_EQ(r.right[i], 0.0f);
    }
}

// ---------------------------------------------------------------------------
// Robustness

TEST(Kestrin, StaysFiniteForEveryExtremeSettingRateAndFactor) {
    // Every parameter at its minimum, its maximum and alternating, at host rates from
    // 8 kHz to 384 kHz and every factor; tempo 0 included through the host.
    const double rates[] = {8000, 22050, 32000, 44100, 96000, 192000, 384000};
    for (double rate : rates) {
        for (int amount = 0; amount < 4; ++amount) {
            for (int pattern = 0; pattern < 3; ++pattern) {
                auto k = fw::makeClient<Kestrin>();
                for (int i = 0; i < 15; ++i)
                    k->param(i)->setFromHost(pattern == 0 ? 0.0 : pattern == 1 ? 1.0 : double(i % 2));
                k->param(15)->setFromHost(amount / 3.0);
                k->resetFromHost(rate, 512, 2, 2);
                const auto in = noise(1024, 8, 1.0f);
                const Rendered r = render(*k, in, in, 512, pattern == 0 ? 0.0 : 5000.0);
                ASSERT_TRUE(allFinite(r.left) && allFinite(r.right))
                    << "rate " << rate << " factor " << (1 << amount) << " pattern " << pattern;
            }
        }
    }
}

TEST(Kestrin, NonFiniteInputIsTreatedAsSilence) {
    // Two clients at factor 2: one gets a burst of NaN, infinities and absurd values,
    // the other zeros in their place. Afterwards their outputs agree bit for bit.
    auto poisoned = fw::makeClient<Kestrin>();
    auto clean = fw::makeClient<Kestrin>();
    for (auto* k : {poisoned.get(), clean.get()}) {
        k->param(15)->setFromHost(1.0 / 3.0);
        k->param(2)->setFromHost(1.0);  // feedback 100 %
        k->resetFromHost(48000, 512, 2, 2);
    }
    auto in = noise(4096, 9);
    auto bad = in;
    const float absurd[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(), 3e38f, -1e30f};
    for (int i = 0; i < 5; ++i) {
        bad[std::size_t(100 + 37 * i)] = absurd[i];
        in[std::size_t(100 + 37 * i)] = 0.0f;
    }
    const Rendered p = render(*poisoned, bad, bad, 256);
    const Rendered c = render(*clean, in, in, 256);
    EXPECT_TRUE(allFinite(p.left) && allFinite(p.right));
    EXPECT_EQ(std::memcmp(p.left.data(), c.left.data(), in.size() * sizeof(float)), 0);
    EXPECT_EQ(std::memcmp(p.right.data(), c.right.data(), in.size() * sizeof(float)), 0);
}

TEST(Kestrin, NoSubnormalOutputUnderTheAudioFloatingPointState) {
    fw::ScopedAudioFloatingPointState audio;
    auto k = fw::makeClient<Kestrin>();
    k->param(15)->setFromHost(1.0 / 3.0);
    k->param(2)->setFromHost(1.0);
    k->param(6)->setFromHost(1.0);
    k->resetFromHost(48000, 512, 2, 2);
    std::vector<float> in(96000, 0.0f);
    in[10] = 1.0f;
    const Rendered r = render(*k, in, in, 512);
    for (std::size_t i = 0; i < in.size(); ++i) {
        ASSERT_NE(std::fpclassify(r.left[i]), FP_SUBNORMAL) << i;
        ASSERT_NE(std::fpclassify(r.right[i]), FP_SUBNORMAL) << i;
    }
}

// ---------------------------------------------------------------------------
// Real-time safety

TEST(Kestrin, ProcessingAllocatesNothingWhileAnotherThreadAutomatesEverything) {
    auto k = fw::makeClient<Kestrin>();
    k->resetFromHost(48000, 512, 2, 2);
    std::atomic<bool> stop{false};
    std::atomic<long> passes{0};
    std::thread automation([&] {
        std::mt19937 rng(10);
        std::uniform_real_distribution<double> dist(0.0, 1.0);
        while (!stop.load(std::memory_order_relaxed)) {
            for (int i = 0; i < 16; ++i) k->param(i)->setFromHost(dist(rng));
            passes.fetch_add(1, std::memory_order_relaxed);
        }
    });
    while (passes.load(std::memory_order_relaxed) < 10) std::this_thread::yield();
    const auto in0 = noise(512, 11), in1 = noise(512, 12);
    std::vector<float> out0(512), out1(512);
    long blocks = 0, factorChanges = 0;
    testsupport::RealtimeCounts counts;
    {
        testsupport::RealtimeWatch watch;
        for (int round = 0; round < 4; ++round) {
            for (int frames = 1; frames <= 512; ++frames) {
                float* ins[2] = {const_cast<float*>(in0.data()), const_cast<float*>(in1.data())};
                float* outs[2] = {out0.data(), out1.data()};
                const int before = k->appliedFactor();
                k->processAudioFromHost(ins, outs, frames, fw::TimeInfo{}, false);
                if (before != 0 && k->appliedFactor() != before) ++factorChanges;
                ++blocks;
            }
        }
        counts = watch.counts();
    }
    stop = true;
    automation.join();
    EXPECT_EQ(blocks, 4 * 512);
    EXPECT_GT(factorChanges, 0);  // oversampling changes happened during the watched blocks
    EXPECT_EQ(counts.allocations, 0);
    EXPECT_EQ(counts.locks, 0);
    EXPECT_EQ(counts.blockingCalls, 0);
}

}  // namespace
