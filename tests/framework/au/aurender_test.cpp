// Rendering through AudioUnitRender: the settings reaching the client only when they
// change, the input pull from a callback or an upstream unit, the output buffers,
// bypass, the host's transport, render notifications, bad render arguments, and the
// real-time behaviour of the audio thread.

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <limits>
#include <thread>
#include <vector>

#include "aufixture.h"
#include "fakeclient.h"
#include "framework/au/auclient.h"
#include "support/realtime_watch.h"

namespace {

using autest::CallbackInput;
using autest::RenderHarness;
using autest::Unit;

float ramp(int channel, long frame) { return float(channel + 1) * 0.001f * float(frame % 500); }

autest::FakeClient& fakeOf(AudioUnit unit) {
    fw::AUClient* c = nullptr;
    EXPECT_EQ(autest::getProperty(unit, fw::kAUClientPrivateProperty, kAudioUnitScope_Global, 0, c), noErr);
    return dynamic_cast<autest::FakeClient&>(c->client());
}

class FakeRender : public ::testing::Test {
protected:
    void TearDown() override { autest::fakeOptions() = {}; }
    Unit unit{autest::fakeComponent()};
    CallbackInput input{ramp};
};

TEST_F(FakeRender, OutputIsTheClientsProcessingOfThePulledInput) {
    autest::prepareStereo(unit, input, 256);
    RenderHarness h(unit, 2, 256);
    ASSERT_EQ(h.render(256), noErr);
    ASSERT_EQ(h.render(100), noErr);
    for (UInt32 c = 0; c < 2; ++c)
        for (int i = 0; i < 100; ++i) EXPECT_EQ(h.channel(c)[i], ramp(int(c), 256 + i) * 0.5f) << c << " " << i;
    EXPECT_EQ(input.lastBus, 0u);
}

TEST_F(FakeRender, TooManyFramesAreRefusedWithoutCallingTheClient) {
    autest::prepareStereo(unit, input, 1024);
    RenderHarness h(unit, 2, 2048);
    EXPECT_EQ(h.render(2048), kAudioUnitErr_TooManyFramesToProcess);
    EXPECT_EQ(fakeOf(unit).processCalls.load(), 0);
    EXPECT_EQ(input.calls, 0);
    EXPECT_EQ(h.render(1024), noErr);  // still usable
    EXPECT_EQ(fakeOf(unit).processCalls.load(), 1);
}

TEST_F(FakeRender, ClientIsResetOnlyWhenTheSettingsReallyChange) {
    autest::prepareStereo(unit, input, 256);
    autest::FakeClient& fake = fakeOf(unit);
    RenderHarness h(unit, 2, 512);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fake.resets.load(), 1);
    EXPECT_EQ(fake.lastRate, 48000.0);
    EXPECT_EQ(fake.lastMaxFrames, 256);
    EXPECT_EQ(fake.lastInputs, 2);
    EXPECT_EQ(fake.lastOutputs, 2);
    ASSERT_EQ(AudioUnitReset(unit, kAudioUnitScope_Global, 0), noErr);
    ASSERT_EQ(autest::setMaxFrames(unit, 256), noErr);  // the same value again
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fake.resets.load(), 1);
    ASSERT_EQ(autest::setMaxFrames(unit, 512), noErr);
    EXPECT_EQ(fake.resets.load(), 1);  // settings reach the client at the next render
    ASSERT_EQ(h.render(512), noErr);
    EXPECT_EQ(fake.resets.load(), 2);
    EXPECT_EQ(fake.lastMaxFrames, 512);
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_SampleRate, kAudioUnitScope_Global, 0, Float64(44100)),
              noErr);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fake.resets.load(), 3);
    EXPECT_EQ(fake.lastRate, 44100.0);
}

TEST_F(FakeRender, MonoInputReachesTheClientAsOneChannel) {
    ASSERT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Input, 0, 48000, 1), noErr);
    ASSERT_EQ(input.attach(unit), noErr);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    RenderHarness h(unit, 2, 64);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fakeOf(unit).lastInputs, 1);
    EXPECT_EQ(h.channel(0)[10], ramp(0, 10) * 0.5f);
    EXPECT_EQ(h.channel(1)[10], 0.0f);
}

TEST_F(FakeRender, WithoutAnInputConnectionTheClientGetsNoInputs) {
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    RenderHarness h(unit, 2, 64);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fakeOf(unit).lastInputs, 0);
    EXPECT_EQ(h.channel(1)[63], 0.0f);
    // A callback installed later is pulled from the next render on.
    ASSERT_EQ(input.attach(unit), noErr);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fakeOf(unit).lastInputs, 2);
    EXPECT_EQ(h.channel(1)[3], ramp(1, 64 + 3) * 0.5f);
    const AURenderCallbackStruct none{nullptr, nullptr};
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, none), noErr);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fakeOf(unit).lastInputs, 0);
}

TEST_F(FakeRender, InputIsPulledOncePerTimeStamp) {
    autest::prepareStereo(unit, input, 256);
    RenderHarness h(unit, 2, 256);
    ASSERT_EQ(h.render(128), noErr);
    h.sampleTime = 0;
    ASSERT_EQ(h.render(128), noErr);  // the same time stamp again
    EXPECT_EQ(input.calls, 1);
    h.sampleTime = 0;
    ASSERT_EQ(h.render(256), noErr);  // more frames than were pulled: pulled again
    EXPECT_EQ(input.calls, 2);
    ASSERT_EQ(h.render(128), noErr);
    EXPECT_EQ(input.calls, 3);
}

OSStatus failingInput(void*, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32, AudioBufferList*) {
    return -1234;
}

TEST_F(FakeRender, AnInputErrorIsReturnedAndTheUnitStaysUsable) {
    autest::prepareStereo(unit, input, 64);
    const AURenderCallbackStruct failing{failingInput, nullptr};
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, failing),
              noErr);
    RenderHarness h(unit, 2, 64);
    EXPECT_EQ(h.render(64), -1234);
    EXPECT_EQ(fakeOf(unit).processCalls.load(), 0);
    ASSERT_EQ(input.attach(unit), noErr);
    EXPECT_EQ(h.render(64), noErr);
}

OSStatus missingInput(void* ref, AudioUnitRenderActionFlags*, const AudioTimeStamp*, UInt32, UInt32,
                      AudioBufferList* data) {
    // Left: no buffer at all; right: a buffer that claims fewer bytes than the block needs.
    data->mBuffers[0].mData = nullptr;
    data->mBuffers[1].mData = ref;
    data->mBuffers[1].mDataByteSize = 4;
    return noErr;
}

TEST_F(FakeRender, InputBuffersTheUpstreamCannotFillAreReadAsSilence) {
    autest::prepareStereo(unit, input, 64);
    float oneSample = 1.0f;
    const AURenderCallbackStruct broken{missingInput, &oneSample};
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Input, 0, broken),
              noErr);
    RenderHarness h(unit, 2, 64);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fakeOf(unit).lastInputs, 2);
    for (UInt32 c = 0; c < 2; ++c)
        for (int i = 0; i < 64; ++i) EXPECT_EQ(h.channel(c)[i], 0.0f);
}

TEST_F(FakeRender, NullOutputBuffersAreReplacedByTheUnitsOwn) {
    autest::prepareStereo(unit, input, 128);
    RenderHarness h(unit, 2, 128);
    ASSERT_EQ(h.renderIntoUnitBuffers(128), noErr);
    for (UInt32 c = 0; c < 2; ++c) {
        ASSERT_NE(h.channel(c), nullptr);
        EXPECT_EQ(h.list()->mBuffers[c].mDataByteSize, 128 * sizeof(float));
        EXPECT_EQ(h.channel(c)[127], ramp(int(c), 127) * 0.5f);
    }
    EXPECT_NE(h.channel(0), h.channel(1));
}

TEST_F(FakeRender, BadRenderArgumentsAreRefused) {
    autest::prepareStereo(unit, input, 64);
    std::vector<float> left(64), right(32);
    struct {
        UInt32 count;
        AudioBuffer buffers[2];
    } list{2, {{1, 64 * 4, left.data()}, {1, 32 * 4, right.data()}}};
    auto* abl = reinterpret_cast<AudioBufferList*>(&list);
    AudioTimeStamp ts{};
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &ts, 0, 64, abl), kAudio_ParamError);  // right buffer too short
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &ts, 1, 32, abl), kAudioUnitErr_InvalidElement);
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &ts, 0, 32, nullptr), kAudio_ParamError);
    ts.mFlags = kAudioTimeStampHostTimeValid;
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &ts, 0, 32, abl), kAudioUnitErr_InvalidPropertyValue);
    EXPECT_EQ(AudioUnitRender(unit, nullptr, nullptr, 0, 32, abl), kAudioUnitErr_InvalidPropertyValue);
    ts.mFlags = kAudioTimeStampSampleTimeValid;
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &ts, 0, 32, abl), noErr);
    EXPECT_EQ(right[31], ramp(1, 31) * 0.5f);
    list.count = 1;  // a channel the host did not supply gets no pointer
    ts.mSampleTime = 32;
    EXPECT_EQ(AudioUnitRender(unit, nullptr, &ts, 0, 32, abl), noErr);
    EXPECT_EQ(fakeOf(unit).lastOutputs, 1);
}

TEST_F(FakeRender, BypassCopiesAMonoInputToBothOutputs) {
    ASSERT_EQ(autest::setStreamFormat(unit, kAudioUnitScope_Input, 0, 48000, 1), noErr);
    ASSERT_EQ(input.attach(unit), noErr);
    ASSERT_EQ(AudioUnitInitialize(unit), noErr);
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32(1)), noErr);
    RenderHarness h(unit, 2, 64);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fakeOf(unit).processCalls.load(), 0);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(h.channel(0)[i], ramp(0, i));
        EXPECT_EQ(h.channel(1)[i], ramp(0, i));  // as a processed mono layout gives both sides
    }
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32(0)), noErr);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fakeOf(unit).processCalls.load(), 1);
}

struct Transport {
    Float64 tempo = 0;
    Float64 sample = 0;
    Boolean playing = false;
    OSStatus tempoStatus = noErr;
    static OSStatus beatAndTempo(void* u, Float64* beat, Float64* tempo) {
        auto* t = static_cast<Transport*>(u);
        if (beat) *beat = 0;
        if (tempo) *tempo = t->tempo;
        return t->tempoStatus;
    }
    static OSStatus state(void* u, Boolean* playing, Boolean* changed, Float64* sample, Boolean* cycling, Float64*,
                          Float64*) {
        auto* t = static_cast<Transport*>(u);
        *playing = t->playing;
        *changed = false;
        *sample = t->sample;
        *cycling = false;
        return noErr;
    }
    static OSStatus state2(void* u, Boolean* playing, Boolean*, Boolean* changed, Float64* sample, Boolean* cycling,
                           Float64* a, Float64* b) {
        return state(u, playing, changed, sample, cycling, a, b);
    }
};

TEST_F(FakeRender, TransportComesFromTheHostCallbacksWithTempo120ByDefault) {
    autest::prepareStereo(unit, input, 64);
    autest::FakeClient& fake = fakeOf(unit);
    RenderHarness h(unit, 2, 64);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fake.lastInfo.tempo, 120.0);
    EXPECT_FALSE(fake.lastInfo.hostIsPlaying);
    EXPECT_EQ(fake.lastInfo.timeInSamples, 0);

    Transport t{93.5, 1000.4, true};
    HostCallbackInfo callbacks{&t, Transport::beatAndTempo, nullptr, Transport::state, nullptr};
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, callbacks),
              noErr);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fake.lastInfo.tempo, 93.5);
    EXPECT_TRUE(fake.lastInfo.hostIsPlaying);
    EXPECT_EQ(fake.lastInfo.timeInSamples, 1000);
    t.sample = 1000.5;
    t.tempo = 0;  // not a tempo: 120
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fake.lastInfo.timeInSamples, 1001);
    EXPECT_EQ(fake.lastInfo.tempo, 120.0);
    t.tempo = std::numeric_limits<double>::quiet_NaN();
    t.sample = std::numeric_limits<double>::infinity();
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fake.lastInfo.tempo, 120.0);
    EXPECT_EQ(fake.lastInfo.timeInSamples, 0);
    t.tempo = 140;
    t.tempoStatus = kAudioUnitErr_CannotDoInCurrentContext;
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fake.lastInfo.tempo, 120.0);

    // A host that only offers the second transport procedure (and the short record).
    HostCallbackInfo second{&t, nullptr, nullptr, nullptr, Transport::state2};
    t.sample = 77;
    t.playing = false;
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, second), noErr);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fake.lastInfo.timeInSamples, 77);
    EXPECT_FALSE(fake.lastInfo.hostIsPlaying);
    ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, &callbacks,
                                   32),
              noErr);
    t.sample = 5;
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(fake.lastInfo.timeInSamples, 5);
}

TEST_F(FakeRender, AHostCallbackRecordCutInsideAFieldKeepsOnlyTheWholeFields) {
    autest::prepareStereo(unit, input, 64);
    autest::FakeClient& fake = fakeOf(unit);
    RenderHarness h(unit, 2, 64);
    Transport t{93.5, 700.0, true};
    for (UInt32 size = 8; size < sizeof(HostCallbackInfo); ++size) {
        const HostCallbackInfo record{&t, Transport::beatAndTempo, nullptr, Transport::state, Transport::state2};
        unsigned char bytes[sizeof record];
        std::memcpy(bytes, &record, sizeof record);
        // After the whole fields the host's bytes are no pointer: they must not be called.
        const UInt32 whole = size / 8 * 8;
        std::memset(bytes + whole, 0x41, sizeof bytes - whole);
        ASSERT_EQ(AudioUnitSetProperty(unit, kAudioUnitProperty_HostCallbacks, kAudioUnitScope_Global, 0, bytes, size),
                  noErr)
            << size;
        ASSERT_EQ(h.render(64), noErr) << size;
        EXPECT_EQ(fake.lastInfo.tempo, whole >= 16 ? 93.5 : 120.0) << size;
        EXPECT_EQ(fake.lastInfo.timeInSamples, whole >= 32 ? 700 : 0) << size;
        EXPECT_EQ(fake.lastInfo.hostIsPlaying, whole >= 32) << size;
    }
}

struct NotifyLog {
    std::vector<AudioUnitRenderActionFlags> flags;
    std::vector<float> firstSample;
    static OSStatus proc(void* ref, AudioUnitRenderActionFlags* f, const AudioTimeStamp*, UInt32 bus, UInt32 frames,
                         AudioBufferList* data) {
        auto* log = static_cast<NotifyLog*>(ref);
        log->flags.push_back(*f);
        log->firstSample.push_back(bus == 0 && frames > 1 ? static_cast<float*>(data->mBuffers[0].mData)[1] : -1);
        return noErr;
    }
};

TEST_F(FakeRender, RenderNotificationsSurroundTheRender) {
    autest::prepareStereo(unit, input, 64);
    NotifyLog log;
    ASSERT_EQ(AudioUnitAddRenderNotify(unit, NotifyLog::proc, &log), noErr);
    RenderHarness h(unit, 2, 64);
    ASSERT_EQ(h.render(64), noErr);
    ASSERT_EQ(log.flags.size(), 2u);
    EXPECT_TRUE(log.flags[0] & kAudioUnitRenderAction_PreRender);
    EXPECT_TRUE(log.flags[1] & kAudioUnitRenderAction_PostRender);
    EXPECT_EQ(log.firstSample[1], ramp(0, 1) * 0.5f);  // after the render the output is there
    ASSERT_EQ(AudioUnitRemoveRenderNotify(unit, NotifyLog::proc, &log), noErr);
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(log.flags.size(), 2u);
    EXPECT_EQ(AudioUnitAddRenderNotify(unit, nullptr, nullptr), kAudio_ParamError);
}

// A property listener that holds its host thread inside SetProperty until the audio
// thread has rendered: host-thread property work (listeners, Core Foundation objects,
// state) must never hold a lock that render waits for.
struct BlockingListener {
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    static void proc(void* self, AudioUnit, AudioUnitPropertyID, AudioUnitScope, AudioUnitElement) {
        auto* l = static_cast<BlockingListener*>(self);
        l->entered.store(true, std::memory_order_release);
        while (!l->release.load(std::memory_order_acquire)) std::this_thread::yield();
    }
};

TEST_F(FakeRender, RendersWhileAHostThreadIsInsidePropertyWork) {
    autest::prepareStereo(unit, input, 256);
    RenderHarness h(unit, 2, 256);
    ASSERT_EQ(h.render(256), noErr);
    autest::FakeClient& fake = fakeOf(unit);  // a property read, so not while the host thread is inside one
    BlockingListener listener;
    ASSERT_EQ(AudioUnitAddPropertyListener(unit, kAudioUnitProperty_BypassEffect, &BlockingListener::proc, &listener),
              noErr);
    std::thread host([&] {
        const UInt32 on = 1;
        EXPECT_EQ(autest::setProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, on), noErr);
    });
    while (!listener.entered.load(std::memory_order_acquire)) std::this_thread::yield();
    for (int i = 0; i < 4; ++i) {
        h.sampleTime += 256;
        EXPECT_EQ(h.render(256), noErr);  // would wait for the host thread if it held the render's lock
    }
    EXPECT_EQ(fake.processCalls.load(), 5);
    listener.release.store(true, std::memory_order_release);
    host.join();
    h.sampleTime += 256;
    ASSERT_EQ(h.render(256), noErr);
    EXPECT_EQ(fake.processCalls.load(), 5);  // the bypass arrived at the next render
}

TEST_F(FakeRender, RaisingTheMaximumRefreshesTheInputBeforeUsingIt) {
    autest::prepareStereo(unit, input, 64);
    RenderHarness h(unit, 2, 4096);
    ASSERT_EQ(h.render(64), noErr);
    ASSERT_EQ(autest::setMaxFrames(unit, 4096), noErr);
    h.sampleTime = 0;  // same time stamp, but the buffers it was pulled into are gone
    ASSERT_EQ(h.render(64), noErr);
    EXPECT_EQ(input.calls, 2);
    EXPECT_EQ(h.channel(1)[63], ramp(1, 63) * 0.5f);
}

class KestrinRender : public ::testing::TestWithParam<bool> {
protected:
    AudioComponent component() const { return GetParam() ? autest::kestrin().entry : autest::kestrin().factory; }
};

float sine(int channel, long frame) { return 0.5f * std::sin(0.01f * float(frame) + float(channel)); }

bool allFinite(const RenderHarness& h, UInt32 frames) {
    for (UInt32 c = 0; c < 2; ++c)
        for (UInt32 i = 0; i < frames; ++i)
            if (!std::isfinite(h.channel(c)[i])) return false;
    return true;
}

TEST_P(KestrinRender, NonFiniteInputKeepsThePlugInRunning) {
    Unit unit(component());
    CallbackInput poisoned([](int c, long frame) {
        if (frame < 512) return c == 0 ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
        return sine(c, frame);
    });
    autest::prepareStereo(unit, poisoned, 512);
    RenderHarness h(unit, 2, 512);
    ASSERT_EQ(h.render(512), noErr);
    EXPECT_TRUE(allFinite(h, 512));
    ASSERT_EQ(h.render(512), noErr);
    EXPECT_TRUE(allFinite(h, 512));
    float energy = 0;
    for (int i = 0; i < 512; ++i) energy += std::fabs(h.channel(0)[i]) + std::fabs(h.channel(1)[i]);
    EXPECT_GT(energy, 0.0f);  // the dry signal is back
}

TEST_P(KestrinRender, UpstreamUnitIsPulledThroughTheConnection) {
    // Upstream: a bypassed Kestrin (passes its input through); downstream: the fake at gain 0.5.
    Unit upstream(component());
    CallbackInput source(sine);
    autest::prepareStereo(upstream, source, 256);
    ASSERT_EQ(autest::setProperty(upstream, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32(1)),
              noErr);
    Unit downstream(autest::fakeComponent());
    const AudioUnitConnection connection{upstream, 0, 0};
    ASSERT_EQ(autest::setProperty(downstream, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, connection),
              noErr);
    ASSERT_EQ(autest::setMaxFrames(downstream, 256), noErr);
    ASSERT_EQ(AudioUnitInitialize(downstream), noErr);
    AudioStreamBasicDescription f{};
    ASSERT_EQ(autest::getProperty(downstream, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, 0, f), noErr);
    EXPECT_EQ(f.mSampleRate, 48000.0);  // taken from the upstream's output format
    RenderHarness h(downstream, 2, 256);
    ASSERT_EQ(h.render(256), noErr);
    ASSERT_EQ(h.render(256), noErr);
    EXPECT_EQ(source.calls, 2);
    for (UInt32 c = 0; c < 2; ++c)
        for (int i = 0; i < 256; ++i) EXPECT_EQ(h.channel(c)[i], sine(int(c), 256 + i) * 0.5f);

    const AudioUnitConnection none{nullptr, 0, 0};
    ASSERT_EQ(autest::setProperty(downstream, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, none),
              noErr);
    ASSERT_EQ(h.render(256), noErr);
    EXPECT_EQ(source.calls, 2);
}

TEST_P(KestrinRender, AUnitConnectedToItselfIsRefusedAndKeepsItsInput) {
    Unit unit(component());
    CallbackInput input(sine);
    autest::prepareStereo(unit, input, 256);
    ASSERT_EQ(autest::setProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32(1)), noErr);
    const AudioUnitConnection self{unit, 0, 0};
    EXPECT_EQ(autest::setProperty(unit, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, self),
              kAudioUnitErr_InvalidPropertyValue);
    RenderHarness h(unit, 2, 256);
    ASSERT_EQ(h.render(256), noErr);
    EXPECT_EQ(input.calls, 1);
    for (UInt32 c = 0; c < 2; ++c)
        for (int i = 0; i < 256; ++i) ASSERT_EQ(h.channel(c)[i], sine(int(c), i)) << c << " " << i;
}

int countPreRenders(void* ref, AudioUnitRenderActionFlags* flags, const AudioTimeStamp*, UInt32, UInt32,
                    AudioBufferList*) {
    if (*flags & kAudioUnitRenderAction_PreRender) ++*static_cast<int*>(ref);
    return noErr;
}

TEST_P(KestrinRender, ACycleThroughAnotherUnitGivesSilenceToTheReenteredPull) {
    Unit a(component()), b(component());
    CallbackInput input(sine);
    autest::prepareStereo(a, input, 256);
    ASSERT_EQ(autest::setMaxFrames(b, 256), noErr);
    ASSERT_EQ(AudioUnitInitialize(b), noErr);
    for (AudioUnit u : {a.get(), b.get()})
        ASSERT_EQ(autest::setProperty(u, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32(1)),
                  noErr);
    RenderHarness h(a, 2, 256);
    ASSERT_EQ(h.render(256), noErr);  // fills the host's buffers with the input
    ASSERT_NE(h.channel(0)[100], 0.0f);

    // a pulls b, b pulls a: the render of a that b's pull starts answers silence.
    const AudioUnitConnection fromB{b, 0, 0}, fromA{a, 0, 0};
    ASSERT_EQ(autest::setProperty(a, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, fromB), noErr);
    ASSERT_EQ(autest::setProperty(b, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, fromA), noErr);
    int bRenders = 0;
    ASSERT_EQ(AudioUnitAddRenderNotify(b, countPreRenders, &bRenders), noErr);
    ASSERT_EQ(h.render(256), noErr);  // settles the new settings
    testsupport::RealtimeCounts counts;
    {
        testsupport::RealtimeWatch watch;
        for (int i = 0; i < 10; ++i) ASSERT_EQ(h.render(256), noErr);
        counts = watch.counts();
    }
    EXPECT_EQ(bRenders, 11);
    for (UInt32 c = 0; c < 2; ++c)
        for (int i = 0; i < 256; ++i) ASSERT_EQ(h.channel(c)[i], 0.0f) << c << " " << i;
    if (testsupport::RealtimeWatch::countsAllocations()) {
        EXPECT_EQ(counts.allocations, 0);
    }
    EXPECT_EQ(counts.blockingCalls, 0);
    EXPECT_EQ(input.calls, 1);
    ASSERT_EQ(AudioUnitRemoveRenderNotify(b, countPreRenders, &bRenders), noErr);
}

TEST_P(KestrinRender, TwoUnitsConnectedToEachOtherFromTwoThreadsDoNotWaitOnEachOther) {
    Unit a(component()), b(component());
    for (AudioUnit u : {a.get(), b.get()}) {
        ASSERT_EQ(autest::setMaxFrames(u, 256), noErr);
        ASSERT_EQ(AudioUnitInitialize(u), noErr);
    }
    // Each connection asks the other unit for its format; asked under the connecting
    // unit's own lock, the two threads would each hold one lock and wait for the other.
    constexpr int kRounds = 2000;
    std::atomic<int> failures{0};
    auto connect = [&](AudioUnit dest, AudioUnit source) {
        const AudioUnitConnection connection{source, 0, 0};
        for (int i = 0; i < kRounds; ++i)
            if (autest::setProperty(dest, kAudioUnitProperty_MakeConnection, kAudioUnitScope_Input, 0, connection) !=
                noErr)
                failures.fetch_add(1, std::memory_order_relaxed);
    };
    std::thread first(connect, a.get(), b.get());
    std::thread second(connect, b.get(), a.get());
    first.join();
    second.join();
    EXPECT_EQ(failures.load(), 0);
}

TEST_P(KestrinRender, AMaximumOfZeroFramesIsRefusedAndRenderingGoesOn) {
    Unit unit(component());
    CallbackInput input(sine);
    autest::prepareStereo(unit, input, 256);
    EXPECT_EQ(autest::setMaxFrames(unit, 0), kAudioUnitErr_InvalidPropertyValue);
    UInt32 maxFrames = 0;
    ASSERT_EQ(autest::getProperty(unit, kAudioUnitProperty_MaximumFramesPerSlice, kAudioUnitScope_Global, 0, maxFrames),
              noErr);
    EXPECT_EQ(maxFrames, 256u);
    RenderHarness h(unit, 2, 256);
    ASSERT_EQ(h.render(1), noErr);
    ASSERT_EQ(h.render(256), noErr);
    EXPECT_TRUE(allFinite(h, 256));
}

TEST_P(KestrinRender, RenderingAllocatesNothingWhileOtherThreadsChangeEverything) {
    Unit unit(component());
    CallbackInput input(sine);
    autest::prepareStereo(unit, input, 512);
    RenderHarness h(unit, 2, 512);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(h.render(512), noErr);  // settled: reset done, buffers sized

    std::atomic<bool> stop{false};
    std::thread host([&] {
        int n = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            ++n;
            for (AudioUnitParameterID id = 0; id < 15; ++id)
                AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, float((n + id) % 10) / 10.0f, 0);
            autest::setProperty(unit, kAudioUnitProperty_BypassEffect, kAudioUnitScope_Global, 0, UInt32(n % 7 == 0));
            autest::setMaxFrames(unit, 512);
            const AUPreset preset{SInt32(n % 3), nullptr};
            autest::setProperty(unit, kAudioUnitProperty_PresentPreset, kAudioUnitScope_Global, 0, preset);
            AudioUnitReset(unit, kAudioUnitScope_Global, 0);
            std::this_thread::yield();
        }
    });
    testsupport::RealtimeCounts busy;
    {
        testsupport::RealtimeWatch watch;
        for (int i = 0; i < 300; ++i) ASSERT_EQ(h.render(i % 2 ? 512 : 37), noErr);
        busy = watch.counts();
    }
    stop = true;
    host.join();

    // Quiet (after one render takes the settings still queued): per render the main
    // lock, the notification lock twice and one look at the queue.
    ASSERT_EQ(h.render(256), noErr);
    testsupport::RealtimeCounts quiet;
    const int renders = 50;
    {
        testsupport::RealtimeWatch watch;
        for (int i = 0; i < renders; ++i) ASSERT_EQ(h.render(256), noErr);
        quiet = watch.counts();
    }
    if (testsupport::RealtimeWatch::countsAllocations()) {
        EXPECT_EQ(busy.allocations, 0);
        EXPECT_EQ(quiet.allocations, 0);
    }
    EXPECT_EQ(busy.blockingCalls, 0);
    EXPECT_EQ(quiet.blockingCalls, 0);
    // Render only ever tries its locks: none of its calls can wait for a host thread.
    EXPECT_EQ(busy.waits, 0);
    EXPECT_EQ(quiet.waits, 0);
    EXPECT_LE(quiet.locks, 4 * renders);
    EXPECT_TRUE(allFinite(h, 256));
}

INSTANTIATE_TEST_SUITE_P(FactoryAndComponentManager, KestrinRender, ::testing::Bool());

}  // namespace
