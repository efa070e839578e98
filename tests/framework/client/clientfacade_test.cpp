// ClientFacade as a second format wrapper relies on it: settings reach the client once
// and only on the audio thread, missing channels never reach the client as null,
// bypass, parameter descriptions for every kind, state and presets, and a warm render
// that allocates nothing. The tests drive it through MiniWrapper, the smallest format
// wrapper there is: host calls on one side, render on the other.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <thread>
#include <vector>

#include "framework/client/boolparameter.h"
#include "framework/client/clientfacade.h"
#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "framework/client/nullhostcommand.h"
#include "support/realtime_watch.h"

namespace {

// Two inputs and two outputs at most; each output is its input plus 1, so silence
// standing in for a missing input shows as exactly 1.
class PassClient final : public fw::Client {
public:
    struct Reset {
        double rate;
        int maxFrames, inputs, outputs;
        std::thread::id thread;
    };
    std::vector<Reset> resets;
    std::atomic<int> processCalls{0};
    std::size_t lastInputs = 0, lastOutputs = 0;
    bool sawNull = false;
    int midiReceived = 0;

protected:
    fw::PluginInfo buildPluginInfo() override {
        fw::PluginInfo info;
        info.pluginName = "Pass";
        info.receivesMIDI = true;
        return info;
    }
    std::vector<fw::LegalIO> buildLegalIO() override { return {{1, 2}, {2, 2}}; }
    std::vector<std::unique_ptr<fw::Parameter>> buildParameters() override {
        std::vector<std::unique_ptr<fw::Parameter>> p;
        p.push_back(std::make_unique<fw::LinearFloatParameter>(0, "Delay", "ms", 1.0, 2000.0, 1000.0));
        p.push_back(std::make_unique<fw::LogFloatParameter>(1, "Cutoff", "Hz", 20.0, 20000.0, 1000.0));
        p.push_back(std::make_unique<fw::PowFloatParameter>(2, "Curve", "%", 0.0, 100.0, 25.0, 2.0));
        p.push_back(std::make_unique<fw::GainParameter>(3, "Level", -60.0, 6.0, 0.0, 1.0));
        p.push_back(std::make_unique<fw::IntegerParameter>(4, "Steps", "", -2, 2, 1));
        p.push_back(std::make_unique<fw::EnumParameter>(5, "Mode", std::vector<std::string>{"A", "B", "C"}, 2));
        p.push_back(std::make_unique<fw::BoolParameter>(6, "Sync", "", true));
        auto hidden = std::make_unique<fw::LinearFloatParameter>(7, "Hidden", "", 0.0, 1.0, 0.25);
        hidden->nonAutomatable();
        p.push_back(std::move(hidden));
        return p;
    }
    std::vector<fw::Preset> buildPresets() override {
        fw::Preset a = makeDefaultPreset();
        a.name = "First";
        fw::Preset b = makeDefaultPreset();
        b.name = "Second";
        b.normalizedValues[0] = 0.75f;
        return {a, b};
    }
    int maxFramesInProcess() const noexcept override { return 64; }
    void reset(double rate, int maxFrames, int inputs, int outputs) override {
        resets.push_back({rate, maxFrames, inputs, outputs, std::this_thread::get_id()});
    }
    void processAudio(std::span<const float* const> inputs, std::span<float* const> outputs, int frames,
                      const fw::TimeInfo&) noexcept override {
        processCalls.fetch_add(1, std::memory_order_relaxed);
        lastInputs = inputs.size();
        lastOutputs = outputs.size();
        midiReceived += int(midiInputForBlock().size());
        for (const float* in : inputs) sawNull = sawNull || in == nullptr;
        for (float* out : outputs) sawNull = sawNull || out == nullptr;
        if (sawNull) return;
        for (std::size_t c = 0; c < outputs.size(); ++c)
            for (int i = 0; i < frames; ++i) outputs[c][i] = inputs[c % inputs.size()][i] + 1.0f;
    }
};

// A format wrapper reduced to its two sides.
class MiniWrapper {
public:
    MiniWrapper() {
        fw::HostSettings initial;
        initial.sampleRate = 48000;
        initial.maxFrames = 256;
        auto client = fw::makeClient<PassClient>();
        client_ = client.get();
        facade = std::make_unique<fw::ClientFacade>(std::move(client), &host_, initial);
    }
    PassClient& client() { return *client_; }

    // Audio thread: one host block; null entries and missing channels are absent.
    bool render(std::initializer_list<float*> ins, std::initializer_list<float*> outs, int frames) {
        facade->beginRender();
        return facade->process({ins.begin(), ins.size()}, {outs.begin(), outs.size()}, frames, fw::TimeInfo{});
    }

    fw::NullHostCommand host_{fw::PluginFormat::lv2};
    std::unique_ptr<fw::ClientFacade> facade;

private:
    PassClient* client_ = nullptr;
};

struct Buffers {
    explicit Buffers(int frames, float inValue = 0.5f)
        : in0(std::size_t(frames), inValue), in1(std::size_t(frames), -inValue), out0(std::size_t(frames), 9.0f),
          out1(std::size_t(frames), 9.0f) {}
    std::vector<float> in0, in1, out0, out1;
};

// ---------------------------------------------------------------------------
// Settings

TEST(ClientFacadeSettings, ReachTheClientOnceAtTheNextRenderOnItsThread) {
    MiniWrapper w;
    Buffers b(128);
    w.facade->setSampleRate(96000);
    w.facade->setMaxFrames(128);
    EXPECT_TRUE(w.client().resets.empty());  // host threads never reset the client

    ASSERT_TRUE(w.render({b.in0.data(), b.in1.data()}, {b.out0.data(), b.out1.data()}, 128));
    ASSERT_EQ(w.client().resets.size(), 1u);
    EXPECT_EQ(w.client().resets[0].rate, 96000.0);
    EXPECT_EQ(w.client().resets[0].maxFrames, 64);  // limited to the client's sub-block
    EXPECT_EQ(w.client().resets[0].inputs, 2);
    EXPECT_EQ(w.client().resets[0].thread, std::this_thread::get_id());

    w.facade->resendSettings();  // a host reset that changes nothing
    ASSERT_TRUE(w.render({b.in0.data(), b.in1.data()}, {b.out0.data(), b.out1.data()}, 128));
    EXPECT_EQ(w.client().resets.size(), 1u);

    w.facade->setSampleRate(44100);
    w.facade->setSampleRate(88200);  // only the newest reaches the client
    ASSERT_TRUE(w.render({b.in0.data(), b.in1.data()}, {b.out0.data(), b.out1.data()}, 128));
    ASSERT_EQ(w.client().resets.size(), 2u);
    EXPECT_EQ(w.client().resets[1].rate, 88200.0);
    EXPECT_EQ(w.facade->settings().sampleRate, 88200.0);
}

TEST(ClientFacadeSettings, ABlockLargerThanTheLargestIsRefusedWithSilence) {
    MiniWrapper w;
    w.facade->setMaxFrames(64);
    Buffers b(65);
    EXPECT_FALSE(w.render({b.in0.data(), b.in1.data()}, {b.out0.data(), b.out1.data()}, 65));
    EXPECT_EQ(w.client().processCalls.load(), 0);
    for (float x : b.out0) ASSERT_EQ(x, 0.0f);
    for (float x : b.out1) ASSERT_EQ(x, 0.0f);
}

TEST(ClientFacadeSettings, HostThreadsChangingSettingsDuringRendersResetOnlyOnTheAudioThread) {
    MiniWrapper w;
    std::atomic<bool> done{false};
    std::thread host([&] {
        for (int i = 0; i < 2000; ++i) {
            w.facade->setSampleRate(i % 2 == 0 ? 44100 : 48000);
            w.facade->setMaxFrames(128 + i % 3);
        }
        w.facade->setSampleRate(32000);
        done.store(true, std::memory_order_release);
    });
    Buffers b(128);
    while (!done.load(std::memory_order_acquire))
        ASSERT_TRUE(w.render({b.in0.data(), b.in1.data()}, {b.out0.data(), b.out1.data()}, 128));
    host.join();
    ASSERT_TRUE(w.render({b.in0.data(), b.in1.data()}, {b.out0.data(), b.out1.data()}, 128));
    for (const auto& r : w.client().resets) ASSERT_EQ(r.thread, std::this_thread::get_id());
    EXPECT_EQ(w.client().resets.back().rate, 32000.0);
}

// ---------------------------------------------------------------------------
// Channels

TEST(ClientFacadeChannels, MissingInputsReadAsSilenceAndMissingOutputsGoToASink) {
    MiniWrapper w;
    Buffers b(100);
    // The host gives only its right input (the left is null) and one output.
    ASSERT_TRUE(w.render({nullptr, b.in1.data()}, {b.out0.data()}, 100));
    ASSERT_EQ(w.client().resets.size(), 1u);
    EXPECT_EQ(w.client().resets[0].inputs, 1);  // the client learns what is real
    EXPECT_EQ(w.client().resets[0].outputs, 1);
    EXPECT_FALSE(w.client().sawNull);
    EXPECT_EQ(w.client().lastInputs, 2u);  // but always processes its full layout
    EXPECT_EQ(w.client().lastOutputs, 2u);
    for (float x : b.out0) ASSERT_EQ(x, -0.5f + 1.0f);  // compacted: the right input is first

    // No input at all: both inputs are silence.
    ASSERT_TRUE(w.render({}, {b.out0.data(), b.out1.data()}, 100));
    EXPECT_EQ(w.client().resets.back().inputs, 0);
    for (float x : b.out0) ASSERT_EQ(x, 1.0f);
    for (float x : b.out1) ASSERT_EQ(x, 1.0f);
}

TEST(ClientFacadeChannels, MoreChannelsThanTheClientHasAreIgnored) {
    MiniWrapper w;
    Buffers b(32);
    std::vector<float> extra(32, 3.0f), extraOut(32, 9.0f);
    ASSERT_TRUE(
        w.render({b.in0.data(), b.in1.data(), extra.data()}, {b.out0.data(), b.out1.data(), extraOut.data()}, 32));
    EXPECT_EQ(w.client().resets[0].inputs, 2);
    EXPECT_EQ(w.client().resets[0].outputs, 2);
    for (float x : extraOut) ASSERT_EQ(x, 9.0f);
}

TEST(ClientFacadeChannels, AWarmRenderAllocatesNothingEvenWithStandIns) {
    MiniWrapper w;
    Buffers b(256);
    ASSERT_TRUE(w.render({b.in0.data()}, {b.out0.data()}, 256));  // the reset prepares
    testsupport::RealtimeWatch watch;
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(w.render({b.in0.data()}, {b.out0.data()}, 256 - i));
    EXPECT_EQ(watch.counts().allocations, 0);
    // Only the settings queue's non-blocking looks at its semaphore and lock.
    if (testsupport::RealtimeWatch::interposesSystemCalls()) {
        EXPECT_LE(watch.counts().locks, 2 * 50);
        EXPECT_EQ(watch.counts().blockingCalls, 0);
    }
}

// ---------------------------------------------------------------------------
// Bypass and MIDI

TEST(ClientFacadeBypass, CopiesTheHostsInputsAMonoOneToEveryOutputAndDropsMidi) {
    MiniWrapper w;
    w.facade->setBypass(true);
    fw::MidiMessage note;
    note.bytes[0] = 0x90;
    note.length = 3;
    ASSERT_TRUE(w.facade->queueMidi(note));
    Buffers b(50);
    // Mono in, stereo out: the input on both sides, as the processed layout gives.
    ASSERT_TRUE(w.render({b.in0.data()}, {b.out0.data(), b.out1.data()}, 50));
    EXPECT_EQ(w.client().processCalls.load(), 0);
    EXPECT_EQ(b.out0, b.in0);
    EXPECT_EQ(b.out1, b.in0);
    // Stereo: each input on its own output.
    ASSERT_TRUE(w.render({b.in0.data(), b.in1.data()}, {b.out0.data(), b.out1.data()}, 50));
    EXPECT_EQ(b.out0, b.in0);
    EXPECT_EQ(b.out1, b.in1);
    // No input at all: silence.
    ASSERT_TRUE(w.render({}, {b.out0.data(), b.out1.data()}, 50));
    for (float x : b.out0) ASSERT_EQ(x, 0.0f);
    for (float x : b.out1) ASSERT_EQ(x, 0.0f);
    EXPECT_EQ(w.client().processCalls.load(), 0);

    // In place, then back on: the client runs and the dropped note never arrives.
    ASSERT_TRUE(w.render({b.in0.data()}, {b.in0.data(), b.out1.data()}, 50));
    EXPECT_EQ(b.in0[0], 0.5f);
    w.facade->setBypass(false);
    ASSERT_TRUE(w.render({b.in0.data()}, {b.out0.data(), b.out1.data()}, 50));
    EXPECT_EQ(w.client().processCalls.load(), 1);
    EXPECT_EQ(w.client().midiReceived, 0);
    EXPECT_EQ(b.out0[0], 1.5f);
}

TEST(ClientFacadeBypass, MidiQueuedBeforeARenderArrivesAfterItsReset) {
    MiniWrapper w;
    fw::MidiMessage note;
    note.bytes[0] = 0x90;
    note.length = 3;
    ASSERT_TRUE(w.facade->queueMidi(note));
    w.facade->setSampleRate(44100);  // this render resets, which empties the client's queue
    Buffers b(16);
    ASSERT_TRUE(w.render({b.in0.data(), b.in1.data()}, {b.out0.data(), b.out1.data()}, 16));
    EXPECT_EQ(w.client().midiReceived, 1);
}

// ---------------------------------------------------------------------------
// Parameter descriptions

TEST(ClientFacadeParameters, DescribeEveryKindFromTheParameterItself) {
    MiniWrapper w;
    fw::Client& c = w.facade->client();
    ASSERT_EQ(w.facade->numParameters(), c.numParams());
    EXPECT_EQ(w.facade->parameterInfo(-1), nullptr);
    EXPECT_EQ(w.facade->parameterInfo(c.numParams()), nullptr);

    for (int i = 0; i < c.numParams(); ++i) {
        const fw::ParameterInfo& info = *w.facade->parameterInfo(i);
        fw::Parameter& p = *c.param(i);
        SCOPED_TRACE(p.name());
        EXPECT_EQ(info.name, p.name());
        EXPECT_EQ(info.unit, p.label());
        EXPECT_EQ(info.normalizedDefault, p.getNormalizedDefault());
        EXPECT_EQ(info.automatable, p.isAutomatable());
        EXPECT_EQ(info.kind != fw::ParameterKind::continuous, p.isDiscrete());
        // The plain default is where the normalized default lands.
        char atDefault[64], atPlain[64];
        p.stringFromNormalizedValue(info.normalizedDefault, atDefault, sizeof atDefault);
        if (auto* f = dynamic_cast<fw::FloatParameter*>(&p)) {
            EXPECT_EQ(info.plainMin, f->minValue());
            EXPECT_EQ(info.plainMax, f->maxValue());
            EXPECT_NEAR(f->fromNormalized(info.normalizedDefault), info.plainDefault, 1e-9);
            EXPECT_EQ(info.steps, 0);
            EXPECT_TRUE(info.valueStrings.empty());
        } else if (auto* n = dynamic_cast<fw::IntegerParameter*>(&p)) {
            EXPECT_EQ(info.plainMin, n->minValue());
            EXPECT_EQ(info.plainMax, n->maxValue());
            EXPECT_EQ(info.plainDefault, n->fromNormalized(info.normalizedDefault));
            EXPECT_EQ(info.steps, n->maxValue() - n->minValue());
            // One text per value, the same the parameter shows for it.
            ASSERT_EQ(int(info.valueStrings.size()), info.steps + 1);
            for (int v = 0; v <= info.steps; ++v) {
                p.stringFromNormalizedValue(n->toNormalized(n->minValue() + v), atPlain, sizeof atPlain);
                EXPECT_EQ(info.valueStrings[std::size_t(v)], atPlain);
            }
        } else {
            ASSERT_NE(dynamic_cast<fw::BoolParameter*>(&p), nullptr);
            EXPECT_EQ(info.kind, fw::ParameterKind::boolean);
            EXPECT_EQ(info.plainDefault, info.normalizedDefault);
            EXPECT_EQ(info.steps, 1);
        }
    }
    EXPECT_EQ(w.facade->parameterInfo(4)->kind, fw::ParameterKind::integer);
    EXPECT_EQ(w.facade->parameterInfo(5)->kind, fw::ParameterKind::enumeration);
    EXPECT_TRUE(w.facade->parameterInfo(1)->logarithmic);
    EXPECT_FALSE(w.facade->parameterInfo(0)->logarithmic);
    EXPECT_FALSE(w.facade->parameterInfo(7)->automatable);
}

TEST(ClientFacadeParameters, ValuesAndTextsGoThroughTheParameters) {
    MiniWrapper w;
    double n = -1;
    ASSERT_TRUE(w.facade->setParameter(0, 0.25));
    ASSERT_TRUE(w.facade->getParameter(0, n));
    EXPECT_EQ(n, w.facade->client().param(0)->getForHost());
    EXPECT_FALSE(w.facade->setParameter(8, 0.5));
    EXPECT_FALSE(w.facade->getParameter(-1, n));

    char text[32];
    ASSERT_TRUE(w.facade->parameterText(6, 1.0, text, sizeof text));
    double parsed = -1;
    ASSERT_TRUE(w.facade->parameterFromText(6, text, parsed));
    EXPECT_EQ(parsed, 1.0);
    EXPECT_FALSE(w.facade->parameterFromText(5, "D", parsed));
    EXPECT_FALSE(w.facade->parameterText(9, 0.0, text, sizeof text));
    EXPECT_FALSE(w.facade->parameterText(0, 0.0, nullptr, 8));
}

// ---------------------------------------------------------------------------
// State and presets

TEST(ClientFacadeState, PresetsKeepTheCurrentValuesAndStateRoundTrips) {
    MiniWrapper w;
    ASSERT_EQ(w.facade->numPresets(), 2);
    EXPECT_EQ(w.facade->presetName(1), "Second");
    EXPECT_EQ(w.facade->presetName(2), "");
    ASSERT_TRUE(w.facade->setParameter(0, 0.125));
    ASSERT_TRUE(w.facade->selectPreset(1));
    EXPECT_EQ(w.facade->currentPreset(), 1);
    double n = 0;
    ASSERT_TRUE(w.facade->getParameter(0, n));
    EXPECT_EQ(n, 0.75f);
    ASSERT_TRUE(w.facade->selectPreset(0));  // the edit made under "First" was kept in it
    ASSERT_TRUE(w.facade->getParameter(0, n));
    EXPECT_EQ(n, 0.125f);
    EXPECT_FALSE(w.facade->selectPreset(2));
    EXPECT_EQ(w.facade->currentPreset(), 0);

    fw::Vec<std::uint8_t> chunk;
    w.facade->saveState(chunk);
    ASSERT_TRUE(w.facade->setParameter(0, 1.0));
    ASSERT_TRUE(w.facade->loadState({chunk.data(), chunk.size()}).ok());
    ASSERT_TRUE(w.facade->getParameter(0, n));
    EXPECT_EQ(n, 0.125f);
    ASSERT_TRUE(w.facade->setParameter(0, 0.5));
    for (std::size_t cut : {std::size_t(10), std::size_t(20), chunk.size() - 1}) {
        EXPECT_FALSE(w.facade->loadState({chunk.data(), cut}).ok()) << cut;  // short chunks are refused
        ASSERT_TRUE(w.facade->getParameter(0, n));
        EXPECT_EQ(n, 0.5) << cut;  // and change nothing
        EXPECT_EQ(w.facade->currentPreset(), 0) << cut;
    }

    w.facade->addPresetFromHost("Mine");
    EXPECT_EQ(w.facade->numPresets(), 3);
    EXPECT_EQ(w.facade->presetName(w.facade->currentPreset()), "Mine");
    ASSERT_TRUE(w.facade->getParameter(0, n));
    EXPECT_EQ(n, 0.5);  // naming keeps the sound
}

TEST(ClientFacadeState, AWholeLoadRefusesAChunkThatDoesNotReadWholeAndChangesNothing) {
    MiniWrapper w;
    ASSERT_TRUE(w.facade->setParameter(0, 0.25));
    ASSERT_TRUE(w.facade->setParameter(4, 1.0));
    fw::Vec<std::uint8_t> chunk;
    w.facade->saveState(chunk);
    ASSERT_TRUE(w.facade->setParameter(0, 0.5));
    ASSERT_TRUE(w.facade->setParameter(4, 0.0));
    double n0 = 0, n4 = 0;
    // Cut after the first value: the plain load applies it, the whole load applies nothing.
    EXPECT_FALSE(w.facade->loadWholeState({chunk.data(), 28}).ok());
    ASSERT_TRUE(w.facade->getParameter(0, n0));
    EXPECT_EQ(n0, 0.5);
    ASSERT_TRUE(w.facade->loadWholeState({chunk.data(), chunk.size()}).ok());
    ASSERT_TRUE(w.facade->getParameter(0, n0));
    ASSERT_TRUE(w.facade->getParameter(4, n4));
    EXPECT_EQ(n0, 0.25);
    EXPECT_EQ(n4, 1.0);
}

TEST(ClientFacadeParameters, PlainValuesGoThroughEachParametersOwnMapping) {
    MiniWrapper w;
    for (int i = 0; i < w.facade->numParameters(); ++i) {
        SCOPED_TRACE(i);
        const fw::ParameterInfo& info = *w.facade->parameterInfo(i);
        fw::Parameter& p = *w.client().param(i);
        EXPECT_EQ(w.facade->plainFromNormalized(i, 0.3), p.plainFromNormalized(0.3));
        EXPECT_EQ(w.facade->normalizedFromPlain(i, info.plainMax), 1.0);
        // Stored silently from the audio thread, read back lock-free.
        w.facade->storePlainFromAudioThread(i, info.plainMax);
        EXPECT_EQ(w.facade->plainValue(i), info.plainMax);
        w.facade->storePlainFromAudioThread(i, info.plainMin);
        EXPECT_EQ(w.facade->plainValue(i), info.plainMin);
    }
    EXPECT_TRUE(std::isnan(w.facade->plainValue(-1)));
    EXPECT_TRUE(std::isnan(w.facade->plainFromNormalized(99, 0.5)));
    w.facade->storePlainFromAudioThread(99, 1.0);  // ignored
}

}  // namespace
