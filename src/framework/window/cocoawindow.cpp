#include "framework/window/cocoawindow.h"

#include <algorithm>
#include <cmath>

#include <Foundation/NSGeometry.h>

#include "framework/core/fatal.h"
#include "framework/core/fpcontrol.h"
#include "framework/platform/systemframeworks.h"
#include "framework/window/cocoaevents.h"
#include "framework/window/cocoaselectors.h"
#include "framework/window/cocoaviewclass.h"
#include "framework/window/objcsend.h"

namespace fw {

using cocoa::selectors;
using cocoa::send;
using cocoa::sendStret;

namespace {

constexpr double kTimerInterval = 1.0 / 60.0;
constexpr unsigned long kTrackingOptions = 0x81;  // always active, mouse entered and exited
constexpr double kAppKitVersion11 = 2022.0;       // the first AppKit whose views draw through layers
constexpr unsigned long kStandaloneWindowStyle = 1 | 2 | 4;  // titled, closable, miniaturizable
constexpr unsigned long kBackingStoreBuffered = 2;
constexpr CGBitmapInfo kImageAlphaNoneSkipFirst = 6;  // A, R, G, B bytes, alpha ignored
constexpr int kARGBFormat = int(WindowPixelFormat::ARGB8);
constexpr const char kRGBA8ContentsFormat[] = "RGBA8";

Class cls(const char* name) noexcept { return sys::cocoa().objc_getClass(name); }

id makeString(const char* text) noexcept {
    const auto& s = selectors();
    return send<id>(send<id>(cls("NSString"), s.alloc), s.initWithUTF8String, text);
}

// What Cocoa autoreleases during one of our calls goes when the call ends;
// a host may call outside any pool of its own.
class AutoreleasePool {
public:
    AutoreleasePool() : pool_(sys::cocoa().objc_autoreleasePoolPush()) {}
    ~AutoreleasePool() { sys::cocoa().objc_autoreleasePoolPop(pool_); }
    AutoreleasePool(const AutoreleasePool&) = delete;
    AutoreleasePool& operator=(const AutoreleasePool&) = delete;

private:
    void* pool_;
};

}  // namespace

CocoaWindow::CocoaWindow(WindowUsage usage, void* parentView, IWindowListener* listener, int width, int height)
    : listener_(listener) {
    const sys::CocoaApi& c = sys::cocoa();
    sys::coreGraphics();
    AutoreleasePool pool;
    const auto& s = selectors();
    c.NSApplicationLoad();

    colorSpace_ = send<id>(cls("NSColorSpace"), s.sRGBColorSpace);
    cgColorSpace_ = send<CGColorSpaceRef>(colorSpace_, s.CGColorSpace);

    startMs_ = nowMs();
    lastTickMs_ = startMs_;
    recomputeBeforeDraw_ = true;
    macOS11_ = *c.NSAppKitVersionNumber >= kAppKitVersion11;

    viewClass_ = cocoa::registerViewClass(className_, sizeof className_);
    if (viewClass_ == Nil) fatalError("CocoaWindow: cannot register the editor's view class");

    const NSRect frame{{0, 0}, {double(width), double(height)}};
    view_ = send<id>(cls(className_), s.alloc);
    cocoa::setWindowOfView(view_, this);
    view_ = send<id>(view_, s.initWithFrame, frame);
    if (view_ == nullptr) fatalError("CocoaWindow: the editor's view refused to initialise");

    // Common modes: the timer keeps firing during mouse tracking and modal loops.
    commonModes_ = makeString("kCFRunLoopCommonModes");
    timer_ = send<id>(cls("NSTimer"), s.timerWithTimeInterval, kTimerInterval, view_, s.onTimer, id(nullptr), BOOL(YES));
    send<void>(send<id>(cls("NSRunLoop"), s.currentRunLoop), s.addTimerForMode, timer_, commonModes_);

    if (macOS11_) send<void>(view_, s.setWantsLayer, BOOL(YES));

    if (usage == WindowUsage::standalone) {
        id app = send<id>(cls("NSApplication"), s.sharedApplication);
        standaloneWindow_ = send<id>(send<id>(cls("NSWindow"), s.alloc), s.initWithContentRect, frame,
                                     kStandaloneWindowStyle, kBackingStoreBuffered, BOOL(NO));
        if (standaloneWindow_ != nullptr) {
            send<void>(standaloneWindow_, s.setReleasedWhenClosed, BOOL(NO));
            send<void>(standaloneWindow_, s.setContentView, view_);
            send<void>(standaloneWindow_, s.makeKeyAndOrderFront, id(nullptr));
        }
        send<void>(app, s.activateIgnoringOtherApps, BOOL(YES));
    } else if (parentView != nullptr) {
        send<void>(static_cast<id>(parentView), s.addSubview, view_);
    }

    ScopedAudioFloatingPointState fp;
    readFrameAndResize();
}

CocoaWindow::~CocoaWindow() {
    AutoreleasePool pool;
    const auto& s = selectors();
    send<void>(timer_, s.invalidate);
    if (standaloneWindow_ != nullptr) {
        send<void>(standaloneWindow_, s.close);
        send<void>(standaloneWindow_, s.release);
    }
    if (trackingArea_ != nullptr) {
        send<void>(view_, s.removeTrackingArea, trackingArea_);
        send<void>(trackingArea_, s.release);
    }
    if (shownCursor_ == int(MouseCursor::none)) send<void>(cls("NSCursor"), s.unhide);
    // A host may keep the view after the editor closed: it must not reach us.
    // The view's class goes with the last reference to it.
    cocoa::setWindowOfView(view_, nullptr);
    send<void>(view_, s.removeFromSuperview);
    send<void>(view_, s.release);
    send<void>(commonModes_, s.release);
}

std::uint32_t CocoaWindow::nowMs() {
    const double seconds = send<double>(cls("NSDate"), selectors().timeIntervalSinceReferenceDate);
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(seconds * 1000.0));
}

std::uint32_t CocoaWindow::getTimeMs() { return nowMs(); }

void CocoaWindow::waitEventAndDispatch() {
    AutoreleasePool pool;
    const auto& s = selectors();
    id runLoop = send<id>(cls("NSRunLoop"), s.currentRunLoop);
    id defaultMode = makeString("kCFRunLoopDefaultMode");
    send<BOOL>(runLoop, s.runModeBeforeDate, defaultMode, send<id>(cls("NSDate"), s.distantFuture));
    send<void>(defaultMode, s.release);
}

bool CocoaWindow::terminated() {
    return standaloneWindow_ != nullptr && !send<BOOL>(standaloneWindow_, selectors().isVisible);
}

bool CocoaWindow::requestResize(int width, int height, bool) {
    send<void>(view_, selectors().setFrameSize, NSSize{double(width), double(height)});
    return true;
}

namespace {

// A view side as the editor's buffer side: whole pixels, at most kMaxViewSide
// (a host may make the view any size; beyond this only its top-left part shows).
int clampedPixel(double v, int lo, int hi) noexcept {
    if (!(v >= lo)) return lo;  // also NaN
    return v >= hi ? hi : static_cast<int>(v);
}

// The view's height in pixels, however large.
int bufferSideOrMore(double side) noexcept { return clampedPixel(side, 0, 1 << 30); }

int bufferSide(double side) noexcept {
    if (!(side > 0)) return 0;  // also NaN
    return side >= CocoaWindow::kMaxViewSide ? CocoaWindow::kMaxViewSide : static_cast<int>(side);
}

}  // namespace

void CocoaWindow::readFrameAndResize() {
    const NSRect frame = sendStret<NSRect>(view_, selectors().frame);
    const int width = bufferSide(frame.size.width);
    const int height = bufferSide(frame.size.height);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    buffer_ = listener_->onResized(width, height);
}

// ---- Events ----

CocoaWindow::Point CocoaWindow::mousePosition(id event) {
    const auto& s = selectors();
    const NSPoint inWindow = send<NSPoint>(event, s.locationInWindow);
    const NSPoint p = send<NSPoint>(view_, s.convertPointFromView, inWindow, id(nullptr));
    // The view's height now, not the one last laid out: while a resize waits for
    // its layout, the stored one would make a dragged grip jump.
    const NSRect bounds = sendStret<NSRect>(view_, s.bounds);
    const cocoa::ViewPoint b = cocoa::bufferPointFromView(p.x, p.y, bufferSideOrMore(bounds.size.height));
    return Point{b.x, b.y};
}

MouseState CocoaWindow::mouseState(id event) {
    const auto& s = selectors();
    return cocoa::mouseStateFrom(send<unsigned long>(cls("NSEvent"), s.pressedMouseButtons),
                                 send<unsigned long>(event, s.modifierFlags));
}

static Key keyOf(id event) {
    const auto& s = selectors();
    const unsigned short code = send<unsigned short>(event, s.keyCode);
    char16_t first = 0;
    if (id chars = send<id>(event, s.charactersIgnoringModifiers))
        if (send<unsigned long>(chars, s.length) > 0) first = send<char16_t>(chars, s.characterAtIndex, 0ul);
    return cocoa::keyFromEvent(code, first);
}

bool CocoaWindow::keyDown(id event) { return listener_->onKeyDown(keyOf(event)); }

void CocoaWindow::keyUp(id event) { listener_->onKeyUp(keyOf(event)); }

void CocoaWindow::mouseDown(id event, MouseButton button) {
    const Point p = mousePosition(event);
    const bool isDoubleClick = send<long>(event, selectors().clickCount) > 1;
    listener_->onMouseClick(p.x, p.y, button, isDoubleClick, mouseState(event));
    resetLastPosition_ = true;
}

void CocoaWindow::mouseUp(id event, MouseButton button) {
    const Point p = mousePosition(event);
    listener_->onMouseRelease(p.x, p.y, button, mouseState(event));
}

void CocoaWindow::mouseMoved(id event) {
    const Point p = mousePosition(event);
    int dx = p.x - lastX_;
    int dy = p.y - lastY_;
    if (resetLastPosition_) {
        dx = dy = 0;
        resetLastPosition_ = false;
    }
    listener_->onMouseMove(p.x, p.y, dx, dy, mouseState(event));
    setCursor(listener_->getMouseCursor());
    lastX_ = p.x;
    lastY_ = p.y;
}

void CocoaWindow::scrollWheel(id event) {
    const auto& s = selectors();
    const int stepX = cocoa::wheelStep(send<double>(event, s.deltaX));
    const int stepY = cocoa::wheelStep(send<double>(event, s.deltaY));
    if (stepX == 0 && stepY == 0) return;
    const Point p = mousePosition(event);
    listener_->onMouseWheel(p.x, p.y, stepX, stepY, mouseState(event));
}

void CocoaWindow::mouseEntered() {
    shownCursor_ = -1;
    setCursor(listener_->getMouseCursor());
}

void CocoaWindow::mouseExited() { listener_->onMouseExitedWindow(); }

void CocoaWindow::setCursor(MouseCursor cursor) {
    const auto& s = selectors();
    const int wanted = int(cursor);
    if (wanted == shownCursor_) return;
    const bool wasHidden = shownCursor_ == int(MouseCursor::none);
    shownCursor_ = wanted;
    if (cursor == MouseCursor::none) {
        if (!wasHidden) send<void>(cls("NSCursor"), s.hide);
        return;
    }
    if (wasHidden) send<void>(cls("NSCursor"), s.unhide);
    const char* shape = cocoa::cursorSelectorFor(cursor);
    send<void>(send<id>(cls("NSCursor"), sys::cocoa().sel_registerName(shape)), s.set);
}

void CocoaWindow::updateTrackingAreas() {
    const auto& s = selectors();
    if (trackingArea_ != nullptr) {
        send<void>(view_, s.removeTrackingArea, trackingArea_);
        send<void>(trackingArea_, s.release);
    }
    const NSRect bounds = sendStret<NSRect>(view_, s.bounds);
    trackingArea_ = send<id>(send<id>(cls("NSTrackingArea"), s.alloc), s.initTrackingArea, bounds, kTrackingOptions,
                             view_, id(nullptr));
    send<void>(view_, s.addTrackingArea, trackingArea_);
}

void CocoaWindow::viewDidMoveToWindow() {
    const auto& s = selectors();
    id window = send<id>(view_, s.window);
    if (window == nullptr) {
        // A drag cannot go on in a view taken off the screen.
        listener_->onMouseCaptureCancelled();
        return;
    }
    everInWindow_ = true;
    send<BOOL>(window, s.makeFirstResponder, view_);
    send<void>(window, s.setAcceptsMouseMovedEvents, BOOL(YES));
}

void CocoaWindow::layout() { readFrameAndResize(); }

void CocoaWindow::viewWillDraw() {
    if (!macOS11_) return;
    const auto& s = selectors();
    if (id layer = send<id>(view_, s.layer)) {
        id format = makeString(kRGBA8ContentsFormat);
        send<void>(layer, s.setContentsFormat, format);
        send<void>(format, s.release);
    }
}

// ---- Frames ----

void CocoaWindow::onTimer() {
    const auto& s = selectors();
    // The host closed the window holding the view and did not put it in another
    // by this tick: the editor closes (and destroys this window).
    if (everInWindow_ && send<id>(view_, s.window) == nullptr) {
        listener_->onHostClosedView();
        return;
    }
    const std::uint32_t now = nowMs();
    listener_->onAnimate((now - lastTickMs_) * 0.001, (now - startMs_) * 0.001);
    lastTickMs_ = now;
    listener_->recomputeDirtyAreas();
    recomputeBeforeDraw_ = false;
    const Box r = listener_->getDirtyRectangle();
    if (r.empty()) return;
    const NSRect bounds = sendStret<NSRect>(view_, s.bounds);
    const cocoa::FlippedRect f =
        cocoa::flipToView(r.minX, r.minY, r.maxX, r.maxY, bufferSideOrMore(bounds.size.height));
    send<void>(view_, s.setNeedsDisplayInRect, NSRect{{double(f.x), double(f.y)}, {double(f.width), double(f.height)}});
}

void CocoaWindow::drawRect(CGRect rect) {
    const auto& s = selectors();
    const sys::CoreGraphicsApi& cg = sys::coreGraphics();
    id graphicsContext = send<id>(cls("NSGraphicsContext"), s.currentContext);
    if (recomputeBeforeDraw_) {
        recomputeBeforeDraw_ = false;
        listener_->recomputeDirtyAreas();
    }
    listener_->onDraw(WindowPixelFormat(kARGBFormat));
    if (graphicsContext == nullptr || buffer_.empty()) return;
    CGContextRef context = send<CGContextRef>(graphicsContext, s.CGContext);

    // The part of the buffer under rect, in whole pixels. The buffer's top row is
    // the view's top row (they differ only for a view above the largest buffer).
    const int viewHeight = bufferSideOrMore(sendStret<NSRect>(view_, s.bounds).size.height);
    const int x0 = clampedPixel(std::floor(rect.origin.x), 0, buffer_.w);
    const int x1 = clampedPixel(std::ceil(rect.origin.x + rect.size.width), 0, buffer_.w);
    const int y0 = clampedPixel(std::floor(rect.origin.y), viewHeight - buffer_.h, viewHeight);
    const int y1 = clampedPixel(std::ceil(rect.origin.y + rect.size.height), viewHeight - buffer_.h, viewHeight);
    const int w = x1 - x0;
    const int h = y1 - y0;
    if (w <= 0 || h <= 0 || context == nullptr) return;

    // No copy: the provider reads the buffer rows in place, top row first.
    const int topRow = viewHeight - y1;
    const auto* first = reinterpret_cast<const std::uint8_t*>(buffer_.scanline(topRow) + x0);
    const std::size_t size = std::size_t(h - 1) * std::size_t(buffer_.pitch) + std::size_t(w) * 4;
    CGDataProviderRef provider = cg.CGDataProviderCreateWithData(nullptr, first, size, nullptr);
    CGImageRef image = cg.CGImageCreate(std::size_t(w), std::size_t(h), 8, 32, std::size_t(buffer_.pitch),
                                        cgColorSpace_, kImageAlphaNoneSkipFirst, provider, nullptr, true,
                                        kCGRenderingIntentDefault);
    if (image != nullptr) {
        cg.CGContextDrawImage(context, CGRect{{double(x0), double(y0)}, {double(w), double(h)}}, image);
        cg.CGImageRelease(image);
    }
    cg.CGDataProviderRelease(provider);
}

// ---- Factory ----

namespace {

class CocoaWindowFactory final : public IWindowFactory {
public:
    std::unique_ptr<IWindow> createWindow(WindowUsage usage, void* parentWindow, IWindowListener* listener,
                                          int width, int height) override {
        return std::make_unique<CocoaWindow>(usage, parentWindow, listener, width, height);
    }
};

}  // namespace

IWindowFactory& nativeWindowFactory() noexcept {
    static CocoaWindowFactory factory;
    return factory;
}

}  // namespace fw
