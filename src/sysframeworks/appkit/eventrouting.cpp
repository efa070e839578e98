// From X input events to NSEvents for the right responder: the deepest view
// under the pointer for presses and the wheel, the view that got the press
// for drags and the release (mouse capture), the first responder for keys
// and mouse-moved events, tracking-area owners for entering and leaving.

#include "sysframeworks/appkit/appkitimpl.h"
#include "sysframeworks/common/objcclass.h"

#include <AppKit/AppKit.h>
#include <X11/Xutil.h>

#include <bitset>
#include <cstdlib>

namespace appkit {
namespace {

using namespace sysfw::objc;

struct Capture {
    id window = nullptr;
    id view = nullptr;  // retained
    unsigned button = 0;
};

struct LastPress {
    unsigned button = 0;
    Time time = 0;
    int x = 0;
    int y = 0;
    long count = 0;
};

Capture g_capture;
LastPress g_lastPress;

constexpr double kDoubleClickMs = 500.0;
constexpr int kClickSlop = 4;

void endCapture() {
    id v = g_capture.view;
    g_capture = Capture{};
    release(v);
}

// The view an X window stands for; a window's own X window stands for its
// content view.
id viewFor(id window, Window xwin) {
    id w = nullptr;
    id view = nullptr;
    if (lookUpXWindow(xwin, w, view) && view) return view;
    return send<id>(window, "contentView");
}

NSPoint locationIn(id window, Window xwin, int x, int y) {
    id w = nullptr;
    id view = nullptr;
    int ox = 0;
    int oy = 0;
    if (lookUpXWindow(xwin, w, view) && view) viewOriginInTopLevel(view, ox, oy);
    return NSMakePoint(static_cast<double>(ox + x), windowContentHeight(window) - static_cast<double>(oy + y));
}

void dispatch(EventFields& f) {
    if (f.target == nullptr) return;
    id event = newEvent(f);
    if (NSApp)
        send(NSApp, "sendEvent:", event);
    else
        deliverEvent(f.window, event);
    release(event);
}

EventFields mouseFields(id window, unsigned long type, const XButtonEvent& b) {
    EventFields f;
    f.type = type;
    f.window = window;
    f.location = locationIn(window, b.window, b.x, b.y);
    f.modifierFlags = modifierFlagsFromX(b.state);
    f.timestamp = static_cast<double>(b.time) / 1000.0;
    return f;
}

long buttonNumberOf(unsigned button) {
    switch (button) {
        case 1: return 0;
        case 3: return 1;
        case 2: return 2;
        case 8: return 3;
        case 9: return 4;
        default: return static_cast<long>(button) - 1;
    }
}

void pressed(id window, const XButtonEvent& b) {
    id view = viewFor(window, b.window);
    if (b.button >= 4 && b.button <= 7) {
        EventFields f = mouseFields(window, NSEventTypeScrollWheel, b);
        f.deltaY = b.button == 4 ? 1.0 : (b.button == 5 ? -1.0 : 0.0);
        f.deltaX = b.button == 6 ? 1.0 : (b.button == 7 ? -1.0 : 0.0);
        f.target = view;
        f.action = "scrollWheel:";
        dispatch(f);
        return;
    }
    const bool again = g_lastPress.button == b.button &&
                       static_cast<double>(b.time - g_lastPress.time) <= kDoubleClickMs &&
                       std::abs(b.x_root - g_lastPress.x) <= kClickSlop && std::abs(b.y_root - g_lastPress.y) <= kClickSlop;
    g_lastPress = LastPress{b.button, b.time, b.x_root, b.y_root, again ? g_lastPress.count + 1 : 1};
    const unsigned long type = b.button == 1 ? NSEventTypeLeftMouseDown
                               : b.button == 3 ? NSEventTypeRightMouseDown
                                               : NSEventTypeOtherMouseDown;
    EventFields f = mouseFields(window, type, b);
    f.clickCount = g_lastPress.count;
    f.buttonNumber = buttonNumberOf(b.button);
    f.target = view;
    f.action = b.button == 1 ? "mouseDown:" : b.button == 3 ? "rightMouseDown:" : "otherMouseDown:";
    if (g_capture.view == nullptr && view) g_capture = Capture{window, retain(view), b.button};
    dispatch(f);
}

void releasedButton(id window, const XButtonEvent& b) {
    if (b.button >= 4 && b.button <= 7) return;
    const bool captured = g_capture.view && g_capture.button == b.button;
    const unsigned long type = b.button == 1 ? NSEventTypeLeftMouseUp
                               : b.button == 3 ? NSEventTypeRightMouseUp
                                               : NSEventTypeOtherMouseUp;
    EventFields f = mouseFields(window, type, b);
    if (captured && g_capture.window != window) f.window = g_capture.window;
    f.clickCount = g_lastPress.button == b.button ? g_lastPress.count : 1;
    f.buttonNumber = buttonNumberOf(b.button);
    f.target = captured ? g_capture.view : viewFor(window, b.window);
    f.action = b.button == 1 ? "mouseUp:" : b.button == 3 ? "rightMouseUp:" : "otherMouseUp:";
    Retained keep(f.target);
    if (captured) endCapture();
    dispatch(f);
}

void moved(id window, const XMotionEvent& m) {
    XButtonEvent b{};
    b.window = m.window;
    b.x = m.x;
    b.y = m.y;
    b.state = m.state;
    b.time = m.time;
    if (g_capture.view) {
        const unsigned button = g_capture.button;
        const unsigned long type = button == 1 ? NSEventTypeLeftMouseDragged
                                   : button == 3 ? NSEventTypeRightMouseDragged
                                                 : NSEventTypeOtherMouseDragged;
        EventFields f = mouseFields(g_capture.window, type, b);
        f.buttonNumber = buttonNumberOf(button);
        f.clickCount = g_lastPress.count;
        f.target = g_capture.view;
        f.action = button == 1 ? "mouseDragged:" : button == 3 ? "rightMouseDragged:" : "otherMouseDragged:";
        dispatch(f);
        return;
    }
    if (windowAcceptsMouseMoved(window)) {
        EventFields f = mouseFields(window, NSEventTypeMouseMoved, b);
        f.target = windowFirstResponderView(window);
        f.action = "mouseMoved:";
        dispatch(f);
    }
    id view = viewFor(window, m.window);
    if (view == nullptr) return;
    for (id area : viewTrackingAreas(view)) {
        if (!(send<unsigned long>(area, "options") & NSTrackingMouseMoved)) continue;
        EventFields f = mouseFields(window, NSEventTypeMouseMoved, b);
        f.target = send<id>(area, "owner");
        f.trackingArea = area;
        f.action = "mouseMoved:";
        dispatch(f);
    }
}

void crossed(id window, const XCrossingEvent& c, bool entered) {
    // Moving into or out of a subview stays inside this view's area.
    if (c.detail == NotifyInferior || c.mode != NotifyNormal) return;
    id w = nullptr;
    id view = nullptr;
    if (!lookUpXWindow(c.window, w, view) || view == nullptr) return;
    XButtonEvent b{};
    b.window = c.window;
    b.x = c.x;
    b.y = c.y;
    b.state = c.state;
    b.time = c.time;
    for (id area : viewTrackingAreas(view)) {
        if (!(send<unsigned long>(area, "options") & NSTrackingMouseEnteredAndExited)) continue;
        EventFields f = mouseFields(window, entered ? NSEventTypeMouseEntered : NSEventTypeMouseExited, b);
        f.target = send<id>(area, "owner");
        f.trackingArea = area;
        f.action = entered ? "mouseEntered:" : "mouseExited:";
        dispatch(f);
    }
}

std::string lookUpText(XKeyEvent k, unsigned state) {
    k.state = state;
    char buffer[64];
    KeySym ignored = 0;
    const int n = XLookupString(&k, buffer, sizeof buffer, &ignored, nullptr);
    return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

// With detectable auto-repeat (asked for at connection) a held key sends only
// presses, so a press of a key already down repeats it. Servers without it
// send release-press pairs with the same time instead.
bool isAutoRepeatRelease(const XKeyEvent& k) {
    Display* d = display();
    if (d == nullptr || XEventsQueued(d, QueuedAfterReading) == 0) return false;
    XEvent next;
    XPeekEvent(d, &next);
    return next.type == KeyPress && next.xkey.keycode == k.keycode && next.xkey.time == k.time;
}

// Which key codes are down, and the key whose paired release was just dropped.
std::bitset<256> g_keysDown;
unsigned g_repeatingKey = 0;

void key(id window, XKeyEvent& k, bool down) {
    if (!down && isAutoRepeatRelease(k)) {
        g_repeatingKey = k.keycode;
        return;
    }
    const unsigned code = k.keycode & 0xFFu;
    const bool repeat = down && (k.keycode == g_repeatingKey || g_keysDown.test(code));
    g_repeatingKey = 0;
    g_keysDown.set(code, down);
    const KeySym sym = XLookupKeysym(&k, 0);
    EventFields f;
    f.window = window;
    f.location = locationIn(window, k.window, k.x, k.y);
    f.modifierFlags = modifierFlagsFromX(k.state);
    f.timestamp = static_cast<double>(k.time) / 1000.0;
    f.keyCode = appleKeyCode(sym);
    id responder = windowFirstResponderView(window);
    f.target = responder ? responder : window;
    if (isModifierKeysym(sym)) {
        f.type = NSEventTypeFlagsChanged;
        f.action = "flagsChanged:";
        dispatch(f);
        return;
    }
    f.type = down ? NSEventTypeKeyDown : NSEventTypeKeyUp;
    f.isARepeat = repeat;
    f.action = down ? "keyDown:" : "keyUp:";
    // Special keys have fixed characters; the rest come from X: with Control
    // (control characters) but not Option, and ignoring all but Shift.
    const std::string special = appleKeyCharacters(sym);
    f.characters = special.empty() ? lookUpText(k, k.state & ~Mod1Mask) : special;
    f.charactersIgnoringModifiers = special.empty() ? lookUpText(k, k.state & (ShiftMask | LockMask)) : special;
    dispatch(f);
}

}  // namespace

void routeXInput(id window, XEvent& ev) {
    switch (ev.type) {
        case ButtonPress:
            setLastXState(ev.xbutton.state | (Button1Mask << (ev.xbutton.button - 1)));
            if (ev.xbutton.button > 5) setLastXState(ev.xbutton.state);
            pressed(window, ev.xbutton);
            break;
        case ButtonRelease:
            setLastXState(ev.xbutton.button <= 5 ? ev.xbutton.state & ~(Button1Mask << (ev.xbutton.button - 1))
                                                 : ev.xbutton.state);
            releasedButton(window, ev.xbutton);
            break;
        case MotionNotify:
            setLastXState(ev.xmotion.state);
            moved(window, ev.xmotion);
            break;
        case EnterNotify:
        case LeaveNotify:
            setLastXState(ev.xcrossing.state);
            crossed(window, ev.xcrossing, ev.type == EnterNotify);
            break;
        case KeyPress:
        case KeyRelease:
            setLastXState(ev.xkey.state);
            key(window, ev.xkey, ev.type == KeyPress);
            break;
        default:
            break;
    }
}

void forgetView(id view) {
    if (g_capture.view == view) endCapture();
    windowForgetResponder(send<id>(view, "window"), view);
}

void deliverEvent(id window, id event) {
    const EventFields* f = eventFields(event);
    if (f == nullptr || f->target == nullptr) return;
    Retained keepEvent(event);
    Retained keepWindow(window);
    id target = f->target;
    Retained keepTarget(target);
    // A click makes a view that takes keyboard focus the first responder.
    if (f->type == NSEventTypeLeftMouseDown && target != window && responds(target, "acceptsFirstResponder") &&
        send<BOOL>(target, "acceptsFirstResponder"))
        send<BOOL>(window, "makeFirstResponder:", target);
    reinterpret_cast<void (*)(id, SEL, id)>(objc_msgSend)(target, sel(f->action.c_str()), event);
}

}  // namespace appkit
