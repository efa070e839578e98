// run() as hosts call it, against the client driven directly with the same blocks:
// every block length, both layouts, the host's tempo through atoms, bad input, and
// real-time safety.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/time/time.h>

#include "kestrin/kestrin.h"
#include "kestrin/lv2/kestrinlv2.h"
#include "lv2fixture.h"
#include "support/realtime_watch.h"

namespace {

using lv2test::HostOptions;
using lv2test::Instance;
using Channels = std::vector<std::vector<float>>;

constexpr double kRate = 48000;

Channels noise(int channels, std::size_t frames, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> dist(-0.5f, 0.5f);
    Channels c(static_cast<std::size_t>(channels), std::vector<float>(frames));
    for (auto& ch : c)
        for (float& x : ch) x = dist(rng);
    return c;
}

// A host block: its length and the transport the client should see for it.
struct Block {
    int frames;
    fw::TimeInfo info;
};

std::vector<Block> blocksOf(std::size_t total, int length) {
    std::vector<Block> blocks;
    for (std::size_t done = 0; done < total; done += std::size_t(length))
        blocks.push_back({int(std::min<std::size_t>(std::size_t(length), total - done)), {}});
    return blocks;
}

// The client itself, reset and driven as a wrapper must: the full layout, missing
// inputs silent; `setup` sets its parameters.
template <class Setup>
Channels reference(const Channels& in, int inputs, const std::vector<Block>& blocks, Setup setup) {
    auto client = kestrin::lv2::makeClient();
    setup(*client);
    client->resetFromHost(kRate, 8192, inputs, 2);
    Channels out(2);
    std::vector<float> silence(8192, 0.0f), o0(8192), o1(8192);
    std::size_t at = 0;
    for (const Block& b : blocks) {
        float* ins[2] = {const_cast<float*>(in[0].data()) + at,
                         inputs == 2 ? const_cast<float*>(in[1].data()) + at : silence.data()};
        float* outs[2] = {o0.data(), o1.data()};
        client->processAudioFromHost(ins, outs, b.frames, b.info, false);
        out[0].insert(out[0].end(), o0.begin(), o0.begin() + b.frames);
        out[1].insert(out[1].end(), o1.begin(), o1.begin() + b.frames);
        at += std::size_t(b.frames);
    }
    return out;
}

Channels throughLv2(Instance& instance, const Channels& in, const std::vector<Block>& blocks) {
    Channels out;
    std::size_t at = 0;
    for (const Block& b : blocks) {
        instance.run(in, at, b.frames, out);
        at += std::size_t(b.frames);
    }
    return out;
}

void noSetup(fw::Client&) {}

TEST(Lv2Run, MatchesTheClientBitForBitForBlockLengthsFrom1To8192) {
    const Channels in = noise(2, 16384, 1);
    for (int length : {1, 3, 64, 511, 512, 513, 1000, 4096, 8192}) {
        SCOPED_TRACE(length);
        Instance plugin(kestrin::lv2::kStereoUri);
        ASSERT_TRUE(plugin.ok());
        plugin.connectAll(8192);
        plugin.activate();
        const std::size_t frames = length == 1 ? 4096 : in[0].size();
        const auto blocks = blocksOf(frames, length);
        const Channels expected = reference(in, 2, blocks, noSetup);
        EXPECT_EQ(throughLv2(plugin, in, blocks), expected);
    }
}

TEST(Lv2Run, MonoVariantFeedsTheClientsMonoLayoutAtFactors1And8) {
    const Channels in = noise(1, 6000, 2);
    for (int amount : {0, 3}) {
        SCOPED_TRACE(amount);
        Instance plugin(kestrin::lv2::kMonoUri);
        ASSERT_TRUE(plugin.ok());
        EXPECT_EQ(plugin.audioInputs(), 1);
        plugin.control("upsample_amount") = float(amount);
        plugin.connectAll(8192);
        plugin.activate();
        const auto blocks = blocksOf(in[0].size(), 700);
        const Channels expected = reference(in, 1, blocks, [&](fw::Client& c) {
            c.setParameterFromHost(kestrin::kUpsampleAmountParameter, float(amount / 3.0));
        });
        EXPECT_EQ(throughLv2(plugin, in, blocks), expected);
    }
}

TEST(Lv2Run, BlocksLongerThanTheHostsDeclaredMaximumAreProcessedInPieces) {
    const Channels in = noise(2, 20000, 3);
    for (int declared : {0, 256}) {  // none named (the default applies), and a small one
        SCOPED_TRACE(declared);
        HostOptions options;
        options.maxBlock = declared;
        Instance plugin(kestrin::lv2::kStereoUri, options);
        ASSERT_TRUE(plugin.ok());
        plugin.connectAll(20000);
        plugin.activate();
        const std::vector<Block> blocks = {{20000, {}}};
        EXPECT_EQ(throughLv2(plugin, in, blocks), reference(in, 2, blocksOf(20000, 256), noSetup));
    }
}

TEST(Lv2Run, HostTempoFromTimePositionAtomsDrivesSyncFromTheirFrame) {
    const Channels in = noise(2, 12000, 4);
    Instance plugin(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(plugin.ok());
    plugin.control("sync") = 1.0f;
    plugin.control("note_l") = 0.0f;  // a sixteenth: echoes within the test's 12000 frames
    plugin.control("note_r") = 0.0f;
    plugin.connectAll(8192);
    plugin.activate();

    // Block 0: 140 bpm rolling from frame 48000. Block 1: 90 bpm from its frame 100.
    // Block 2: nothing new, still rolling.
    std::vector<Block> expectedBlocks;
    Channels out;
    plugin.queuePosition(0, 140.0, 1.0f, 48000);
    plugin.run(in, 0, 4000, out);
    expectedBlocks.push_back({4000, {140.0, 48000, true}});
    plugin.queuePosition(100, 90.0, 1.0f, 60000);
    plugin.run(in, 4000, 4000, out);
    expectedBlocks.push_back({100, {140.0, 52000, true}});
    expectedBlocks.push_back({3900, {90.0, 60000, true}});
    plugin.run(in, 8000, 4000, out);
    expectedBlocks.push_back({4000, {90.0, 63900, true}});

    auto setup = [](fw::Client& c) {
        for (int i = 0; i < c.numParams(); ++i)
            if (c.param(i)->name() == "Sync") c.param(i)->setFromHost(1.0);
            else if (c.param(i)->name() == "Note L" || c.param(i)->name() == "Note R") c.param(i)->setFromHost(0.0);
    };
    EXPECT_EQ(out, reference(in, 2, expectedBlocks, setup));
    // The tempo is really heard: at the default 120 the echoes fall elsewhere.
    EXPECT_NE(out, reference(in, 2, blocksOf(12000, 4000), setup));
}

TEST(Lv2Run, NonFiniteAndOutOfRangeControlsAreClampedOrIgnored) {
    const Channels in = noise(2, 4096, 5);
    Instance plugin(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(plugin.ok());
    plugin.control("delay_l") = std::numeric_limits<float>::quiet_NaN();
    plugin.control("feedback_l") = std::numeric_limits<float>::infinity();
    plugin.control("note_r") = 1.0e9f;
    plugin.control("upsample_amount") = -5.0f;
    plugin.control("sync") = std::numeric_limits<float>::quiet_NaN();
    plugin.control("lowpass") = -std::numeric_limits<float>::infinity();
    plugin.connectAll(8192);
    plugin.activate();
    const auto blocks = blocksOf(4096, 512);
    const Channels out = throughLv2(plugin, in, blocks);
    auto byName = [](fw::Client& c, const char* name) {
        for (int i = 0; i < c.numParams(); ++i)
            if (c.param(i)->name() == name) return c.param(i);
        return static_cast<fw::Parameter*>(nullptr);
    };
    // NaN keeps the default; the rest go to the nearest end of their range.
    const Channels expected = reference(in, 2, blocks, [&](fw::Client& c) {
        byName(c, "Feedback L")->setFromHost(1.0);
        byName(c, "Note R")->setFromHost(1.0);
        byName(c, "Upsample Amount")->setFromHost(0.0);
        byName(c, "Lowpass")->setFromHost(0.0);
    });
    EXPECT_EQ(out, expected);
}

TEST(Lv2Run, BadHostsGetSilenceAndAPluginThatKeepsWorking) {
    const Channels in = noise(2, 2048, 6);
    {
        // run() before activate(): silence, whatever the buffers held.
        Instance plugin(kestrin::lv2::kStereoUri);
        ASSERT_TRUE(plugin.ok());
        plugin.connectAll(8192);
        Channels out;
        plugin.run(in, 0, 512, out);
        for (const auto& ch : out)
            for (float x : ch) ASSERT_EQ(x, 0.0f);
        // Activated afterwards, it processes as if nothing had happened.
        plugin.activate();
        Channels after;
        plugin.run(in, 0, 2048, after);
        EXPECT_EQ(after, reference(in, 2, {{2048, {}}}, noSetup));
    }
    {
        // No port connected at all, then zero and ordinary lengths.
        Instance plugin(kestrin::lv2::kStereoUri);
        ASSERT_TRUE(plugin.ok());
        plugin.activate();
        lilv_instance_run(plugin.lilv(), 0);
        lilv_instance_run(plugin.lilv(), 512);
        lilv_instance_run(plugin.lilv(), 100000);
    }
    {
        // Null buffers: a missing input reads silence, a missing output is not written.
        Instance plugin(kestrin::lv2::kStereoUri);
        ASSERT_TRUE(plugin.ok());
        plugin.connectAll(8192);
        lilv_instance_connect_port(plugin.lilv(), std::uint32_t(plugin.portIndex("in_r")), nullptr);
        lilv_instance_connect_port(plugin.lilv(), std::uint32_t(plugin.portIndex("out_l")), nullptr);
        lilv_instance_connect_port(plugin.lilv(), std::uint32_t(plugin.portIndex("transport")), nullptr);
        lilv_instance_connect_port(plugin.lilv(), 9999, nullptr);  // no such port
        plugin.activate();
        Channels out;
        plugin.run(in, 0, 2048, out);
        Channels leftOnly = in;
        std::fill(leftOnly[1].begin(), leftOnly[1].end(), 0.0f);
        EXPECT_EQ(out[1], reference(leftOnly, 2, {{2048, {}}}, noSetup)[1]);
    }
    {
        // Rates the plug-in is not built for are refused at instantiation, the edges accepted.
        for (double rate : {0.0, -48000.0, 1e-300, 7999.0, 384001.0, 3e8, std::nan(""), HUGE_VAL}) {
            HostOptions odd;
            odd.sampleRate = rate;
            EXPECT_FALSE(Instance(kestrin::lv2::kStereoUri, odd).ok()) << rate;
        }
        for (double rate : {8000.0, 384000.0}) {
            HostOptions edge;
            edge.sampleRate = rate;
            Instance plugin(kestrin::lv2::kStereoUri, edge);
            ASSERT_TRUE(plugin.ok()) << rate;
            plugin.connectAll(8192);
            plugin.activate();
            Channels out;
            plugin.run(in, 0, 2048, out);
            EXPECT_NE(out, Channels(2, std::vector<float>(2048, 0.0f))) << rate;
        }
    }
    {
        // A host with no features at all (no URID map, no options) still gets sound.
        HostOptions bare;
        bare.withMap = false;
        bare.maxBlock = 0;
        Instance plugin(kestrin::lv2::kStereoUri, bare);
        ASSERT_TRUE(plugin.ok());
        plugin.connectAll(8192);
        plugin.activate();
        Channels out;
        plugin.run(in, 0, 2048, out);
        EXPECT_EQ(out, reference(in, 2, {{2048, {}}}, noSetup));
    }
}

TEST(Lv2Run, TransportSequencesOnlyFourByteAlignedOrMalformedAreReadWithinTheirSize) {
    const Channels in = noise(2, 12000, 8);
    Instance plugin(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(plugin.ok());
    plugin.control("note_l") = 0.0f;
    plugin.control("note_r") = 0.0f;
    plugin.connectAll(8192);
    // Written by hand at an address that is 4 but not 8 aligned, as some hosts pass it:
    // one time:Position (140 bpm, a double), then an event claiming more bytes than
    // the sequence holds.
    std::vector<std::uint64_t> storage(64, 0);
    auto* bytes = reinterpret_cast<std::uint8_t*>(storage.data()) + 4;
    auto& u = plugin.urids();
    std::vector<std::uint32_t> words = {
        0, u.map(LV2_ATOM__Sequence), 0, 0,                        // sequence header, body (size set below)
        0, 0, 40, u.map(LV2_ATOM__Object),                          // event at frame 0: an object of 40 bytes
        0, u.map(LV2_TIME__Position),                               // id, otype
        u.map(LV2_TIME__beatsPerMinute), 0, 8, u.map(LV2_ATOM__Double), 0, 0,  // key, context, value atom, 140.0
        0, 0,                                                       // the rest of the object's 40 bytes
        0, 0, 4000, u.map(LV2_ATOM__Object),                        // an event far larger than the sequence
    };
    const double bpm = 140.0;
    std::memcpy(&words[14], &bpm, sizeof bpm);
    words[0] = std::uint32_t((words.size() - 2) * 4);
    std::memcpy(bytes, words.data(), words.size() * 4);
    lilv_instance_connect_port(plugin.lilv(), std::uint32_t(plugin.portIndex("transport")), bytes);
    plugin.activate();
    Channels out;
    std::vector<Block> blocks;
    for (std::size_t at = 0; at < 12000; at += 4000) {
        plugin.run(in, at, 4000, out);
        blocks.push_back({4000, {140.0, 0, false}});
    }
    auto setup = [](fw::Client& c) {
        for (int i = 0; i < c.numParams(); ++i)
            if (c.param(i)->name() == "Note L" || c.param(i)->name() == "Note R") c.param(i)->setFromHost(0.0);
    };
    EXPECT_EQ(out, reference(in, 2, blocks, setup));
}

TEST(Lv2Run, RunAllocatesNothingTakesNoLockAndMakesNoSystemCall) {
    Instance plugin(kestrin::lv2::kStereoUri);
    ASSERT_TRUE(plugin.ok());
    plugin.connectAll(8192);
    plugin.activate();
    const Channels in = noise(2, 8192, 7);
    Channels out;
    // Warm: the first block after activation; the transport's URIs mapped once.
    plugin.queuePosition(0, 120.0, 1.0f, 0);
    plugin.run(in, 0, 8192, out);
    float& delay = plugin.control("delay_l");
    float& note = plugin.control("note_l");
    float& sync = plugin.control("sync");
    float& factor = plugin.control("upsample_amount");
    testsupport::RealtimeCounts counts;
    {
        testsupport::RealtimeWatch watch;
        for (int i = 0; i < 40; ++i) {
            // Every kind of control changes, the oversampling factor too, and the tempo.
            delay = float(10 + i);
            note = float(i % 32);
            sync = float(i % 2);
            factor = float(i % 4);
            plugin.queuePosition(i % 100, 100.0 + i, 1.0f, i * 1000);
            plugin.runInPlace(1 + (i * 997) % 8192);
        }
        counts = watch.counts();
    }
    if (testsupport::RealtimeWatch::countsAllocations()) {
        EXPECT_EQ(counts.allocations, 0);
    }
    if (testsupport::RealtimeWatch::interposesSystemCalls()) {
        EXPECT_EQ(counts.locks, 0);
        EXPECT_EQ(counts.blockingCalls, 0);
    }
}

}  // namespace
