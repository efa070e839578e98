#pragma once
// IWindow: what the editor holds of its window. A window is created by a
// window factory for an editor's window listener, reports its size with
// onResized, ticks 60 times a second (onAnimate, recomputeDirtyAreas,
// getDirtyRectangle, then invalidation) and calls onDraw when it repaints.
// Native windows and the off-screen window implement it.

#include <cstdint>
#include <memory>

#include "framework/window/iwindowlistener.h"
#include "framework/window/windowevents.h"

namespace fw {

class IWindow {
public:
    virtual ~IWindow() = default;

    // UI thread. Stand-alone use only: waits for one system event and dispatches it.
    virtual void waitEventAndDispatch() = 0;
    // UI thread. Stand-alone use only: true once the window was closed.
    virtual bool terminated() = 0;
    // UI thread. A millisecond clock.
    virtual std::uint32_t getTimeMs() = 0;
    // UI thread. The native view (what the host embeds).
    virtual void* systemHandle() = 0;
    // UI thread. Resizes the drawable area (and the parent when asked); true on success.
    virtual bool requestResize(int width, int height, bool alsoResizeParentWindow) = 0;
};

// Creates the windows an editor opens. The editor owns every window it gets.
class IWindowFactory {
public:
    virtual ~IWindowFactory() = default;

    // UI thread. A window of `width` x `height` inside `parentWindow` (may be
    // null) calling `listener`; it calls listener->onResized before returning.
    // Null when no window can be created.
    virtual std::unique_ptr<IWindow> createWindow(WindowUsage usage, void* parentWindow, IWindowListener* listener,
                                                  int width, int height) = 0;
};

// Any thread. This platform's native windows (CocoaWindow), process-wide.
IWindowFactory& nativeWindowFactory() noexcept;

}  // namespace fw
