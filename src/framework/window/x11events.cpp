#include "framework/window/x11events.h"

#include <X11/X.h>
#include <X11/cursorfont.h>
#include <X11/keysym.h>

namespace fw::x11 {

static_assert(kShiftMask == ShiftMask && kControlMask == ControlMask && kMod1Mask == Mod1Mask);
static_assert(kButton1Mask == Button1Mask && kButton2Mask == Button2Mask && kButton3Mask == Button3Mask);

Key keyFromKeysym(unsigned long keysym) noexcept {
    switch (keysym) {
        case XK_Up:
        case XK_KP_Up: return Key::up;
        case XK_Down:
        case XK_KP_Down: return Key::down;
        case XK_Left:
        case XK_KP_Left: return Key::left;
        case XK_Right:
        case XK_KP_Right: return Key::right;
        case XK_BackSpace: return Key::backspace;
        case XK_Return:
        case XK_KP_Enter: return Key::enter;
        case XK_Escape: return Key::escape;
        case XK_Delete:
        case XK_KP_Delete: return Key::suppr;
        default: break;
    }
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9) return Key(int(Key::digit0) + int(keysym - XK_KP_0));
    // Latin-1 keysyms of digits and letters are their ASCII codes.
    if (keysym > 0x7F) return Key::unsupported;
    return keyForCharacter(static_cast<char>(keysym));
}

MouseState mouseStateFrom(unsigned state) noexcept {
    MouseState s;
    s.leftButtonDown = (state & kButton1Mask) != 0;
    s.middleButtonDown = (state & kButton2Mask) != 0;
    s.rightButtonDown = (state & kButton3Mask) != 0;
    s.ctrlPressed = (state & kControlMask) != 0;
    s.shiftPressed = (state & kShiftMask) != 0;
    s.altPressed = (state & kMod1Mask) != 0;
    return s;
}

unsigned stateAfterButton(unsigned state, unsigned button, bool pressed) noexcept {
    unsigned mask = 0;
    if (button == Button1) mask = kButton1Mask;
    else if (button == Button2) mask = kButton2Mask;
    else if (button == Button3) mask = kButton3Mask;
    return pressed ? (state | mask) : (state & ~mask);
}

bool pointerButton(unsigned button, MouseButton& out) noexcept {
    switch (button) {
        case Button1: out = MouseButton::left; return true;
        case Button2: out = MouseButton::middle; return true;
        case Button3: out = MouseButton::right; return true;
        default: return false;
    }
}

bool wheelStep(unsigned button, int& dx, int& dy) noexcept {
    dx = dy = 0;
    switch (button) {
        case 4: dy = 1; return true;
        case 5: dy = -1; return true;
        case 6: dx = 1; return true;
        case 7: dx = -1; return true;
        default: return false;
    }
}

bool DoubleClickDetector::press(unsigned button, int x, int y, std::uint32_t timeMs) noexcept {
    const int ax = x - x_ < 0 ? x_ - x : x - x_;
    const int ay = y - y_ < 0 ? y_ - y : y - y_;
    const bool isDouble =
        armed_ && button == button_ && timeMs - time_ <= kIntervalMs && ax <= kDistance && ay <= kDistance;
    armed_ = !isDouble;
    button_ = button;
    x_ = x;
    y_ = y;
    time_ = timeMs;
    return isDouble;
}

int fontCursorShape(MouseCursor cursor) noexcept {
    switch (cursor) {
        case MouseCursor::linkSelect: return XC_hand2;
        case MouseCursor::drag: return XC_hand1;
        case MouseCursor::move: return XC_fleur;
        case MouseCursor::cross: return XC_crosshair;
        case MouseCursor::verticalResize: return XC_sb_v_double_arrow;
        case MouseCursor::horizontalResize: return XC_sb_h_double_arrow;
        case MouseCursor::none: return -1;
        case MouseCursor::arrow:
        default: return XC_left_ptr;
    }
}

}  // namespace fw::x11
