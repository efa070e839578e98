#include "kestrin/stereocrossoverdelay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "framework/core/fpcontrol.h"
#include "kestrin/referencedelay.h"
#include "kestrin/workingrate.h"
#include "dsp/tonemeasure.h"
#include "support/realtime_watch.h"

namespace {

using testsupport::toneAmplitude;

using kestrin::StereoCrossoverDelay;

// ---------------------------------------------------------------------------
// Helpers

// Records every visitor call as one line of text.
class RecordingUI : public kestrin::UI {
public:
    std::vector<std::string> calls;
    std::map<std::string, float*> zones;
    std::vector<float*> declaredZones;

    void declare(float* zone, const char* key, const char* value) override {
        declaredZones.push_back(zone);
        calls.push_back(std::string("declare ") + (zone ? "zone " : "null ") + key + "=" + value);
    }
    void declare(int id, const char* key, const char* value) override {
        calls.push_back("declare-int " + std::to_string(id) + " " + key + "=" + value);
    }
    void declare(const char* key, const char* value, const char* extra) override {
        calls.push_back(std::string("declare-str ") + key + value + extra);
    }
    void openTabBox(const char* label) override { calls.push_back(std::string("tab ") + label); }
    void openHorizontalBox(const char* label) override { calls.push_back(std::string("hbox ") + label); }
    void openVerticalBox(const char* label) override { calls.push_back(std::string("vbox ") + label); }
    void closeBox() override { calls.push_back("close"); }
    void addButton(const char* label, float*) override { calls.push_back(std::string("button ") + label); }
    void addCheckButton(const char* label, float* zone) override {
        calls.push_back(std::string("check ") + label);
        zones[label] = zone;
    }
    void addVerticalSlider(const char* label, float*, float, float, float, float) override {
        calls.push_back(std::string("vslider ") + label);
    }
    void addHorizontalSlider(const char* label, float* zone, float init, float min, float max, float step) override {
        char text[160];
        std::snprintf(text, sizeof text, "hslider %s %g %g %g %g", label, init, min, max, step);
        calls.push_back(text);
        zones[label] = zone;
    }
    void addNumEntry(const char* label, float*, float, float, float, float) override {
        calls.push_back(std::string("num ") + label);
    }
    void addHorizontalBargraph(const char* label, float*, float, float) override {
        calls.push_back(std::string("hbar ") + label);
    }
    void addVerticalBargraph(const char* label, float*, float, float) override {
        calls.push_back(std::string("vbar ") + label);
    }
};

class RecordingMeta : public kestrin::Meta {
public:
    std::vector<std::pair<std::string, std::string>> pairs;
    void declare(const char* key, const char* value) override { pairs.emplace_back(key, value); }
};

// The processor, driven the way the client drives it: controls written through the
// zones that the UI visitor received.
class Effect {
public:
    // Lines prepared for `preparedRate` (the working rate itself when 0).
    explicit Effect(int rate, int preparedRate = 0) : dsp_(StereoCrossoverDelay::create()) {
        dsp_->prepareLines(preparedRate > 0 ? preparedRate : rate);
        dsp_->initialize(rate);
        dsp_->buildUserInterface(&ui_);
    }
    void set(const reference::Controls& c) {
        zone("Delay L") = c.delayL;
        zone("Note L") = c.noteL;
        zone("Feedback L") = c.feedbackL;
        zone("Mix L") = c.mixL;
        zone("Delay R") = c.delayR;
        zone("Note R") = c.noteR;
        zone("Feedback R") = c.feedbackR;
        zone("Mix R") = c.mixR;
        zone("Sync") = c.sync;
        zone("Highpass") = c.highpass;
        zone("Lowpass") = c.lowpass;
        zone("Drive") = c.drive;
        zone("Gain") = c.gain;
        zone("Width") = c.width;
        zone("Tempo") = c.tempo;
    }
    float& zone(const std::string& label) { return *ui_.zones.at(label); }
    void compute(int count, const float* in0, const float* in1, float* out0, float* out1) {
        float* ins[2] = {const_cast<float*>(in0), const_cast<float*>(in1)};
        float* outs[2] = {out0, out1};
        dsp_->compute(count, ins, outs);
    }
    StereoCrossoverDelay& dsp() { return *dsp_; }

private:
    std::unique_ptr<StereoCrossoverDelay> dsp_;
    RecordingUI ui_;
};

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(std::size_t n = 0) : left(n, 0.0f), right(n, 0.0f) {}
    std::size_t size() const { return left.size(); }
};

// Runs the processor over whole signals in blocks of the given size.
Stereo run(Effect& fx, const reference::Controls& c, const Stereo& in, int block) {
    Stereo out(in.size());
    fx.set(c);
    for (std::size_t start = 0; start < in.size(); start += std::size_t(block)) {
        const int n = int(std::min<std::size_t>(std::size_t(block), in.size() - start));
        fx.compute(n, &in.left[start], &in.right[start], &out.left[start], &out.right[start]);
    }
    return out;
}

Stereo runFresh(int rate, const reference::Controls& c, const Stereo& in, int block = 512) {
    Effect fx(rate);
    return run(fx, c, in, block);
}

// Controls with a wet chain that passes line L straight to output 0: no feedback,
// full width, no dry share, no extra gain.
reference::Controls plainWet() {
    reference::Controls c;
    c.feedbackL = c.feedbackR = 0;
    c.mixL = c.mixR = 0;
    c.width = 100;
    c.gain = 0;
    return c;
}

// First index where two signals differ, or -1.
long firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return long(i);
    return -1;
}

bool bitIdentical(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && firstDifference(a, b) < 0;
}

std::vector<float> noise(std::size_t n, std::uint32_t seed, float amplitude) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-amplitude, amplitude);
    std::vector<float> v(n);
    for (float& x : v) x = dist(rng);
    return v;
}

// Every working rate that the given host rates reach at the factors in force for 1 to 8.
std::vector<int> workingRates(std::initializer_list<int> hostRates) {
    std::vector<int> rates;
    for (int host : hostRates)
        for (int asked : {1, 2, 4, 8}) rates.push_back(host * kestrin::oversamplingFactorInForce(host, asked));
    std::sort(rates.begin(), rates.end());
    rates.erase(std::unique(rates.begin(), rates.end()), rates.end());
    return rates;
}

// ---------------------------------------------------------------------------
// Declarations

TEST(StereoCrossoverDelay, DeclaresGroupsAndControlsInTheExactSequence) {
    auto dsp = StereoCrossoverDelay::create();
    RecordingUI ui;
    dsp->buildUserInterface(&ui);
    const std::vector<std::string> expected = {
        "vbox stereo_crossover_delay", "hbox Main",
        "declare null 1=", "vbox Left",
        "declare zone 1=", "declare zone unit=ms", "hslider Delay L 1000 1 2000 0.1",
        "declare zone 2=", "hslider Note L 3 0 31 1",
        "declare zone 3=", "declare zone unit=%", "hslider Feedback L 50 0 100 0.1",
        "declare zone 4=", "declare zone unit=%", "hslider Mix L 50 0 100 0.1",
        "close",
        "declare null 2=", "vbox Right",
        "declare zone 1=", "declare zone unit=ms", "hslider Delay R 500 1 2000 0.1",
        "declare zone 2=", "hslider Note R 5 0 31 1",
        "declare zone 3=", "declare zone unit=%", "hslider Feedback R 50 0 100 0.1",
        "declare zone 4=", "declare zone unit=%", "hslider Mix R 50 0 100 0.1",
        "close",
        "declare null 3=", "vbox Feedback Loop",
        "declare zone 1=", "check Sync",
        "declare zone 2=", "declare zone scale=log", "declare zone unit=Hz", "hslider Highpass 60 60 10000 0.1",
        "declare zone 3=", "declare zone scale=log", "declare zone unit=Hz", "hslider Lowpass 18000 1000 20000 0.1",
        "declare zone 4=", "declare zone unit=%", "hslider Drive 5 0 100 0.1",
        "declare zone 5=", "declare zone unit=%", "hslider Gain 0 0 100 0.1",
        "declare zone 6=", "declare zone unit=%", "hslider Width 100 0 100 0.1",
        "close",
        "close",
        "declare zone 4=", "declare zone unit=bpm", "hslider Tempo 120 0 5000 0.1",
        "close",
    };
    EXPECT_EQ(ui.calls, expected);
    EXPECT_EQ(ui.zones.size(), 15u);
}

TEST(StereoCrossoverDelay, MetadataKeysAscendWithTheProcessorName) {
    auto dsp = StereoCrossoverDelay::create();
    RecordingMeta meta;
    dsp->metadata(&meta);
    ASSERT_FALSE(meta.pairs.empty());
    for (std::size_t i = 1; i < meta.pairs.size(); ++i)
        EXPECT_LT(meta.pairs[i - 1].first, meta.pairs[i].first);
    auto name = std::find_if(meta.pairs.begin(), meta.pairs.end(), [](auto& p) { return p.first == "name"; });
    ASSERT_NE(name, meta.pairs.end());
    EXPECT_EQ(name->second, "stereo_crossover_delay");
}

TEST(StereoCrossoverDelay, InitializeRestoresDefaultsAndReportsTheRate) {
    Effect fx(48000);
    EXPECT_EQ(fx.dsp().getSampleRate(), 48000);
    EXPECT_EQ(fx.dsp().getNumInputs(), 2);
    EXPECT_EQ(fx.dsp().getNumOutputs(), 2);
    fx.zone("Delay L") = 5;
    fx.zone("Sync") = 1;
    fx.zone("Tempo") = 90;
    fx.dsp().initialize(96000);
    EXPECT_EQ(fx.dsp().getSampleRate(), 96000);
    EXPECT_EQ(fx.zone("Delay L"), 1000.0f);
    EXPECT_EQ(fx.zone("Sync"), 0.0f);
    EXPECT_EQ(fx.zone("Tempo"), 120.0f);
    EXPECT_EQ(fx.zone("Note R"), 5.0f);
    EXPECT_EQ(fx.zone("Lowpass"), 18000.0f);
}

// ---------------------------------------------------------------------------
// Bit-exact against the plain per-sample model

struct Scenario {
    const char* name;
    int rate;
    reference::Controls controls;
};

std::vector<Scenario> scenarios() {
    std::vector<Scenario> s;
    reference::Controls c;
    s.push_back({"defaults 44.1k", 44100, c});
    s.push_back({"defaults 48k", 48000, c});
    c.sync = 1;
    s.push_back({"sync 96k", 96000, c});
    reference::Controls e;
    e.delayL = 1, e.delayR = 2000, e.feedbackL = 100, e.feedbackR = 0, e.mixL = 0, e.mixR = 100;
    e.highpass = 10000, e.lowpass = 1000, e.drive = 100, e.gain = 100, e.width = 0, e.tempo = 480;
    s.push_back({"extremes 192k", 192000, e});
    e.highpass = 60, e.lowpass = 20000, e.drive = 0, e.gain = 0, e.width = 100, e.tempo = 0.1f, e.sync = 1;
    e.noteL = 31, e.noteR = 0;
    s.push_back({"other extremes 44.1k", 44100, e});
    reference::Controls o;
    o.sync = 1, o.tempo = 5000, o.noteL = 0, o.noteR = 31, o.feedbackL = 99.9f, o.feedbackR = 73.3f;
    o.drive = 47.5f, o.gain = 12.5f, o.width = 33.3f, o.lowpass = 7000, o.highpass = 250;
    s.push_back({"fast tempo 22.05k", 22050, o});
    s.push_back({"true working rate 384k", 384000, o});
    s.push_back({"working-rate ceiling 768k", 768000, e});
    s.push_back({"above the ceiling, taken as 768k", 1536000, o});
    s.push_back({"low rate 8k, corner below Nyquist", 8000, [] {
                     reference::Controls k;
                     k.lowpass = 3900, k.highpass = 3000, k.delayL = 3.3f, k.delayR = 1.7f;
                     return k;
                 }()});
    return s;
}

Stereo mixedSignal(std::size_t n, std::uint32_t seed) {
    Stereo in(n);
    in.left = noise(n, seed, 1.0f);
    std::vector<float> other = noise(n, seed + 1, 0.5f);
    for (std::size_t i = 0; i < n; ++i) {
        const float sine = 0.8f * std::sin(0.01f * float(i)) + 0.3f * std::sin(0.37f * float(i));
        // Sections: noise, sines, silence, impulses, loud.
        switch ((i / 700) % 5) {
            case 0: in.right[i] = other[i]; break;
            case 1: in.right[i] = sine; in.left[i] = sine * 0.5f; break;
            case 2: in.left[i] = 0; in.right[i] = 0; break;
            case 3: in.right[i] = (i % 97 == 0) ? 1.0f : 0.0f; in.left[i] = (i % 131 == 0) ? -1.0f : 0.0f; break;
            default: in.right[i] = other[i] * 1900.0f; in.left[i] *= 1000.0f; break;
        }
    }
    return in;
}

Stereo runReference(int rate, const reference::Controls& c, const Stereo& in, int block,
                    reference::Behaviour behaviour = reference::kCurrent) {
    reference::Delay ref(rate, behaviour);
    Stereo out(in.size());
    for (std::size_t start = 0; start < in.size(); start += std::size_t(block)) {
        const int n = int(std::min<std::size_t>(std::size_t(block), in.size() - start));
        ref.process(c, n, &in.left[start], &in.right[start], &out.left[start], &out.right[start]);
    }
    return out;
}

TEST(StereoCrossoverDelay, MatchesThePerSampleModelBitForBit) {
    const std::size_t n = 3500;
    const Stereo in = mixedSignal(n, 7);
    const int blocks[] = {512, 45, 33, 1, 32, 31};
    const std::vector<Scenario> all = scenarios();
    for (std::size_t i = 0; i < all.size(); ++i) {
        const Scenario& s = all[i];
        const int block = blocks[i % 6];
        const Stereo expected = runReference(s.rate, s.controls, in, block);
        const Stereo got = runFresh(s.rate, s.controls, in, block);
        EXPECT_EQ(firstDifference(got.left, expected.left), -1) << s.name;
        EXPECT_EQ(firstDifference(got.right, expected.right), -1) << s.name;
    }
}

TEST(StereoCrossoverDelay, MatchesTheModelWithRandomControlChangesAndBlockSizes) {
    std::mt19937 rng(1234);
    const int sizes[] = {0, 1, 31, 32, 33, 45, 512, 7, 64, 100};
    for (int trial = 0; trial < 6; ++trial) {
        const int rates[] = {44100, 48000, 384000, 192000, 768000, 8000};
        const int rate = rates[trial];
        Effect fx(rate);
        reference::Delay ref(rate);
        const Stereo in = mixedSignal(6000, 100u + unsigned(trial));
        Stereo a(in.size()), b(in.size());
        std::size_t pos = 0;
        while (pos < in.size()) {
            reference::Controls c;
            auto uni = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
            c.delayL = uni(1, 2000), c.delayR = uni(1, 2000);
            c.noteL = float(rng() % 32), c.noteR = float(rng() % 32);
            c.feedbackL = uni(0, 100), c.feedbackR = uni(0, 100);
            c.mixL = uni(0, 100), c.mixR = uni(0, 100);
            c.sync = float(rng() % 2);
            c.highpass = uni(60, std::min(10000.0f, 0.45f * float(rate)));
            c.lowpass = uni(1000, std::min(20000.0f, 0.45f * float(rate)));
            c.drive = uni(0, 100), c.gain = uni(0, 100), c.width = uni(0, 100);
            c.tempo = uni(1, 5000);
            if (rng() % 4 == 0) c.delayL = c.delayR = 50;  // short lines read their own chunk
            const int size = sizes[rng() % 10];
            const int count = int(std::min<std::size_t>(std::size_t(size), in.size() - pos));
            fx.set(c);
            fx.compute(count, &in.left[pos], &in.right[pos], &a.left[pos], &a.right[pos]);
            ref.process(c, count, &in.left[pos], &in.right[pos], &b.left[pos], &b.right[pos]);
            pos += std::size_t(count);
        }
        EXPECT_EQ(firstDifference(a.left, b.left), -1) << "rate " << rate;
        EXPECT_EQ(firstDifference(a.right, b.right), -1) << "rate " << rate;
    }
}

// Long renders in blocks of 1 to 4,096 frames (the largest block the client hands
// over at factor 8), with every control changed between blocks, or left alone so that
// the crossfaders come to rest, in place and out of place.
TEST(StereoCrossoverDelay, LongRandomRendersMatchTheModelAtEveryBlockSize) {
    std::mt19937 rng(2024);
    auto uni = [&](float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(rng); };
    // Edge sizes around the 32-frame chunk and the largest block, then random ones.
    std::vector<int> sizes = {1, 2, 3, 4, 5, 31, 32, 33, 63, 64, 65, 4095, 4096, 1, 4096};
    for (int i = 0; i < 40; ++i) sizes.push_back(1 + int(rng() % 4096));
    for (int i = 0; i < 40; ++i) sizes.push_back(1 + int(rng() % 40));
    for (int rate : {44100, 48000, 96000, 384000, 768000}) {
        Effect fx(rate);
        reference::Delay ref(rate);
        std::size_t total = 0;
        for (int size : sizes) total += std::size_t(size);
        const Stereo in = mixedSignal(total, unsigned(rate));
        Stereo got(in.size()), expected(in.size());
        reference::Controls c;
        std::size_t pos = 0;
        for (std::size_t b = 0; b < sizes.size(); ++b) {
            // Each control changes between blocks or not, on its own, so that the two
            // lines' crossfaders ramp and rest out of step; every fourth block keeps all.
            auto change = [&](float& control, float value) {
                if (b % 4 != 3 && rng() % 2 == 0) control = value;
            };
            change(c.delayL, rng() % 3 == 0 ? uni(1, 3) : uni(1, 2000));  // short: taps within a chunk
            change(c.delayR, rng() % 3 == 0 ? uni(1, 3) : uni(1, 2000));
            change(c.noteL, float(rng() % 32));
            change(c.noteR, float(rng() % 32));
            change(c.feedbackL, uni(0, 100));
            change(c.feedbackR, uni(0, 100));
            change(c.mixL, uni(0, 100));
            change(c.mixR, uni(0, 100));
            change(c.sync, float(rng() % 2));
            change(c.highpass, uni(60, std::min(10000.0f, 0.45f * float(rate))));
            change(c.lowpass, uni(1000, std::min(20000.0f, 0.45f * float(rate))));
            change(c.drive, uni(0, 100));
            change(c.gain, uni(0, 100));
            change(c.width, uni(0, 100));
            change(c.tempo, uni(1, 5000));
            const int n = sizes[b];
            fx.set(c);
            if (b % 2 == 0) {
                fx.compute(n, &in.left[pos], &in.right[pos], &got.left[pos], &got.right[pos]);
            } else {
                std::copy_n(&in.left[pos], n, &got.left[pos]);
                std::copy_n(&in.right[pos], n, &got.right[pos]);
                fx.compute(n, &got.left[pos], &got.right[pos], &got.left[pos], &got.right[pos]);
            }
            ref.process(c, n, &in.left[pos], &in.right[pos], &expected.left[pos], &expected.right[pos]);
            ASSERT_EQ(firstDifference(got.left, expected.left), -1) << "rate " << rate << " block " << b;
            ASSERT_EQ(firstDifference(got.right, expected.right), -1) << "rate " << rate << " block " << b;
            pos += std::size_t(n);
        }
    }
}

// One control at a time changes between blocks while the others stay, so that each
// control's path through the block values is exercised on its own.
TEST(StereoCrossoverDelay, EachControlChangedAloneBetweenBlocksMatchesTheModel) {
    const int rate = 96000;
    const Stereo in = mixedSignal(16 * 700, 31);
    Effect fx(rate);
    reference::Delay ref(rate);
    Stereo got(in.size()), expected(in.size());
    reference::Controls c;
    c.delayL = 2.5f, c.delayR = 11;  // short, so that every echo shows within the render
    float reference::Controls::*const controls[] = {
        &reference::Controls::delayL,   &reference::Controls::noteL,    &reference::Controls::feedbackL,
        &reference::Controls::mixL,     &reference::Controls::delayR,   &reference::Controls::noteR,
        &reference::Controls::feedbackR, &reference::Controls::mixR,    &reference::Controls::sync,
        &reference::Controls::highpass, &reference::Controls::lowpass,  &reference::Controls::drive,
        &reference::Controls::gain,     &reference::Controls::width,    &reference::Controls::tempo};
    const float values[] = {4.1f, 7, 93, 12, 1.3f, 30, 81, 3, 1, 3100, 2500, 88, 64, 17, 300};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < 16 && pos < in.size(); ++i) {
        if (i > 0) c.*controls[i - 1] = values[i - 1];
        const int n = 700;
        fx.set(c);
        fx.compute(n, &in.left[pos], &in.right[pos], &got.left[pos], &got.right[pos]);
        ref.process(c, n, &in.left[pos], &in.right[pos], &expected.left[pos], &expected.right[pos]);
        ASSERT_EQ(firstDifference(got.left, expected.left), -1) << "after control " << i;
        ASSERT_EQ(firstDifference(got.right, expected.right), -1) << "after control " << i;
        pos += std::size_t(n);
    }
}

TEST(StereoCrossoverDelay, InPlaceProcessingEqualsOutOfPlace) {
    reference::Controls c;
    c.delayL = 0.5f;  // one-sample taps: the lines read values written in the same chunk
    c.delayR = 3;
    c.feedbackL = 90;
    const Stereo in = mixedSignal(2000, 3);
    const Stereo separate = runFresh(44100, c, in, 100);
    Effect fx(44100);
    fx.set(c);
    Stereo buffers = in;
    for (std::size_t start = 0; start < in.size(); start += 100)
        fx.compute(100, &buffers.left[start], &buffers.right[start], &buffers.left[start], &buffers.right[start]);
    EXPECT_TRUE(bitIdentical(buffers.left, separate.left));
    EXPECT_TRUE(bitIdentical(buffers.right, separate.right));
}

TEST(StereoCrossoverDelay, FortyFiveFramesEqualFortyFiveSingleFrameCalls) {
    const Stereo in = mixedSignal(45, 11);
    reference::Controls c;
    c.delayL = 0.1f;
    c.feedbackL = 80;
    const Stereo whole = runFresh(48000, c, in, 45);
    const Stereo single = runFresh(48000, c, in, 1);
    EXPECT_TRUE(bitIdentical(whole.left, single.left));
    EXPECT_TRUE(bitIdentical(whole.right, single.right));
}

TEST(StereoCrossoverDelay, ZeroFrameComputeChangesNothing) {
    const Stereo in = mixedSignal(300, 5);
    reference::Controls c;
    Effect plain(48000), interrupted(48000);
    plain.set(c);
    interrupted.set(c);
    Stereo a(300), b(300);
    plain.compute(300, in.left.data(), in.right.data(), a.left.data(), a.right.data());
    for (int i = 0; i < 300; i += 30) {
        interrupted.compute(0, &in.left[i], &in.right[i], &b.left[i], &b.right[i]);
        interrupted.compute(30, &in.left[i], &in.right[i], &b.left[i], &b.right[i]);
    }
    EXPECT_TRUE(bitIdentical(a.left, b.left));
    EXPECT_TRUE(bitIdentical(a.right, b.right));
}

TEST(StereoCrossoverDelay, IgnoresNullChannelsAndNegativeCounts) {
    Effect fx(48000);
    float in[4] = {1, 2, 3, 4};
    float out[4] = {7, 7, 7, 7};
    float* ins[2] = {in, nullptr};
    float* outs[2] = {out, out};
    fx.dsp().compute(4, ins, outs);
    fx.dsp().compute(4, nullptr, outs);
    fx.dsp().compute(-3, ins, outs);
    EXPECT_EQ(out[0], 7.0f);
    EXPECT_EQ(out[3], 7.0f);
}

// ---------------------------------------------------------------------------
// Delay lines, cap and tap crossfaders. The lines are observed through output 0:
// two runs that differ only from the moment an echo arrives are identical until then.

Stereo impulseOnRight(std::size_t n, std::size_t at, float amplitude = 1.0f) {
    Stereo in(n);
    in.right[at] = amplitude;
    return in;
}

TEST(StereoCrossoverDelay, SyncedEchoesArriveEveryNoteValueWithHalvingWeight) {
    const int rate = 8000;
    const std::size_t t0 = 2000;  // after the crossfade that follows the clear
    const long spacing = 1 + long(0.5 * rate);  // 1 + trunc(0.5 SR): a quarter note at 120 bpm
    reference::Controls c = plainWet();
    c.sync = 1, c.tempo = 120, c.noteL = 3;
    const Stereo in = impulseOnRight(t0 + 3 * std::size_t(spacing) + 5, t0);
    const Stereo dry = runFresh(rate, c, in);
    c.feedbackL = 50;
    const Stereo echoed = runFresh(rate, c, in);
    EXPECT_EQ(firstDifference(echoed.left, dry.left), long(t0) + spacing);

    // The first echo alone, put in by hand with weight 0.5, explains everything
    // until the second echo arrives.
    Stereo handMade = in;
    handMade.right[t0 + std::size_t(spacing)] = 0.5f;
    c.feedbackL = 0;
    const Stereo firstOnly = runFresh(rate, c, handMade);
    EXPECT_EQ(firstDifference(echoed.left, firstOnly.left), long(t0) + 2 * spacing);
    handMade.right[t0 + 2 * std::size_t(spacing)] = 0.25f;
    const Stereo twoEchoes = runFresh(rate, c, handMade);
    EXPECT_EQ(firstDifference(echoed.left, twoEchoes.left), long(t0) + 3 * spacing);
}

TEST(StereoCrossoverDelay, TwoWholeNotesSpaceEchoesByFourSeconds) {
    const int rate = 8000;
    const std::size_t t0 = 1500;
    const long spacing = 1 + long(4.0 * rate);
    reference::Controls c = plainWet();
    c.sync = 1, c.tempo = 120, c.noteL = 31;
    const Stereo in = impulseOnRight(t0 + std::size_t(spacing) + 10, t0);
    const Stereo dry = runFresh(rate, c, in);
    c.feedbackL = 50;
    EXPECT_EQ(firstDifference(runFresh(rate, c, in).left, dry.left), long(t0) + spacing);
}

TEST(StereoCrossoverDelay, WithoutFeedbackTheDelayTimeIsInaudible) {
    reference::Controls c = plainWet();
    const Stereo in = mixedSignal(3000, 21);
    const Stereo a = runFresh(44100, c, in);
    c.delayL = 3, c.delayR = 1200, c.sync = 1, c.noteL = 0;
    const Stereo b = runFresh(44100, c, in);
    EXPECT_TRUE(bitIdentical(a.left, b.left));
    EXPECT_TRUE(bitIdentical(a.right, b.right));
}

// Samples from an impulse at t0 to its first echo, in one run: the same impulse on
// both inputs through two lines set alike, line L with feedback 50 % and line R
// without, so that outputs 0 and 1 are identical until the echo arrives. Under the
// audio thread's floating-point state (the decaying tails would run into subnormals).
long echoOnset(int rate, reference::Controls c, std::size_t t0, std::size_t length) {
    fw::ScopedAudioFloatingPointState fpState;
    Stereo in(length);
    in.left[t0] = in.right[t0] = 1.0f;
    c.delayR = c.delayL, c.noteR = c.noteL, c.mixR = c.mixL;
    c.feedbackR = 0, c.feedbackL = 50;
    const Stereo out = runFresh(rate, c, in, 4096);
    return firstDifference(out.left, out.right) - long(t0);
}

TEST(StereoCrossoverDelay, EchoesKeepTheSetTimeAtEveryWorkingRate) {
    // Free and synchronised delays at every working rate the client can reach, up to
    // the 768 kHz ceiling: a tap of d seconds delays by 1 + trunc(d x SR) samples.
    for (int rate : workingRates({8000, 44100, 48000, 96000, 192000, 384000})) {
        const std::size_t t0 = 1100;  // after the crossfade that follows the clear
        reference::Controls c = plainWet();
        c.delayL = 100;
        const long free = 1 + long(0.1 * rate);
        EXPECT_EQ(echoOnset(rate, c, t0, t0 + std::size_t(free) + 10), free) << rate << " Hz";
        c.sync = 1, c.noteL = 2, c.tempo = 180;  // 3/16 at 180 bpm: 3 x 15 / 180 s
        const long synced = 1 + long(3.0 * 15.0 / 180.0 * rate);
        EXPECT_EQ(echoOnset(rate, c, t0, t0 + std::size_t(synced) + 10), synced) << rate << " Hz";
    }
}

TEST(StereoCrossoverDelay, TwoWholeNotesAt120BpmHoldAtTheWorkingRateCeiling) {
    const int rate = int(kestrin::kMaxWorkingRate);
    reference::Controls c = plainWet();
    c.sync = 1, c.tempo = 120, c.noteL = 31;
    const long spacing = 1 + long(4.0 * rate);
    EXPECT_EQ(echoOnset(rate, c, 1100, 1100 + std::size_t(spacing) + 10), spacing);
}

TEST(StereoCrossoverDelay, LinesArePreparedForTheLongestDelayAtTheHighestRate) {
    for (int rate : workingRates({8000, 44100, 48000, 96000, 192000, 384000})) {
        const long needed = 4L * rate + 2;  // 4 s of taps, the sample each tap adds, the one written
        const int capacity = StereoCrossoverDelay::lineCapacityFor(rate);
        EXPECT_EQ(capacity & (capacity - 1), 0) << rate;  // a power of two
        EXPECT_GE(capacity, needed) << rate;
        EXPECT_LT(capacity / 2, needed) << rate;  // and the smallest
    }
    EXPECT_EQ(StereoCrossoverDelay::lineCapacityFor(1536000),
              StereoCrossoverDelay::lineCapacityFor(int(kestrin::kMaxWorkingRate)));

    // A new instance holds no lines and gives silence; preparing sizes them, and
    // preparing again for the same size allocates nothing.
    auto dsp = StereoCrossoverDelay::create();
    EXPECT_EQ(dsp->lineCapacity(), 0);
    EXPECT_LT(sizeof(StereoCrossoverDelay), 4096u);
    std::vector<float> in(64, 0.5f), out0(64, 9.0f), out1(64, 9.0f);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out0.data(), out1.data()};
    dsp->initialize(48000);
    dsp->compute(64, ins, outs);
    for (std::size_t i = 0; i < 64; ++i) ASSERT_TRUE(out0[i] == 0.0f && out1[i] == 0.0f) << i;
    dsp->prepareLines(384000);
    EXPECT_EQ(dsp->lineCapacity(), StereoCrossoverDelay::lineCapacityFor(384000));
    {
        testsupport::RealtimeWatch watch;
        dsp->prepareLines(384000);
        dsp->initialize(48000);
        dsp->initialize(384000);
        EXPECT_EQ(watch.counts().allocations, 0);
    }
    dsp->compute(64, ins, outs);
    EXPECT_NE(out0[0], 0.0f);
}

TEST(StereoCrossoverDelay, LinesPreparedForALowerRateLimitTheDelayToWhatTheyHold) {
    // Prepared for 8 kHz, initialised at 48 kHz: two whole notes (4 s) would need
    // 192,001 samples of a line of 32,768; the tap stops at the line's last slot.
    const int prepared = 8000, rate = 48000;
    const int capacity = StereoCrossoverDelay::lineCapacityFor(prepared);
    ASSERT_LT(capacity, 4 * rate);
    reference::Controls c = plainWet();
    c.sync = 1, c.tempo = 120, c.noteL = 31;
    const std::size_t t0 = 1100;
    const Stereo in = impulseOnRight(t0 + std::size_t(capacity) + 10, t0);
    auto render = [&](float feedback) {
        Effect fx(rate, prepared);
        c.feedbackL = feedback;
        return run(fx, c, in, 4096);
    };
    EXPECT_EQ(firstDifference(render(50).left, render(0).left) - long(t0), capacity - 1);
}

TEST(StereoCrossoverDelay, FastTempoCapsTheFreeDelay) {
    const int rate = 8000;
    reference::Controls c = plainWet();
    c.delayL = 2000, c.tempo = 480;  // cap = 480 x SR / 480 = 1 s
    EXPECT_EQ(echoOnset(rate, c, 1500, 1500 + 8000 + 50), 1 + 8000);
    c.tempo = 240;  // cap = 2 s: the full 2000 ms
    EXPECT_EQ(echoOnset(rate, c, 1500, 1500 + 16000 + 50), 1 + 16000);
    c.tempo = 120;
    EXPECT_EQ(echoOnset(rate, c, 1500, 1500 + 16000 + 50), 1 + 16000);
}

TEST(StereoCrossoverDelay, SlowTempoLimitsLongNotesToFourSeconds) {
    const int rate = 8000;
    reference::Controls c = plainWet();
    c.sync = 1, c.tempo = 60, c.feedbackL = 60;
    const Stereo in = mixedSignal(36000, 8);
    c.noteL = 16;
    const Stereo a = runFresh(rate, c, in);
    c.noteL = 31;
    const Stereo b = runFresh(rate, c, in);
    EXPECT_TRUE(bitIdentical(a.left, b.left));
    c.noteL = 14;  // 3.75 s: below the cap
    EXPECT_FALSE(bitIdentical(runFresh(rate, c, in).left, a.left));
}

TEST(StereoCrossoverDelay, StartsFromAOneSampleTapAfterAClear) {
    reference::Controls c = plainWet();
    c.delayL = 500;
    // During the first 1024 samples tap d1 = 0 (one sample) still carries weight.
    EXPECT_EQ(echoOnset(48000, c, 10, 200), 1);
    // Once the crossfade has ended only the 500 ms tap remains.
    EXPECT_EQ(echoOnset(48000, c, 1100, 1100 + 24001 + 10), 1 + 24000);
}

TEST(StereoCrossoverDelay, DelayChangeDuringACrossfadeWaitsForItsEnd) {
    const int rate = 8000;
    reference::Controls c = plainWet();
    c.delayL = 37.5f;  // 300 samples
    const std::size_t t0 = 1030;  // the first crossfade ended at 1024; the next one just began
    Stereo in = impulseOnRight(2000, t0);
    auto onset = [&](float feedback) {
        Effect fx(rate);
        Stereo out(in.size());
        reference::Controls k = c;
        k.feedbackL = feedback;
        fx.set(k);
        fx.compute(512, in.left.data(), in.right.data(), out.left.data(), out.right.data());
        k.delayL = 75;  // 600 samples, while the first crossfade is half way
        fx.set(k);
        fx.compute(int(in.size()) - 512, &in.left[512], &in.right[512], &out.left[512], &out.right[512]);
        return out;
    };
    const Stereo dry = onset(0), echoed = onset(50);
    EXPECT_EQ(firstDifference(echoed.left, dry.left) - long(t0), 1 + 300);
}

TEST(StereoCrossoverDelay, FullFeedbackRepeatsEchoesWithoutDecayAndStaysBounded) {
    const int rate = 8000;
    reference::Controls c = plainWet();
    c.delayL = 100;  // 800 samples
    const std::size_t t0 = 1200;
    const long spacing = 801;
    const Stereo in = impulseOnRight(t0 + 4 * std::size_t(spacing) + 5, t0);
    Stereo handMade = in;
    for (int k = 1; k <= 3; ++k) handMade.right[t0 + std::size_t(k * spacing)] = 1.0f;
    const Stereo byHand = runFresh(rate, c, handMade);
    c.feedbackL = 100;
    EXPECT_EQ(firstDifference(runFresh(rate, c, in).left, byHand.left), long(t0) + 4 * spacing);

    // Loud input piles up in the lines; the clipper keeps the wet signal bounded.
    c.feedbackR = 100, c.drive = 100;
    Stereo loud(20000);
    loud.left = noise(loud.size(), 4, 1000.0f);
    loud.right = noise(loud.size(), 5, 1000.0f);
    const Stereo out = runFresh(rate, c, loud);
    for (std::size_t i = 0; i < out.size(); ++i) {
        ASSERT_TRUE(std::isfinite(out.left[i]));
        ASSERT_LT(std::fabs(out.left[i] - loud.left[i]), 300.0f);  // |q| <= 2/3 through the DC blocker
    }
}

// ---------------------------------------------------------------------------
// Wet chain and mix

TEST(StereoCrossoverDelay, FullWidthKeepsEachLineOnItsOwnOutput) {
    reference::Controls c;
    c.feedbackL = 70, c.feedbackR = 70;
    const Stereo in = mixedSignal(3000, 31);
    const Stereo a = runFresh(48000, c, in);
    reference::Controls changedR = c;
    changedR.feedbackR = 10, changedR.delayR = 20;
    const Stereo b = runFresh(48000, changedR, in);
    EXPECT_TRUE(bitIdentical(a.left, b.left));    // output 0 hears line L only
    EXPECT_FALSE(bitIdentical(a.right, b.right));
    c.width = 50, changedR.width = 50;
    EXPECT_FALSE(bitIdentical(runFresh(48000, c, in).left, runFresh(48000, changedR, in).left));
}

TEST(StereoCrossoverDelay, ZeroWidthFeedsBothChainsTheSameBlend) {
    reference::Controls c = plainWet();
    c.width = 0;
    const Stereo in = mixedSignal(2000, 41);
    const Stereo out = runFresh(48000, c, in);
    double worst = 0, scale = 0;
    for (std::size_t i = 0; i < in.size(); ++i) {
        const double wetL = double(out.left[i]) - in.left[i];
        const double wetR = double(out.right[i]) - in.right[i];
        worst = std::max(worst, std::fabs(wetL - wetR));
        scale = std::max(scale, std::fabs(wetL));
    }
    EXPECT_GT(scale, 0.1);
    EXPECT_LT(worst, 1e-3);  // only the rounding of adding the different dry signals
}

TEST(StereoCrossoverDelay, MixSetsTheShareOfThePlainDrySignal) {
    reference::Controls c;
    c.mixL = 100;
    const Stereo in = mixedSignal(2000, 51);
    const Stereo full = runFresh(48000, c, in);
    EXPECT_TRUE(bitIdentical(full.left, in.left));
    EXPECT_FALSE(bitIdentical(full.right, in.right));

    c.mixL = 0;
    const Stereo none = runFresh(48000, c, in);
    c.mixL = 50;
    const Stereo half = runFresh(48000, c, in);
    for (std::size_t i = 0; i < in.size(); i += 7) {
        const double wetAll = double(none.left[i]) - in.left[i];
        const double wetHalf = double(half.left[i]) - in.left[i];
        EXPECT_NEAR(wetHalf, 0.5 * wetAll, 1e-3 + 1e-6 * std::fabs(in.left[i])) << i;
    }
}

bool allZero(const Stereo& s) {
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s.left[i] != 0.0f || s.right[i] != 0.0f) return false;
    return true;
}

TEST(StereoCrossoverDelay, SilenceAfterAClearGivesExactSilence) {
    reference::Controls loud;
    loud.mixL = 0, loud.mixR = 0, loud.drive = 100, loud.gain = 100;
    for (int rate : {8000, 44100, 48000, 96000, 192000, 384000, 768000}) {
        for (const reference::Controls& c : {reference::Controls{}, loud}) {
            Effect fx(rate);
            EXPECT_TRUE(allZero(run(fx, c, Stereo(1200), 512))) << rate << " Hz";
            // After sound, a re-initialisation (a new factor in the client) is silent too.
            run(fx, c, mixedSignal(1500, 13), 512);
            fx.dsp().initialize(rate / 2);
            EXPECT_TRUE(allZero(run(fx, c, Stereo(1200), 100))) << rate / 2 << " Hz after sound";
        }
    }
}

TEST(StereoCrossoverDelay, BeforeTheMendsAClearClickedAndOtherwiseTheOutputIsUnchanged) {
    // Up to 192 kHz the mended effect differs from the one before only by the step
    // that its DC blocker made of the clipper's offset after a clear: q0 = 0.1 - 0.1^3/3
    // on the first sample (times 1 - Mix), then decaying by 0.995 per sample.
    const double q0 = 0.1 - 0.001 / 3;
    const Stereo before = runReference(48000, reference::Controls{}, Stereo(400), 512, reference::kBeforeMends);
    EXPECT_NEAR(before.left[0], 0.5 * q0, 1e-6);
    EXPECT_NEAR(before.right[0], 0.5 * q0, 1e-6);
    EXPECT_NEAR(before.left[399] / before.left[0], std::pow(0.995, 399), 1e-4);

    // With sound, the step has gone below the last bit of the output once 0.1 x 0.995^n
    // is under 1e-10; from then on the output is the same bit for bit.
    const long decayed = long(std::ceil(std::log(1e-10 / 0.1) / std::log(0.995)));
    const std::size_t n = std::size_t(decayed) + 6000;
    Stereo in(n);
    in.left = noise(n, 17, 0.5f);
    in.right = noise(n, 18, 0.5f);
    std::vector<Scenario> all = scenarios();
    for (const Scenario& s : all) {
        if (s.rate > 192000) continue;
        const Stereo expected = runReference(s.rate, s.controls, in, 512, reference::kBeforeMends);
        const Stereo got = runFresh(s.rate, s.controls, in, 512);
        EXPECT_NE(firstDifference(got.left, expected.left), -1) << s.name;
        for (const auto* pair : {&got.left, &got.right}) {
            const auto& other = pair == &got.left ? expected.left : expected.right;
            long last = -1;
            for (std::size_t i = 0; i < n; ++i)
                if (std::memcmp(&(*pair)[i], &other[i], sizeof(float)) != 0) last = long(i);
            EXPECT_LT(last, decayed) << s.name;
        }
    }
}

double butterworth4(double f, double corner, double rate, bool highpass) {
    const double ratio = std::tan(M_PI * f / rate) / std::tan(M_PI * corner / rate);
    const double r8 = std::pow(highpass ? 1.0 / ratio : ratio, 8);
    return 1.0 / std::sqrt(1.0 + r8);
}

double dcBlockerGain(double f, double rate) {
    const double w = 2 * M_PI * f / rate;
    return 2 * std::sin(w / 2) / std::hypot(1 - 0.995 * std::cos(w), 0.995 * std::sin(w));
}

// Output 0's wet response to a small sine on input 1 (line L, no feedback, no dry share).
double wetResponse(const reference::Controls& c, double frequency, double rate) {
    const std::size_t settle = 6000, length = 4800;
    Stereo in(settle + length);
    for (std::size_t i = 0; i < in.size(); ++i) in.right[i] = float(1e-3 * std::sin(2 * M_PI * frequency * double(i) / rate));
    const Stereo out = runFresh(int(rate), c, in);
    return toneAmplitude(out.left, settle, length, frequency, rate);
}

TEST(StereoCrossoverDelay, LowpassFollowsTheFourthOrderButterworthMagnitude) {
    const double rate = 48000, corner = 3000, reference = 375;
    reference::Controls c = plainWet();
    c.lowpass = float(corner), c.drive = 0;
    auto others = [&](double f) { return butterworth4(f, 60, rate, true) * dcBlockerGain(f, rate); };
    const double ref = wetResponse(c, reference, rate) / others(reference) / butterworth4(reference, corner, rate, false);
    for (double f : {corner, 2 * corner, 4 * corner}) {
        const double measured = 20 * std::log10(wetResponse(c, f, rate) / others(f) / ref);
        const double expected = 20 * std::log10(butterworth4(f, corner, rate, false));
        EXPECT_NEAR(measured, expected, f == corner ? 0.05 : 0.3) << f << " Hz";
    }
}

TEST(StereoCrossoverDelay, HighpassFollowsTheFourthOrderButterworthMagnitude) {
    const double rate = 48000, corner = 1000, reference = 8000;
    reference::Controls c = plainWet();
    c.highpass = float(corner), c.lowpass = 20000, c.drive = 0;
    auto others = [&](double f) { return butterworth4(f, 20000, rate, false) * dcBlockerGain(f, rate); };
    const double ref = wetResponse(c, reference, rate) / others(reference) / butterworth4(reference, corner, rate, true);
    for (double f : {corner, corner / 2, corner / 4}) {
        const double measured = 20 * std::log10(wetResponse(c, f, rate) / others(f) / ref);
        const double expected = 20 * std::log10(butterworth4(f, corner, rate, true));
        EXPECT_NEAR(measured, expected, f == corner ? 0.05 : 0.3) << f << " Hz";
    }
}

// ---------------------------------------------------------------------------
// Guards: cut-offs at half the working rate, tempo 0, non-finite input, denormals

TEST(StereoCrossoverDelay, StaysStableForEveryCutoffAtEveryRateAndFactor) {
    // Every working rate that host rates from 8 kHz to 384 kHz give at factors 1 to 8
    // (the working rate stops at 768 kHz).
    const std::vector<int> rates =
        workingRates({8000, 11025, 16000, 22050, 32000, 39999, 44100, 48000, 96000, 384000});

    // Noise on input 1 drives wet chain L (output 0, input 0 silent) hard; a later
    // impulse must still reach output 0 at once. An unstable section would have turned
    // its state to NaN, which the clipper pins at +1 whatever the input.
    Stereo in(4000);
    in.right = noise(1500, 9, 1.0f);
    in.right.resize(in.size(), 0.0f);
    Stereo probed = in;
    const std::size_t probeAt = 3500;
    probed.right[probeAt] = 1000.0f;
    for (int rate : rates) {
        Effect fx(rate);
        for (float lp : {1000.0f, 18000.0f, 20000.0f}) {
            for (float hp : {60.0f, 4000.0f, 10000.0f}) {
                reference::Controls c;
                c.lowpass = lp, c.highpass = hp, c.feedbackL = 100, c.gain = 100, c.mixL = 0;
                fx.dsp().initialize(rate);
                const Stereo plain = run(fx, c, in, 512);
                fx.dsp().initialize(rate);
                const Stereo out = run(fx, c, probed, 512);
                for (std::size_t i = 0; i < out.size(); ++i)
                    ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i]))
                        << rate << " Hz, lowpass " << lp << ", highpass " << hp;
                // A high-pass at the top of the band lets nothing through to look at.
                if (hp >= 0.45f * float(rate)) continue;
                // The low-pass's response takes a fixed time to rise above the last bit:
                // 16 samples at 192 kHz, in proportion above.
                const long window = 16 * std::max(1, rate / 192000);
                const long reached = firstDifference(out.left, plain.left);
                EXPECT_TRUE(reached >= long(probeAt) && reached < long(probeAt) + window)
                    << rate << " Hz, lowpass " << lp << ", highpass " << hp << ": " << reached;
            }
        }
    }
}

TEST(StereoCrossoverDelay, CutoffsAtHalfTheRatePassOrRemoveEverything) {
    // Host rate 32 kHz: "Lowpass" 18000 Hz lies above half the rate.
    reference::Controls c = plainWet();
    c.lowpass = 18000, c.highpass = 60, c.drive = 0;
    const double rate = 32000;
    const double low = wetResponse(c, 1000, rate), high = wetResponse(c, 12000, rate);
    EXPECT_NEAR(20 * std::log10(high / low), 0.0, 0.2);
    c.lowpass = 20000, c.highpass = 10000;
    EXPECT_LT(wetResponse(c, 4000, 16000) / low, 1e-3);

    // Every cut-off from just below half the rate on acts as the same corner.
    const Stereo in = mixedSignal(1500, 91);
    reference::Controls a, b;
    a.lowpass = 16000, b.lowpass = 20000;
    EXPECT_TRUE(bitIdentical(runFresh(32000, a, in).left, runFresh(32000, b, in).left));
    a.lowpass = 15000;
    EXPECT_FALSE(bitIdentical(runFresh(32000, a, in).left, runFresh(32000, b, in).left));
    reference::Controls h1, h2;
    h1.highpass = 8000, h2.highpass = 10000;
    EXPECT_TRUE(bitIdentical(runFresh(16000, h1, in).left, runFresh(16000, h2, in).left));
}

TEST(StereoCrossoverDelay, ZeroTempoKeepsFreeDelaysAndGivesTheCapInSync) {
    const int rate = 8000;
    reference::Controls c = plainWet();
    c.feedbackL = 50, c.delayL = 250, c.tempo = 0;
    const Stereo in = mixedSignal(40000, 61);
    reference::Controls at120 = c;
    at120.tempo = 120;
    EXPECT_TRUE(bitIdentical(runFresh(rate, c, in).left, runFresh(rate, at120, in).left));

    c.sync = 1, c.noteL = 2;
    reference::Controls longest = c;
    longest.tempo = 60, longest.noteL = 31;  // 8 s, capped at 4 s
    const Stereo zero = runFresh(rate, c, in);
    EXPECT_TRUE(bitIdentical(zero.left, runFresh(rate, longest, in).left));
    for (float y : zero.left) ASSERT_TRUE(std::isfinite(y));
}

TEST(StereoCrossoverDelay, OutOfRangeControlsAreUsedClampedIntoRange) {
    reference::Controls c;
    const Stereo in = mixedSignal(2000, 71);
    reference::Controls wild = c;
    wild.feedbackL = 400, wild.gain = -5, wild.drive = NAN, wild.tempo = INFINITY, wild.lowpass = -1;
    reference::Controls clamped = c;
    clamped.feedbackL = 100, clamped.gain = 0, clamped.drive = 5, clamped.tempo = 5000, clamped.lowpass = 1000;
    const Stereo a = runFresh(48000, wild, in), b = runFresh(48000, clamped, in);
    EXPECT_TRUE(bitIdentical(a.left, b.left));
    EXPECT_TRUE(bitIdentical(a.right, b.right));
}

TEST(StereoCrossoverDelay, NonFiniteOrAbsurdInputIsProcessedAsSilence) {
    reference::Controls c;
    c.feedbackL = 100, c.feedbackR = 100, c.delayL = 20, c.delayR = 30;
    Stereo bad = mixedSignal(4000, 81);
    Stereo silenced = bad;
    const std::size_t spots[] = {10, 400, 401, 1500, 2999};
    const float values[] = {NAN, INFINITY, -INFINITY, 3e38f, -1e30f};
    for (int k = 0; k < 5; ++k) {
        bad.left[spots[k]] = values[k];
        bad.right[spots[(k + 2) % 5]] = values[k];
        silenced.left[spots[k]] = 0;
        silenced.right[spots[(k + 2) % 5]] = 0;
    }
    const Stereo a = runFresh(48000, c, bad), b = runFresh(48000, c, silenced);
    EXPECT_TRUE(bitIdentical(a.left, b.left));
    EXPECT_TRUE(bitIdentical(a.right, b.right));
    for (std::size_t i = 0; i < a.size(); ++i) ASSERT_TRUE(std::isfinite(a.left[i]) && std::isfinite(a.right[i]));

    // Loud but plausible input (up to 60 dB above full scale) is processed as it is.
    Stereo loud = mixedSignal(1000, 82);
    for (float& x : loud.left) x *= 1000.0f;
    EXPECT_TRUE(bitIdentical(runFresh(48000, c, loud).left, runReference(48000, c, loud, 512).left));
}

TEST(StereoCrossoverDelay, NeverOutputsSubnormalsUnderTheAudioFloatingPointState) {
    fw::ScopedAudioFloatingPointState fpState;
    reference::Controls c;
    c.feedbackL = 100, c.feedbackR = 100, c.mixL = 0, c.mixR = 0, c.delayL = 3, c.delayR = 7;
    const Stereo in = impulseOnRight(200000, 100, 1e-3f);
    const Stereo out = runFresh(8000, c, in);
    for (std::size_t i = 0; i < out.size(); ++i) {
        ASSERT_NE(std::fpclassify(out.left[i]), FP_SUBNORMAL) << i;
        ASSERT_NE(std::fpclassify(out.right[i]), FP_SUBNORMAL) << i;
    }
}

// ---------------------------------------------------------------------------
// Real-time safety

TEST(StereoCrossoverDelay, ComputeNeitherAllocatesNorLocksNorCallsTheSystem) {
    // Host blocks of 1 to 512 frames at every oversampling factor (up to 4,096 frames).
    Effect fx(384000);
    std::vector<float> a(4096, 0.25f), b(4096, -0.5f), o0(4096), o1(4096);
    testsupport::RealtimeWatch watch;
    for (int frames = 1; frames <= 512; ++frames) {
        const int count = frames << (frames % 4);
        fx.zone("Delay L") = float(frames);
        fx.zone("Sync") = float(frames % 2);
        fx.compute(count, a.data(), b.data(), o0.data(), o1.data());
        fx.compute(count, o0.data(), o1.data(), o0.data(), o1.data());
    }
    const testsupport::RealtimeCounts counts = watch.counts();
    EXPECT_EQ(counts.allocations, 0);
    EXPECT_EQ(counts.locks, 0);
    EXPECT_EQ(counts.blockingCalls, 0);
}

}  // namespace
