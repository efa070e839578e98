#include "framework/window/cocoaevents.h"

#include <cmath>

namespace fw::cocoa {

namespace {

// Virtual key codes of the keys with a meaning of their own.
constexpr unsigned short kKeyReturn = 36;
constexpr unsigned short kKeyDelete = 51;  // backspace
constexpr unsigned short kKeyEscape = 53;
constexpr unsigned short kKeyForwardDelete = 117;
constexpr unsigned short kKeyLeftArrow = 123;
constexpr unsigned short kKeyRightArrow = 124;
constexpr unsigned short kKeyDownArrow = 125;
constexpr unsigned short kKeyUpArrow = 126;

// Keypad 0..9: the codes are not contiguous (90 is keypad-less F20).
constexpr unsigned short kKeypadDigits[10] = {82, 83, 84, 85, 86, 87, 88, 89, 91, 92};

}  // namespace

Key keyFromEvent(unsigned short keyCode, char16_t firstCharacter) noexcept {
    switch (keyCode) {
        case kKeyUpArrow: return Key::up;
        case kKeyDownArrow: return Key::down;
        case kKeyLeftArrow: return Key::left;
        case kKeyRightArrow: return Key::right;
        case kKeyDelete: return Key::backspace;
        case kKeyReturn: return Key::enter;
        case kKeyEscape: return Key::escape;
        case kKeyForwardDelete: return Key::suppr;
        default: break;
    }
    for (int digit = 0; digit < 10; ++digit)
        if (keyCode == kKeypadDigits[digit]) return Key(int(Key::digit0) + digit);
    if (firstCharacter == 0 || firstCharacter > 0x7F) return Key::unsupported;
    return keyForCharacter(static_cast<char>(firstCharacter));
}

MouseState mouseStateFrom(unsigned long pressedMouseButtons, unsigned long modifierFlags) noexcept {
    MouseState s;
    s.leftButtonDown = (pressedMouseButtons & 1) != 0;
    s.rightButtonDown = (pressedMouseButtons & 2) != 0;
    s.middleButtonDown = (pressedMouseButtons & 4) != 0;
    s.ctrlPressed = (modifierFlags & kModifierControl) != 0;
    s.shiftPressed = (modifierFlags & kModifierShift) != 0;
    s.altPressed = (modifierFlags & kModifierOption) != 0;
    return s;
}

int wheelStep(double delta) noexcept {
    if (delta > 0) return 1;
    if (delta < 0) return -1;
    return 0;  // also NaN
}

ViewPoint bufferPointFromView(double viewX, double viewY, int viewHeight) noexcept {
    // Out-of-range positions (a drag far outside, a bogus event) saturate
    // rather than overflow.
    auto truncated = [](double v) {
        if (!(v == v)) return 0;
        if (v >= 1e9) return 1000000000;
        if (v <= -1e9) return -1000000000;
        return static_cast<int>(std::trunc(v));
    };
    const BufferPoint p = bufferPointFromTopLeft(truncated(viewX), viewHeight - truncated(viewY));
    return ViewPoint{p.x, p.y};
}

const char* cursorSelectorFor(MouseCursor cursor) noexcept {
    switch (cursor) {
        case MouseCursor::linkSelect: return "pointingHandCursor";
        case MouseCursor::drag: return "openHandCursor";
        case MouseCursor::move:
        case MouseCursor::cross: return "crosshairCursor";
        case MouseCursor::verticalResize: return "resizeUpDownCursor";
        case MouseCursor::horizontalResize: return "resizeLeftRightCursor";
        case MouseCursor::none: return nullptr;
        case MouseCursor::arrow:
        default: return "arrowCursor";
    }
}

FlippedRect flipToView(int minX, int minY, int maxX, int maxY, int boundsHeight) noexcept {
    return FlippedRect{minX, boundsHeight - maxY, maxX - minX, maxY - minY};
}

}  // namespace fw::cocoa
