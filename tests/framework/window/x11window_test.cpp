// X11Window under a private X server: a parent window made here plays the host,
// real input comes through XTest, and what the window shows is read back from
// the server. A recording listener stands in for the editor.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/core/fpcontrol.h"
#include "framework/graphics/image.h"
#include "framework/window/x11window.h"
#include "recordinglistener.h"
#include "support/xinput.h"
#include "support/xvfbserver.h"

// Xlib last: its macros (None, Bool, Status) would break the names above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xfixes.h>
#include <X11/keysym.h>


// Under ThreadSanitizer, scripts/tsan-suppressions.txt covers Xlib's own double
// unlock when a connection breaks (the lost-server cases).

namespace {

using fw::Box;
using fw::Key;
using fw::MouseButton;
using fw::MouseCursor;
using fw::MouseState;
using fw::X11Window;

using windowtest::Call;
using windowtest::RecordingListener;

// The shared server resets when its last client goes, and refuses
// connections while it does: one connection stays open for the whole run.
void keepSharedServerUp() {
    static Display* const keepAlive = XOpenDisplay(testsupport::sharedXvfb().display().c_str());
    (void)keepAlive;
}

class X11WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { keepSharedServerUp(); }

    void SetUp() override {
        ASSERT_TRUE(testsupport::sharedXvfb().running()) << testsupport::sharedXvfb().error();
        input = std::make_unique<testsupport::XInput>();
        ASSERT_TRUE(input->ok());
        host = input->display();
        parent = XCreateSimpleWindow(host, DefaultRootWindow(host), 100, 100, 640, 400, 0, 0, 0);
        XMapWindow(host, parent);
        XSync(host, False);
        input->moveTo(1900, 1190);
        input->sync();
    }
    void TearDown() override {
        window.reset();
        if (parent != 0) XDestroyWindow(host, parent);
        XSync(host, False);
    }

    void open(int width = 200, int height = 100) {
        window = X11Window::open(fw::WindowUsage::host, reinterpret_cast<void*>(std::uintptr_t(parent)), &listener,
                                 width, height, [this](int w, int h) { hostSizes.push_back({w, h}); });
        ASSERT_NE(window, nullptr);
    }
    void runFor(double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            window->idle();
            usleep(2000);
        }
    }
    Window xwin() const { return Window(window->xWindow()); }
    // XTest input at a buffer point: the window reports it 2 left and 3 up.
    void moveTo(int x, int y) {
        input->moveToWindow(xwin(), x + 2, y + 3);
        input->sync();
        runFor(0.03);
    }
    void press(unsigned button) {
        input->press(button);
        input->sync();
        runFor(0.03);
    }
    void release(unsigned button) {
        input->release(button);
        input->sync();
        runFor(0.03);
    }
    // The window's pixel, RGB.
    std::vector<std::uint8_t> pixel(int x, int y) {
        std::vector<std::uint8_t> p = testsupport::grabWindow(host, xwin(), x, y, 1, 1);
        if (p.size() == 4) p.pop_back();
        return p;
    }
    static std::vector<std::uint8_t> rgb(int r, int g, int b) {
        return {std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)};
    }

    std::unique_ptr<testsupport::XInput> input;
    Display* host = nullptr;
    Window parent = 0;
    RecordingListener listener;
    std::unique_ptr<X11Window> window;
    std::vector<std::pair<int, int>> hostSizes;
};

TEST_F(X11WindowTest, ReportsItsSizeLivesInTheParentAndTicksInOrder) {
    open(200, 100);
    ASSERT_FALSE(listener.calls.empty());
    EXPECT_EQ(listener.calls.front().what, "resized");
    EXPECT_EQ(listener.calls.front().x, 200);
    EXPECT_EQ(listener.calls.front().y, 100);
    EXPECT_EQ(window->systemHandle(), reinterpret_cast<void*>(std::uintptr_t(xwin())));

    Window root = 0, itsParent = 0, *children = nullptr;
    unsigned count = 0;
    ASSERT_NE(XQueryTree(host, xwin(), &root, &itsParent, &children, &count), 0);
    if (children != nullptr) XFree(children);
    EXPECT_EQ(itsParent, parent);
    XWindowAttributes a{};
    XGetWindowAttributes(host, xwin(), &a);
    EXPECT_EQ(a.width, 200);
    EXPECT_EQ(a.height, 100);
    EXPECT_EQ(a.map_state, IsViewable);

    runFor(0.3);
    // Each tick: animate, collect, ask; never faster than 60 a second.
    std::vector<Call> ticks = listener.named("animate");
    EXPECT_GE(ticks.size(), 8u);
    EXPECT_LE(ticks.size(), 19u);
    for (std::size_t i = 0; i < listener.calls.size(); ++i) {
        if (listener.calls[i].what != "animate") continue;
        ASSERT_LT(i + 2, listener.calls.size());
        EXPECT_EQ(listener.calls[i + 1].what, "recompute");
        EXPECT_EQ(listener.calls[i + 2].what, "dirty");
    }
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        EXPECT_GE(ticks[i].a, 16000) << i;
        EXPECT_GT(ticks[i].b, ticks[i - 1].b);
    }
    // Only the first frame paints: nothing became dirty after it.
    EXPECT_EQ(listener.named("draw").size(), 1u);
    EXPECT_FALSE(window->terminated());
}

TEST_F(X11WindowTest, PaintsTheWholeBufferThenOnlyTheDirtyRectangle) {
    open(200, 100);
    runFor(0.1);
    ASSERT_TRUE(window->directPixels());  // Xvfb's 24-bit TrueColor
    EXPECT_EQ(listener.named("draw").front().a, int(fw::WindowPixelFormat::BGRA8));
    EXPECT_EQ(pixel(0, 0), rgb(40, 0, 0));
    EXPECT_EQ(pixel(150, 70), rgb(40, 150, 70));
    EXPECT_EQ(pixel(199, 99), rgb(40, 199, 99));

    listener.shade = 200;
    listener.nextDirty = Box{10, 20, 30, 25};
    runFor(0.1);
    EXPECT_EQ(pixel(10, 20), rgb(200, 10, 20));
    EXPECT_EQ(pixel(29, 24), rgb(200, 29, 24));
    EXPECT_EQ(pixel(30, 24), rgb(40, 30, 24));
    EXPECT_EQ(pixel(29, 25), rgb(40, 29, 25));
    EXPECT_EQ(pixel(9, 20), rgb(40, 9, 20));

    // Covered and shown again by the host: the window repaints from its buffer.
    const std::size_t draws = listener.named("draw").size();
    XUnmapWindow(host, parent);
    XMapWindow(host, parent);
    XSync(host, False);
    runFor(0.1);
    EXPECT_GT(listener.named("draw").size(), draws);
    EXPECT_EQ(pixel(20, 22), rgb(200, 20, 22));
    EXPECT_EQ(pixel(100, 50), rgb(40, 100, 50));
}

TEST_F(X11WindowTest, ButtonsDoubleClicksDragsAndTheWheel) {
    open(200, 100);
    runFor(0.05);
    moveTo(50, 40);
    listener.calls.clear();
    press(1);
    release(1);
    press(1);
    release(1);
    std::vector<Call> clicks = listener.named("click");
    std::vector<Call> releases = listener.named("release");
    ASSERT_EQ(clicks.size(), 2u);
    ASSERT_EQ(releases.size(), 2u);
    EXPECT_EQ(clicks[0].x, 50);
    EXPECT_EQ(clicks[0].y, 40);
    EXPECT_EQ(clicks[0].a, int(MouseButton::left));
    EXPECT_FALSE(clicks[0].flag);
    EXPECT_TRUE(clicks[1].flag);
    // The button is down during its press and up at its release.
    EXPECT_TRUE(clicks[0].state.leftButtonDown);
    EXPECT_FALSE(releases[0].state.leftButtonDown);
    EXPECT_EQ(releases[0].x, 50);

    // Another button, then too far, then too late: single clicks.
    listener.calls.clear();
    press(3);
    release(3);
    moveTo(60, 40);
    press(1);
    release(1);
    runFor(0.6);
    press(1);
    release(1);
    press(2);
    release(2);
    clicks = listener.named("click");
    ASSERT_EQ(clicks.size(), 4u);
    EXPECT_EQ(clicks[0].a, int(MouseButton::right));
    EXPECT_TRUE(clicks[0].state.rightButtonDown);
    EXPECT_EQ(clicks[3].a, int(MouseButton::middle));
    EXPECT_TRUE(clicks[3].state.middleButtonDown);
    for (const Call& c : clicks) EXPECT_FALSE(c.flag);

    // A drag: the first move after the press counts as no move.
    moveTo(20, 20);
    press(1);
    listener.calls.clear();
    moveTo(25, 18);
    moveTo(31, 30);
    release(1);
    std::vector<Call> moves = listener.named("move");
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_EQ(moves[0].x, 25);
    EXPECT_EQ(moves[0].y, 18);
    EXPECT_EQ(moves[0].a, 0);
    EXPECT_EQ(moves[0].b, 0);
    EXPECT_EQ(moves[1].a, 6);
    EXPECT_EQ(moves[1].b, 12);
    EXPECT_TRUE(moves[1].state.leftButtonDown);

    // Wheel buttons: one step each, on press only; shift and control come along.
    listener.calls.clear();
    for (unsigned b : {4u, 5u, 6u, 7u}) {
        press(b);
        release(b);
    }
    input->key(XK_Shift_L, true);
    input->key(XK_Control_L, true);
    input->sync();
    press(4);
    release(4);
    input->key(XK_Control_L, false);
    input->key(XK_Shift_L, false);
    input->sync();
    runFor(0.03);
    std::vector<Call> wheel = listener.named("wheel");
    ASSERT_EQ(wheel.size(), 5u);
    const int expected[4][2] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(wheel[std::size_t(i)].a, expected[i][0]) << i;
        EXPECT_EQ(wheel[std::size_t(i)].b, expected[i][1]) << i;
        EXPECT_FALSE(wheel[std::size_t(i)].state.shiftPressed);
    }
    EXPECT_EQ(wheel[0].x, 31);
    EXPECT_TRUE(wheel[4].state.shiftPressed);
    EXPECT_TRUE(wheel[4].state.ctrlPressed);
    EXPECT_FALSE(wheel[4].state.altPressed);
    EXPECT_TRUE(listener.named("click").empty());
    EXPECT_TRUE(listener.named("release").empty());

    // Out of the window.
    input->moveTo(1900, 1190);
    input->sync();
    runFor(0.05);
    EXPECT_EQ(listener.named("exited").size(), 1u);
}

TEST_F(X11WindowTest, KeysByKeysym) {
    open(200, 100);
    runFor(0.05);
    moveTo(50, 40);
    XSetInputFocus(host, xwin(), RevertToParent, CurrentTime);
    XSync(host, False);
    runFor(0.03);
    listener.calls.clear();
    const std::pair<unsigned long, Key> keys[] = {
        {XK_Up, Key::up},           {XK_Down, Key::down},     {XK_Left, Key::left},
        {XK_Right, Key::right},     {XK_7, fw::keyForCharacter('7')}, {XK_q, fw::keyForCharacter('q')},
        {XK_BackSpace, Key::backspace}, {XK_Return, Key::enter}, {XK_Escape, Key::escape},
        {XK_Delete, Key::suppr},    {XK_F1, Key::unsupported},
    };
    for (const auto& [keysym, key] : keys) input->tap(keysym);
    input->tap(XK_q, {XK_Shift_L});
    input->sync();
    runFor(0.05);
    std::vector<Call> down = listener.named("keydown");
    std::vector<Call> up = listener.named("keyup");
    ASSERT_EQ(down.size(), std::size(keys) + 2);  // and the shift key itself
    std::vector<int> got, want;
    for (const Call& c : down) got.push_back(c.a);
    for (const auto& [keysym, key] : keys) want.push_back(int(key));
    want.push_back(int(Key::unsupported));
    want.push_back(int(fw::keyForCharacter('Q')));
    EXPECT_EQ(got, want);
    EXPECT_EQ(up.size(), down.size());
}

// The cursor the server shows over the window, as its picture.
std::vector<unsigned long> cursorPicture(Display* d) {
    XFixesCursorImage* image = XFixesGetCursorImage(d);
    if (image == nullptr) return {};
    std::vector<unsigned long> p(image->pixels, image->pixels + std::size_t(image->width) * image->height);
    XFree(image);
    return p;
}

TEST_F(X11WindowTest, ShowsTheCursorTheEditorAsksFor) {
    int eventBase = 0, errorBase = 0;
    if (!XFixesQueryExtension(host, &eventBase, &errorBase)) GTEST_SKIP() << "no XFixes";
    open(200, 100);
    runFor(0.05);
    moveTo(50, 40);
    const std::vector<unsigned long> arrow = cursorPicture(host);
    listener.cursor = MouseCursor::linkSelect;
    moveTo(52, 40);
    const std::vector<unsigned long> hand = cursorPicture(host);
    EXPECT_NE(hand, arrow);
    listener.cursor = MouseCursor::none;
    moveTo(54, 40);
    const std::vector<unsigned long> none = cursorPicture(host);
    ASSERT_FALSE(none.empty());
    for (unsigned long p : none) EXPECT_EQ(p & 0xFF000000ul, 0ul);
    listener.cursor = MouseCursor(99);  // unknown: the arrow
    moveTo(56, 40);
    EXPECT_EQ(cursorPicture(host), arrow);
}

TEST_F(X11WindowTest, EveryListenerCallRunsUnderTheAudioFloatingPointState) {
    // The caller's own state (round toward zero, no flush to zero) comes back after each call.
    const std::uint32_t saved = fw::getSSEControlState();
    fw::setSSEControlState(0x1F80u | 0x6000u);
    const std::uint32_t before = fw::getSSEControlState() & 0xFFC0u;
    open(200, 100);
    runFor(0.1);
    moveTo(50, 40);
    press(1);
    moveTo(55, 45);
    release(1);
    press(4);
    release(4);
    window->requestResize(220, 110, false);
    input->moveTo(1900, 1190);
    input->sync();
    runFor(0.05);
    EXPECT_EQ(fw::getSSEControlState() & 0xFFC0u, before);
    fw::setSSEControlState(saved);
    std::vector<std::string> kinds;
    for (const Call& c : listener.calls) {
        EXPECT_EQ(c.mxcsr, fw::kAudioMXCSR & 0xFFC0u) << c.what;
        EXPECT_EQ(c.fpu & 0x1F3F, fw::kAudioFPUControlWord & 0x1F3F) << c.what;
        kinds.push_back(c.what);
    }
    for (const char* k : {"resized", "animate", "draw", "click", "move", "release", "wheel", "cursor", "exited"})
        EXPECT_NE(std::find(kinds.begin(), kinds.end(), k), kinds.end()) << k;
}

TEST_F(X11WindowTest, ResizesOnRequestAndFollowsTheHost) {
    open(200, 100);
    runFor(0.05);
    listener.calls.clear();
    EXPECT_TRUE(window->requestResize(320, 160, false));
    std::vector<Call> sizes = listener.named("resized");
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_EQ(sizes[0].x, 320);
    EXPECT_EQ(sizes[0].y, 160);
    EXPECT_EQ(hostSizes, (std::vector<std::pair<int, int>>{{320, 160}}));
    XWindowAttributes a{};
    XGetWindowAttributes(host, xwin(), &a);
    EXPECT_EQ(a.width, 320);
    EXPECT_EQ(a.height, 160);
    runFor(0.1);
    EXPECT_EQ(listener.named("resized").size(), 1u);  // its own ConfigureNotify changes nothing
    EXPECT_EQ(pixel(319, 159), rgb(40, 319 & 0xFF, 159));

    // Sizes out of range are cut.
    EXPECT_TRUE(window->requestResize(0, 100000, false));
    EXPECT_EQ(window->width(), 1);
    EXPECT_EQ(window->height(), X11Window::kMaxSide);

    // The host resizes the window itself: the editor hears it, the host is not told back.
    hostSizes.clear();
    XResizeWindow(host, xwin(), 250, 120);
    XSync(host, False);
    runFor(0.1);
    EXPECT_EQ(listener.named("resized").back().x, 250);
    EXPECT_EQ(listener.named("resized").back().y, 120);
    EXPECT_TRUE(hostSizes.empty());
}

int recordingHandler(Display*, XErrorEvent*) { return 0; }
int recordingIOHandler(Display*) { return 0; }

TEST_F(X11WindowTest, SurvivesItsParentAndLeavesTheErrorHandlerAlone) {
    XErrorHandler hostHandler = XSetErrorHandler(&recordingHandler);
    XIOErrorHandler hostIOHandler = XSetIOErrorHandler(&recordingIOHandler);
    // A parent that does not exist: no window, no crash.
    auto none = X11Window::open(fw::WindowUsage::host, reinterpret_cast<void*>(std::uintptr_t(0x7ffffff)), &listener,
                                100, 100);
    EXPECT_EQ(none, nullptr);

    open(200, 100);
    runFor(0.05);
    moveTo(50, 40);
    press(1);
    listener.nextDirty = Box{0, 0, 200, 100};
    XDestroyWindow(host, parent);
    XSync(host, False);
    parent = 0;
    runFor(0.1);
    release(1);
    EXPECT_TRUE(window->windowDestroyed());
    EXPECT_TRUE(window->terminated());
    EXPECT_FALSE(window->idle());
    EXPECT_FALSE(window->requestResize(300, 300, false));
    EXPECT_EQ(listener.named("captureCancelled").size(), 1u);
    window.reset();
    EXPECT_EQ(XSetErrorHandler(hostHandler), &recordingHandler);
    EXPECT_EQ(XSetIOErrorHandler(hostIOHandler), &recordingIOHandler);
}

TEST_F(X11WindowTest, LeavesNothingOnTheServer) {
    for (int round = 0; round < 2; ++round) {
        open(200, 100);
        runFor(0.05);
        listener.cursor = MouseCursor::none;
        moveTo(50, 40);
        window.reset();
        XSync(host, False);
        Window root = 0, itsParent = 0, *children = nullptr;
        unsigned count = 0;
        ASSERT_NE(XQueryTree(host, parent, &root, &itsParent, &children, &count), 0);
        if (children != nullptr) XFree(children);
        EXPECT_EQ(count, 0u) << round;
    }
}

// A server of its own, stopped under the window: the process goes on.
TEST(X11WindowLostDisplay, IdleAfterTheServerWentAwayIsQuiet) {
    const std::string shared = testsupport::sharedXvfb().display();
    RecordingListener listener;
    {
        testsupport::XvfbServer server;
        ASSERT_TRUE(server.running()) << server.error();
        auto window = X11Window::open(fw::WindowUsage::host, nullptr, &listener, 120, 80);
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->idle());
        server.stop();
        for (int i = 0; i < 5; ++i) EXPECT_FALSE(window->idle());
        EXPECT_TRUE(window->displayLost());
        EXPECT_TRUE(window->terminated());
        EXPECT_FALSE(window->requestResize(200, 200, false));
    }
    setenv("DISPLAY", shared.c_str(), 1);
    EXPECT_EQ(listener.named("resized").size(), 1u);
}

// A 16-bit screen: the editor paints RGBA8 and the window converts to the
// visual's 5-6-5 pixels.
TEST(X11WindowOtherVisual, ConvertsThePixelsForA16BitScreen) {
    const std::string shared = testsupport::sharedXvfb().display();
    RecordingListener listener;
    {
        testsupport::XvfbServer server({"-screen", "0", "640x480x16"});
        ASSERT_TRUE(server.running()) << server.error();
        auto window = X11Window::open(fw::WindowUsage::host, nullptr, &listener, 120, 80);
        ASSERT_NE(window, nullptr);
        EXPECT_FALSE(window->directPixels());
        for (int i = 0; i < 10; ++i) {
            window->idle();
            usleep(5000);
        }
        ASSERT_FALSE(listener.named("draw").empty());
        EXPECT_EQ(listener.named("draw").front().a, int(fw::WindowPixelFormat::RGBA8));
        Display* d = XOpenDisplay(nullptr);
        ASSERT_NE(d, nullptr);
        for (const auto& [x, y] : {std::pair{0, 0}, std::pair{100, 70}, std::pair{119, 79}}) {
            const std::vector<std::uint8_t> p = testsupport::grabWindow(d, Window(window->xWindow()), x, y, 1, 1);
            ASSERT_EQ(p.size(), 4u);
            // 5 or 6 bits a channel: within one step of what was painted.
            EXPECT_NEAR(p[0], 40, 8) << x;
            EXPECT_NEAR(p[1], x, 4) << x;
            EXPECT_NEAR(p[2], y, 8) << x;
        }
        XCloseDisplay(d);
        window.reset();
    }
    setenv("DISPLAY", shared.c_str(), 1);
}

}  // namespace
