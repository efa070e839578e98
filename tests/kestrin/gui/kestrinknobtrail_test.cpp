// The delay-time arc: it shows whichever of time and note is active, switches
// when Sync changes (from any thread), and leaves no listener behind.
#include "kestrin/gui/kestrinknobtrail.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "framework/graphics/draw.h"
#include "kestrinfixture.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::RGBA;
using kestrin::KestrinKnobTrail;

struct KestrinTrailTest : ::testing::Test, kestrintest::KestrinParams {
    fw::UIContext context;
    std::unique_ptr<KestrinKnobTrail> trail() {
        auto t = std::make_unique<KestrinKnobTrail>(context, *time, *note, *sync);
        t->setPosition(Box::rectangle(0, 0, 88, 88));
        return t;
    }
    // The arc drawn for a normalized value with the trail's own geometry.
    fw::OwnedImage<RGBA> expectedArc(const KestrinKnobTrail& t, double normalized) {
        fw::OwnedImage<RGBA> layer = widgettest::filledLayer(88, 88);
        const float a1 = float(double(t.getMinAngle()) * (1.0 - normalized) + double(t.getMaxAngle()) * normalized);
        fw::aaFillSector(layer, 43.5f, 43.5f, 0.85f * 44.0f, 0.97f * 44.0f, t.getBaseAngle(), a1,
                         tlmgui::UIKnobTrail::kDefaultTrailColor);
        return layer;
    }
    fw::OwnedImage<RGBA> painted(KestrinKnobTrail& t) {
        fw::OwnedImage<RGBA> layer = widgettest::filledLayer(88, 88);
        widgettest::paintAll(t, layer);
        return layer;
    }
};

TEST_F(KestrinTrailTest, ShowsTheTimeWhileSyncIsOffAndTheNoteWhileItIsOn) {
    auto t = trail();
    EXPECT_EQ(&t->getCurrentParam(), time);
    EXPECT_EQ(&t->shownParameter(), time);
    setSync(true);
    EXPECT_EQ(&t->getCurrentParam(), note);
    EXPECT_EQ(&t->shownParameter(), note);
    setSync(false);
    EXPECT_EQ(&t->shownParameter(), time);
}

TEST_F(KestrinTrailTest, ATrailBuiltWhileSyncIsOnShowsTheNote) {
    setSync(true);
    EXPECT_EQ(&trail()->shownParameter(), note);
}

TEST_F(KestrinTrailTest, TheArcFollowsTheActiveParameter) {
    time->setFromHost(0.25);
    setNote(23);
    auto t = trail();
    EXPECT_EQ(widgettest::countDifferences(painted(*t), expectedArc(*t, time->getNormalized())), 0);
    setSync(true);
    EXPECT_EQ(widgettest::countDifferences(painted(*t), expectedArc(*t, note->toNormalized(23))), 0);
    // The time is not what the arc shows any more.
    EXPECT_GT(widgettest::countDifferences(painted(*t), expectedArc(*t, 0.25)), 0);
}

TEST_F(KestrinTrailTest, EveryChangeOfTheThreeMarksTheTrailDirty) {
    auto t = trail();
    fw::Vec<Box> rects;
    context.rawDirtyRects.pullAllRectangles(rects);
    for (int step = 0; step < 3; ++step) {
        rects.clearContents();
        if (step == 0) time->setFromHost(0.7);
        if (step == 1) setNote(4);  // not shown now, heard through the sync listener
        if (step == 2) sync->setFromHost(1.0);
        context.rawDirtyRects.pullAllRectangles(rects);
        ASSERT_EQ(rects.length(), 1u) << step;
        EXPECT_EQ(rects[0], (Box{0, 0, 88, 88}));
    }
}

TEST_F(KestrinTrailTest, ADestroyedTrailLeavesNoListenerBehind) {
    {
        auto t = trail();
        setSync(true);  // the shown parameter is no longer the one registered at construction
    }
    // Each would reach a dangling listener (AddressSanitizer reports it).
    time->setFromHost(0.2);
    setNote(9);
    setSync(false);
    SUCCEED();
}

TEST_F(KestrinTrailTest, AHostThreadSwitchingSyncWhileTheEditorPaints) {
    widgettest::OpenedEditor o;
    auto* t = o.add(std::make_unique<KestrinKnobTrail>(o.context(), *time, *note, *sync),
                    Box::rectangle(100, 100, 88, 88));
    std::atomic<bool> stop{false};
    std::thread hostThread([&] {
        for (int i = 0; !stop.load(std::memory_order_relaxed) && i < 20000; ++i) {
            sync->setFromHost((i & 1) ? 1.0 : 0.0);
            note->setFromHost(note->toNormalized(i % 32));
        }
        sync->setFromHost(1.0);
    });
    for (int frame = 0; frame < 40; ++frame) o.window->frame();
    stop.store(true, std::memory_order_relaxed);
    hostThread.join();
    EXPECT_EQ(&t->shownParameter(), note);
}

}  // namespace
