#include "kestrin/gui/kestrinknob.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "framework/client/testclient.h"
#include "framework/gui/uicontext.h"

namespace {

using fw::Box;
using fw::OwnedImage;
using fw::RGBA;
using kestrin::KestrinKnob;
using testclient::HostCall;

constexpr int kFrames = 5;
constexpr float kSensitivity = 0.25f;

// A strip whose frame i is flat with red = 10 * i, so a painted pixel names its frame.
OwnedImage<RGBA> flatStrip() {
    OwnedImage<RGBA> s(16, 16 * kFrames);
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < 16; ++x) s.at(x, y) = RGBA{std::uint8_t(10 * (y / 16)), 0, 0, 255};
    return s;
}

// "Delay" (float) as the time, "Mode" (integer 0..3) as the note, "Sync" as the switch.
struct Kestrin : ::testing::Test {
    Kestrin() { client->setHostCommand(&host); }
    std::unique_ptr<testclient::TestClient> client = testclient::makeTestClient();
    testclient::FakeHost host;
    fw::FloatParameter& time = client->delay();
    fw::IntegerParameter& note = client->mode();
    fw::BoolParameter& sync = client->sync();
    fw::UIContext context;
    OwnedImage<RGBA> strip = flatStrip();

    std::unique_ptr<KestrinKnob> makeKnob() {
        auto k = std::make_unique<KestrinKnob>(context, time, note, sync, strip, kFrames, kSensitivity);
        k->setPosition(Box{0, 0, 16, 16});
        drainDirty();
        return k;
    }
    int drainDirty() {
        fw::Vec<Box> rects;
        context.rawDirtyRects.pullAllRectangles(rects);
        return int(rects.length());
    }
    // The frame a paint shows, read back from its colour.
    int paintedFrame(KestrinKnob& k) {
        OwnedImage<RGBA> layer(16, 16);
        fw::Vec<Box> rects;
        rects.pushBack(Box{0, 0, 16, 16});
        k.onDrawRaw(layer, rects);
        return layer.at(8, 8).r / 10;
    }
    void setSync(bool on) { sync.setFromHost(on ? 1.0 : 0.0); }
};

TEST_F(Kestrin, ShowsTheTimeWhenSyncIsOffAndTheNoteWhenItIsOn) {
    auto off = makeKnob();
    EXPECT_EQ(&off->parameter(), &time);
    EXPECT_EQ(&off->getCurrentParam(), &time);
    setSync(true);
    auto on = makeKnob();
    EXPECT_EQ(&on->parameter(), &note);
}

TEST_F(Kestrin, AChangeOfSyncSwitchesTheShownParameterAndTheFrame) {
    auto knob = makeKnob();
    time.setFromHost(0.0);    // frame 0
    note.setFromHost(1.0);    // 3 of 0..3: frame 4
    EXPECT_EQ(paintedFrame(*knob), 0);
    drainDirty();
    std::thread hostThread([&] { setSync(true); });
    hostThread.join();
    EXPECT_EQ(&knob->parameter(), &note);
    EXPECT_GT(drainDirty(), 0);
    EXPECT_EQ(paintedFrame(*knob), 4);
    setSync(false);
    EXPECT_EQ(&knob->parameter(), &time);
    EXPECT_EQ(paintedFrame(*knob), 0);
}

TEST_F(Kestrin, EveryChangeOfAnyOfTheThreeParametersMarksTheKnobDirty) {
    setSync(true);
    auto knob = makeKnob();
    time.setFromHost(0.3);  // not shown, still repainted
    EXPECT_GT(drainDirty(), 0);
    note.setFromHost(0.0);
    EXPECT_GT(drainDirty(), 0);
    setSync(false);
    EXPECT_GT(drainDirty(), 0);
}

TEST_F(Kestrin, ADragEditsTheParameterShown) {
    setSync(true);
    note.setFromHost(0.0);
    auto knob = makeKnob();
    ASSERT_EQ(knob->onMouseClick(8, 8, 0, false, {}), fw::Click::beginDrag);
    knob->onBeginDrag();
    knob->onMouseDrag(8, -8, 0, -16, {});  // one height up: +0.25 -> 0.75 of 0..3 = 1 (0.75 rounds to 1)
    knob->onStopDrag();
    EXPECT_EQ(note.value(), 1);
    EXPECT_DOUBLE_EQ(time.value(), 5.0);
    const std::vector<HostCall> expected{{HostCall::begin, 2, 0.0f},
                                         {HostCall::automate, 2, float(1.0 / 3.0)},
                                         {HostCall::end, 2, 0.0f}};
    EXPECT_EQ(host.calls, expected);
}

TEST_F(Kestrin, KnobsOnASharedStripShareTheirFrames) {
    fw::FilmstripCache shared(strip, kFrames);
    KestrinKnob a(context, time, note, sync, shared, kSensitivity);
    KestrinKnob b(context, time, note, sync, shared, kSensitivity);
    a.setPosition(Box{0, 0, 24, 24});
    b.setPosition(Box{30, 0, 54, 24});
    EXPECT_EQ(shared.numEntries(), 1);
    EXPECT_EQ(a.cacheImage(2).pixels, b.cacheImage(2).pixels);
}

TEST_F(Kestrin, ADestroyedKnobLeavesNoListenerOnAnyOfTheThree) {
    makeKnob().reset();
    setSync(true);
    auto other = makeKnob();  // destroyed while the note is shown
    other.reset();
    // A dangling listener would be called by each of these.
    time.setFromHost(0.1);
    note.setFromHost(0.2);
    setSync(false);
    EXPECT_EQ(drainDirty(), 0);
}

// Host automation of Sync while the UI thread paints: the shown parameter is
// one atomic pointer (checked for races under ThreadSanitizer).
TEST_F(Kestrin, SyncAutomationWhilePaintingIsSafe) {
    auto knob = makeKnob();
    time.setFromHost(0.0);
    note.setFromHost(1.0);
    std::atomic<bool> stop{false};
    std::thread hostThread([&] {
        for (int i = 0; i < 2000 && !stop.load(std::memory_order_relaxed); ++i) setSync(i % 2 == 0);
    });
    for (int i = 0; i < 200; ++i) {
        const int f = paintedFrame(*knob);
        ASSERT_TRUE(f == 0 || f == 4) << f;
    }
    stop.store(true, std::memory_order_relaxed);
    hostThread.join();
}

}  // namespace
