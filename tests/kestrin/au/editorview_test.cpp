// Kestrin 3's editor on screen, reached the way a Mac host reaches it: the
// plug-in binary is loaded through its bundle, its Cocoa view is asked for
// through kAudioUnitProperty_CocoaUI and put in a window, and real X input
// (XTest) plays with it. Results are read through Apple's API: parameter values,
// AUEventListener gestures, the view's frame, and the window's pixels, which
// must be those of the off-screen render of the same state.

#include <gtest/gtest.h>

#include <AppKit/AppKit.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "auhost/unitobservers.h"
#include "auhost/unitview.h"
#include "../offscreencompare.h"
#include "kestrin/gui/editorlayout.h"
#include "kestrinhost.h"
#include "support/xinput.h"
#include "sysframeworks/appkittestutil.h"
#include "support/xvfbserver.h"

// Xlib last: its macros (Status, None, Bool) would break the names above.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

using auhost::UnitEditorWindow;
using kestrincli::KestrinHost;

constexpr AudioUnitParameterID kFeedbackL = 2;
constexpr AudioUnitParameterID kSync = 8;
constexpr AudioUnitParameterID kUpsample = 15;

using Point = kestrintest::ScreenPoint;
constexpr auto centre = kestrintest::widgetCentre;

// An editor in a host window, with the plug-in it belongs to.
struct OpenEditor {
    std::unique_ptr<KestrinHost> host;
    std::unique_ptr<auhost::EventObserver> observer;
    std::unique_ptr<UnitEditorWindow> window;

    float value(AudioUnitParameterID id) const {
        AudioUnitParameterValue v = 0;
        EXPECT_TRUE(host->unit().getParameter(id, v).ok());
        return v;
    }
    std::vector<AudioUnitEventType> gesturesFor(AudioUnitParameterID id) const {
        std::vector<AudioUnitEventType> kinds;
        for (const auhost::ObservedEvent& e : observer->events())
            if (e.id == id && (kinds.empty() || kinds.back() != e.type)) kinds.push_back(e.type);
        return kinds;
    }
};

class EditorView : public ::testing::Test {
protected:
    static void SetUpTestSuite() { testsupport::sharedXvfb(); }

    void SetUp() override {
        ASSERT_TRUE(auhost::openApplication().ok());
        input = std::make_unique<testsupport::XInput>();
        // The pointer starts outside every window: no hover in the pictures.
        input->moveTo(1900, 1190);
        input->sync();
    }

    OpenEditor open() {
        OpenEditor e;
        std::string error;
        EXPECT_TRUE(KestrinHost::load(KestrinHost::defaultPluginPath(), e.host, error)) << error;
        if (!e.host) return e;
        std::vector<AudioUnitParameterID> ids;
        for (const auto& p : e.host->parameters()) ids.push_back(p.id);
        EXPECT_TRUE(auhost::EventObserver::create(e.host->unit().unit(), ids, {}, e.observer).ok());
        const auhost::HostResult r = UnitEditorWindow::open(e.host->unit().unit(), "Kestrin 3", e.window);
        EXPECT_TRUE(r.ok()) << r.message();
        settle(e);
        return e;
    }

    // Runs the loop until the window's picture stops changing.
    std::vector<std::uint8_t> settle(OpenEditor& e) {
        std::vector<std::uint8_t> last;
        for (int i = 0; i < 40; ++i) {
            e.window->runFor(0.05);
            std::vector<std::uint8_t> now = grab(e);
            if (!now.empty() && now == last) return now;
            last = std::move(now);
        }
        return last;
    }

    NSSize viewSize(const OpenEditor& e) const { return apptest::rectMsg(e.window->view(), "frame").size; }

    std::vector<std::uint8_t> grab(const OpenEditor& e) {
        const NSSize s = viewSize(e);
        return testsupport::grabWindow(input->display(), Window(e.window->windowNumber()), 0, 0, int(s.width),
                                       int(s.height));
    }

    // X input at an editor pixel: the window reports the pointer 2 pixels left of
    // and 3 above where X has it.
    void moveTo(const OpenEditor& e, Point p) {
        input->moveToWindow(Window(e.window->windowNumber()), p.x + 2, p.y + 3);
        input->sync();
        e.window->runFor(0.02);
    }
    void clickAt(const OpenEditor& e, Point p, int times = 1) {
        moveTo(e, p);
        for (int i = 0; i < times; ++i) input->click(1);
        input->sync();
        e.window->runFor(0.05);
    }
    void dragBy(const OpenEditor& e, Point from, int dx, int dy, int steps = 10) {
        moveTo(e, from);
        input->press(1);
        input->sync();
        e.window->runFor(0.02);
        for (int i = 1; i <= steps; ++i) moveTo(e, Point{from.x + dx * i / steps, from.y + dy * i / steps});
        input->release(1);
        input->sync();
        e.window->runFor(0.05);
    }

    // The off-screen render of the editor at `width`, with the same settings.
    static bool sameAsOffscreen(const std::vector<std::uint8_t>& shot, int width,
                                const std::vector<std::pair<int, double>>& settings = {}) {
        return kestrintest::sameAsOffscreen(shot, width, [&](kestrin::Kestrin& client) {
            for (const auto& [index, normalized] : settings) client.param(index)->setFromHost(normalized);
        });
    }

    std::unique_ptr<testsupport::XInput> input;
};

TEST_F(EditorView, OpensThroughTheCocoaViewAndShowsTheOffscreenPicture) {
    OpenEditor e = open();
    ASSERT_TRUE(e.window);
    const std::string className = object_getClassName(e.window->view());
    EXPECT_EQ(className.rfind("PluginCustomView_", 0), 0u);
    EXPECT_EQ(viewSize(e).width, 900);
    EXPECT_EQ(viewSize(e).height, 450);
    EXPECT_TRUE(sameAsOffscreen(settle(e), 900));
}

TEST_F(EditorView, KnobDragIsOneGestureAndTheWindowShowsTheNewValue) {
    OpenEditor e = open();
    ASSERT_TRUE(e.window);
    const float before = e.value(kFeedbackL);
    e.observer->clear();
    dragBy(e, centre(kestrin::layout::feedbackKnobL), 0, -20);
    const float after = e.value(kFeedbackL);
    // Ten steps of 2 pixels; the first move after a press counts as none.
    EXPECT_NEAR(after - before, 18.0f / 71.0f * 0.25f, 1e-4f);
    EXPECT_EQ(e.gesturesFor(kFeedbackL),
              (std::vector<AudioUnitEventType>{kAudioUnitEvent_BeginParameterChangeGesture,
                                               kAudioUnitEvent_ParameterValueChange,
                                               kAudioUnitEvent_EndParameterChangeGesture}));
    input->moveTo(1900, 1190);
    input->sync();
    EXPECT_TRUE(sameAsOffscreen(settle(e), 900, {{int(kFeedbackL), after}}));

    // A double click puts the default back in one more gesture.
    e.observer->clear();
    clickAt(e, centre(kestrin::layout::feedbackKnobL), 2);
    EXPECT_FLOAT_EQ(e.value(kFeedbackL), before);
    EXPECT_EQ(e.gesturesFor(kFeedbackL).front(), kAudioUnitEvent_BeginParameterChangeGesture);
    EXPECT_EQ(e.gesturesFor(kFeedbackL).back(), kAudioUnitEvent_EndParameterChangeGesture);
}

TEST_F(EditorView, TheSwitchAndEveryUpsampleCellRespondToClicks) {
    OpenEditor e = open();
    ASSERT_TRUE(e.window);
    const float sync = e.value(kSync);
    clickAt(e, centre(kestrin::layout::syncSwitch));
    EXPECT_NE(e.value(kSync), sync);
    e.window->runFor(0.6);  // past the double-click interval
    clickAt(e, centre(kestrin::layout::syncSwitch));
    EXPECT_EQ(e.value(kSync), sync);

    const fw::Box b = kestrin::layout::rect(kestrin::layout::upsampleButton);
    const Point cells[4] = {{b.minX + 10, b.minY + 10}, {b.minX + 60, b.minY + 10}, {b.minX + 10, b.minY + 50},
                            {b.minX + 60, b.minY + 50}};
    for (int state : {3, 1, 2, 0}) {
        e.window->runFor(0.6);
        clickAt(e, cells[state]);
        EXPECT_NEAR(e.value(kUpsample), state / 3.0f, 1e-6f) << state;
    }
}

TEST_F(EditorView, WheelAndKeysLeaveTheSoundAlone) {
    // The editor uses neither: both pass by without a change or a gesture.
    OpenEditor e = open();
    ASSERT_TRUE(e.window);
    std::vector<float> before;
    for (const auto& p : e.host->parameters()) before.push_back(e.value(p.id));
    e.observer->clear();
    moveTo(e, centre(kestrin::layout::feedbackKnobL));
    for (unsigned button : {4u, 5u, 6u, 7u}) input->click(button);
    for (unsigned long key : {XK_Up, XK_Down, XK_a, XK_Return, XK_Escape, XK_BackSpace}) input->tap(key);
    input->sync();
    e.window->runFor(0.1);
    std::vector<float> after;
    for (const auto& p : e.host->parameters()) after.push_back(e.value(p.id));
    EXPECT_EQ(after, before);
    EXPECT_TRUE(e.observer->events().empty());
}

TEST_F(EditorView, TheGripResizesTheViewAndTheWindowFollows) {
    OpenEditor e = open();
    ASSERT_TRUE(e.window);
    struct Step {
        int dx, dy, width;
    };
    // From the bottom-right corner: +460 x +230 snaps to 1350, then down past the smallest.
    Point grip{895, 445};
    for (const Step& s : {Step{460, 230, 1350}, Step{-2000, -1000, 450}, Step{225, 113, 675}}) {
        dragBy(e, grip, s.dx, s.dy, 20);
        e.window->runFor(0.1);
        EXPECT_EQ(viewSize(e).width, s.width);
        EXPECT_EQ(viewSize(e).height, std::lround(s.width / 2.0));
        XWindowAttributes attributes{};
        XGetWindowAttributes(input->display(), Window(e.window->windowNumber()), &attributes);
        EXPECT_EQ(attributes.width, s.width);
        EXPECT_EQ(attributes.height, std::lround(s.width / 2.0));
        grip = Point{s.width - 5, int(std::lround(s.width / 2.0)) - 5};
    }
    input->moveTo(1900, 1190);
    input->sync();
    EXPECT_TRUE(sameAsOffscreen(settle(e), 675));
}

TEST_F(EditorView, ClosingTheWindowClosesTheEditorAndItOpensAgain) {
    OpenEditor e = open();
    ASSERT_TRUE(e.window);
    const std::string firstClass = object_getClassName(e.window->view());
    e.window->close();
    e.window->runFor(0.1);  // the editor notices at its next tick
    e.window.reset();       // the host lets go of the view: nothing else holds it now
    EXPECT_EQ(objc_getClass(firstClass.c_str()), Nil);

    const auhost::HostResult r = UnitEditorWindow::open(e.host->unit().unit(), "Kestrin 3", e.window);
    ASSERT_TRUE(r.ok()) << r.message();
    EXPECT_NE(std::string(object_getClassName(e.window->view())), firstClass);
    EXPECT_TRUE(sameAsOffscreen(settle(e), 900));
    // Still alive to input.
    const float before = e.value(kFeedbackL);
    dragBy(e, centre(kestrin::layout::feedbackKnobL), 0, -20);
    EXPECT_GT(e.value(kFeedbackL), before);
}

TEST_F(EditorView, TwoUnitsHaveTheirOwnViewsAndEditors) {
    OpenEditor a = open();
    OpenEditor b = open();
    ASSERT_TRUE(a.window && b.window);
    EXPECT_NE(std::string(object_getClassName(a.window->view())), object_getClassName(b.window->view()));
    // The second window lies over the first at the same place: move it aside.
    XMoveWindow(input->display(), Window(b.window->windowNumber()), 960, 500);
    XSync(input->display(), False);
    b.window->runFor(0.1);
    const float aBefore = a.value(kFeedbackL);
    const float bBefore = b.value(kFeedbackL);
    dragBy(b, centre(kestrin::layout::feedbackKnobL), 0, -20);
    EXPECT_EQ(a.value(kFeedbackL), aBefore);
    EXPECT_GT(b.value(kFeedbackL), bBefore);
    input->moveTo(1900, 1190);
    input->sync();
    EXPECT_TRUE(sameAsOffscreen(settle(a), 900));
    EXPECT_TRUE(sameAsOffscreen(settle(b), 900, {{int(kFeedbackL), b.value(kFeedbackL)}}));
}

TEST_F(EditorView, AbsurdViewSizesFromTheHostAreSurvived) {
    OpenEditor e = open();
    ASSERT_TRUE(e.window);
    id view = e.window->view();
    for (NSSize size : {NSSize{0, 0}, NSSize{1, 1}, NSSize{1e6, 1e6}, NSSize{1e300, 3}, NSSize{30000, 20000}}) {
        apptest::msg(view, "setFrameSize:", size);
        e.window->runFor(0.05);
    }
    // Back at a real size, the editor shows what it should.
    apptest::msg(view, "setFrameSize:", NSSize{900, 450});
    input->moveTo(1900, 1190);
    input->sync();
    EXPECT_TRUE(sameAsOffscreen(settle(e), 900));
}

TEST_F(EditorView, HostChangesReachTheScreen) {
    OpenEditor e = open();
    ASSERT_TRUE(e.window);
    ASSERT_TRUE(e.host->unit().setParameter(kUpsample, 1.0f).ok());
    ASSERT_TRUE(e.host->unit().setParameter(kSync, 1.0f).ok());
    EXPECT_TRUE(sameAsOffscreen(settle(e), 900, {{int(kUpsample), 1.0}, {int(kSync), 1.0}}));
}

}  // namespace
