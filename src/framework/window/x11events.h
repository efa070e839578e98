#pragma once
// How X11's events become the editor's: keysyms as keys, the event state as the
// mouse state, button numbers as buttons and wheel steps, the double-click rule
// and the X font cursor of each shape. Pure functions of what an XEvent carries,
// so they hold without a server.

#include <cstdint>

#include "framework/window/windowevents.h"

namespace fw::x11 {

// The X event state bits the editor reads (X.h's masks).
inline constexpr unsigned kShiftMask = 1u << 0;
inline constexpr unsigned kControlMask = 1u << 2;
inline constexpr unsigned kMod1Mask = 1u << 3;  // Alt
inline constexpr unsigned kButton1Mask = 1u << 8;
inline constexpr unsigned kButton2Mask = 1u << 9;
inline constexpr unsigned kButton3Mask = 1u << 10;

// The key for a keysym (as XLookupString gives it, shift applied): arrows,
// keypad and row digits, letters, BackSpace, Return, Escape and Delete; any
// other keysym gives Key::unsupported.
Key keyFromKeysym(unsigned long keysym) noexcept;

// Buttons and modifiers from an X event's state field.
MouseState mouseStateFrom(unsigned state) noexcept;

// The state X reports with a press or release is the one before it; the editor
// wants the one after (as on the Mac: the pressed button is down during its
// press, up at its release). `button` is the X button number.
unsigned stateAfterButton(unsigned state, unsigned button, bool pressed) noexcept;

// X buttons 1, 2 and 3 as left, middle and right; false for the others.
bool pointerButton(unsigned button, MouseButton& out) noexcept;

// Wheel buttons: 4 and 5 are one step up and down (dy +1, -1), 6 and 7 one
// step left and right (dx +1, -1). False for the other buttons.
bool wheelStep(unsigned button, int& dx, int& dy) noexcept;

// Tells double clicks: a press is one when it is the second press of the same
// button within kIntervalMs and kDistance pixels (on each axis) of the first.
// A third press starts over.
class DoubleClickDetector {
public:
    static constexpr std::uint32_t kIntervalMs = 500;
    static constexpr int kDistance = 4;

    // `timeMs` is the X server's event time (wraps around).
    bool press(unsigned button, int x, int y, std::uint32_t timeMs) noexcept;
    void reset() noexcept { armed_ = false; }

private:
    bool armed_ = false;
    unsigned button_ = 0;
    int x_ = 0;
    int y_ = 0;
    std::uint32_t time_ = 0;
};

// The X cursor font shape (cursorfont.h's XC_ values) showing `cursor`; -1 for
// MouseCursor::none, shown as a blank cursor.
int fontCursorShape(MouseCursor cursor) noexcept;

}  // namespace fw::x11
