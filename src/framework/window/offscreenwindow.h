#pragma once
// OffscreenWindow: an IWindow without a window system, for tests, benchmarks and
// tools. It keeps a virtual millisecond clock, runs the same tick as a native
// window (onAnimate, recomputeDirtyAreas, getDirtyRectangle, invalidation),
// paints with onDraw when something is invalid and copies the invalid part of
// the window buffer to its "screen" image, which is what a user would see.
// Events are injected with the mouse and key methods, with the deltas and
// cursor updates a native window produces.
//
// Everything runs on the thread that drives it (the UI thread of a test).

#include <cstdint>
#include <memory>

#include "framework/graphics/image.h"
#include "framework/window/iwindow.h"

namespace fw {

class OffscreenWindow final : public IWindow {
public:
    // UI thread. Calls listener->onResized(width, height) before returning.
    OffscreenWindow(IWindowListener* listener, int width, int height,
                    WindowPixelFormat format = WindowPixelFormat::RGBA8);
    ~OffscreenWindow() override;

    // ---- IWindow (UI thread) ----
    void waitEventAndDispatch() override {}
    bool terminated() override { return false; }
    std::uint32_t getTimeMs() override { return timeMs_; }
    void* systemHandle() override { return this; }
    // Stores the size, reports it with onResized and invalidates the whole window.
    bool requestResize(int width, int height, bool alsoResizeParentWindow) override;

    // ---- Driving (UI thread) ----
    // One timer tick `elapsedMs` after the previous one; returns the rectangle
    // the editor asked to invalidate (it is added to the invalid area).
    Box tick(int elapsedMs = 16);
    // When the invalid area is not empty: onDraw, then copy the invalid area of
    // the window buffer to the screen image and clear it. Returns what was shown.
    Box paint();
    // tick() then paint().
    Box frame(int elapsedMs = 16) {
        tick(elapsedMs);
        return paint();
    }

    // ---- Events (UI thread), window coordinates ----
    bool mouseDown(int x, int y, MouseButton button, bool isDoubleClick = false, MouseState state = {});
    bool mouseUp(int x, int y, MouseButton button, MouseState state = {});
    // Delta from the previous position (0 on the first move after a press), then
    // the cursor is asked for.
    void mouseMove(int x, int y, MouseState state = {});
    // Deltas become single steps of -1, 0 or +1; no movement sends nothing.
    bool mouseWheel(int x, int y, float deltaX, float deltaY, MouseState state = {});
    bool keyDown(Key key);
    bool keyUp(Key key);
    void mouseExited();
    void captureLost();

    // ---- Read-back ----
    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }
    WindowPixelFormat pixelFormat() const noexcept { return format_; }
    // The editor's window buffer as last returned by onResized.
    ImageRef<const RGBA> windowBuffer() const noexcept { return buffer_; }
    // What has been shown so far: the window buffer's invalid parts at each paint.
    ImageRef<const RGBA> screen() const noexcept { return screen_; }
    Box invalidArea() const noexcept { return invalid_; }
    MouseCursor currentCursor() const noexcept { return cursor_; }
    int drawCount() const noexcept { return drawCount_; }

private:
    void resized(int width, int height);

    IWindowListener* listener_;
    WindowPixelFormat format_;
    int width_ = 0;
    int height_ = 0;
    ImageRef<RGBA> buffer_;
    OwnedImage<RGBA> screen_;
    Box invalid_;
    std::uint32_t timeMs_ = 0;
    std::uint32_t lastTickMs_ = 0;
    bool recomputeBeforeDraw_ = true;
    int lastMouseX_ = 0;
    int lastMouseY_ = 0;
    bool resetMousePosition_ = true;
    MouseCursor cursor_ = MouseCursor::arrow;
    int drawCount_ = 0;
};

// Creates OffscreenWindows for an editor's openUI and remembers the last one.
class OffscreenWindowFactory final : public IWindowFactory {
public:
    explicit OffscreenWindowFactory(WindowPixelFormat format = WindowPixelFormat::RGBA8) noexcept : format_(format) {}

    // UI thread.
    std::unique_ptr<IWindow> createWindow(WindowUsage usage, void* parentWindow, IWindowListener* listener,
                                          int width, int height) override;

    // The window made by the last createWindow (owned by the editor; dangles once
    // the editor closed it).
    OffscreenWindow* lastWindow() const noexcept { return last_; }
    int windowsCreated() const noexcept { return created_; }

private:
    WindowPixelFormat format_;
    OffscreenWindow* last_ = nullptr;
    int created_ = 0;
};

}  // namespace fw
