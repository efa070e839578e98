// Many instances under a busy host: eight Kestrin units from the plug-in binary,
// each rendering on its own thread, while other threads set parameters, save and
// restore states, select presets, change the sample rate and the largest block
// (with the uninitialize / initialize a host does around those, its render stopped
// meanwhile), and open, drag and close editors whose clients render on one more
// thread. Nothing may crash or fail, no render may give a non-finite sample, and
// no render may allocate, take a lock beyond the wrapper's own or make a blocking
// call (release builds count those; ThreadSanitizer checks the threads for races in
// its own build).

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "auhost/hostedunit.h"
#include "auhost/inputsource.h"
#include "gui/editortestsupport.h"
#include "kestrinhost.h"
#include "support/realtime_watch.h"

namespace {

using auhost::HostedUnit;
using testsupport::RealtimeCounts;
using testsupport::RealtimeWatch;

constexpr int kInstances = 8;
// How long the host keeps everything busy; each thread does as much as it can.
constexpr auto kStressTime = std::chrono::seconds(10);
constexpr UInt32 kLargestBlock = 1024;
// Per render through the plug-in binary, as the wrapper is built: a try of its bus
// lock and of its render-notification lock (twice), and one more at the settings
// queue; none of them can wait. Any lock more, such as one a parameter or state call
// also takes, goes over these bounds.
constexpr long kLocksPerRender = 4;
constexpr Float64 kRates[] = {44100, 48000, 96000};
constexpr UInt32 kMaxFrames[] = {256, 512, 1024};

// Plays a fixed noise table in a loop; never allocates.
class LoopInput final : public auhost::InputSource {
public:
    LoopInput() {
        std::mt19937 rng(5);
        std::uniform_real_distribution<float> d(-0.5f, 0.5f);
        for (float& x : table_) x = d(rng);
    }
    OSStatus fill(const AudioTimeStamp&, UInt32 frames, AudioBufferList& buffers) noexcept override {
        for (UInt32 b = 0; b < buffers.mNumberBuffers; ++b) {
            auto* out = static_cast<float*>(buffers.mBuffers[b].mData);
            for (UInt32 i = 0; i < frames; ++i) out[i] = table_[(at_ + i + b * 97) % table_.size()];
        }
        at_ += frames;
        return noErr;
    }

private:
    std::array<float, 4096> table_{};
    std::size_t at_ = 0;
};

void add(RealtimeCounts& total, const RealtimeCounts& c) {
    total.allocations += c.allocations;
    total.locks += c.locks;
    total.blockingCalls += c.blockingCalls;
    total.waits += c.waits;
}

// One instance and what its render thread saw. The settings thread stops the render
// (pause, then waits for paused) before it touches the unit's set-up.
struct Slot {
    std::unique_ptr<HostedUnit> unit;
    LoopInput input;
    std::atomic<bool> pause{false};
    std::atomic<bool> paused{false};
    std::atomic<UInt32> frames{256};
    // Written by the render thread only, read after it joined.
    RealtimeCounts counts;
    long watchedRenders = 0;
    long failedRenders = 0;
    long nonFinite = 0;
};

bool finite(const std::vector<float>& v, UInt32 n) {
    for (UInt32 i = 0; i < n; ++i)
        if (!std::isfinite(v[i])) return false;
    return true;
}

void renderLoop(Slot& slot, const std::atomic<bool>& stop) {
    std::vector<float> left(kLargestBlock), right(kLargestBlock);
    float* outputs[] = {left.data(), right.data()};
    bool prepared = false;
    while (!stop.load(std::memory_order_relaxed)) {
        if (slot.pause.load(std::memory_order_acquire)) {
            // Release: the settings thread may touch the unit once it sees this.
            slot.paused.store(true, std::memory_order_release);
            while (slot.pause.load(std::memory_order_acquire)) std::this_thread::yield();
            slot.paused.store(false, std::memory_order_relaxed);
            prepared = false;
            continue;
        }
        const UInt32 frames = slot.frames.load(std::memory_order_relaxed);
        if (!prepared) {
            // The first block after a set-up change is the unit's preparation.
            if (slot.unit->render(outputs, 2, frames) != noErr) ++slot.failedRenders;
            prepared = true;
            continue;
        }
        OSStatus status;
        RealtimeCounts c;
        {
            RealtimeWatch watch;
            status = slot.unit->render(outputs, 2, frames);
            c = watch.counts();
        }
        add(slot.counts, c);
        ++slot.watchedRenders;
        if (status != noErr) ++slot.failedRenders;
        if (!finite(left, frames) || !finite(right, frames)) ++slot.nonFinite;
    }
}

// An editor's client, offered to the editor render thread while its session lives.
// state: 0 none, 1 offered, 2 being rendered.
struct EditorClient {
    std::atomic<kestrin::Kestrin*> client{nullptr};
    std::atomic<int> state{0};
    std::atomic<long> generation{0};
    RealtimeCounts counts;  // render thread only
    // Written by the render thread; the editor thread keeps a session open until
    // some renders of it were watched.
    std::atomic<long> watchedRenders{0};
};

void editorRenderLoop(EditorClient& e, const std::atomic<bool>& stop) {
    constexpr int kFrames = 256;
    std::vector<float> inL(kFrames, 0.25f), inR(kFrames, -0.25f), outL(kFrames), outR(kFrames);
    long prepared = -1;
    std::int64_t position = 0;
    while (!stop.load(std::memory_order_relaxed)) {
        int offered = 1;
        if (!e.state.compare_exchange_strong(offered, 2, std::memory_order_acquire)) {
            std::this_thread::yield();
            continue;
        }
        kestrin::Kestrin& client = *e.client.load(std::memory_order_relaxed);
        const long generation = e.generation.load(std::memory_order_relaxed);
        float* ins[] = {inL.data(), inR.data()};
        float* outs[] = {outL.data(), outR.data()};
        fw::TimeInfo info;
        info.timeInSamples = position;
        info.hostIsPlaying = true;
        if (prepared != generation) {
            client.resetFromHost(48000, kFrames, 2, 2);
            client.processAudioFromHost(ins, outs, kFrames, info, false);
            prepared = generation;
        } else {
            RealtimeWatch watch;
            client.processAudioFromHost(ins, outs, kFrames, info, false);
            add(e.counts, watch.counts());
            e.watchedRenders.fetch_add(1, std::memory_order_relaxed);
        }
        position += kFrames;
        // Release: the editor thread may destroy the client once it takes it back.
        e.state.store(1, std::memory_order_release);
        std::this_thread::yield();
    }
}

class ThreadStress : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(kestrincli::KestrinHost::load(kestrincli::KestrinHost::defaultPluginPath(), host_, error)) << error;
        AudioComponentDescription d = host_->component().description;
        AudioComponent component = AudioComponentFindNext(nullptr, &d);
        ASSERT_NE(component, nullptr);
        for (auto& slot : slots_) {
            slot = std::make_unique<Slot>();
            ASSERT_TRUE(HostedUnit::create(component, slot->unit).ok());
            HostedUnit& u = *slot->unit;
            ASSERT_TRUE(u.setStreamFormat(kAudioUnitScope_Input, 0, 48000, 2).ok());
            ASSERT_TRUE(u.setStreamFormat(kAudioUnitScope_Output, 0, 48000, 2).ok());
            ASSERT_TRUE(u.setMaximumFramesPerSlice(kLargestBlock).ok());
            ASSERT_TRUE(u.setInput(&slot->input).ok());
            ASSERT_TRUE(u.setTransport({}).ok());
            ASSERT_TRUE(u.initialize().ok());
        }
        ASSERT_TRUE(slots_[0]->unit->factoryPresets(presets_).ok());
        ASSERT_FALSE(presets_.empty());
        ASSERT_TRUE(slots_[0]->unit->parameterIds(parameters_).ok());
        // The first editor of a process loads the shared art; that is not what the
        // stress is about, so it happens before.
        { editortest::EditorSession warmUp(450); }
        // States to restore: each factory preset's, taken from a unit of its own.
        std::unique_ptr<HostedUnit> donor;
        ASSERT_TRUE(HostedUnit::create(component, donor).ok());
        for (const auto& p : presets_) {
            ASSERT_TRUE(donor->choosePreset(p.number).ok());
            ASSERT_TRUE(donor->setParameter(kestrin::kUpsampleAmountParameter, float(states_.size() % 4)).ok());
            auto& state = states_.emplace_back();
            ASSERT_TRUE(donor->copyClassInfo(state).ok());
        }
    }

    HostedUnit& unit(std::mt19937& rng) { return *slots_[rng() % kInstances]->unit; }

    std::unique_ptr<kestrincli::KestrinHost> host_;
    std::array<std::unique_ptr<Slot>, kInstances> slots_;
    std::vector<auhost::PresetEntry> presets_;
    std::vector<AudioUnitParameterID> parameters_;
    std::vector<auhost::CFRef<CFPropertyListRef>> states_;
};

TEST_F(ThreadStress, EightInstancesRenderCleanlyWhileTheHostAndEditorsChangeEverything) {
    std::atomic<bool> stop{false};
    std::atomic<long> failures{0};
    auto expect = [&failures](bool ok) {
        if (!ok) failures.fetch_add(1, std::memory_order_relaxed);
    };
    long parameterSets = 0, stateRestores = 0, presetChanges = 0, setupChanges = 0, editorsOpened = 0;
    EditorClient editorClient;

    std::vector<std::thread> threads;
    for (auto& slot : slots_) threads.emplace_back(renderLoop, std::ref(*slot), std::cref(stop));
    threads.emplace_back(editorRenderLoop, std::ref(editorClient), std::cref(stop));

    threads.emplace_back([&] {
        std::mt19937 rng(1);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        while (!stop.load(std::memory_order_relaxed)) {
            const AudioUnitParameterID id = parameters_[rng() % parameters_.size()];
            expect(unit(rng).setParameter(id, value(rng)).ok());
            AudioUnitParameterValue v = 0;
            expect(unit(rng).getParameter(id, v).ok() && v >= 0.0f && v <= 1.0f);
            ++parameterSets;
        }
    });
    threads.emplace_back([&] {
        std::mt19937 rng(2);
        while (!stop.load(std::memory_order_relaxed)) {
            expect(unit(rng).restoreClassInfo(states_[rng() % states_.size()].get()).ok());
            auhost::CFRef<CFPropertyListRef> saved;
            expect(unit(rng).copyClassInfo(saved).ok());
            ++stateRestores;
        }
    });
    threads.emplace_back([&] {
        std::mt19937 rng(3);
        while (!stop.load(std::memory_order_relaxed)) {
            expect(unit(rng).choosePreset(presets_[rng() % presets_.size()].number).ok());
            auhost::PresetEntry present;
            expect(unit(rng).presentPreset(present).ok());
            ++presetChanges;
        }
    });
    threads.emplace_back([&] {
        std::mt19937 rng(4);
        while (!stop.load(std::memory_order_relaxed)) {
            Slot& slot = *slots_[rng() % kInstances];
            slot.pause.store(true, std::memory_order_release);
            // Acquire: the render thread is done with the unit. A render thread that
            // stopped never pauses, and the unit is then left alone.
            bool stopped = false;
            while (!slot.paused.load(std::memory_order_acquire) && !stopped) {
                stopped = stop.load(std::memory_order_relaxed);
                std::this_thread::yield();
            }
            if (stopped && !slot.paused.load(std::memory_order_acquire)) {
                slot.pause.store(false, std::memory_order_release);
                break;
            }
            HostedUnit& u = *slot.unit;
            const Float64 rate = kRates[rng() % 3];
            const UInt32 maxFrames = kMaxFrames[rng() % 3];
            expect(u.uninitialize().ok());
            expect(u.setStreamFormat(kAudioUnitScope_Input, 0, rate, 2).ok());
            expect(u.setStreamFormat(kAudioUnitScope_Output, 0, rate, 2).ok());
            expect(u.setMaximumFramesPerSlice(maxFrames).ok());
            expect(u.initialize().ok());
            slot.frames.store(std::min<UInt32>(maxFrames, 64u << (rng() % 5)), std::memory_order_relaxed);
            slot.pause.store(false, std::memory_order_release);
            ++setupChanges;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    threads.emplace_back([&] {
        std::mt19937 rng(5);
        const int knobs[] = {1, 2, 3, 7, 8, 9, 24, 25, 26, 27};
        while (!stop.load(std::memory_order_relaxed)) {
            editortest::EditorSession session(rng() % 2 ? 450 : 900);
            editorClient.client.store(&session.client(), std::memory_order_relaxed);
            editorClient.generation.fetch_add(1, std::memory_order_relaxed);
            // Release: the render thread sees the client and generation above.
            editorClient.state.store(1, std::memory_order_release);
            const long watchedBefore = editorClient.watchedRenders.load(std::memory_order_relaxed);
            for (int d = 0; (d < 4 || editorClient.watchedRenders.load(std::memory_order_relaxed) <= watchedBefore) &&
                            !stop.load(std::memory_order_relaxed);
                 ++d) {
                const int knob = knobs[rng() % std::size(knobs)];
                editortest::drag(session, editortest::centre(session, knob), 0, rng() % 2 ? -30 : 30);
                session.frame();
            }
            // Take the client back, waiting out a render in progress.
            int offered = 1;
            while (!editorClient.state.compare_exchange_weak(offered, 0, std::memory_order_acquire)) {
                offered = 1;
                std::this_thread::yield();
            }
            ++editorsOpened;
        }
    });

    std::this_thread::sleep_for(kStressTime);
    stop.store(true, std::memory_order_relaxed);
    for (auto& t : threads) t.join();

    long renders = 0;
    for (const auto& slot : slots_) renders += slot->watchedRenders;
    std::printf("watched renders %ld (editor %ld), parameter sets %ld, restores %ld, preset changes %ld, "
                "set-up changes %ld, editors %ld\n",
                renders, editorClient.watchedRenders.load(), parameterSets, stateRestores, presetChanges, setupChanges,
                editorsOpened);
    EXPECT_EQ(failures.load(), 0);
    EXPECT_GT(parameterSets, 100);
    EXPECT_GT(stateRestores, 10);
    EXPECT_GT(presetChanges, 10);
    EXPECT_GT(setupChanges, 10);
    EXPECT_GE(editorsOpened, 1);
    EXPECT_GT(editorClient.watchedRenders.load(), 0);
    for (const auto& slot : slots_) {
        EXPECT_GT(slot->watchedRenders, 20);
        EXPECT_EQ(slot->failedRenders, 0);
        EXPECT_EQ(slot->nonFinite, 0);
        if (RealtimeWatch::countsAllocations()) {
            EXPECT_EQ(slot->counts.allocations, 0);
        }
        if (RealtimeWatch::interposesSystemCalls()) {
            EXPECT_LE(slot->counts.locks, kLocksPerRender * slot->watchedRenders);
            EXPECT_EQ(slot->counts.waits, 0);
            EXPECT_EQ(slot->counts.blockingCalls, 0);
        }
    }
    if (RealtimeWatch::countsAllocations()) {
        EXPECT_EQ(editorClient.counts.allocations, 0);
    }
    if (RealtimeWatch::interposesSystemCalls()) {
        EXPECT_EQ(editorClient.counts.locks, 0);
        EXPECT_EQ(editorClient.counts.waits, 0);
        EXPECT_EQ(editorClient.counts.blockingCalls, 0);
    }
}

}  // namespace
