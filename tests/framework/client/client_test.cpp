// Client: construction, channel layouts, sub-block splitting, reset, MIDI flow,
// editor access from the audio thread and destruction.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

#include "support/realtime_watch.h"
#include "testclient.h"

namespace {

using testclient::makeTestClient;
using testclient::TestClient;
using testclient::TestConfig;

// Channel buffers and the pointer arrays a host hands over.
struct Buffers {
    Buffers(int numIn, int numOut, int frames)
        : in(numIn, std::vector<float>(frames, 0.0f)), out(numOut, std::vector<float>(frames, 0.0f)) {
        for (auto& c : in) inPtrs.push_back(c.data());
        for (auto& c : out) outPtrs.push_back(c.data());
    }
    std::vector<std::vector<float>> in, out;
    std::vector<float*> inPtrs, outPtrs;
};

fw::TimeInfo transport(std::int64_t position) {
    fw::TimeInfo info;
    info.tempo = 97.5;
    info.timeInSamples = position;
    info.hostIsPlaying = true;
    return info;
}

// ---- Construction ----

TEST(ClientConstruction, RunsBuildStepsInOrderThenTheDerivedHook) {
    std::vector<std::string> log;
    TestConfig config;
    config.log = &log;
    auto client = makeTestClient(config);
    EXPECT_EQ(log, (std::vector<std::string>{"buildPluginInfo", "buildLegalIO", "buildParameters", "buildPresets",
                                             "maxFramesInProcess", "onClientBuilt"}));
    EXPECT_EQ(client->pluginInfo().pluginName, "Test Plug");
    EXPECT_EQ(fw::fourCharCodeValue(client->pluginInfo().pluginUniqueID), 0x54737431u);
    EXPECT_EQ(client->presetBank().numPresets(), 3);
    EXPECT_EQ(client->presetBank().currentPresetIndex(), 0);
}

TEST(ClientConstruction, ParametersKnowTheirIndexAndClient) {
    auto client = makeTestClient();
    ASSERT_EQ(client->numParams(), 4);
    for (int i = 0; i < client->numParams(); ++i) EXPECT_EQ(client->param(i)->index(), i);
    // The back reference carries gestures to the client's host.
    testclient::FakeHost host;
    client->setHostCommand(&host);
    client->mode().beginParamEdit();
    client->mode().endParamEdit();
    EXPECT_EQ(host.calls.size(), 2u);
}

TEST(ClientConstruction, MaxChannelCountsComeFromAnyLayout) {
    TestConfig config;
    config.layouts = {{1, 6}, {4, 2}, {2, 2}};
    auto client = makeTestClient(config);
    EXPECT_EQ(client->maxInputs(), 4);
    EXPECT_EQ(client->maxOutputs(), 6);
    EXPECT_TRUE(client->isLegalIO(4, 2));
    EXPECT_FALSE(client->isLegalIO(4, 6));
    EXPECT_EQ(client->legalIOs().size(), 3u);
}

TEST(ClientConstruction, NoLayoutsMeansNoChannels) {
    TestConfig config;
    config.layouts = {};
    auto client = makeTestClient(config);
    EXPECT_EQ(client->maxInputs(), 0);
    EXPECT_EQ(client->maxOutputs(), 0);
    EXPECT_FALSE(client->isLegalIO(0, 0));
}

TEST(ClientConstruction, DefaultPresetHoldsEveryNormalizedDefault) {
    auto client = makeTestClient();
    fw::Preset p = client->makeDefaultPreset();
    EXPECT_EQ(p.name, "Default");
    ASSERT_EQ(p.normalizedValues.size(), 4u);
    EXPECT_EQ(p.normalizedValues[testclient::kDelay], 0.5f);
    EXPECT_EQ(p.normalizedValues[testclient::kCutoff], static_cast<float>(std::log(50.0) / std::log(1000.0)));
    EXPECT_EQ(p.normalizedValues[testclient::kMode], static_cast<float>(1.0 / 3.0));
    EXPECT_EQ(p.normalizedValues[testclient::kSync], 0.0f);
}

TEST(ClientConstruction, DefaultsForLatencyTailAndHostQueries) {
    auto client = makeTestClient();
    EXPECT_EQ(client->latencySamples(44100.0), 0);
    EXPECT_TRUE(std::isinf(client->tailSizeInSeconds()));
    EXPECT_FALSE(client->requestResize(800, 400));
    EXPECT_EQ(client->getDAW(), fw::DAW::unknown);
    EXPECT_EQ(client->getPluginFormat(), fw::PluginFormat::unknown);
    testclient::FakeHost host;
    host.acceptResize = true;
    client->setHostCommand(&host);
    EXPECT_TRUE(client->requestResize(800, 400));
    EXPECT_EQ(host.lastResize, std::make_pair(800, 400));
    EXPECT_EQ(client->getDAW(), fw::DAW::logic);
    EXPECT_EQ(client->getPluginFormat(), fw::PluginFormat::auv2);
}

// ---- Splitting ----

TEST(ProcessAudioFromHost, SplitsLongBlocksAndAdvancesTimeAndPointers) {
    auto client = makeTestClient();
    Buffers b(2, 2, 1300);
    float* in0 = b.inPtrs[0];
    float* out1 = b.outPtrs[1];
    client->processAudioFromHost(b.inPtrs, b.outPtrs, 1300, transport(1000), false);

    const auto& calls = client->processCalls;
    ASSERT_EQ(calls.size(), 3u);
    const int expectedFrames[] = {512, 512, 276};
    const int expectedStart[] = {0, 512, 1024};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[i].frames, expectedFrames[i]);
        EXPECT_EQ(calls[i].timeInSamples, 1000 + expectedStart[i]);
        EXPECT_EQ(calls[i].tempo, 97.5);
        EXPECT_TRUE(calls[i].hostIsPlaying);
        EXPECT_EQ(calls[i].inputs[0], in0 + expectedStart[i]);
        EXPECT_EQ(calls[i].outputs[1], out1 + expectedStart[i]);
    }
    // The caller's pointer arrays now point past the block.
    EXPECT_EQ(b.inPtrs[0], in0 + 1300);
    EXPECT_EQ(b.outPtrs[1], out1 + 1300);
    // Every output sample was written by the sub-block that covered it.
    EXPECT_EQ(b.out[0][0], 512.0f);
    EXPECT_EQ(b.out[0][1023], 512.0f);
    EXPECT_EQ(b.out[0][1024], 276.0f);
    EXPECT_EQ(b.out[1][1299], 276.0f);
}

TEST(ProcessAudioFromHost, BlockOfExactlyTheMaximumIsOneCall) {
    auto client = makeTestClient();
    Buffers b(1, 2, 512);
    client->processAudioFromHost(b.inPtrs, b.outPtrs, 512, transport(0), false);
    ASSERT_EQ(client->processCalls.size(), 1u);
    EXPECT_EQ(client->processCalls[0].frames, 512);
}

TEST(ProcessAudioFromHost, EmptyBlockMakesNoCallWhenSplitting) {
    auto client = makeTestClient();
    Buffers b(2, 2, 1);
    client->processAudioFromHost(b.inPtrs, b.outPtrs, 0, transport(0), false);
    client->processAudioFromHost(b.inPtrs, b.outPtrs, -5, transport(0), false);
    EXPECT_TRUE(client->processCalls.empty());
}

TEST(ProcessAudioFromHost, DoNotSplitPassesTheWholeBlockEvenWhenEmpty) {
    auto client = makeTestClient();
    Buffers b(2, 2, 1300);
    client->processAudioFromHost(b.inPtrs, b.outPtrs, 0, transport(5), true);
    client->processAudioFromHost(b.inPtrs, b.outPtrs, 1300, transport(5), true);
    ASSERT_EQ(client->processCalls.size(), 2u);
    EXPECT_EQ(client->processCalls[0].frames, 0);
    EXPECT_EQ(client->processCalls[1].frames, 1300);
    EXPECT_EQ(client->processCalls[1].timeInSamples, 5);
}

TEST(ProcessAudioFromHost, MaximumOfZeroNeverSplits) {
    TestConfig config;
    config.maxFrames = 0;
    auto client = makeTestClient(config);
    Buffers b(2, 2, 5000);
    client->processAudioFromHost(b.inPtrs, b.outPtrs, 5000, transport(0), false);
    ASSERT_EQ(client->processCalls.size(), 1u);
    EXPECT_EQ(client->processCalls[0].frames, 5000);
}

TEST(ProcessAudioFromHost, NullChannelPointersStayNull) {
    auto client = makeTestClient();
    Buffers b(2, 2, 700);
    b.inPtrs[1] = nullptr;
    client->processAudioFromHost(b.inPtrs, b.outPtrs, 700, transport(0), false);
    EXPECT_EQ(b.inPtrs[1], nullptr);
    EXPECT_EQ(b.inPtrs[0], b.in[0].data() + 700);
}

TEST(ProcessAudioFromHost, ReadsParametersAndSplitsWithoutAllocatingOrLocking) {
    auto client = makeTestClient();
    client->recordCalls = false;
    Buffers b(2, 2, 1300);
    std::vector<float*> inPtrs = b.inPtrs, outPtrs = b.outPtrs;
    testsupport::RealtimeCounts counts;
    {
        testsupport::RealtimeWatch watch;
        for (int block = 0; block < 4; ++block) {
            for (int c = 0; c < 2; ++c) {
                inPtrs[c] = b.in[c].data();
                outPtrs[c] = b.out[c].data();
            }
            client->processAudioFromHost(inPtrs, outPtrs, 1300, transport(block * 1300), false);
        }
        counts = watch.counts();
    }
    EXPECT_EQ(counts.allocations, 0);
    EXPECT_EQ(counts.locks, 0);
    EXPECT_EQ(counts.blockingCalls, 0);
    EXPECT_EQ(client->lastDelaySeen, 5.0 + 1000.0 + 1.0 + 0.0);
}

TEST(AudioThreadReaders, TakeNoLockAndAllocateNothing) {
    auto client = makeTestClient();
    // Writers take the lock (creating it) before the watch starts.
    client->delay().setFromHost(0.3);
    client->mode().setFromHost(1.0);
    client->sync().setFromHost(1.0);
    testsupport::RealtimeCounts counts;
    double sum = 0.0;
    {
        testsupport::RealtimeWatch watch;
        for (int i = 0; i < 1000; ++i)
            sum += client->delay().value() + client->cutoff().value() + client->mode().value() +
                   (client->sync().value() ? 1.0 : 0.0);
        client->cutoff().storeFromAudioThread(440.0);
        counts = watch.counts();
    }
    EXPECT_EQ(counts.allocations, 0);
    EXPECT_EQ(counts.locks, 0);
    EXPECT_DOUBLE_EQ(sum, 1000.0 * (3.0 + 1000.0 + 3.0 + 1.0));
    EXPECT_EQ(client->cutoff().value(), 440.0);
}

// ---- Reset ----

TEST(ResetFromHost, LimitsMaxFramesToTheSubBlockSize) {
    auto client = makeTestClient();
    client->resetFromHost(44100.0, 4096, 2, 2);
    client->resetFromHost(48000.0, 256, 1, 2);
    ASSERT_EQ(client->resets.size(), 2u);
    EXPECT_EQ(client->resets[0].sampleRate, 44100.0);
    EXPECT_EQ(client->resets[0].maxFrames, 512);
    EXPECT_EQ(client->resets[0].numInputs, 2);
    EXPECT_EQ(client->resets[1].maxFrames, 256);
    EXPECT_EQ(client->resets[1].numInputs, 1);
}

TEST(ResetFromHost, PassesMaxFramesThroughWithoutASubBlockSize) {
    TestConfig config;
    config.maxFrames = 0;
    auto client = makeTestClient(config);
    client->resetFromHost(44100.0, 4096, 2, 2);
    ASSERT_EQ(client->resets.size(), 1u);
    EXPECT_EQ(client->resets[0].maxFrames, 4096);
}

// ---- MIDI ----

fw::MidiMessage noteOn(int offset, std::uint8_t note) {
    fw::MidiMessage m;
    m.offset = offset;
    m.bytes[0] = 0x90;
    m.bytes[1] = note;
    m.bytes[2] = 100;
    m.length = 3;
    return m;
}

TEST(ClientMidi, OutputOffsetsAreRelativeToTheHostBlock) {
    TestConfig config;
    config.sendsMIDI = true;
    auto client = makeTestClient(config);
    client->resetFromHost(44100.0, 2048, 2, 2);
    Buffers b(2, 2, 1300);
    // Sent during the first sub-block, at its frames 10 and 600 (the latter falls in
    // the second sub-block).
    client->toSend = {noteOn(600, 2), noteOn(10, 1)};
    client->processAudioFromHost(b.inPtrs, b.outPtrs, 1300, transport(0), false);
    auto out = client->midiOutputForBlock();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].offset, 10);
    EXPECT_EQ(out[0].bytes[1], 1);
    EXPECT_EQ(out[1].offset, 600);
    EXPECT_EQ(out[1].bytes[1], 2);

    // A message beyond the block waits for the next one.
    Buffers b2(2, 2, 256), b3(2, 2, 256);
    client->toSend = {noteOn(300, 3)};
    client->processAudioFromHost(b2.inPtrs, b2.outPtrs, 256, transport(1300), false);
    EXPECT_TRUE(client->midiOutputForBlock().empty());
    client->processAudioFromHost(b3.inPtrs, b3.outPtrs, 256, transport(1556), false);
    ASSERT_EQ(client->midiOutputForBlock().size(), 1u);
    EXPECT_EQ(client->midiOutputForBlock()[0].offset, 44);
}

TEST(ClientMidi, MessagesFromTheEditorGoOutWithTheNextBlock) {
    TestConfig config;
    config.sendsMIDI = true;
    auto client = makeTestClient(config);
    const fw::MidiMessage ui[] = {noteOn(0, 60), noteOn(0, 61)};
    client->sendMIDIMessagesFromUI(ui);
    Buffers b(2, 2, 64);
    client->processAudioFromHost(b.inPtrs, b.outPtrs, 64, transport(0), false);
    auto out = client->midiOutputForBlock();
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes[1], 60);  // same frame: arrival order
    EXPECT_EQ(out[1].bytes[1], 61);
}

TEST(ClientMidi, InputIsHandedToTheSubBlockItFallsIn) {
    TestConfig config;
    config.receivesMIDI = true;
    auto client = makeTestClient(config);
    client->resetFromHost(44100.0, 2048, 2, 2);
    client->enqueueMIDIFromHost(noteOn(700, 2));
    client->enqueueMIDIFromHost(noteOn(5, 1));
    Buffers b(2, 2, 1300);
    client->processAudioFromHost(b.inPtrs, b.outPtrs, 1300, transport(0), false);
    ASSERT_EQ(client->receivedPerCall.size(), 3u);
    ASSERT_EQ(client->receivedPerCall[0].size(), 1u);
    EXPECT_EQ(client->receivedPerCall[0][0].offset, 5);
    ASSERT_EQ(client->receivedPerCall[1].size(), 1u);
    EXPECT_EQ(client->receivedPerCall[1][0].offset, 700 - 512);
    EXPECT_TRUE(client->receivedPerCall[2].empty());
}

TEST(ClientMidi, ResetDiscardsPendingMessages) {
    TestConfig config;
    config.receivesMIDI = true;
    auto client = makeTestClient(config);
    client->enqueueMIDIFromHost(noteOn(5, 1));
    client->resetFromHost(44100.0, 512, 2, 2);
    Buffers b(2, 2, 64);
    client->processAudioFromHost(b.inPtrs, b.outPtrs, 64, transport(0), false);
    ASSERT_EQ(client->receivedPerCall.size(), 1u);
    EXPECT_TRUE(client->receivedPerCall[0].empty());
}

// ---- Editor ----

TEST(ClientGraphics, AudioThreadGetsTheEditorOnlyWhenAvailable) {
    TestConfig config;
    config.hasEditor = true;
    auto client = makeTestClient(config);
    EXPECT_EQ(client->acquireGraphics(), nullptr);  // not created yet
    fw::IGraphics* editor = client->openGraphicsFromHost();
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(client->openGraphicsFromHost(), editor);  // created once
    EXPECT_EQ(client->acquireGraphics(), editor);
    EXPECT_EQ(client->acquireGraphics(), nullptr);  // held
    client->releaseGraphics();
    EXPECT_EQ(client->acquireGraphics(), editor);
    client->releaseGraphics();
}

TEST(ClientGraphics, PluginWithoutEditorGivesNull) {
    auto client = makeTestClient();
    EXPECT_EQ(client->openGraphicsFromHost(), nullptr);
    EXPECT_EQ(client->acquireGraphics(), nullptr);
}

TEST(ClientDestruction, WithoutEditorDoesNotWaitForTheFlag) {
    std::atomic<bool> done{false};
    std::thread t([&] {
        auto client = makeTestClient();
        client.reset();
        done = true;
    });
    t.join();  // a spin on the flag would never end
    EXPECT_TRUE(done);
}

TEST(ClientDestruction, DestroysEditorBeforeParameters) {
    std::vector<std::string> log;
    TestConfig config;
    config.hasEditor = true;
    config.log = &log;
    auto client = makeTestClient(config);
    ASSERT_NE(client->openGraphicsFromHost(), nullptr);
    log.clear();
    client.reset();
    EXPECT_EQ(log, (std::vector<std::string>{"editor destroyed", "parameter destroyed"}));
}

TEST(ClientDestruction, WaitsUntilTheAudioThreadReleasesTheEditor) {
    TestConfig config;
    config.hasEditor = true;
    auto client = makeTestClient(config);
    ASSERT_NE(client->openGraphicsFromHost(), nullptr);
    ASSERT_NE(client->acquireGraphics(), nullptr);  // the audio thread holds it

    std::atomic<bool> destroyed{false};
    TestClient* raw = client.get();
    std::thread ui([&] {
        client.reset();
        destroyed = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(destroyed.load());
    raw->releaseGraphics();
    ui.join();
    EXPECT_TRUE(destroyed.load());
}

}  // namespace
