// The plug-in's filmstrip slider: frames side by side or stacked (the editor's
// 62 frames of 62 x 514), strips too small for their frame count, the drag
// rules (crossing, fine adjustment, reset) and the gestures the host sees.
#include "kestrin/gui/flatslider.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "framework/client/testclient.h"
#include "framework/graphics/blend.h"
#include "framework/graphics/imageresizer.h"
#include "support/realtime_watch.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::Click;
using fw::MouseState;
using fw::RGBA;
using kestrin::UIFilmstripSlider;
using testclient::HostCall;
using widgettest::filledLayer;
using widgettest::kBackground;

// A distinct opaque colour per frame, with a darker top-left quarter so that a
// frame read from the wrong place, or upside down, shows.
RGBA frameColor(int frame, bool corner) {
    const std::uint8_t v = std::uint8_t(4 * frame);
    return corner ? RGBA{std::uint8_t(v / 2), 10, 20, 255} : RGBA{v, std::uint8_t(255 - v), 90, 255};
}

fw::OwnedImage<RGBA> makeStrip(int frameW, int frameH, int frames, bool sideBySide) {
    fw::OwnedImage<RGBA> strip(sideBySide ? frameW * frames : frameW, sideBySide ? frameH : frameH * frames);
    for (int f = 0; f < frames; ++f)
        for (int y = 0; y < frameH; ++y)
            for (int x = 0; x < frameW; ++x) {
                const int sx = sideBySide ? f * frameW + x : x;
                const int sy = sideBySide ? y : f * frameH + y;
                strip.at(sx, sy) = frameColor(f, x < frameW / 2 && y < frameH / 2);
            }
    return strip;
}

// "Delay" of the test client: linear 0..10, default 5.
struct SliderTest : ::testing::Test {
    SliderTest() { client->setHostCommand(&host); }
    std::unique_ptr<testclient::TestClient> client = testclient::makeTestClient();
    testclient::FakeHost host;
    fw::FloatParameter& param = client->delay();
    fw::UIContext context;

    std::unique_ptr<UIFilmstripSlider> slider(fw::ImageRef<const RGBA> strip, int frames, bool sideBySide,
                                              Box position, float sensitivity = 1.0f) {
        auto s = std::make_unique<UIFilmstripSlider>(context, param, strip, frames, sensitivity, sideBySide);
        s->setPosition(position);
        return s;
    }
    void setNormalized(double n) { param.setFromHost(n); }
    static MouseState mods(bool ctrl, bool shift, bool alt) {
        MouseState m;
        m.ctrlPressed = ctrl;
        m.shiftPressed = shift;
        m.altPressed = alt;
        return m;
    }
};

// ---- Frames ----

TEST_F(SliderTest, TheEditorsStripOfSixtyTwoFramesSideBySideShowsRealFrames) {
    fw::OwnedImage<RGBA> strip = makeStrip(62, 514, 62, true);
    ASSERT_EQ(strip.width(), 3844);
    auto s = slider(strip, 62, true, Box::rectangle(0, 0, 62, 514));
    EXPECT_EQ(s->sourceFrameWidth(), 62);
    EXPECT_EQ(s->sourceFrameHeight(), 514);
    for (int frame : {0, 1, 30, 60, 61}) {
        setNormalized(double(frame) / 61.0);
        ASSERT_EQ(s->currentFrame(), frame);
        fw::OwnedImage<RGBA> layer = filledLayer(62, 514);
        widgettest::paintAll(*s, layer);
        // At the frame's own size the frame is drawn from the strip itself: every
        // pixel is the frame's, and no copy is cached.
        for (int y = 0; y < 514; ++y)
            for (int x = 0; x < 62; ++x)
                ASSERT_EQ(layer.at(x, y), frameColor(frame, x < 31 && y < 257)) << frame << " " << x << "," << y;
        EXPECT_FALSE(s->isFrameCached(frame));
    }
    // Another size caches again, and the strip's own size drops the cache.
    s->setPosition(Box::rectangle(0, 0, 31, 257));
    fw::OwnedImage<RGBA> half = filledLayer(31, 257);
    widgettest::paintAll(*s, half);
    EXPECT_TRUE(s->isFrameCached(61));
    s->setPosition(Box::rectangle(0, 0, 62, 514));
    EXPECT_FALSE(s->isFrameCached(61));
}

TEST_F(SliderTest, AtAnotherSizeTheFrameIsResizedFromItsOwnPartOfTheStrip) {
    fw::OwnedImage<RGBA> strip = makeStrip(62, 514, 62, true);
    const Box pos = Box::rectangle(3, 4, 31, 257);
    auto s = slider(strip, 62, true, pos);
    setNormalized(40.0 / 61.0);
    fw::OwnedImage<RGBA> frame(31, 257);
    fw::ImageResizer resizer;
    ASSERT_TRUE(resizer
                    .resizeImageSRGBWithAlpha(strip.toRef().cropImageRef(Box::rectangle(40 * 62, 0, 62, 514)), frame,
                                              fw::ResizeFilter::magicKernelSharpBlend)
                    .ok());
    fw::OwnedImage<RGBA> want = filledLayer(40, 270);
    fw::blendOver(want.toRef().cropImageRef(pos), frame);
    fw::OwnedImage<RGBA> layer = filledLayer(40, 270);
    widgettest::paint(*s, layer, {Box{0, 0, 40, 100}, Box{0, 100, 40, 270}});
    EXPECT_EQ(widgettest::countDifferences(layer, want), 0);
}

TEST_F(SliderTest, StackedFramesAreReadTopToBottom) {
    fw::OwnedImage<RGBA> strip = makeStrip(8, 6, 5, false);
    auto s = slider(strip, 5, false, Box::rectangle(0, 0, 8, 6));
    EXPECT_EQ(s->sourceFrameWidth(), 8);
    EXPECT_EQ(s->sourceFrameHeight(), 6);
    setNormalized(0.75);  // (5 - 1) x 0.75 = frame 3
    fw::OwnedImage<RGBA> layer = filledLayer(8, 6);
    widgettest::paintAll(*s, layer);
    EXPECT_EQ(layer.at(0, 0), frameColor(3, true));
    EXPECT_EQ(layer.at(7, 5), frameColor(3, false));
}

TEST_F(SliderTest, TheFrameIndexRoundsHalvesUpAndStaysInRange) {
    fw::OwnedImage<RGBA> strip = makeStrip(4, 4, 5, false);
    auto s = slider(strip, 5, false, Box::rectangle(0, 0, 4, 4));
    setNormalized(0.375);  // 4 x 0.375 = 1.5
    EXPECT_EQ(s->currentFrame(), 2);
    setNormalized(0.37);  // 1.48
    EXPECT_EQ(s->currentFrame(), 1);
    setNormalized(1.0);
    EXPECT_EQ(s->currentFrame(), 4);
    setNormalized(0.0);
    EXPECT_EQ(s->currentFrame(), 0);
}

TEST_F(SliderTest, FramesAreCachedOnFirstDisplayAndForgottenWhenTheSizeChanges) {
    fw::OwnedImage<RGBA> strip = makeStrip(4, 4, 5, false);
    auto s = slider(strip, 5, false, Box::rectangle(0, 0, 8, 8));
    setNormalized(0.5);
    fw::OwnedImage<RGBA> layer = filledLayer(8, 8);
    widgettest::paintAll(*s, layer);
    EXPECT_TRUE(s->isFrameCached(2));
    EXPECT_FALSE(s->isFrameCached(1));
    // A second paint of a cached frame allocates nothing.
    fw::Vec<Box> areas;
    areas.pushBack(layer.toRef().bounds());
    {
        testsupport::RealtimeWatch watch;
        s->renderRaw(layer, areas);
        if (testsupport::RealtimeWatch::countsAllocations()) {
            EXPECT_EQ(watch.counts().allocations, 0);
        }
    }
    s->setPosition(Box::rectangle(0, 0, 6, 6));
    EXPECT_FALSE(s->isFrameCached(2));
    s->setPosition(Box::rectangle(2, 2, 6, 6));  // moved, same size: kept
    widgettest::paintAll(*s, layer);
    s->setPosition(Box::rectangle(0, 0, 6, 6));
    EXPECT_TRUE(s->isFrameCached(2));
}

TEST_F(SliderTest, AStripTooSmallForItsFramesDrawsNothing) {
    // Ten pixels cannot hold 62 frames side by side: the frame width would be 0.
    fw::OwnedImage<RGBA> narrow = makeStrip(10, 514, 1, true);
    fw::OwnedImage<RGBA> empty;
    struct Case {
        fw::ImageRef<const RGBA> strip;
        int frames;
        bool sideBySide;
    } cases[] = {{narrow, 62, true}, {narrow, 600, false}, {narrow, 0, true}, {narrow, -3, false}, {empty, 4, true}};
    for (const Case& c : cases) {
        auto s = slider(c.strip, c.frames, c.sideBySide, Box::rectangle(0, 0, 62, 514));
        EXPECT_EQ(s->sourceFrameWidth() * s->sourceFrameHeight(), 0);
        for (double n : {0.0, 0.5, 1.0}) {
            setNormalized(n);
            fw::OwnedImage<RGBA> layer = filledLayer(62, 514);
            widgettest::paintAll(*s, layer);
            EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0) << c.frames;
        }
        s->cacheImage(0);
        s->cacheImage(-1);
        EXPECT_FALSE(s->isFrameCached(0));
        // Dragging still works on the value.
        s->onMouseDrag(0, 10, 0, 10, {});
    }
}

// ---- Dragging ----

TEST_F(SliderTest, DraggingUpIncreasesByTheShareOfTheHeight) {
    fw::OwnedImage<RGBA> strip = makeStrip(4, 4, 5, false);
    auto s = slider(strip, 5, false, Box::rectangle(0, 0, 20, 100), 0.5f);
    setNormalized(0.5);
    s->onMouseDrag(10, 40, 0, -10, {});  // up by 10 of 100 pixels, sensitivity 0.5
    EXPECT_NEAR(param.getNormalized(), 0.55, 1e-6);
    s->onMouseDrag(10, 60, 0, 20, {});
    EXPECT_NEAR(param.getNormalized(), 0.45, 1e-6);
}

TEST_F(SliderTest, CtrlOrShiftMakeTheSameDragTenTimesFiner) {
    fw::OwnedImage<RGBA> strip = makeStrip(4, 4, 5, false);
    auto s = slider(strip, 5, false, Box::rectangle(0, 0, 20, 100));
    for (MouseState m : {mods(true, false, false), mods(false, true, false)}) {
        setNormalized(0.5);
        s->onMouseDrag(10, 40, 0, -10, m);
        EXPECT_NEAR(param.getNormalized(), 0.51, 1e-6);
    }
    setNormalized(0.5);
    s->onMouseDrag(10, 40, 0, -10, {});
    EXPECT_NEAR(param.getNormalized(), 0.6, 1e-6);
}

TEST_F(SliderTest, PastTheMinimumTheValueWaitsUntilThePointerComesBack) {
    fw::OwnedImage<RGBA> strip = makeStrip(4, 4, 5, false);
    auto s = slider(strip, 5, false, Box::rectangle(0, 0, 20, 100));
    setNormalized(0.2);
    s->onMouseDrag(10, 60, 0, 10, {});
    EXPECT_NEAR(param.getNormalized(), 0.1, 1e-6);
    s->onMouseDrag(10, 75, 0, 15, {});  // would be -0.05: stops at 0, remembered at y = 75
    EXPECT_EQ(param.getNormalized(), 0.0);
    EXPECT_EQ(s->lowCrosspoint(), 75.0f);
    s->onMouseDrag(10, 90, 0, 15, {});
    EXPECT_EQ(param.getNormalized(), 0.0);
    s->onMouseDrag(10, 80, 0, -10, {});  // back up, still below y = 75: nothing
    EXPECT_EQ(param.getNormalized(), 0.0);
    s->onMouseDrag(10, 75, 0, -5, {});  // at the crossing again: moves
    EXPECT_NEAR(param.getNormalized(), 0.05, 1e-6);
    EXPECT_EQ(s->lowCrosspoint(), INFINITY);
}

TEST_F(SliderTest, PastTheMaximumTheValueWaitsToo) {
    fw::OwnedImage<RGBA> strip = makeStrip(4, 4, 5, false);
    auto s = slider(strip, 5, false, Box::rectangle(0, 0, 20, 100));
    setNormalized(0.9);
    s->onMouseDrag(10, 30, 0, -20, {});
    EXPECT_EQ(param.getNormalized(), 1.0);
    EXPECT_EQ(s->highCrosspoint(), 30.0f);
    s->onMouseDrag(10, 20, 0, -10, {});
    s->onMouseDrag(10, 25, 0, 5, {});  // coming down, still above y = 30: nothing
    EXPECT_EQ(param.getNormalized(), 1.0);
    s->onMouseDrag(10, 30, 0, 5, {});
    EXPECT_NEAR(param.getNormalized(), 0.95, 1e-6);
}

TEST_F(SliderTest, HorizontalDraggingIncreasesToTheRight) {
    fw::OwnedImage<RGBA> strip = makeStrip(4, 4, 5, false);
    auto s = slider(strip, 5, false, Box::rectangle(0, 0, 200, 20));
    s->setDragHorizontally(true);
    setNormalized(0.5);
    s->onMouseDrag(120, 10, 20, 0, {});
    EXPECT_NEAR(param.getNormalized(), 0.6, 1e-6);
    s->onMouseDrag(120, 30, 0, 20, {});  // vertical motion does nothing
    EXPECT_NEAR(param.getNormalized(), 0.6, 1e-6);
}

TEST_F(SliderTest, AltDuringADragAndAltOrDoubleClickReset) {
    fw::OwnedImage<RGBA> strip = makeStrip(4, 4, 5, false);
    auto s = slider(strip, 5, false, Box::rectangle(0, 0, 20, 100));
    setNormalized(0.9);
    s->onMouseDrag(10, 40, 0, -3, mods(false, false, true));
    EXPECT_DOUBLE_EQ(param.value(), 5.0);
    setNormalized(0.9);
    EXPECT_EQ(s->onMouseClick(5, 5, 0, true, {}), Click::beginDrag);
    EXPECT_DOUBLE_EQ(param.value(), 5.0);
    setNormalized(0.1);
    host.calls.clear();
    EXPECT_EQ(s->onMouseClick(5, 5, 0, false, mods(false, false, true)), Click::beginDrag);
    EXPECT_DOUBLE_EQ(param.value(), 5.0);
    EXPECT_EQ(host.calls, (std::vector<HostCall>{{HostCall::begin, testclient::kDelay, 0.0f},
                                                 {HostCall::automate, testclient::kDelay, 0.5f},
                                                 {HostCall::end, testclient::kDelay, 0.0f}}));
    // A plain click changes nothing.
    setNormalized(0.1);
    s->onMouseClick(5, 5, 0, false, {});
    EXPECT_NEAR(param.getNormalized(), 0.1, 1e-12);
}

TEST_F(SliderTest, ADisabledSliderIgnoresDrags) {
    fw::OwnedImage<RGBA> strip = makeStrip(4, 4, 5, false);
    auto s = slider(strip, 5, false, Box::rectangle(0, 0, 20, 100));
    setNormalized(0.5);
    s->disable();
    s->onMouseDrag(10, 40, 0, -10, {});
    EXPECT_EQ(param.getNormalized(), 0.5);
}

// ---- In an editor ----

TEST_F(SliderTest, ADragInTheEditorIsOneGestureAndSendsNoHover) {
    fw::OwnedImage<RGBA> strip = makeStrip(4, 4, 5, false);
    testclient::RecordingListener listener("l");
    param.addListener(&listener);
    {
        widgettest::OpenedEditor o;
        o.add(std::make_unique<UIFilmstripSlider>(o.context(), param, strip, 5, 1.0f, false),
              Box::rectangle(100, 100, 20, 100));
        o.window->frame();
        setNormalized(0.5);
        host.calls.clear();
        listener.events.clear();
        o.window->mouseMove(110, 150);
        o.window->mouseDown(110, 150, fw::MouseButton::left);
        o.window->mouseMove(110, 150, MouseState{.leftButtonDown = true});  // the window reports no delta yet
        o.window->mouseMove(110, 140, MouseState{.leftButtonDown = true});
        o.window->mouseMove(110, 130, MouseState{.leftButtonDown = true});
        o.window->mouseUp(110, 130, fw::MouseButton::left);
        o.window->mouseMove(300, 300);
        o.window->frame();
    }
    param.removeListener(&listener);
    ASSERT_EQ(host.calls.size(), 4u);
    EXPECT_EQ(host.calls.front().kind, HostCall::begin);
    EXPECT_EQ(host.calls[1].kind, HostCall::automate);
    EXPECT_NEAR(host.calls[1].value, 0.6f, 1e-6f);
    EXPECT_EQ(host.calls[2].kind, HostCall::automate);
    EXPECT_NEAR(host.calls[2].value, 0.7f, 1e-6f);
    EXPECT_EQ(host.calls.back().kind, HostCall::end);
    EXPECT_EQ(listener.count("hover"), 0);
    EXPECT_EQ(listener.count("unhover"), 0);
    EXPECT_EQ(listener.count("begin"), 1);
    EXPECT_EQ(listener.count("end"), 1);
}

TEST_F(SliderTest, ADestroyedSliderLeavesNoListenerBehind) {
    fw::OwnedImage<RGBA> strip = makeStrip(4, 4, 5, false);
    slider(strip, 5, false, Box::rectangle(0, 0, 4, 4)).reset();
    param.setFromHost(0.3);  // AddressSanitizer reports a dangling listener here
    SUCCEED();
}

}  // namespace
