#include "framework/window/offscreenwindow.h"

#include <algorithm>
#include <cstring>

namespace fw {

OffscreenWindow::OffscreenWindow(IWindowListener* listener, int width, int height, WindowPixelFormat format)
    : listener_(listener), format_(format) {
    resized(width, height);
}

OffscreenWindow::~OffscreenWindow() = default;

void OffscreenWindow::resized(int width, int height) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    buffer_ = listener_->onResized(width_, height_);
    // The editor may refuse (for instance after closeUI): show nothing then.
    if (buffer_.w != width_ || buffer_.h != height_) buffer_ = ImageRef<RGBA>{};
    screen_.size(buffer_.w, buffer_.h);
    screen_.fillAll(RGBA{});
    invalid_ = Box{0, 0, width_, height_};
}

bool OffscreenWindow::requestResize(int width, int height, bool) {
    resized(width, height);
    return true;
}

Box OffscreenWindow::tick(int elapsedMs) {
    timeMs_ += std::uint32_t(std::max(elapsedMs, 0));
    listener_->onAnimate((timeMs_ - lastTickMs_) * 0.001, timeMs_ * 0.001);
    lastTickMs_ = timeMs_;
    listener_->recomputeDirtyAreas();
    recomputeBeforeDraw_ = false;
    const Box r = listener_->getDirtyRectangle().intersection(Box{0, 0, width_, height_});
    if (!r.empty()) invalid_ = invalid_.expand(r);
    return r;
}

Box OffscreenWindow::paint() {
    const Box r = invalid_.intersection(buffer_.bounds());
    invalid_ = Box{};
    if (r.empty()) return Box{};
    if (recomputeBeforeDraw_) {
        recomputeBeforeDraw_ = false;
        listener_->recomputeDirtyAreas();
    }
    listener_->onDraw(format_);
    ++drawCount_;
    for (int y = r.minY; y < r.maxY; ++y)
        std::memcpy(screen_.scanline(y) + r.minX, buffer_.scanline(y) + r.minX, std::size_t(r.width()) * sizeof(RGBA));
    return r;
}

bool OffscreenWindow::mouseDown(int x, int y, MouseButton button, bool isDoubleClick, MouseState state) {
    resetMousePosition_ = true;
    return listener_->onMouseClick(x, y, button, isDoubleClick, state);
}

bool OffscreenWindow::mouseUp(int x, int y, MouseButton button, MouseState state) {
    return listener_->onMouseRelease(x, y, button, state);
}

void OffscreenWindow::mouseMove(int x, int y, MouseState state) {
    if (resetMousePosition_) {
        lastMouseX_ = x;
        lastMouseY_ = y;
        resetMousePosition_ = false;
    }
    listener_->onMouseMove(x, y, x - lastMouseX_, y - lastMouseY_, state);
    cursor_ = listener_->getMouseCursor();
    lastMouseX_ = x;
    lastMouseY_ = y;
}

bool OffscreenWindow::mouseWheel(int x, int y, float deltaX, float deltaY, MouseState state) {
    const int sx = (deltaX > 0) - (deltaX < 0);
    const int sy = (deltaY > 0) - (deltaY < 0);
    if (sx == 0 && sy == 0) return false;
    return listener_->onMouseWheel(x, y, sx, sy, state);
}

bool OffscreenWindow::keyDown(Key key) { return listener_->onKeyDown(key); }
bool OffscreenWindow::keyUp(Key key) { return listener_->onKeyUp(key); }
void OffscreenWindow::mouseExited() { listener_->onMouseExitedWindow(); }
void OffscreenWindow::captureLost() { listener_->onMouseCaptureCancelled(); }

std::unique_ptr<IWindow> OffscreenWindowFactory::createWindow(WindowUsage, void*, IWindowListener* listener,
                                                              int width, int height) {
    auto window = std::make_unique<OffscreenWindow>(listener, width, height, format_);
    last_ = window.get();
    ++created_;
    return window;
}

}  // namespace fw
