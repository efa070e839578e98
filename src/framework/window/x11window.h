#pragma once
// X11Window: the editor's window on X11 (the LV2 UI's). A child window of the
// host's parent window on a Display connection of its own, painted with
// XPutImage from the editor's window buffer. It has no timer: whoever owns it
// calls idle() (an LV2 host through the UI's idle interface), which handles the
// pending X events and, at most 60 times a second, ticks the editor and paints
// what changed.
//
// A dead server or a destroyed parent never ends the process: the connection
// gets an IO exit handler of its own, and its protocol and IO errors are
// trapped while this window makes requests (the process's handlers are put
// back after each call). After either, the window stays quiet and idle()
// returns false.
//
// Thread: everything, construction and destruction included, runs on the UI
// thread (the host's, for an LV2 UI). Every listener call runs under the audio
// floating-point state and restores the caller's.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "framework/graphics/image.h"
#include "framework/math/box.h"
#include "framework/window/iwindow.h"
#include "framework/window/x11events.h"

namespace fw {

class X11Window final : public IWindow {
public:
    // The largest side the window takes; larger requests are cut to it.
    static constexpr int kMaxSide = 8192;
    // Called after the window resized itself on the editor's request, so that
    // the host can follow (an LV2 UI forwards it to ui:resize).
    using HostResize = std::function<void(int width, int height)>;

    // UI thread. Opens a connection (XOpenDisplay(nullptr)) and a window of
    // `width` x `height` inside `parentWindow` (an X Window id; the root window
    // when null), maps it and calls listener->onResized before returning.
    // WindowUsage::standalone makes a top-level window instead. Null when the
    // display cannot be opened or the parent does not exist.
    static std::unique_ptr<X11Window> open(WindowUsage usage, void* parentWindow, IWindowListener* listener,
                                           int width, int height, HostResize hostResize = {});
    ~X11Window() override;
    X11Window(const X11Window&) = delete;
    X11Window& operator=(const X11Window&) = delete;

    // ---- IWindow (UI thread) ----
    // Stand-alone use: waits up to one tick for an X event, then runs idle().
    void waitEventAndDispatch() override;
    // True once the window is gone: closed by the user (stand-alone), destroyed
    // with its parent, or its display lost.
    bool terminated() override;
    // A steady millisecond clock.
    std::uint32_t getTimeMs() override;
    // The X Window id as a pointer (what an LV2 X11 UI returns as its widget).
    void* systemHandle() override;
    // Resizes the window (1 .. kMaxSide a side), reports the new size with
    // onResized and tells the host through HostResize.
    bool requestResize(int width, int height, bool alsoResizeParentWindow) override;

    // UI thread. Handles every pending X event, then ticks when at least 1/60 s
    // passed since the last tick, then paints the invalid area. False when the
    // window can no longer show (see terminated()).
    bool idle();

    // ---- State, for tests (UI thread) ----
    unsigned long xWindow() const noexcept { return window_; }
    bool displayLost() const noexcept { return lost_; }
    bool windowDestroyed() const noexcept { return destroyed_; }
    // True when the visual takes the editor's BGRA8 bytes as they are.
    bool directPixels() const noexcept { return direct_; }
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }

private:
    struct Resources;
    X11Window(IWindowListener* listener, HostResize hostResize);
    bool create(WindowUsage usage, void* parentWindow, int width, int height);
    void handleEvent(void* event);
    void resized(int width, int height);
    void tickIfDue();
    void paint();
    void putArea(const Box& area);
    void setCursor(MouseCursor cursor);
    BufferPoint position(int x, int y) const noexcept { return bufferPointFromTopLeft(x, y); }

    IWindowListener* listener_;
    HostResize hostResize_;
    std::unique_ptr<Resources> x_;
    unsigned long window_ = 0;
    bool lost_ = false;
    bool destroyed_ = false;
    bool closedByUser_ = false;
    bool direct_ = false;

    int width_ = 0;
    int height_ = 0;
    ImageRef<RGBA> buffer_;
    Box invalid_;
    bool recomputeBeforeDraw_ = true;

    int lastX_ = 0;
    int lastY_ = 0;
    bool resetLastPosition_ = true;
    x11::DoubleClickDetector clicks_;
    int shownCursor_ = -1;  // unknown

    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastTick_;
};

// Opens X11Windows that tell the host of their own resizes through `hostResize`.
class X11WindowFactory final : public IWindowFactory {
public:
    explicit X11WindowFactory(X11Window::HostResize hostResize = {}) : hostResize_(std::move(hostResize)) {}
    // UI thread. Null when the window cannot be opened.
    std::unique_ptr<IWindow> createWindow(WindowUsage usage, void* parentWindow, IWindowListener* listener,
                                          int width, int height) override;

private:
    X11Window::HostResize hostResize_;
};

}  // namespace fw
