// CocoaWindow in a real window: the view class, the 60 Hz tick, drawing through
// CoreGraphics, and Cocoa events from real X input, all observed through a
// recording listener. Runs under its own Xvfb.

#include <gtest/gtest.h>

#include "framework/window/cocoawindow.h"

#include <AppKit/AppKit.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <cstring>
#include <string>
#include <vector>

#include "framework/core/fpcontrol.h"
#include "framework/graphics/image.h"
#include "recordinglistener.h"
#include "sysframeworks/appkittestutil.h"
#include "support/xinput.h"
#include "support/xvfbserver.h"

namespace {

using apptest::cmsg;
using apptest::msg;
using apptest::rectMsg;
using apptest::runFor;
using fw::Box;
using fw::Key;
using fw::MouseButton;
using fw::MouseCursor;
using fw::MouseState;

// The host's own content view: counts the key events that reach it.
int hostKeyDowns = 0;
int hostKeyUps = 0;
void hostKeyDown(id, SEL, id) { ++hostKeyDowns; }
void hostKeyUp(id, SEL, id) { ++hostKeyUps; }

Class hostContentViewClass() {
    static Class cls = [] {
        Class c = objc_allocateClassPair(objc_getClass("NSView"), "TestHostContentView", 0);
        class_addMethod(c, sel_registerName("keyDown:"), reinterpret_cast<IMP>(hostKeyDown), "v@:@");
        class_addMethod(c, sel_registerName("keyUp:"), reinterpret_cast<IMP>(hostKeyUp), "v@:@");
        objc_registerClassPair(c);
        return c;
    }();
    return cls;
}


using windowtest::Call;

// The recording listener, closing its window when the host closes the view,
// as an editor does.
class RecordingListener final : public windowtest::RecordingListener {
public:
    int hostClosed = 0;
    std::unique_ptr<fw::CocoaWindow>* owner = nullptr;

    void onHostClosedView() override {
        ++hostClosed;
        if (owner) owner->reset();
    }
};

class CocoaWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testsupport::sharedXvfb(); }

    void SetUp() override {
        ASSERT_TRUE(testsupport::sharedXvfb().running()) << testsupport::sharedXvfb().error();
        ASSERT_TRUE(NSApplicationLoad());  // also keeps AppKit linked: its classes are reached by name
        ASSERT_NE(cmsg<id>("NSApplication", "sharedApplication"), nullptr);
        input = std::make_unique<testsupport::XInput>();
    }

    void TearDown() override {
        cocoaWindow.reset();
        if (hostWindow) {
            msg<void>(hostWindow, "close");
            msg<void>(hostWindow, "release");
        }
        runFor(0.02);
    }

    // A host window of the view's size with its own content view; the editor's
    // view goes in there.
    void open(int width, int height) {
        const NSRect frame{{50, 50}, {double(width), double(height)}};
        hostWindow = msg<id>(cmsg<id>("NSWindow", "alloc"), "initWithContentRect:styleMask:backing:defer:", frame, 1ul | 2ul,
                          2ul, BOOL(NO));
        msg<void>(hostWindow, "setReleasedWhenClosed:", BOOL(NO));
        id content = msg<id>(msg<id>(reinterpret_cast<id>(hostContentViewClass()), "alloc"), "initWithFrame:",
                          NSRect{{0, 0}, frame.size});
        msg<void>(hostWindow, "setContentView:", content);
        msg<void>(content, "release");
        listener.owner = &cocoaWindow;
        cocoaWindow = std::make_unique<fw::CocoaWindow>(fw::WindowUsage::host, content, &listener, width, height);
        msg<void>(hostWindow, "makeKeyAndOrderFront:", id(nullptr));
        runFor(0.15);
        xwindow = static_cast<Window>(msg<long>(hostWindow, "windowNumber"));
    }

    id view() const { return static_cast<id>(cocoaWindow->systemHandle()); }

    // Runs the loop until the listener saw `what` (or half a second passed).
    bool waitFor(const std::string& what, std::size_t count = 1) {
        return apptest::runUntil([&] { return listener.named(what).size() >= count; }, 0.5);
    }

    void click(int x, int y, int button = 1) {
        input->moveToWindow(xwindow, x, y);
        input->click(button);
        input->sync();
    }

    RecordingListener listener;
    std::unique_ptr<fw::CocoaWindow> cocoaWindow;
    std::unique_ptr<testsupport::XInput> input;
    id hostWindow = nullptr;
    Window xwindow = 0;
};

TEST_F(CocoaWindowTest, ViewHasAClassOfItsOwnAndReportsItsSizeAtOnce) {
    open(320, 200);
    const std::string name = object_getClassName(view());
    EXPECT_EQ(name.rfind("PluginCustomView_", 0), 0u) << name;
    EXPECT_EQ(name.size(), std::strlen("PluginCustomView_") + 36);
    EXPECT_EQ(class_getSuperclass(object_getClass(view())), objc_getClass("NSView"));
    ASSERT_FALSE(listener.named("resized").empty());
    EXPECT_EQ(listener.named("resized").front().x, 320);
    EXPECT_EQ(listener.named("resized").front().y, 200);
    EXPECT_TRUE(msg<BOOL>(view(), "acceptsFirstResponder"));
    EXPECT_TRUE(msg<BOOL>(view(), "isOpaque"));
    EXPECT_EQ(msg<id>(hostWindow, "firstResponder"), view());

    // A second window registers a class of its own.
    RecordingListener other;
    fw::CocoaWindow second(fw::WindowUsage::host, nullptr, &other, 100, 100);
    EXPECT_NE(std::string(second.viewClassName()), name);
    runFor(0.1);
    EXPECT_FALSE(other.named("animate").empty());  // its own timer ticks
}

TEST_F(CocoaWindowTest, TicksAnimateThenCollectThenInvalidateUnderTheAudioFloatingPointState) {
    fw::setSSEControlState(0x1F80);
    open(200, 100);
    listener.calls.clear();
    runFor(0.25);
    EXPECT_EQ(fw::getSSEControlState() & 0xFFC0u, 0x1F80u);  // the caller's state came back
    const auto animates = listener.named("animate");
    EXPECT_GE(animates.size(), 8u);   // about 15 ticks in 250 ms
    EXPECT_LE(animates.size(), 20u);
    for (std::size_t i = 0; i + 2 < listener.calls.size(); ++i) {
        if (listener.calls[i].what != "animate") continue;
        EXPECT_EQ(listener.calls[i + 1].what, "recompute");
        EXPECT_EQ(listener.calls[i + 2].what, "dirty");
    }
    for (const Call& c : listener.calls) {
        EXPECT_EQ(c.mxcsr, fw::kAudioMXCSR & 0xFFC0u) << c.what;
        EXPECT_EQ(c.fpu & 0x1F3F, fw::kAudioFPUControlWord & 0x1F3F) << c.what;
    }
    // Times since the previous tick and since creation (recorded in microseconds).
    EXPECT_GT(animates.back().b, animates.front().b);
    EXPECT_GE(animates.back().a, 10000);
    EXPECT_LE(animates.back().a, 100000);
    fw::setSSEControlState(0x1F80);
}

TEST_F(CocoaWindowTest, DirtyRectangleIsRedrawnAtItsPlaceWithTheBuffersPixels) {
    open(256, 128);
    listener.shade = 200;
    listener.nextDirty = Box{0, 0, 256, 128};
    ASSERT_TRUE(waitFor("draw"));
    runFor(0.05);
    EXPECT_EQ(listener.named("draw").back().a, int(fw::WindowPixelFormat::ARGB8));
    std::vector<std::uint8_t> shot = testsupport::grabWindow(input->display(), xwindow, 0, 0, 256, 128);
    ASSERT_EQ(shot.size(), 256u * 128u * 4u);
    for (int y : {0, 1, 64, 127})
        for (int x : {0, 1, 100, 255}) {
            const std::uint8_t* p = &shot[(std::size_t(y) * 256 + x) * 4];
            EXPECT_EQ(p[0], 200) << x << "," << y;
            EXPECT_EQ(p[1], x) << x << "," << y;
            EXPECT_EQ(p[2], y) << x << "," << y;
        }

    // Only the invalidated part is copied: rows 10..20 get the new shade.
    listener.shade = 50;
    listener.nextDirty = Box{8, 10, 40, 20};
    const std::size_t draws = listener.named("draw").size();
    ASSERT_TRUE(waitFor("draw", draws + 1));
    runFor(0.05);
    shot = testsupport::grabWindow(input->display(), xwindow, 0, 0, 256, 128);
    auto red = [&](int x, int y) { return shot[(std::size_t(y) * 256 + x) * 4]; };
    EXPECT_EQ(red(8, 10), 50);
    EXPECT_EQ(red(39, 19), 50);
    EXPECT_EQ(red(8, 9), 200);    // above
    EXPECT_EQ(red(8, 20), 200);   // below: the rectangle was not flipped the wrong way
    EXPECT_EQ(red(40, 15), 200);  // right of it
    EXPECT_EQ(red(8, 127 - 10), 200);
}

int hostErrorHandler(Display*, XErrorEvent*) { return 0; }

TEST_F(CocoaWindowTest, TheHostsXErrorHandlerStaysInstalled) {
    XErrorHandler before = XSetErrorHandler(hostErrorHandler);
    open(128, 64);
    listener.nextDirty = Box{0, 0, 128, 64};
    ASSERT_TRUE(waitFor("draw"));
    runFor(0.05);
    cocoaWindow.reset();
    runFor(0.02);
    EXPECT_EQ(XSetErrorHandler(before), &hostErrorHandler);
}

TEST_F(CocoaWindowTest, ButtonsArriveWithOffsetPositionsStateAndDoubleClicks) {
    open(300, 200);
    click(100, 50);
    ASSERT_TRUE(waitFor("release"));
    const Call press = listener.named("click").at(0);
    EXPECT_EQ(press.x, 98);
    EXPECT_EQ(press.y, 47);
    EXPECT_EQ(press.a, int(MouseButton::left));
    EXPECT_FALSE(press.flag);
    EXPECT_TRUE(press.state.leftButtonDown);
    EXPECT_FALSE(listener.named("release").at(0).state.leftButtonDown);

    click(100, 50);  // within the double-click interval
    ASSERT_TRUE(waitFor("click", 2));
    EXPECT_TRUE(listener.named("click").at(1).flag);

    click(120, 60, 3);
    click(140, 70, 2);
    ASSERT_TRUE(waitFor("release", 4));
    EXPECT_EQ(listener.named("click").at(2).a, int(MouseButton::right));
    EXPECT_EQ(listener.named("click").at(3).a, int(MouseButton::middle));
    EXPECT_TRUE(listener.named("click").at(3).state.middleButtonDown);

    // Further buttons are ignored.
    click(150, 70, 8);
    runFor(0.1);
    EXPECT_EQ(listener.named("click").size(), 4u);

    // Modifier keys held during a press.
    input->key(XK_Shift_L, true);
    input->key(XK_Control_L, true);
    input->key(XK_Alt_L, true);
    click(10, 190);
    input->key(XK_Alt_L, false);
    input->key(XK_Control_L, false);
    input->key(XK_Shift_L, false);
    input->sync();
    ASSERT_TRUE(waitFor("click", 5));
    const MouseState s = listener.named("click").at(4).state;
    EXPECT_TRUE(s.shiftPressed && s.ctrlPressed && s.altPressed);
    // Events too run under the audio floating-point state.
    for (const Call& c : listener.calls) EXPECT_EQ(c.mxcsr, fw::kAudioMXCSR & 0xFFC0u) << c.what;
}

TEST_F(CocoaWindowTest, DragsCarryDeltasStartingFromZeroAndSetTheCursor) {
    open(300, 200);
    listener.cursor = MouseCursor::verticalResize;
    input->moveToWindow(xwindow, 50, 100);
    input->press(1);
    input->sync();
    ASSERT_TRUE(waitFor("click"));
    listener.calls.clear();
    input->moveToWindow(xwindow, 50, 90);
    input->sync();
    runFor(0.05);
    input->moveToWindow(xwindow, 53, 70);
    input->sync();
    // Outside the view: the view that got the press keeps the drag.
    input->moveToWindow(xwindow, 53, -40);
    input->sync();
    runFor(0.05);
    input->release(1);
    input->sync();
    ASSERT_TRUE(waitFor("release"));
    const auto moves = listener.named("move");
    ASSERT_GE(moves.size(), 3u);
    EXPECT_EQ(moves[0].a, 0);  // first move after a press
    EXPECT_EQ(moves[0].b, 0);
    EXPECT_EQ(moves[0].y, 87);
    EXPECT_EQ(moves[1].a, 3);
    EXPECT_EQ(moves[1].b, -20);
    EXPECT_EQ(moves.back().y, -43);
    EXPECT_TRUE(moves[1].state.leftButtonDown);
    EXPECT_EQ(cmsg<id>("NSCursor", "currentCursor"), cmsg<id>("NSCursor", "resizeUpDownCursor"));

    // "none" hides the pointer until another shape is asked for.
    listener.cursor = MouseCursor::none;
    input->moveToWindow(xwindow, 60, 60);
    input->sync();
    runFor(0.05);
    EXPECT_TRUE(SysFwNSCursorIsHidden());
    listener.cursor = MouseCursor::linkSelect;
    input->moveToWindow(xwindow, 61, 60);
    input->sync();
    runFor(0.05);
    EXPECT_FALSE(SysFwNSCursorIsHidden());
    EXPECT_EQ(cmsg<id>("NSCursor", "currentCursor"), cmsg<id>("NSCursor", "pointingHandCursor"));
}

TEST_F(CocoaWindowTest, WheelStepsAreSignsAndLeavingTheViewIsReported) {
    open(300, 200);
    input->moveToWindow(xwindow, 30, 30);
    input->click(4);  // up
    input->click(5);  // down
    input->click(6);  // left
    input->sync();
    ASSERT_TRUE(waitFor("wheel", 3));
    const auto wheels = listener.named("wheel");
    EXPECT_EQ(wheels[0].b, 1);
    EXPECT_EQ(wheels[0].a, 0);
    EXPECT_EQ(wheels[1].b, -1);
    EXPECT_EQ(std::abs(wheels[2].a), 1);
    EXPECT_EQ(wheels[2].b, 0);
    EXPECT_EQ(wheels[0].x, 28);

    input->moveToWindow(xwindow, 400, 30);  // outside the window
    input->sync();
    EXPECT_TRUE(waitFor("exited"));
}

TEST_F(CocoaWindowTest, KeysFollowTheTableAndUnusedPressesGoToTheHost) {
    open(300, 200);
    input->moveToWindow(xwindow, 30, 30);
    const KeySym keys[] = {XK_Up, XK_Down, XK_Left, XK_Right, XK_KP_0, XK_KP_9, XK_7, XK_q, XK_BackSpace,
                           XK_Return, XK_Escape, XK_Delete, XK_F5};
    const Key expected[] = {Key::up, Key::down, Key::left, Key::right, Key::digit0, Key::digit9,
                            Key(int(Key::digit0) + 7), Key(int(Key::a) + ('q' - 'a')), Key::backspace, Key::enter,
                            Key::escape, Key::suppr, Key::unsupported};
    for (KeySym k : keys) {
        input->key(k, true);
        input->key(k, false);
    }
    input->key(XK_Shift_L, true);
    input->key(XK_g, true);
    input->key(XK_g, false);
    input->key(XK_Shift_L, false);
    input->sync();
    ASSERT_TRUE(waitFor("keyup", 14));
    const auto downs = listener.named("keydown");
    ASSERT_EQ(downs.size(), 14u);
    for (std::size_t i = 0; i < 13; ++i) EXPECT_EQ(downs[i].a, int(expected[i])) << i;
    EXPECT_EQ(downs[13].a, int(Key(int(Key::A) + ('G' - 'A'))));
    EXPECT_EQ(listener.named("keyup")[0].a, int(Key::up));
    EXPECT_EQ(hostKeyDowns, 0);  // all consumed

    // A press the editor does not use reaches the host (its shortcuts keep
    // working); releases never do.
    listener.consumeKeys = false;
    input->tap(XK_space);
    input->sync();
    ASSERT_TRUE(waitFor("keyup", 15));
    runFor(0.02);
    EXPECT_EQ(hostKeyDowns, 1);
    EXPECT_EQ(hostKeyUps, 0);
}

TEST_F(CocoaWindowTest, ResizeRequestsResizeTheViewAndReachTheListener) {
    open(300, 200);
    ASSERT_TRUE(cocoaWindow->requestResize(450, 225, false));
    runFor(0.1);
    const NSRect frame = rectMsg(view(), "frame");
    EXPECT_EQ(frame.size.width, 450);
    EXPECT_EQ(frame.size.height, 225);
    const Call last = listener.named("resized").back();
    EXPECT_EQ(last.x, 450);
    EXPECT_EQ(last.y, 225);
    // Absurd sizes do not crash the window: the view takes what Cocoa gives it.
    EXPECT_TRUE(cocoaWindow->requestResize(1, 1, false));
    runFor(0.05);
    EXPECT_EQ(listener.named("resized").back().x, 1);
}

TEST_F(CocoaWindowTest, ClosingTheHostWindowEndsADragAndClosesTheEditorAtTheNextTick) {
    open(300, 200);
    const std::string className = cocoaWindow->viewClassName();
    input->moveToWindow(xwindow, 50, 50);
    input->press(1);
    input->sync();
    ASSERT_TRUE(waitFor("click"));
    msg<void>(hostWindow, "close");
    EXPECT_FALSE(listener.named("captureCancelled").empty());
    runFor(0.1);
    input->release(1);
    input->sync();
    EXPECT_EQ(listener.hostClosed, 1);
    EXPECT_EQ(cocoaWindow, nullptr);
    runFor(0.05);
    // The view went with its last reference, and its class with it.
    EXPECT_EQ(objc_getClass(className.c_str()), Nil);
}

TEST_F(CocoaWindowTest, StandaloneWindowShowsItselfAndTerminatesWhenClosed) {
    RecordingListener own;
    fw::CocoaWindow standalone(fw::WindowUsage::standalone, nullptr, &own, 240, 120);
    runFor(0.15);
    id window = msg<id>(static_cast<id>(standalone.systemHandle()), "window");
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(msg<BOOL>(window, "isVisible"));
    EXPECT_FALSE(standalone.terminated());
    standalone.waitEventAndDispatch();  // returns after the next timer firing at the latest
    EXPECT_FALSE(own.named("animate").empty());
    msg<void>(window, "performClose:", id(nullptr));
    EXPECT_TRUE(standalone.terminated());
}

TEST_F(CocoaWindowTest, AViewTheHostKeepsAfterTheEditorClosedIsHarmless) {
    open(300, 200);
    id kept = msg<id>(view(), "retain");
    const std::string className = cocoaWindow->viewClassName();
    cocoaWindow.reset();
    EXPECT_NE(objc_getClass(className.c_str()), Nil);  // still has an instance
    // Cocoa may still send it anything.
    msg<void>(kept, "drawRect:", NSRect{{0, 0}, {10, 10}});
    msg<void>(kept, "mouseDown:", id(nullptr));
    msg<void>(kept, "layout");
    msg<void>(kept, "onTimer:", id(nullptr));
    msg<void>(kept, "release");
    EXPECT_TRUE(listener.named("click").empty());
    EXPECT_EQ(objc_getClass(className.c_str()), Nil);  // gone with its last view
}

}  // namespace
