#include "kestrin/kestrin.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <thread>
#include <vector>

#include "framework/client/boolparameter.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "framework/core/fpcontrol.h"
#include "kestrin/stereocrossoverdelay.h"
#include "kestrin/workingrate.h"
#include "support/realtime_watch.h"
#include "dsp/oversampling/stereoupsampler.h"
#include "dsp/tonemeasure.h"
#include "kestrin/referencedelay.h"

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
    dsp->prepareLines(48000);
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
// The working-rate ceiling

TEST(Kestrin, FactorInForceIsTheLargestThatKeepsTheWorkingRateAtMost768kHz) {
    const double rates[] = {8000, 11025, 22050, 32000, 44100, 48000, 88200, 96000, 100000,
                            176400, 192000, 352800, 384000};
    for (double rate : rates) {
        for (int asked : {1, 2, 4, 8}) {
            const int f = kestrin::oversamplingFactorInForce(rate, asked);
            EXPECT_TRUE(f == 1 || f == 2 || f == 4 || f == 8) << rate << " " << asked;
            EXPECT_LE(f, asked) << rate;
            EXPECT_LE(rate * f, 768000.0) << rate << " " << asked;
            // The next factor up is either not asked for or over the ceiling.
            EXPECT_TRUE(f == 8 || 2 * f > asked || rate * 2 * f > 768000.0) << rate << " " << asked;
        }
    }
    EXPECT_EQ(kestrin::oversamplingFactorInForce(384000, 8), 2);
    EXPECT_EQ(kestrin::oversamplingFactorInForce(192000, 8), 4);
    EXPECT_EQ(kestrin::oversamplingFactorInForce(96000, 8), 8);
    // Whatever the input, factor 1 is the floor.
    EXPECT_EQ(kestrin::oversamplingFactorInForce(std::nan(""), 8), 1);
    EXPECT_EQ(kestrin::oversamplingFactorInForce(1.0e6, 8), 1);
    EXPECT_EQ(kestrin::oversamplingFactorInForce(48000, 0), 1);
    EXPECT_EQ(kestrin::oversamplingFactorInForce(48000, 3), 2);
}

TEST(Kestrin, AFactorOverTheCeilingIsLoweredForProcessingOnly) {
    auto k = fw::makeClient<Kestrin>();
    k->param(15)->setFromHost(1.0);  // 3: eight times
    const auto in = noise(128, 13);
    for (double rate : {48000.0, 96000.0, 176400.0, 192000.0, 384000.0}) {
        k->resetFromHost(rate, 512, 2, 2);
        render(*k, in, in, 128);
        const int expected = rate * 8 <= 768000 ? 8 : rate * 4 <= 768000 ? 4 : 2;
        EXPECT_EQ(k->appliedFactor(), expected) << rate;
        EXPECT_EQ(k->processorSampleRate(), expected * int(rate)) << rate;
        // The parameter keeps what the host set: state, automation and display agree.
        EXPECT_EQ(static_cast<fw::IntegerParameter*>(k->param(15))->value(), 3);
        EXPECT_EQ(k->param(15)->getNormalized(), 1.0);
    }
    k->param(15)->setFromHost(1.0 / 3.0);  // 1: twice, within the ceiling at 384 kHz
    render(*k, in, in, 128);
    EXPECT_EQ(k->appliedFactor(), 2);
}

TEST(Kestrin, ResetSizesTheDelayLinesForTheHighestWorkingRateItCanReach) {
    auto k = fw::makeClient<Kestrin>();
    // Host rate and the largest factor in force there (8x up to 96 kHz).
    const std::pair<int, int> cases[] = {{8000, 8}, {44100, 8}, {48000, 8}, {96000, 8}, {192000, 4}, {384000, 2}};
    for (const auto& [rate, factor] : cases) {
        k->resetFromHost(rate, 512, 2, 2);
        const int highest = rate * factor;
        EXPECT_EQ(k->delayLineCapacity(), kestrin::StereoCrossoverDelay::lineCapacityFor(highest)) << rate;
        // Lines of that capacity hold the longest delay, 4 s, at that rate.
        EXPECT_GE(double(k->delayLineCapacity()), 4.0 * highest + 2) << rate;
    }
}

// Parameters set by plain value, the way a user sets them.
void setPlain(Kestrin& k, int index, double plain) {
    fw::Parameter* p = k.param(index);
    if (auto* f = dynamic_cast<fw::FloatParameter*>(p)) p->setFromHost(f->toNormalized(plain));
    else if (auto* n = dynamic_cast<fw::IntegerParameter*>(p)) p->setFromHost(n->toNormalized(int(plain)));
    else p->setFromHost(plain != 0.0 ? 1.0 : 0.0);
}

enum Param { delayL = 0, noteL, feedbackL, mixL, delayR, noteR, feedbackR, mixR, sync, upsampleAmount = 15 };

struct EchoSetting {
    double delayMs = 0;   // free mode when above 0
    int note = 0;         // otherwise this note value at the tempo
    double tempo = 120;
    double seconds() const { return delayMs > 0 ? delayMs * 0.001 : (note + 1) * 15.0 / tempo; }
};

// An impulse at host sample t0 on both inputs, through two lines set alike with the
// default filters, line L with feedback 50 % and line R without: outputs 0 and 1 agree
// until line L's first echo. The client is reset first, which clears everything it
// holds. Returns both outputs.
Rendered renderEchoPair(Kestrin& k, double rate, int amount, const EchoSetting& e, std::size_t t0,
                        std::size_t length, double mix = 50) {
    setPlain(k, mixL, mix);
    setPlain(k, mixR, mix);
    setPlain(k, upsampleAmount, amount);
    setPlain(k, sync, e.delayMs > 0 ? 0 : 1);
    for (int line : {delayL, delayR}) setPlain(k, line, e.delayMs > 0 ? e.delayMs : 1000);
    for (int note : {noteL, noteR}) setPlain(k, note, e.note);
    setPlain(k, feedbackL, 50);
    setPlain(k, feedbackR, 0);
    k.resetFromHost(rate, 512, 2, 2);
    std::vector<float> in(length, 0.0f);
    in[t0] = 0.01f;  // small enough for the clipper to act as a gain
    return render(k, in, in, 512, e.tempo);
}

// First host sample at which the echo can change the output: the impulse enters the
// processor at working sample t0 x factor, its echo 1 + trunc(d x SR) samples later
// (the delay held as float samples), and host sample n is working sample n x factor.
std::size_t expectedEchoAt(double rate, int amount, const EchoSetting& e, std::size_t t0) {
    const int factor = kestrin::oversamplingFactorInForce(rate, 1 << amount);
    const double workingRate = rate * factor;
    const long spacing = 1 + long(float(e.seconds() * workingRate));
    return t0 + std::size_t((spacing + factor - 1) / factor);
}

long firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return long(i);
    return -1;
}

// The oversampler's filters let an echo rise from below the output's last bit: it
// shows at the first host sample that can carry it, or at the next.
void expectEchoAt(const Rendered& r, std::size_t at, const std::string& what) {
    const long onset = firstDifference(r.left, r.right);
    EXPECT_TRUE(onset == long(at) || onset == long(at) + 1) << what << ": echo at " << onset << ", due at " << at;
}

std::string describe(double rate, int amount, const EchoSetting& e) {
    return std::to_string(int(rate)) + " Hz, " + std::to_string(1 << amount) + "x asked, " +
           std::to_string(e.seconds()) + " s";
}

TEST(Kestrin, EchoesArriveAtTheSetDelayAtEveryHostRateAndFactor) {
    fw::ScopedAudioFloatingPointState fpState;
    const EchoSetting settings[] = {{123.4, 0, 120}, {0, 1, 131}};  // 123.4 ms; an eighth at 131 bpm
    for (double rate : {44100.0, 48000.0, 96000.0, 192000.0, 384000.0}) {
        auto k = fw::makeClient<Kestrin>();
        for (int amount = 0; amount < 4; ++amount) {
            for (const EchoSetting& e : settings) {
                const std::size_t t0 = 2048;  // after the crossfade that follows the reset
                const std::size_t at = expectedEchoAt(rate, amount, e, t0);
                expectEchoAt(renderEchoPair(*k, rate, amount, e, t0, at + 64), at, describe(rate, amount, e));
            }
        }
    }
}

double energy(const std::vector<float>& a, const std::vector<float>& b, std::size_t from, std::size_t length) {
    double sum = 0;
    for (std::size_t i = from; i < from + length; ++i) sum += (double(a[i]) - b[i]) * (double(a[i]) - b[i]);
    return sum;
}

TEST(Kestrin, EchoesAreHeardWithTheDefaultFiltersAtTheExtremesOfRateAndDelay) {
    // The highest working rate (384 kHz asking 8x, run at 2x), the lowest host rate,
    // and the longest delay (two whole notes at 120 bpm). Each echo carries half the
    // amplitude of the wet signal it repeats: a quarter of its energy.
    fw::ScopedAudioFloatingPointState fpState;
    struct Case {
        double rate;
        int amount;
        EchoSetting echo;
    };
    const Case cases[] = {{384000, 3, {123.4, 0, 120}}, {384000, 3, {0, 31, 120}},
                          {8000, 0, {123.4, 0, 120}}, {8000, 0, {0, 31, 120}}};
    auto k = fw::makeClient<Kestrin>();
    for (const Case& c : cases) {
        const std::string what = describe(c.rate, c.amount, c.echo);
        const std::size_t t0 = 2048, window = std::size_t(0.01 * c.rate);
        const std::size_t at = expectedEchoAt(c.rate, c.amount, c.echo, t0);
        const Rendered r = renderEchoPair(*k, c.rate, c.amount, c.echo, t0, at + window);
        expectEchoAt(r, at, what);
        // Mix 100 % is the dry signal alone: what output 1 has above it is the wet signal.
        const Rendered dry = renderEchoPair(*k, c.rate, c.amount, c.echo, t0, t0 + window, 100);
        const double wet = energy(r.right, dry.right, t0, window);
        const double echo = energy(r.left, r.right, at - 1, window);
        EXPECT_GT(wet, 1e-6) << what;
        EXPECT_NEAR(echo / wet, 0.25, 0.03) << what;
    }
}

TEST(Kestrin, SilenceGivesExactSilenceAfterEveryResetAndFactorChange) {
    const std::vector<float> silence(1500, 0.0f);
    const auto sound = noise(1500, 14);
    auto silent = [](const Rendered& r) {
        for (std::size_t i = 0; i < r.left.size(); ++i)
            if (r.left[i] != 0.0f || r.right[i] != 0.0f) return false;
        return true;
    };
    for (double rate : {44100.0, 48000.0, 96000.0, 192000.0, 384000.0}) {
        auto k = fw::makeClient<Kestrin>();
        setPlain(*k, mixL, 0);  // the whole wet signal: the start step was largest here
        int previousFactor = 0;
        for (int amount = 0; amount < 4; ++amount) {
            setPlain(*k, upsampleAmount, amount);
            k->resetFromHost(rate, 512, 2, 2);
            EXPECT_TRUE(silent(render(*k, silence, silence, 512))) << describe(rate, amount, {});
            // Sound, then another factor in force (a clear of the processor and a new
            // set-up of the oversampler): silence again from the first sample on.
            render(*k, sound, sound, 512);
            const int factor = k->appliedFactor();
            if (factor == previousFactor) continue;
            previousFactor = factor;
            setPlain(*k, upsampleAmount, factor == 1 ? 1 : 0);
            EXPECT_TRUE(silent(render(*k, silence, silence, 512))) << describe(rate, amount, {}) << " after sound";
        }
    }
}

// The client's path rebuilt from its parts: the oversampler and the per-sample model
// of the delay at the working rate, with the client's parameter values as controls.
Rendered renderThroughModel(Kestrin& k, double rate, int factor, const std::vector<float>& in0,
                            const std::vector<float>& in1, reference::Behaviour behaviour) {
    reference::Controls c;
    float* fields[15] = {&c.delayL, &c.noteL, &c.feedbackL, &c.mixL, &c.delayR, &c.noteR, &c.feedbackR,
                         &c.mixR, &c.sync, &c.highpass, &c.lowpass, &c.drive, &c.gain, &c.width, &c.tempo};
    for (int i = 0; i < 15; ++i) {
        fw::Parameter* p = k.param(i);
        if (auto* f = dynamic_cast<fw::FloatParameter*>(p)) *fields[i] = float(f->value());
        else if (auto* n = dynamic_cast<fw::IntegerParameter*>(p)) *fields[i] = float(n->value());
        else *fields[i] = static_cast<fw::BoolParameter*>(p)->value() ? 1.0f : 0.0f;
    }
    dsp::oversampling::StereoUpsampler up;
    EXPECT_TRUE(up.initialize(8, 512).ok());
    up.setBaseSampleRate(float(rate));
    EXPECT_TRUE(up.setOverSampleFactor(factor).ok());
    reference::Delay model(factor * int(rate), behaviour);
    Rendered r{std::vector<float>(in0.size()), std::vector<float>(in0.size())};
    for (std::size_t start = 0; start < in0.size(); start += 512) {
        const int frames = int(std::min<std::size_t>(512, in0.size() - start));
        const float* ins[2] = {in0.data() + start, in1.data() + start};
        float* outs[2] = {r.left.data() + start, r.right.data() + start};
        EXPECT_TRUE(up.upsample(frames, ins).ok());
        model.process(c, factor * frames, up.workBuffer(0), up.workBuffer(1), up.workBuffer(0), up.workBuffer(1));
        EXPECT_TRUE(up.decimate(outs, frames).ok());
    }
    return r;
}

TEST(Kestrin, MatchesTheModelThroughTheOversamplerAtTheFactorInForce) {
    // Short delays with feedback, so that echoes and their feedback run within the
    // test. Up to 192 kHz the model as it was before the mends gives the same bits
    // once the start step has decayed (4,135 working samples; see the delay's tests).
    const auto in0 = noise(2048, 15), in1 = noise(2048, 16);
    for (double rate : {44100.0, 48000.0, 96000.0, 192000.0, 384000.0}) {
        auto k = fw::makeClient<Kestrin>();
        for (int amount = 0; amount < 4; ++amount) {
            setPlain(*k, delayL, 7.5);
            setPlain(*k, delayR, 3.2);
            setPlain(*k, feedbackL, 70);
            setPlain(*k, upsampleAmount, amount);
            k->resetFromHost(rate, 512, 2, 2);
            const Rendered got = render(*k, in0, in1, 512);
            const int factor = k->appliedFactor();
            const std::string what = describe(rate, amount, {});
            const Rendered model = renderThroughModel(*k, rate, factor, in0, in1, reference::kCurrent);
            EXPECT_EQ(firstDifference(got.left, model.left), -1) << what;
            EXPECT_EQ(firstDifference(got.right, model.right), -1) << what;
            if (rate * factor > 192000) continue;
            const Rendered before = renderThroughModel(*k, rate, factor, in0, in1, reference::kBeforeMends);
            const std::size_t decayed = std::size_t(4135 / factor + 1);
            for (std::size_t i = decayed; i < in0.size(); ++i) {
                ASSERT_EQ(std::memcmp(&got.left[i], &before.left[i], sizeof(float)), 0) << what << " at " << i;
                ASSERT_EQ(std::memcmp(&got.right[i], &before.right[i], sizeof(float)), 0) << what << " at " << i;
            }
        }
    }
}

// Output 0's wet response to a small sine on input 1 at the host rate.
double wetResponse(double rate, int amount, double lowpass, double highpass, double frequency) {
    auto k = fw::makeClient<Kestrin>();
    setPlain(*k, feedbackL, 0);
    setPlain(*k, mixL, 0);
    setPlain(*k, 10, lowpass);
    setPlain(*k, 9, highpass);
    setPlain(*k, 11, 0);  // no drive: the clipper acts as a gain
    setPlain(*k, upsampleAmount, amount);
    k->resetFromHost(rate, 512, 2, 2);
    const std::size_t settle = 6000, length = 4800;
    std::vector<float> silent(settle + length, 0.0f), tone(settle + length);
    for (std::size_t i = 0; i < tone.size(); ++i) tone[i] = float(1e-3 * std::sin(2 * M_PI * frequency * double(i) / rate));
    const Rendered r = render(*k, silent, tone, 512);
    return testsupport::toneAmplitude(r.left, settle, length, frequency, rate);
}

TEST(Kestrin, WetBandEdgesSitAtTheCutoffsAtEightTimesTheRate) {
    // "Lowpass" 3 kHz and "Highpass" 1 kHz at 48 kHz x 8 (working rate 384 kHz): each
    // edge lies 3 dB below the two fourth-order Butterworth responses it belongs to,
    // measured against the middle of the band; the skirts fall as the model says.
    const double rate = 48000, working = 8 * rate, lowpass = 3000, highpass = 1000, middle = 2000;
    auto model = [&](double f) {
        auto butterworth4 = [&](double corner, bool high) {
            const double ratio = std::tan(M_PI * f / working) / std::tan(M_PI * corner / working);
            return 1.0 / std::sqrt(1.0 + std::pow(high ? 1.0 / ratio : ratio, 8));
        };
        const double w = 2 * M_PI * f / working;
        const double dcBlocker = 2 * std::sin(w / 2) / std::hypot(1 - 0.995 * std::cos(w), 0.995 * std::sin(w));
        return butterworth4(lowpass, false) * butterworth4(highpass, true) * dcBlocker;
    };
    const double atMiddle = wetResponse(rate, 3, lowpass, highpass, middle);
    for (double f : {highpass, lowpass, 500.0, 6000.0}) {
        const double measured = 20 * std::log10(wetResponse(rate, 3, lowpass, highpass, f) / atMiddle);
        const double expected = 20 * std::log10(model(f) / model(middle));
        EXPECT_NEAR(measured, expected, f == highpass || f == lowpass ? 0.1 : 0.5) << f << " Hz";
    }
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
        auto k = fw::makeClient<Kestrin>();  // one per rate: a reset at the same rate keeps the lines
        for (int amount = 0; amount < 4; ++amount) {
            for (int pattern = 0; pattern < 3; ++pattern) {
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

TEST(Kestrin, FactorChangesAllocateNothingAtAnyHostRate) {
    const auto in = noise(512, 17);
    std::vector<float> out0(512), out1(512);
    for (double rate : {8000.0, 44100.0, 96000.0, 192000.0, 384000.0}) {
        auto k = fw::makeClient<Kestrin>();
        k->resetFromHost(rate, 512, 2, 2);
        int changes = 0;
        testsupport::RealtimeCounts counts;
        for (int amount : {3, 0, 2, 1, 3, 1, 0, 3}) {
            k->param(upsampleAmount)->setFromHost(amount / 3.0);  // the host's thread, not watched
            for (int block = 0; block < 2; ++block) {
                float* ins[2] = {const_cast<float*>(in.data()), const_cast<float*>(in.data())};
                float* outs[2] = {out0.data(), out1.data()};
                const int before = k->appliedFactor();
                testsupport::RealtimeWatch watch;
                k->processAudioFromHost(ins, outs, 512, fw::TimeInfo{}, false);
                const testsupport::RealtimeCounts watched = watch.counts();
                counts.allocations += watched.allocations;
                counts.locks += watched.locks;
                counts.blockingCalls += watched.blockingCalls;
                if (k->appliedFactor() != before) ++changes;
            }
        }
        EXPECT_GE(changes, 3) << rate;
        EXPECT_EQ(counts.allocations, 0) << rate;
        EXPECT_EQ(counts.locks, 0) << rate;
        EXPECT_EQ(counts.blockingCalls, 0) << rate;
    }
}

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
