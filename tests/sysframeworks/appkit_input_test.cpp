// AppKit under Xvfb: XTest input reaches views as NSEvents with macOS's
// coordinates, buttons, click counts, modifiers, key codes and characters.

#include "appkitfixture.h"

#include <X11/keysym.h>

#include <algorithm>

namespace {

using namespace apptest;

// Content 400x300; the child at bottom-up (50, 40) size 200x100 covers X
// pixels x 50..249, y 160..259 of the window.
constexpr double kHeight = 300;

class AppKitInput : public AppKitTest {
protected:
    void SetUp() override {
        AppKitTest::SetUp();
        if (HasFatalFailure()) return;
        rec_.addsTrackingArea = true;
        rec_.acceptsFirstResponder = true;
        openWindow(NSMakeSize(400, kHeight), NSMakeRect(50, 40, 200, 100));
        if (HasFatalFailure()) return;
        // Park the pointer outside the window.
        input_->moveTo(5, 5);
        runFor(0.05);
        rec_.events.clear();
    }

    // Runs until the child got `n` events of `selector`.
    bool waitFor(const char* selector, size_t n = 1) {
        return runUntil([&] { return rec_.count(selector) >= n; }, 3.0);
    }
};

TEST_F(AppKitInput, LeftButtonPressDragAndReleaseCarryWindowLocations) {
    pointerAt(60, 170);
    input_->press(1);
    ASSERT_TRUE(waitFor("mouseDown:"));
    const Received down = *rec_.last("mouseDown:");
    EXPECT_EQ(down.type, static_cast<unsigned long>(NSEventTypeLeftMouseDown));
    EXPECT_EQ(down.location.x, 60.0);
    EXPECT_EQ(down.location.y, kHeight - 170);
    EXPECT_EQ(down.buttonNumber, 0);
    EXPECT_EQ(down.clickCount, 1);
    EXPECT_EQ(down.pressedButtons, 1u) << "the left button is down";

    pointerAt(75, 180);
    ASSERT_TRUE(waitFor("mouseDragged:"));
    const Received drag = *rec_.last("mouseDragged:");
    EXPECT_EQ(drag.location.x, 75.0);
    EXPECT_EQ(drag.location.y, kHeight - 180);
    EXPECT_EQ(drag.type, static_cast<unsigned long>(NSEventTypeLeftMouseDragged));

    input_->release(1);
    ASSERT_TRUE(waitFor("mouseUp:"));
    EXPECT_EQ(rec_.last("mouseUp:")->location.x, 75.0);
    EXPECT_EQ(cmsg<unsigned long>("NSEvent", "pressedMouseButtons"), 0u);
    EXPECT_EQ(rec_.count("mouseMoved:"), 0u) << "the window does not accept mouse-moved events";
    EXPECT_EQ(msg<id>(window_, "firstResponder"), child_) << "a click focuses a view that accepts it";
}

TEST_F(AppKitInput, EventsAViewDoesNotHandleGoUpToItsSuperview) {
    // A plain NSView inside the recording view, covering window pixels
    // x 60..99, y 210..249 (bottom-up (10, 10) size 40x40 in the child).
    id plain = msg<id>(cmsg<id>("NSView", "alloc"), "initWithFrame:", NSMakeRect(10, 10, 40, 40));
    msg(child_, "addSubview:", plain);
    msg(plain, "release");
    runFor(0.05);
    pointerAt(70, 230);
    input_->click(1);
    input_->click(4);
    ASSERT_TRUE(waitFor("mouseUp:"));
    ASSERT_TRUE(waitFor("scrollWheel:"));
    EXPECT_EQ(rec_.last("mouseDown:")->location.x, 70.0);
    EXPECT_EQ(rec_.last("mouseDown:")->location.y, kHeight - 230);
    EXPECT_EQ(msg<id>(window_, "firstResponder"), window_) << "the plain view does not take focus";
    // Nobody handles keys: the press ends silently at the window.
    input_->tap(XK_q);
    runFor(0.05);
    EXPECT_EQ(rec_.count("keyDown:"), 0u);
}

TEST_F(AppKitInput, AViewMayRemoveAndFreeItselfFromItsOwnCallback) {
    // The superview holds the only reference: removing the view frees it once
    // AppKit lets go after the callback.
    rec_.onEvent = [&](const Received& r) {
        if (r.selector == "mouseDown:") msg(child_, "removeFromSuperview");
    };
    pointerAt(100, 200);
    input_->click(1);
    ASSERT_TRUE(waitFor("mouseDown:"));
    child_ = nullptr;
    EXPECT_TRUE(rec_.deallocated) << "freed once the callback returned";
    runFor(0.1);
    EXPECT_EQ(rec_.count("mouseUp:"), 0u) << "the freed view got no more events";
    input_->sync();
    EXPECT_TRUE(xChildren(xChildren(top()).at(0)).empty()) << "its X window went with it";
    input_->click(1);
    runFor(0.05);
    EXPECT_EQ(rec_.count("mouseDown:"), 1u);
}

TEST_F(AppKitInput, AViewKeepsTheMouseUntilReleaseEvenOutsideIt) {
    pointerAt(100, 200);
    input_->press(1);
    ASSERT_TRUE(waitFor("mouseDown:"));
    pointerAt(350, 20);  // outside the child, inside the window
    ASSERT_TRUE(waitFor("mouseDragged:"));
    EXPECT_EQ(rec_.last("mouseDragged:")->location.x, 350.0);
    EXPECT_EQ(rec_.last("mouseDragged:")->location.y, kHeight - 20);
    input_->moveToWindow(top(), -30, 400);  // outside the window
    ASSERT_TRUE(waitFor("mouseDragged:", 2));
    EXPECT_EQ(rec_.last("mouseDragged:")->location.x, -30.0);
    EXPECT_EQ(rec_.last("mouseDragged:")->location.y, kHeight - 400);
    input_->release(1);
    ASSERT_TRUE(waitFor("mouseUp:"));
    EXPECT_EQ(rec_.last("mouseUp:")->location.x, -30.0);
}

TEST_F(AppKitInput, QuickSecondClicksCountTwoAndEachButtonHasItsNumber) {
    pointerAt(120, 200);
    input_->click(1);
    input_->click(1);
    ASSERT_TRUE(waitFor("mouseUp:", 2));
    ASSERT_EQ(rec_.count("mouseDown:"), 2u);
    const auto firstDown = std::find_if(rec_.events.begin(), rec_.events.end(),
                                        [](const Received& r) { return r.selector == "mouseDown:"; });
    EXPECT_EQ(firstDown->clickCount, 1);
    EXPECT_EQ(rec_.last("mouseDown:")->clickCount, 2);
    EXPECT_EQ(rec_.last("mouseUp:")->clickCount, 2);

    input_->click(3);
    ASSERT_TRUE(waitFor("rightMouseUp:"));
    EXPECT_EQ(rec_.last("rightMouseDown:")->buttonNumber, 1);
    EXPECT_EQ(rec_.last("rightMouseDown:")->clickCount, 1) << "another button starts a new count";
    EXPECT_EQ(rec_.last("rightMouseDown:")->type, static_cast<unsigned long>(NSEventTypeRightMouseDown));

    input_->press(2);
    ASSERT_TRUE(waitFor("otherMouseDown:"));
    EXPECT_EQ(rec_.last("otherMouseDown:")->buttonNumber, 2);
    EXPECT_EQ(rec_.last("otherMouseDown:")->pressedButtons, 1u << 2) << "middle button bit";
    input_->release(2);
    input_->click(8);
    ASSERT_TRUE(waitFor("otherMouseUp:", 2));
    EXPECT_EQ(rec_.last("otherMouseDown:")->buttonNumber, 3);
    input_->click(9);
    ASSERT_TRUE(waitFor("otherMouseUp:", 3));
    EXPECT_EQ(rec_.last("otherMouseDown:")->buttonNumber, 4);
}

TEST_F(AppKitInput, HeldModifiersShowInTheFlags) {
    pointerAt(120, 200);
    input_->key(XK_Shift_L, true);
    input_->key(XK_Control_L, true);
    input_->key(XK_Alt_L, true);
    input_->click(1);
    input_->key(XK_Alt_L, false);
    input_->key(XK_Control_L, false);
    input_->key(XK_Shift_L, false);
    ASSERT_TRUE(waitFor("mouseDown:"));
    const unsigned long flags = rec_.last("mouseDown:")->modifierFlags;
    EXPECT_TRUE(flags & NSEventModifierFlagShift);
    EXPECT_TRUE(flags & NSEventModifierFlagControl);
    EXPECT_TRUE(flags & NSEventModifierFlagOption);
    EXPECT_FALSE(flags & NSEventModifierFlagCommand);

    input_->click(1);
    ASSERT_TRUE(waitFor("mouseDown:", 2));
    EXPECT_EQ(rec_.last("mouseDown:")->modifierFlags & NSEventModifierFlagDeviceIndependentFlagsMask, 0u);
}

TEST_F(AppKitInput, WheelStepsGiveDeltasOfOne) {
    pointerAt(120, 200);
    for (unsigned button : {4u, 5u, 6u, 7u}) input_->click(button);
    ASSERT_TRUE(waitFor("scrollWheel:", 4));
    std::vector<std::pair<double, double>> deltas;
    for (const Received& r : rec_.events)
        if (r.selector == "scrollWheel:") deltas.emplace_back(r.deltaX, r.deltaY);
    EXPECT_EQ(deltas, (std::vector<std::pair<double, double>>{{0, 1}, {0, -1}, {1, 0}, {-1, 0}}));
    EXPECT_EQ(rec_.count("mouseDown:") + rec_.count("otherMouseDown:") + rec_.count("mouseUp:"), 0u);
}

TEST_F(AppKitInput, KeysGiveAppleKeyCodesAndCharacters) {
    ASSERT_TRUE(msg<BOOL>(window_, "makeFirstResponder:", child_));
    pointerAt(120, 200);
    struct Case {
        unsigned long keysym;
        bool shift;
        unsigned short keyCode;
        std::string characters;
        std::string ignoringModifiers;
    };
    const Case cases[] = {
        {XK_a, false, 0x00, "a", "a"},
        {XK_a, true, 0x00, "A", "A"},
        {XK_m, false, 0x2E, "m", "m"},
        {XK_1, false, 0x12, "1", "1"},
        {XK_0, false, 0x1D, "0", "0"},
        {XK_Left, false, 123, "\xEF\x9C\x82", "\xEF\x9C\x82"},
        {XK_Right, false, 124, "\xEF\x9C\x83", "\xEF\x9C\x83"},
        {XK_Down, false, 125, "\xEF\x9C\x81", "\xEF\x9C\x81"},
        {XK_Up, false, 126, "\xEF\x9C\x80", "\xEF\x9C\x80"},
        {XK_KP_0, false, 82, "0", "0"},
        {XK_KP_7, false, 89, "7", "7"},
        {XK_KP_8, false, 91, "8", "8"},
        {XK_KP_9, false, 92, "9", "9"},
        {XK_BackSpace, false, 51, "\x7F", "\x7F"},
        {XK_Return, false, 36, "\r", "\r"},
        {XK_Escape, false, 53, "\x1B", "\x1B"},
        {XK_Delete, false, 117, "\xEF\x9C\xA8", "\xEF\x9C\xA8"},
        {XK_F1, false, 122, "\xEF\x9C\x84", "\xEF\x9C\x84"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(XKeysymToString(c.keysym) + std::string(c.shift ? " with Shift" : ""));
        rec_.events.clear();
        if (c.shift)
            input_->tap(c.keysym, {XK_Shift_L});
        else
            input_->tap(c.keysym);
        ASSERT_TRUE(waitFor("keyUp:"));
        const Received* down = rec_.last("keyDown:");
        ASSERT_NE(down, nullptr);
        EXPECT_EQ(down->keyCode, c.keyCode);
        EXPECT_EQ(down->characters, c.characters);
        EXPECT_EQ(down->charactersIgnoringModifiers, c.ignoringModifiers);
        EXPECT_EQ(down->type, static_cast<unsigned long>(NSEventTypeKeyDown));
        EXPECT_EQ(rec_.last("keyUp:")->keyCode, c.keyCode);
        EXPECT_EQ(rec_.count("keyDown:"), 1u) << "Shift alone gives no keyDown:";
        EXPECT_EQ(bool(down->modifierFlags & NSEventModifierFlagShift), c.shift);
    }

    // Control gives a control character, but not when ignoring modifiers.
    rec_.events.clear();
    input_->tap(XK_c, {XK_Control_L});
    ASSERT_TRUE(waitFor("keyUp:"));
    EXPECT_EQ(rec_.last("keyDown:")->characters, "\x03");
    EXPECT_EQ(rec_.last("keyDown:")->charactersIgnoringModifiers, "c");
    EXPECT_EQ(rec_.last("keyDown:")->keyCode, 0x08);
}

TEST_F(AppKitInput, AHeldKeyRepeatsItsKeyDownOnly) {
    ASSERT_TRUE(msg<BOOL>(window_, "makeFirstResponder:", child_));
    pointerAt(120, 200);
    input_->key(XK_x, true);
    ASSERT_TRUE(waitFor("keyDown:", 3)) << "the server repeats a held key";
    input_->key(XK_x, false);
    ASSERT_TRUE(waitFor("keyUp:"));
    runFor(0.05);
    EXPECT_EQ(rec_.count("keyUp:"), 1u) << "the repeats' releases are not reported";
    std::vector<bool> repeats;
    for (const Received& r : rec_.events)
        if (r.selector == "keyDown:") repeats.push_back(r.isARepeat);
    ASSERT_GE(repeats.size(), 3u);
    EXPECT_FALSE(repeats.front());
    EXPECT_EQ(std::count(repeats.begin(), repeats.end(), true), static_cast<long>(repeats.size()) - 1);
}

TEST_F(AppKitInput, TrackingAreasReportEnteringLeavingAndMovedEventsGoToTheFirstResponder) {
    ASSERT_NE(rec_.trackingArea, nullptr) << "updateTrackingAreas ran when the view entered the window";
    EXPECT_EQ(msg<id>(rec_.trackingArea, "owner"), child_);
    EXPECT_EQ(msg<unsigned long>(rec_.trackingArea, "options"),
              static_cast<unsigned long>(NSTrackingMouseEnteredAndExited | NSTrackingActiveAlways));
    const NSRect r = rectMsg(rec_.trackingArea, "rect");
    EXPECT_EQ(r.size.width, 200);

    pointerAt(300, 100);  // in the window, outside the child
    EXPECT_EQ(rec_.count("mouseEntered:"), 0u);
    pointerAt(100, 200);
    ASSERT_TRUE(waitFor("mouseEntered:"));
    EXPECT_EQ(rec_.last("mouseEntered:")->type, static_cast<unsigned long>(NSEventTypeMouseEntered));
    EXPECT_EQ(rec_.count("mouseExited:"), 0u);
    pointerAt(300, 100);
    ASSERT_TRUE(waitFor("mouseExited:"));
    EXPECT_EQ(rec_.count("mouseEntered:"), 1u);
    EXPECT_EQ(rec_.count("mouseMoved:"), 0u);

    msg(window_, "setAcceptsMouseMovedEvents:", YES);
    ASSERT_TRUE(msg<BOOL>(window_, "makeFirstResponder:", child_));
    pointerAt(310, 110);  // over the content view, yet the first responder hears it
    ASSERT_TRUE(waitFor("mouseMoved:"));
    EXPECT_EQ(rec_.last("mouseMoved:")->location.x, 310.0);
    EXPECT_EQ(rec_.last("mouseMoved:")->location.y, kHeight - 110);
}

}  // namespace
