// XTest input and XGetImage read-back.

#include "support/xinput.h"

#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <bit>

namespace testsupport {

XInput::XInput() {
    display_ = XOpenDisplay(nullptr);
    if (display_ == nullptr) return;
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    xtest_ = XTestQueryExtension(display_, &eventBase, &errorBase, &major, &minor) == True;
}

XInput::~XInput() {
    if (display_) XCloseDisplay(display_);
}

void XInput::moveTo(int rootX, int rootY) {
    if (!ok()) return;
    XTestFakeMotionEvent(display_, DefaultScreen(display_), rootX, rootY, CurrentTime);
    sync();
}

void XInput::moveToWindow(Window window, int x, int y) {
    if (!ok()) return;
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(display_, window, DefaultRootWindow(display_), x, y, &rootX, &rootY, &child);
    moveTo(rootX, rootY);
}

void XInput::press(unsigned button) {
    if (!ok()) return;
    XTestFakeButtonEvent(display_, button, True, CurrentTime);
    sync();
}

void XInput::release(unsigned button) {
    if (!ok()) return;
    XTestFakeButtonEvent(display_, button, False, CurrentTime);
    sync();
}

void XInput::click(unsigned button) {
    press(button);
    release(button);
}

void XInput::key(unsigned long keysym, bool down) {
    if (!ok()) return;
    const KeyCode code = XKeysymToKeycode(display_, keysym);
    if (code == 0) return;
    XTestFakeKeyEvent(display_, code, down ? True : False, CurrentTime);
    sync();
}

void XInput::tap(unsigned long keysym, std::initializer_list<unsigned long> modifiers) {
    for (unsigned long m : modifiers) key(m, true);
    key(keysym, true);
    key(keysym, false);
    for (auto it = modifiers.end(); it != modifiers.begin();) key(*--it, false);
}

void XInput::sync() {
    if (display_) XSync(display_, False);
}

namespace {

// Xlib's default handler ends the process on any error; a read of an area
// the window does not have (it was resized meanwhile) is an empty result.
int ignoreError(Display*, XErrorEvent*) { return 0; }

}  // namespace

std::vector<uint8_t> grabWindow(Display* display, Window window, int x, int y, int width, int height) {
    std::vector<uint8_t> out;
    if (display == nullptr || width <= 0 || height <= 0) return out;
    XWindowAttributes geometry{};
    if (!XGetWindowAttributes(display, window, &geometry) || x < 0 || y < 0 || x + width > geometry.width ||
        y + height > geometry.height)
        return out;
    XSync(display, False);
    auto* previous = XSetErrorHandler(ignoreError);
    XImage* img = XGetImage(display, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
                            AllPlanes, ZPixmap);
    XSync(display, False);
    XSetErrorHandler(previous);
    if (img == nullptr) return out;
    const unsigned long masks[3] = {geometry.visual->red_mask, geometry.visual->green_mask,
                                    geometry.visual->blue_mask};
    out.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col) {
            const unsigned long pixel = XGetPixel(img, col, row);
            for (unsigned long mask : masks) {
                const int shift = std::countr_zero(mask);
                const int bits = std::popcount(mask);
                const unsigned long v = (pixel & mask) >> shift;
                out.push_back(static_cast<uint8_t>(bits >= 8 ? v >> (bits - 8) : v << (8 - bits)));
            }
            out.push_back(255);
        }
    XDestroyImage(img);
    return out;
}

}  // namespace testsupport
