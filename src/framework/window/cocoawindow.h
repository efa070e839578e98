#pragma once
// CocoaWindow: the editor's native window on macOS. It registers a custom NSView
// class of its own ("PluginCustomView_" + UUID, so several plug-ins or versions
// in one host never share one), runs a 1/60 s NSTimer in the common run-loop
// modes, turns the view's Cocoa events into the editor's IWindowListener calls
// and shows the editor's window buffer in drawRect: through CoreGraphics.
// Cocoa and CoreGraphics are reached only through the run-time loaded tables.
//
// Thread: everything, construction and destruction included, runs on the host's
// main (UI) thread, where Cocoa calls the view and fires the timer. Every
// callback into the editor runs under the audio floating-point state and
// restores the caller's.

#include <cstdint>
#include <memory>

#include <CoreGraphics/CoreGraphics.h>
#include <objc/objc.h>

#include "framework/graphics/image.h"
#include "framework/window/iwindow.h"

namespace fw {

class CocoaWindow final : public IWindow {
public:
    // The largest buffer side reported to the editor; a larger view shows its
    // top-left part.
    static constexpr int kMaxViewSide = 8192;

    // Calls listener->onResized(width, height) before returning. WindowUsage::host
    // adds the view to `parentView` when one is given (the Audio Unit view hands
    // it to the host instead); WindowUsage::standalone puts it in a window of its
    // own and activates the application.
    CocoaWindow(WindowUsage usage, void* parentView, IWindowListener* listener, int width, int height);
    ~CocoaWindow() override;
    CocoaWindow(const CocoaWindow&) = delete;
    CocoaWindow& operator=(const CocoaWindow&) = delete;

    // ---- IWindow (UI thread) ----
    // Stand-alone use: runs the application's run loop until one event or timer was handled.
    void waitEventAndDispatch() override;
    // Stand-alone use: true once the user closed the window.
    bool terminated() override;
    // NSDate's reference-date clock in milliseconds.
    std::uint32_t getTimeMs() override;
    // The NSView.
    void* systemHandle() override { return view_; }
    // Sets the view's frame size; the view's layout then reports it with onResized.
    bool requestResize(int width, int height, bool alsoResizeParentWindow) override;

    // ---- The view's methods (UI thread, called by Cocoa through the view class) ----
    // Each returns true when the event was consumed (keyDown: passes the others on).
    bool keyDown(id event);
    void keyUp(id event);
    void mouseDown(id event, MouseButton button);
    void mouseUp(id event, MouseButton button);
    void mouseMoved(id event);
    void scrollWheel(id event);
    void mouseEntered();
    void mouseExited();
    void updateTrackingAreas();
    void viewDidMoveToWindow();
    void layout();
    void viewWillDraw();
    void drawRect(CGRect rect);
    void onTimer();

    // The view class's name (unique to this window).
    const char* viewClassName() const noexcept { return className_; }

private:
    struct Point {
        int x;
        int y;
    };
    Point mousePosition(id event);
    MouseState mouseState(id event);
    void setCursor(MouseCursor cursor);
    void readFrameAndResize();
    std::uint32_t nowMs();

    IWindowListener* listener_;
    Class viewClass_ = Nil;
    char className_[64] = {};
    id view_ = nullptr;
    id timer_ = nullptr;           // owned by the run loop; invalidated on destruction
    id commonModes_ = nullptr;     // NSString "kCFRunLoopCommonModes"
    id trackingArea_ = nullptr;
    id colorSpace_ = nullptr;      // NSColorSpace sRGBColorSpace (shared)
    CGColorSpaceRef cgColorSpace_ = nullptr;
    id standaloneWindow_ = nullptr;

    int width_ = 0;
    int height_ = 0;
    ImageRef<RGBA> buffer_;
    int lastX_ = 0;
    int lastY_ = 0;
    bool resetLastPosition_ = true;
    std::uint32_t startMs_ = 0;
    std::uint32_t lastTickMs_ = 0;
    bool recomputeBeforeDraw_ = true;
    bool macOS11_ = false;
    bool everInWindow_ = false;
    int shownCursor_ = -1;  // unknown
};

}  // namespace fw
