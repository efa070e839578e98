#include "framework/flatwidgets/uifilmstripknob.h"

#include <gtest/gtest.h>

#include <cmath>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/graphics/blend.h"
#include "framework/gui/testelements.h"
#include "widgettest.h"

namespace {

using fw::Box;
using fw::Click;
using fw::FilmstripCache;
using fw::MouseButton;
using fw::MouseState;
using fw::OwnedImage;
using fw::RGBA;
using fw::UIFilmstripKnob;
using testclient::HostCall;
using widgettest::makeStrip;
using widgettest::opaque;
using widgettest::referenceOver;
using widgettest::referenceResize;
using widgettest::samePixels;

constexpr int kFrameSize = 32;
constexpr int kFrames = 11;
constexpr float kSensitivity = 0.25f;
constexpr RGBA kBg = guitest::TestEditor::kBackground;
const Box kKnobBox{100, 100, 164, 164};  // 64 x 64: every 64 px of travel is 0.25 of the range
constexpr int kCx = 132, kCy = 132;

MouseState ctrl() { MouseState s; s.ctrlPressed = true; return s; }
MouseState shift() { MouseState s; s.shiftPressed = true; return s; }
MouseState alt() { MouseState s; s.altPressed = true; return s; }

// A knob on the "Delay" parameter (linear 0..10, default 5) of an opened editor.
struct Knob : ::testing::Test {
    widgettest::OpenedEditor o;
    OwnedImage<RGBA> strip = makeStrip(kFrameSize, kFrameSize, kFrames);
    fw::LinearFloatParameter& delay = o.client->delay();
    UIFilmstripKnob* knob = addKnob(delay, kKnobBox);

    UIFilmstripKnob* addKnob(fw::Parameter& p, Box where) {
        auto* k = o.editor.addChild(std::make_unique<UIFilmstripKnob>(o.context(), p, strip, kFrames, kSensitivity));
        k->setPosition(where);
        return k;
    }
    // A press, then the zero-delta first move a window sends after a press.
    void press(int x, int y, MouseState s = {}, bool doubleClick = false) {
        o.window->mouseDown(x, y, MouseButton::left, doubleClick, s);
        o.window->mouseMove(x, y, s);
    }
    void release(int x, int y) { o.window->mouseUp(x, y, MouseButton::left); }
    double value() { return delay.getNormalized(); }
};

// ---- Hit test ----

TEST_F(Knob, ACornerClickOutsideTheDiscFallsThroughToTheElementBelow) {
    std::vector<std::string> log;
    auto below = std::make_unique<guitest::Probe>(o.context(), "below", &log);
    below->clickAnswer = Click::handled;
    knob->setZOrder(1);  // the knob lies over the probe
    o.editor.addChild(std::move(below))->setPosition(kKnobBox);

    o.window->mouseDown(102, 102, MouseButton::left);  // the disc's radius is 32 around (131.5, 131.5)
    EXPECT_EQ(log, (std::vector<std::string>{"below.click", "below.focus"}));
    EXPECT_TRUE(o.host.calls.empty());
    release(102, 102);

    log.clear();
    o.window->mouseDown(kCx, kCy, MouseButton::left);
    EXPECT_EQ(log, (std::vector<std::string>{"below.unfocus"}));  // the knob took the click (and the focus)
    ASSERT_EQ(o.host.calls.size(), 1u);
    EXPECT_EQ(o.host.calls[0].kind, HostCall::begin);
    release(kCx, kCy);
}

TEST_F(Knob, AWideKnobTakesClicksOnlyInTheDiscOfItsCentredSquare) {
    // 80 x 40: the square spans x 20..59.
    UIFilmstripKnob* wide = addKnob(delay, Box{300, 100, 380, 140});
    EXPECT_EQ(wide->onMouseClick(5, 20, 0, false, {}), Click::notHandled);
    EXPECT_EQ(wide->onMouseClick(75, 20, 0, false, {}), Click::notHandled);
    EXPECT_EQ(wide->onMouseClick(40, 20, 0, false, {}), Click::beginDrag);
    EXPECT_EQ(wide->onMouseClick(40, 1, 0, false, {}), Click::beginDrag);   // 18.5 from the centre
    EXPECT_EQ(wide->onMouseClick(40, 40, 0, false, {}), Click::notHandled);  // outside the element's rows
}

// ---- Dragging ----

TEST_F(Knob, DraggingUpRaisesTheValueBySensitivityPerElementHeight) {
    press(kCx, kCy);
    o.window->mouseMove(kCx, kCy - 32);
    EXPECT_DOUBLE_EQ(value(), 0.5 + 0.5 * kSensitivity);
    o.window->mouseMove(kCx, kCy - 16);  // down again
    EXPECT_DOUBLE_EQ(value(), 0.5 + 0.25 * kSensitivity);
    release(kCx, kCy - 16);
    const std::vector<HostCall> expected{{HostCall::begin, 0, 0.0f},
                                         {HostCall::automate, 0, 0.625f},
                                         {HostCall::automate, 0, 0.5625f},
                                         {HostCall::end, 0, 0.0f}};
    EXPECT_EQ(o.host.calls, expected);
}

TEST_F(Knob, ControlOrShiftMakeTheSameTravelTenTimesFiner) {
    for (MouseState fine : {ctrl(), shift()}) {
        delay.setFromHost(0.5);
        press(kCx, kCy, fine);
        o.window->mouseMove(kCx, kCy - 64, fine);
        EXPECT_NEAR(value() - 0.5, 0.1 * kSensitivity, 1e-6);
        release(kCx, kCy - 64);
    }
}

TEST_F(Knob, PastTheTopTheValueStaysAtOneUntilThePointerComesBackToWhereOneWasReached) {
    press(kCx, kCy);
    // 0.5 to 1 takes 128 px: local y from 32 to -96.
    for (int step = 1; step <= 4; ++step) o.window->mouseMove(kCx, kCy - 32 * step);
    EXPECT_DOUBLE_EQ(value(), 1.0);
    EXPECT_EQ(knob->maxCrossing(), -96.0f);
    o.window->mouseMove(kCx, kCy - 200);  // far beyond
    EXPECT_DOUBLE_EQ(value(), 1.0);
    // Back down in 8 px steps: nothing changes above the crossing point.
    int y = kCy - 200;
    while (y + 8 < kCy - 128) {
        y += 8;
        o.window->mouseMove(kCx, y);
        EXPECT_DOUBLE_EQ(value(), 1.0) << "pointer at local y " << y - kKnobBox.minY;
    }
    o.window->mouseMove(kCx, kCy - 128);  // at the crossing: this step counts
    EXPECT_DOUBLE_EQ(value(), 1.0 - 8.0 / 64.0 * kSensitivity);
    EXPECT_EQ(knob->maxCrossing(), -INFINITY);
    release(kCx, kCy - 128);
}

TEST_F(Knob, PastTheBottomTheValueStaysAtZeroUntilThePointerComesBack) {
    delay.setFromHost(0.125);
    press(kCx, kCy);
    o.window->mouseMove(kCx, kCy + 32);  // exactly 0
    EXPECT_DOUBLE_EQ(value(), 0.0);
    o.window->mouseMove(kCx, kCy + 100);
    o.window->mouseMove(kCx, kCy + 40);  // still below the crossing
    EXPECT_DOUBLE_EQ(value(), 0.0);
    o.window->mouseMove(kCx, kCy + 24);  // above it: the 16 px step up counts
    EXPECT_DOUBLE_EQ(value(), 16.0 / 64.0 * kSensitivity);
    release(kCx, kCy + 24);
    EXPECT_EQ(knob->minCrossing(), INFINITY);
}

TEST_F(Knob, ADisabledKnobIgnoresDrags) {
    knob->disable();
    press(kCx, kCy);
    o.window->mouseMove(kCx, kCy - 40);
    EXPECT_DOUBLE_EQ(value(), 0.5);
    release(kCx, kCy - 40);
}

TEST_F(Knob, AnIntegerParameterIsWrittenRoundedToItsSteps) {
    fw::IntegerParameter& mode = o.client->mode();  // 0..3, default 1
    UIFilmstripKnob* k = addKnob(mode, Box{300, 100, 364, 164});
    (void)k;
    press(332, 132);
    o.window->mouseMove(332, 132 - 64);  // 1/3 + 0.25 = 0.583 -> 2
    EXPECT_EQ(mode.value(), 2);
    release(332, 68);
    ASSERT_EQ(o.host.calls.size(), 3u);
    EXPECT_EQ(o.host.calls[1], (HostCall{HostCall::automate, 2, float(2.0 / 3.0)}));
}

// ---- Reset ----

TEST_F(Knob, ADoubleClickResetsToTheDefaultAsOneGestureThenDragsFromThere) {
    delay.setFromHost(0.9);
    press(kCx, kCy, {}, true);
    EXPECT_DOUBLE_EQ(value(), 0.5);
    const std::vector<HostCall> reset{{HostCall::begin, 0, 0.0f},
                                      {HostCall::automate, 0, 0.5f},
                                      {HostCall::end, 0, 0.0f},
                                      {HostCall::begin, 0, 0.0f}};  // the drag's own gesture
    EXPECT_EQ(o.host.calls, reset);
    o.window->mouseMove(kCx, kCy - 32);
    EXPECT_DOUBLE_EQ(value(), 0.625);
    release(kCx, kCy - 32);
    EXPECT_EQ(o.host.calls.back().kind, HostCall::end);
}

TEST_F(Knob, AltClickResetsAndAltDragHoldsTheDefault) {
    delay.setFromHost(0.1);
    press(kCx, kCy, alt());
    EXPECT_DOUBLE_EQ(value(), 0.5);
    ASSERT_GE(o.host.calls.size(), 3u);
    EXPECT_EQ(o.host.calls[1], (HostCall{HostCall::automate, 0, 0.5f}));
    o.window->mouseMove(kCx, kCy - 50, alt());
    EXPECT_DOUBLE_EQ(value(), 0.5);
    release(kCx, kCy - 50);
}

TEST(KnobDeath, AParameterThatIsNeitherFloatNorIntegerIsFatalAtTheFirstWrite) {
    auto client = testclient::makeTestClient();
    fw::UIContext context;
    const OwnedImage<RGBA> strip = makeStrip(8, 8, 3);
    UIFilmstripKnob knob(context, client->sync(), strip, 3, kSensitivity);
    knob.setPosition(Box{0, 0, 8, 8});
    EXPECT_DEATH(knob.onMouseClick(4, 4, 0, true, {}), "neither a float nor an integer");
}

// ---- Hover and listening ----

TEST_F(Knob, EnteringAndLeavingTellTheParametersListenersOfTheHover) {
    testclient::RecordingListener listener("watcher");
    delay.addListener(&listener);
    o.window->mouseMove(10, 10);
    o.window->mouseMove(kCx, kCy);
    o.window->mouseMove(kCx + 5, kCy);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"hover"}));
    o.window->mouseMove(10, 10);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"hover", "unhover"}));
    delay.removeListener(&listener);
}

TEST_F(Knob, AHostChangeFromAnotherThreadOnlyMarksTheKnobDirty) {
    o.window->frame();
    const int draws = o.window->drawCount();
    std::thread host([&] { delay.setFromHost(0.75); });
    host.join();
    EXPECT_EQ(o.window->drawCount(), draws);  // nothing painted from the listener
    EXPECT_EQ(o.window->tick(), kKnobBox);
}

TEST(KnobLifetime, ADestroyedKnobLeavesNoListenerBehind) {
    auto client = testclient::makeTestClient();
    fw::UIContext context;
    const OwnedImage<RGBA> strip = makeStrip(8, 8, 3);
    {
        UIFilmstripKnob knob(context, client->delay(), strip, 3, kSensitivity);
        knob.setPosition(Box{0, 0, 8, 8});
    }
    fw::Vec<Box> rects;
    context.rawDirtyRects.pullAllRectangles(rects);
    rects.clearContents();
    client->delay().setFromHost(0.2);  // a dangling listener would be called here
    context.rawDirtyRects.pullAllRectangles(rects);
    EXPECT_TRUE(rects.empty());
}

// ---- Drawing ----

TEST_F(Knob, TheFrameShownIsTheValueTimesTheLastFrameRoundedHalfAwayFromZero) {
    const struct {
        double normalized;
        int frame;
    } cases[] = {{0.0, 0}, {0.25, 3}, {0.24, 2}, {0.5, 5}, {0.95, 10}, {1.0, 10}};  // 0.25 * 10 = 2.5 -> 3
    for (const auto& c : cases) {
        delay.setFromHost(c.normalized);
        o.window->frame();
        EXPECT_EQ(knob->shownFrame(), c.frame) << "normalized " << c.normalized;
    }
}

TEST_F(Knob, AtTheStripsSizeTheFrameIsBlendedOverTheBackgroundByTheOverFormula) {
    UIFilmstripKnob* small = addKnob(delay, Box{400, 200, 400 + kFrameSize, 200 + kFrameSize});
    delay.setFromHost(0.3);  // frame 3
    o.window->frame();
    EXPECT_EQ(small->cacheImage(3).pixels, strip.scanline(3 * kFrameSize));  // the strip's own pixels
    for (int y = 0; y < kFrameSize; ++y)
        for (int x = 0; x < kFrameSize; ++x)
            ASSERT_EQ(o.shown(400 + x, 200 + y), opaque(referenceOver(strip.at(x, 3 * kFrameSize + y), kBg)))
                << x << ", " << y;
}

TEST_F(Knob, TheBlendAppliesTheOverFormulaToAlphaToo) {
    fw::UIContext context;
    UIFilmstripKnob k(context, delay, strip, kFrames, kSensitivity);
    k.setPosition(Box{0, 0, kFrameSize, kFrameSize});
    delay.setFromHost(0.0);
    OwnedImage<RGBA> layer(kFrameSize, kFrameSize);
    const RGBA below{200, 100, 50, 128};
    layer.fillAll(below);
    fw::Vec<Box> rects;
    rects.pushBack(Box{4, 2, 30, 31});
    k.onDrawRaw(layer, rects);
    for (int y = 0; y < kFrameSize; ++y)
        for (int x = 0; x < kFrameSize; ++x) {
            const RGBA expected = rects[0].contains(x, y) ? referenceOver(strip.at(x, y), below) : below;
            ASSERT_EQ(layer.at(x, y), expected) << x << ", " << y;
        }
}

TEST_F(Knob, AScaledFrameIsTheResampledFrameBlendedOverTheBackground) {
    delay.setFromHost(0.7);  // frame 7
    o.window->frame();
    const OwnedImage<RGBA> scaled = referenceResize(
        fw::ImageRef<const RGBA>(strip).cropImageRef(Box::rectangle(0, 7 * kFrameSize, kFrameSize, kFrameSize)), 64, 64,
        -1);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(o.shown(kKnobBox.minX + x, kKnobBox.minY + y), opaque(referenceOver(scaled.at(x, y), kBg)))
                << x << ", " << y;
}

TEST_F(Knob, AResizeDropsTheScaledFramesAndRebuildsThemLazilyAtTheNewSize) {
    delay.setFromHost(0.4);  // frame 4
    o.window->frame();
    const FilmstripCache& cache = knob->frames();
    EXPECT_TRUE(cache.isFrameCached(knob->framesHandle(), 4));
    EXPECT_FALSE(cache.isFrameCached(knob->framesHandle(), 5));
    OwnedImage<RGBA> at64(64, 64);
    fw::copyPixels(at64, knob->cacheImage(4));

    knob->setPosition(Box{100, 100, 148, 148});
    EXPECT_EQ(knob->framesHandle().frameWidth(), 48);
    for (int i = 0; i < kFrames; ++i) EXPECT_FALSE(cache.isFrameCached(knob->framesHandle(), i));
    EXPECT_EQ(cache.numEntries(), 1);  // the 64 px frames are gone
    o.window->frame();
    EXPECT_TRUE(cache.isFrameCached(knob->framesHandle(), 4));
    const fw::ImageRef<const RGBA> at48 = knob->cacheImage(4);
    EXPECT_TRUE(samePixels(at48, referenceResize(cache.sourceFrame(4), 48, 48, -1)));
    EXPECT_FALSE(samePixels(at48, fw::ImageRef<const RGBA>(at64).cropImageRef(Box{0, 0, 48, 48})));
}

// ---- Shared frames ----

TEST_F(Knob, KnobsOfOneSizeShareOneEntryAndMayBePaintedAtOnce) {
    FilmstripCache shared(strip, kFrames);
    fw::UIContext context;
    fw::IntegerParameter& mode = o.client->mode();
    UIFilmstripKnob a(context, delay, shared, kSensitivity);
    UIFilmstripKnob b(context, mode, shared, kSensitivity);
    a.setPosition(Box{0, 0, 40, 40});
    b.setPosition(Box{50, 0, 90, 40});
    EXPECT_EQ(shared.numEntries(), 1);
    delay.setFromHost(0.6);
    mode.setFromHost(2.0 / 3.0);  // 0.667 * 10 = 6.7 -> 7 for b, 6 for a

    OwnedImage<RGBA> layerA(40, 40), layerB(40, 40);
    layerA.fillAll(kBg);
    layerB.fillAll(kBg);
    fw::Vec<Box> rects;
    rects.pushBack(Box{0, 0, 40, 40});
    std::latch start(2);
    std::thread ta([&] {
        start.arrive_and_wait();
        for (int i = 0; i < 20; ++i) a.onDrawRaw(layerA, rects);
    });
    std::thread tb([&] {
        start.arrive_and_wait();
        for (int i = 0; i < 20; ++i) b.onDrawRaw(layerB, rects);
    });
    ta.join();
    tb.join();
    EXPECT_EQ(a.shownFrame(), 6);
    EXPECT_EQ(b.shownFrame(), 7);
    EXPECT_EQ(a.cacheImage(7).pixels, b.cacheImage(7).pixels);
    // Painted 20 times over the same pixels: the blend of a blend of ... of the frame.
    auto expectedAfter = [&](int frame) {
        OwnedImage<RGBA> ref = referenceResize(shared.sourceFrame(frame), 40, 40, -1);
        OwnedImage<RGBA> out(40, 40);
        out.fillAll(kBg);
        for (int i = 0; i < 20; ++i)
            for (int y = 0; y < 40; ++y)
                for (int x = 0; x < 40; ++x) out.at(x, y) = referenceOver(ref.at(x, y), out.at(x, y));
        return out;
    };
    EXPECT_TRUE(samePixels(layerA, expectedAfter(6)));
    EXPECT_TRUE(samePixels(layerB, expectedAfter(7)));
}

}  // namespace
