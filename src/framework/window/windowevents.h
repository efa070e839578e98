#pragma once
// The event and format types a window passes to the editor: mouse state and
// buttons, keys, cursors, the byte order of the window buffer and how a window
// is embedded. Values are part of the window contract; a native window maps its
// system's events onto them.

#include <cstdint>

namespace fw {

// One boolean per byte: the three buttons a window reports, two further buttons
// (always false), then the modifier keys. The Command key is not reported.
struct MouseState {
    bool leftButtonDown = false;
    bool rightButtonDown = false;
    bool middleButtonDown = false;
    bool x1ButtonDown = false;
    bool x2ButtonDown = false;
    bool ctrlPressed = false;
    bool shiftPressed = false;
    bool altPressed = false;
};
static_assert(sizeof(MouseState) == 8);

enum class MouseButton : std::int32_t {
    left = 0,
    right = 1,
    middle = 2,
};

enum class Key : std::int32_t {
    up = 1,
    down = 2,
    left = 3,
    right = 4,
    digit0 = 5,  // digits 0..9 are 5..14
    digit9 = 14,
    a = 15,      // letters a..z are 15..40
    z = 40,
    A = 41,      // letters A..Z are 41..66
    Z = 66,
    backspace = 67,
    enter = 68,
    escape = 69,
    suppr = 70,  // forward delete
    unsupported = 71,
};

// The digit key for 0..9 and the letter keys for 'a'..'z' and 'A'..'Z'; any
// other character gives Key::unsupported.
constexpr Key keyForCharacter(char c) noexcept {
    if (c >= '0' && c <= '9') return Key(int(Key::digit0) + (c - '0'));
    if (c >= 'a' && c <= 'z') return Key(int(Key::a) + (c - 'a'));
    if (c >= 'A' && c <= 'Z') return Key(int(Key::A) + (c - 'A'));
    return Key::unsupported;
}

// Where the editor sees the pointer: a window reports a position given in whole
// pixels from its top-left corner 2 pixels to the left and 3 pixels higher. Every
// native window applies the same offsets, so a widget is hit at the same spot
// on each platform.
struct BufferPoint {
    int x;
    int y;
};
constexpr BufferPoint bufferPointFromTopLeft(int x, int y) noexcept { return BufferPoint{x - 2, y - 3}; }

// Cursor shapes an element asks for. Values outside the list show the arrow.
enum class MouseCursor : std::int32_t {
    arrow = 0,
    linkSelect = 1,
    drag = 2,
    move = 3,
    verticalResize = 4,
    horizontalResize = 5,
    cross = 6,
    none = 7,  // hidden
};

// Byte order of the window buffer's pixels in memory. Alpha is always 255.
enum class WindowPixelFormat : std::int32_t {
    BGRA8 = 0,
    ARGB8 = 1,
    RGBA8 = 2,
};

// How a window is created: embedded in a parent view (the plug-in's use) or as a
// top-level application window of its own.
enum class WindowUsage : std::int32_t {
    host = 0,
    standalone = 1,
};

}  // namespace fw
