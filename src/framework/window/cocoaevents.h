#pragma once
// How Cocoa's events become the editor's: the key table, the mouse state, wheel
// steps, the mouse position convention and the cursor for each shape. Pure
// functions of the values an NSEvent reports, so they hold without a window.

#include <cstdint>

#include "framework/window/windowevents.h"

namespace fw::cocoa {

// NSEvent modifier flags the editor reads.
inline constexpr unsigned long kModifierShift = 0x20000;
inline constexpr unsigned long kModifierControl = 0x40000;
inline constexpr unsigned long kModifierOption = 0x80000;

// The key for a Cocoa key code and the first character of
// charactersIgnoringModifiers (0 when the event has none).
Key keyFromEvent(unsigned short keyCode, char16_t firstCharacter) noexcept;

// Buttons from [NSEvent pressedMouseButtons] (bits 0, 1, 2) and the modifier
// keys from the event's modifierFlags. Command is not reported.
MouseState mouseStateFrom(unsigned long pressedMouseButtons, unsigned long modifierFlags) noexcept;

// A wheel delta of any size as one step: -1, 0 or +1.
int wheelStep(double delta) noexcept;

struct ViewPoint {
    int x;
    int y;
};

// A point in the view's bottom-up coordinates as buffer pixels, origin top left.
// The offsets are bufferPointFromTopLeft's (windowevents.h).
ViewPoint bufferPointFromView(double viewX, double viewY, int viewHeight) noexcept;

// The NSCursor class method showing `cursor` (MouseCursor::none hides instead
// and has none).
const char* cursorSelectorFor(MouseCursor cursor) noexcept;

// A rectangle of the buffer (top-down) as the view's bottom-up rectangle.
struct FlippedRect {
    int x;
    int y;
    int width;
    int height;
};
FlippedRect flipToView(int minX, int minY, int maxX, int maxY, int boundsHeight) noexcept;

}  // namespace fw::cocoa
