#include "framework/window/offscreenwindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using fw::Box;
using fw::ImageRef;
using fw::Key;
using fw::MouseButton;
using fw::MouseCursor;
using fw::MouseState;
using fw::OffscreenWindow;
using fw::RGBA;
using fw::WindowPixelFormat;

// A listener that owns a window buffer, records the calls it gets and paints
// a counter value over the whole buffer at each draw.
struct Recorder final : fw::IWindowListener {
    std::vector<std::string> calls;
    fw::OwnedImage<RGBA> buffer;
    Box dirty;
    int dx = 0, dy = 0, wheelX = 0, wheelY = 0;
    double dt = -1, time = -1;
    std::uint8_t paintValue = 0;
    WindowPixelFormat lastFormat = WindowPixelFormat::RGBA8;

    bool onMouseClick(int, int, MouseButton, bool, MouseState) override { return note("click"); }
    bool onMouseRelease(int, int, MouseButton, MouseState) override { return note("release"); }
    bool onMouseWheel(int, int, int x, int y, MouseState) override {
        wheelX = x;
        wheelY = y;
        return note("wheel");
    }
    void onMouseMove(int, int, int mx, int my, MouseState) override {
        dx = mx;
        dy = my;
        note("move");
    }
    bool onKeyDown(Key) override { return note("keyDown"); }
    bool onKeyUp(Key) override { return note("keyUp"); }
    void onDraw(WindowPixelFormat pf) override {
        lastFormat = pf;
        buffer.fillAll(RGBA{paintValue, 0, 0, 255});
        note("draw");
    }
    ImageRef<RGBA> onResized(int w, int h) override {
        buffer.size(w, h);
        note("resized");
        return buffer;
    }
    void recomputeDirtyAreas() override { note("recompute"); }
    Box getDirtyRectangle() override {
        note("dirty");
        return dirty;
    }
    void onMouseCaptureCancelled() override { note("captureLost"); }
    void onMouseExitedWindow() override { note("exited"); }
    void onAnimate(double d, double t) override {
        dt = d;
        time = t;
        note("animate");
    }
    MouseCursor getMouseCursor() override {
        note("cursor");
        return MouseCursor::drag;
    }
    bool note(const char* c) {
        calls.emplace_back(c);
        return true;
    }
};

using Calls = std::vector<std::string>;

TEST(OffscreenWindow, TicksInTheWindowOrderWithSecondsSinceLastTickAndStart) {
    Recorder r;
    OffscreenWindow w(&r, 30, 20, WindowPixelFormat::ARGB8);
    EXPECT_EQ(r.calls, (Calls{"resized"}));
    r.calls.clear();
    w.tick(16);
    w.tick(17);
    EXPECT_EQ(r.calls, (Calls{"animate", "recompute", "dirty", "animate", "recompute", "dirty"}));
    EXPECT_DOUBLE_EQ(r.dt, 0.017);
    EXPECT_DOUBLE_EQ(r.time, 0.033);
    EXPECT_EQ(w.getTimeMs(), 33u);
}

TEST(OffscreenWindow, PaintsOnlyWhatWasInvalidatedAndShowsThatPart) {
    Recorder r;
    OffscreenWindow w(&r, 30, 20, WindowPixelFormat::BGRA8);
    r.paintValue = 1;
    EXPECT_EQ(w.paint(), (Box{0, 0, 30, 20}));  // everything is invalid at creation
    EXPECT_EQ(r.lastFormat, WindowPixelFormat::BGRA8);
    r.calls.clear();
    EXPECT_TRUE(w.paint().empty());  // nothing invalid: no draw
    EXPECT_TRUE(r.calls.empty());

    r.paintValue = 2;
    r.dirty = Box{5, 5, 10, 10};
    w.tick();
    r.dirty = Box{20, 0, 40, 3};  // reaches beyond the window: clipped
    w.tick();
    EXPECT_EQ(w.paint(), (Box{5, 0, 30, 10}));
    EXPECT_EQ(w.screen().at(5, 0).r, 2);
    EXPECT_EQ(w.screen().at(29, 9).r, 2);
    EXPECT_EQ(w.screen().at(4, 0).r, 1);  // outside the invalid area: still the old frame
    EXPECT_EQ(w.screen().at(5, 10).r, 1);
    EXPECT_EQ(w.windowBuffer().at(0, 19).r, 2);
}

TEST(OffscreenWindow, ADrawBeforeTheFirstTickRecomputesFirst) {
    Recorder r;
    OffscreenWindow w(&r, 4, 4);
    r.calls.clear();
    w.paint();
    EXPECT_EQ(r.calls, (Calls{"recompute", "draw"}));
}

TEST(OffscreenWindow, MovesCarryDeltasResetByPressesAndAskForTheCursor) {
    Recorder r;
    OffscreenWindow w(&r, 100, 100);
    w.mouseMove(10, 10);
    EXPECT_EQ(r.dx, 0);
    w.mouseMove(13, 8);
    EXPECT_EQ(r.dx, 3);
    EXPECT_EQ(r.dy, -2);
    EXPECT_EQ(w.currentCursor(), MouseCursor::drag);
    w.mouseDown(50, 50, MouseButton::left);
    w.mouseMove(52, 52);
    EXPECT_EQ(r.dx, 0);  // the first move after a press
    r.calls.clear();
    w.mouseMove(53, 52);
    EXPECT_EQ(r.calls, (Calls{"move", "cursor"}));
}

TEST(OffscreenWindow, WheelDeltasBecomeSingleSteps) {
    Recorder r;
    OffscreenWindow w(&r, 10, 10);
    EXPECT_TRUE(w.mouseWheel(1, 1, -0.01f, 12.0f));
    EXPECT_EQ(r.wheelX, -1);
    EXPECT_EQ(r.wheelY, 1);
    r.calls.clear();
    EXPECT_FALSE(w.mouseWheel(1, 1, 0.0f, 0.0f));
    EXPECT_TRUE(r.calls.empty());
}

TEST(OffscreenWindow, ResizeRequestsReportTheNewSizeAndInvalidateEverything) {
    Recorder r;
    OffscreenWindow w(&r, 10, 10);
    w.paint();
    EXPECT_TRUE(w.requestResize(25, 5, false));
    EXPECT_EQ(r.buffer.width(), 25);
    EXPECT_EQ(w.invalidArea(), (Box{0, 0, 25, 5}));
    EXPECT_TRUE(w.requestResize(-3, 0, true));  // negative sizes count as empty
    EXPECT_EQ(w.width(), 0);
    EXPECT_TRUE(w.paint().empty());
}

}  // namespace
