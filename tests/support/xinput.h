#pragma once
// Synthetic input for tests through the XTest extension, on a connection of
// its own to the server named by DISPLAY, and reading back window pixels.
// Use from one thread.

#include <X11/Xlib.h>

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace testsupport {

class XInput {
public:
    XInput();
    ~XInput();
    XInput(const XInput&) = delete;
    XInput& operator=(const XInput&) = delete;

    // False when the display could not be opened or has no XTest.
    bool ok() const { return display_ != nullptr && xtest_; }
    Display* display() const { return display_; }

    void moveTo(int rootX, int rootY);
    // A point inside a window, in its own pixels from its top-left corner.
    void moveToWindow(Window window, int x, int y);
    // X button numbers: 1 left, 2 middle, 3 right, 4/5 wheel, 8/9 side buttons.
    void press(unsigned button);
    void release(unsigned button);
    void click(unsigned button);
    void key(unsigned long keysym, bool press);
    // Presses the modifiers, taps the key, releases the modifiers.
    void tap(unsigned long keysym, std::initializer_list<unsigned long> modifiers = {});
    // Waits until the server has handled everything sent so far.
    void sync();

private:
    Display* display_ = nullptr;
    bool xtest_ = false;
};

// The pixels of an area of a window, RGBA with 8 bits each (A = 255), row
// after row from the top; empty when the window cannot be read or the area
// reaches outside it.
std::vector<uint8_t> grabWindow(Display* display, Window window, int x, int y, int width, int height);

}  // namespace testsupport
