#pragma once
// IWindowListener: what a window calls on the editor. Coordinates are window
// buffer pixels, origin top left. Every call comes from the UI thread, one at a
// time; the editor sets the audio floating-point state for the duration of each
// call and restores the caller's.

#include "framework/graphics/image.h"
#include "framework/math/box.h"
#include "framework/window/windowevents.h"

namespace fw {

class IWindowListener {
public:
    virtual ~IWindowListener() = default;

    // UI thread. A button press; true when an element took it.
    virtual bool onMouseClick(int x, int y, MouseButton button, bool isDoubleClick, MouseState mstate) = 0;
    // UI thread. A button release; ends a drag. Always consumed.
    virtual bool onMouseRelease(int x, int y, MouseButton button, MouseState mstate) = 0;
    // UI thread. One wheel step per axis (-1, 0 or +1); true when consumed.
    virtual bool onMouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState mstate) = 0;
    // UI thread. A move or drag; (dx, dy) is the change since the previous position.
    virtual void onMouseMove(int x, int y, int dx, int dy, MouseState mstate) = 0;
    // UI thread. true when consumed (an unconsumed press goes back to the host).
    virtual bool onKeyDown(Key key) = 0;
    virtual bool onKeyUp(Key key) = 0;

    // UI thread. Paint the dirty areas into the window buffer in `pf` byte order.
    virtual void onDraw(WindowPixelFormat pf) = 0;
    // UI thread. The drawable size changed (also once at creation); returns the
    // window buffer the window shows from, pitch = width * 4.
    virtual ImageRef<RGBA> onResized(int width, int height) = 0;
    // UI thread, every tick after onAnimate: collect the posted dirty rectangles.
    virtual void recomputeDirtyAreas() = 0;
    // UI thread, after recomputeDirtyAreas: the window area to invalidate (may be empty).
    virtual Box getDirtyRectangle() = 0;
    // UI thread. The window lost the mouse capture: ends a drag.
    virtual void onMouseCaptureCancelled() = 0;
    // UI thread. The pointer left the window.
    virtual void onMouseExitedWindow() = 0;
    // UI thread, every tick: seconds since the previous tick and since creation.
    virtual void onAnimate(double dt, double time) = 0;
    // UI thread. The cursor to show now.
    virtual MouseCursor getMouseCursor() = 0;
    // UI thread, from a tick. The host took the view out of its window for good
    // (it closed the window): the editor closes. The window that calls is
    // destroyed during the call and touches nothing after it.
    virtual void onHostClosedView() {}
};

}  // namespace fw
