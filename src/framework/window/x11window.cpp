#include "framework/window/x11window.h"

#include <poll.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "framework/core/fpcontrol.h"

namespace fw {

namespace {

constexpr auto kTickInterval = std::chrono::microseconds(16667);  // 1/60 s

constexpr long kEventMask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            EnterWindowMask | LeaveWindowMask | KeyPressMask | KeyReleaseMask | StructureNotifyMask;

int clampedSide(int side) noexcept { return std::clamp(side, 1, X11Window::kMaxSide); }

// Errors on one connection while this code makes requests on it: protocol
// errors are recorded, a broken connection marks the window's display lost
// (Xlib's default IO error handler would end the process). Both handlers are
// process-wide, so they are installed only for the duration of a call and hand
// other connections' errors to the handlers that were there before. Traps nest
// (a resize asked for during an event).
class ErrorTrap {
public:
    ErrorTrap(Display* display, bool& lost) : display_(display), lost_(lost), outer_(top_) {
        top_ = this;
        previous_ = XSetErrorHandler(&ErrorTrap::onError);
        previousIO_ = XSetIOErrorHandler(&ErrorTrap::onIOError);
    }
    ~ErrorTrap() {
        // Errors of the requests made so far arrive before the handlers go.
        if (!lost_) XSync(display_, False);
        XSetIOErrorHandler(previousIO_);
        XSetErrorHandler(previous_);
        top_ = outer_;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Makes the pending requests' errors arrive now; true when there were none.
    bool syncAndCheck() {
        if (!lost_) XSync(display_, False);
        return !failed_ && !lost_;
    }

private:
    static ErrorTrap* trapOf(Display* display, const ErrorTrap** outermost) noexcept {
        for (ErrorTrap* t = top_; t != nullptr; t = t->outer_) {
            if (t->display_ == display) return t;
            *outermost = t;
        }
        return nullptr;
    }
    static int onError(Display* display, XErrorEvent* event) {
        const ErrorTrap* outermost = nullptr;
        if (ErrorTrap* t = trapOf(display, &outermost)) {
            t->failed_ = true;
            return 0;
        }
        return outermost != nullptr && outermost->previous_ != nullptr ? outermost->previous_(display, event) : 0;
    }
    // Returning hands over to the connection's exit handler (onIOErrorExit).
    static int onIOError(Display* display) {
        const ErrorTrap* outermost = nullptr;
        if (ErrorTrap* t = trapOf(display, &outermost)) {
            t->lost_ = true;
            return 0;
        }
        return outermost != nullptr && outermost->previousIO_ != nullptr ? outermost->previousIO_(display) : 0;
    }

    static inline ErrorTrap* top_ = nullptr;  // UI thread only
    Display* display_;
    bool& lost_;
    ErrorTrap* outer_;
    XErrorHandler previous_ = nullptr;
    XIOErrorHandler previousIO_ = nullptr;
    bool failed_ = false;
};

// Xlib's default exit ends the process; this one only records that the
// connection is gone, and the window goes quiet.
void onIOErrorExit(Display*, void* lost) { *static_cast<bool*>(lost) = true; }

}  // namespace

struct X11Window::Resources {
    Display* display = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    GC gc = nullptr;
    XImage* image = nullptr;    // over the window buffer (direct) or a converted copy
    Cursor cursors[8] = {};     // one per MouseCursor, made on first use
    Atom deleteWindow = 0;      // WM_DELETE_WINDOW, stand-alone use
};

X11Window::X11Window(IWindowListener* listener, HostResize hostResize)
    : listener_(listener), hostResize_(std::move(hostResize)), x_(std::make_unique<Resources>()) {
    start_ = std::chrono::steady_clock::now();
    lastTick_ = start_;
}

std::unique_ptr<X11Window> X11Window::open(WindowUsage usage, void* parentWindow, IWindowListener* listener,
                                           int width, int height, HostResize hostResize) {
    if (listener == nullptr) return nullptr;
    std::unique_ptr<X11Window> w(new X11Window(listener, std::move(hostResize)));
    if (!w->create(usage, parentWindow, width, height)) return nullptr;
    return w;
}

bool X11Window::create(WindowUsage usage, void* parentWindow, int width, int height) {
    Display* d = XOpenDisplay(nullptr);
    if (d == nullptr) return false;
    x_->display = d;
    XSetIOErrorExitHandler(d, &onIOErrorExit, &lost_);

    {
        ErrorTrap trap(d, lost_);
        const bool standalone = usage == WindowUsage::standalone;
        const Window parent = standalone || parentWindow == nullptr
                                  ? DefaultRootWindow(d)
                                  : Window(reinterpret_cast<std::uintptr_t>(parentWindow));
        XWindowAttributes parentAttributes{};
        if (XGetWindowAttributes(d, parent, &parentAttributes) == 0 || !trap.syncAndCheck()) return false;

        XSetWindowAttributes attributes{};
        attributes.event_mask = kEventMask;
        attributes.background_pixel = BlackPixel(d, DefaultScreen(d));
        attributes.border_pixel = 0;
        width_ = clampedSide(width);
        height_ = clampedSide(height);
        window_ = XCreateWindow(d, parent, 0, 0, unsigned(width_), unsigned(height_), 0, CopyFromParent, InputOutput,
                                CopyFromParent, CWEventMask | CWBackPixel | CWBorderPixel, &attributes);
        if (!trap.syncAndCheck()) {
            window_ = 0;
            return false;
        }
        if (standalone) {
            x_->deleteWindow = XInternAtom(d, "WM_DELETE_WINDOW", False);
            XSetWMProtocols(d, window_, &x_->deleteWindow, 1);
        }
        XWindowAttributes own{};
        XGetWindowAttributes(d, window_, &own);
        x_->visual = own.visual;
        x_->depth = own.depth;
        // The editor's BGRA8 bytes, read as little-endian 32-bit pixels, are
        // 0xAARRGGBB: any TrueColor visual of depth 24 or 32 with these masks
        // shows them as they are.
        direct_ = own.visual != nullptr && own.visual->c_class == TrueColor && (own.depth == 24 || own.depth == 32) &&
                  own.visual->red_mask == 0xFF0000 && own.visual->green_mask == 0xFF00 &&
                  own.visual->blue_mask == 0xFF;
        x_->gc = XCreateGC(d, window_, 0, nullptr);
        XMapWindow(d, window_);
        if (!trap.syncAndCheck()) return false;
    }

    ScopedAudioFloatingPointState fp;
    const int w = width_, h = height_;
    width_ = height_ = 0;
    resized(w, h);
    return true;
}

X11Window::~X11Window() {
    Display* d = x_->display;
    if (d == nullptr) return;
    {
        // On a lost connection the requests go nowhere, but Xlib's client-side
        // parts (the image, the GC) are freed all the same.
        ErrorTrap trap(d, lost_);
        if (x_->image != nullptr) {
            if (direct_) x_->image->data = nullptr;  // the editor's buffer, not ours
            XDestroyImage(x_->image);
        }
        for (Cursor& c : x_->cursors)
            if (c != 0 && !lost_) XFreeCursor(d, c);
        if (x_->gc != nullptr) XFreeGC(d, x_->gc);
        if (window_ != 0 && !destroyed_ && !lost_) XDestroyWindow(d, window_);
    }
    // Closing also frees whatever the server still holds for this connection.
    ErrorTrap trap(d, lost_);
    lost_ = true;  // nothing to wait for once closed
    XCloseDisplay(d);
}

std::uint32_t X11Window::getTimeMs() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_);
    return static_cast<std::uint32_t>(ms.count());
}

void* X11Window::systemHandle() { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window_)); }

bool X11Window::terminated() { return lost_ || destroyed_ || closedByUser_; }

void X11Window::waitEventAndDispatch() {
    if (terminated()) return;
    if (XPending(x_->display) == 0 && !lost_) {
        pollfd p{ConnectionNumber(x_->display), POLLIN, 0};
        poll(&p, 1, 16);
    }
    idle();
}

bool X11Window::requestResize(int width, int height, bool) {
    if (terminated()) return false;
    const int w = clampedSide(width), h = clampedSide(height);
    {
        ErrorTrap trap(x_->display, lost_);
        XResizeWindow(x_->display, window_, unsigned(w), unsigned(h));
        if (!trap.syncAndCheck()) return false;
    }
    {
        ScopedAudioFloatingPointState fp;
        resized(w, h);
    }
    if (hostResize_) hostResize_(w, h);
    return true;
}

void X11Window::resized(int width, int height) {
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    if (x_->image != nullptr) {
        if (direct_) x_->image->data = nullptr;
        XDestroyImage(x_->image);
        x_->image = nullptr;
    }
    buffer_ = listener_->onResized(width, height);
    // The editor may refuse a size (after closeUI, for instance): show nothing then.
    if (buffer_.w != width || buffer_.h != height || buffer_.empty()) {
        buffer_ = ImageRef<RGBA>{};
        return;
    }
    invalid_ = Box{0, 0, width, height};
    if (direct_) {
        x_->image = XCreateImage(x_->display, x_->visual, unsigned(x_->depth), ZPixmap, 0,
                                 reinterpret_cast<char*>(buffer_.pixels), unsigned(width), unsigned(height), 32,
                                 int(buffer_.pitch));
        // The buffer's bytes are B, G, R, A whatever this machine's byte order.
        if (x_->image != nullptr) x_->image->byte_order = LSBFirst;
    } else {
        x_->image = XCreateImage(x_->display, x_->visual, unsigned(x_->depth), ZPixmap, 0, nullptr, unsigned(width),
                                 unsigned(height), 32, 0);
        if (x_->image != nullptr) {
            x_->image->data = static_cast<char*>(std::calloc(std::size_t(x_->image->bytes_per_line), std::size_t(height)));
            if (x_->image->data == nullptr) {
                XDestroyImage(x_->image);
                x_->image = nullptr;
            }
        }
    }
}

bool X11Window::idle() {
    if (terminated()) return false;
    ScopedAudioFloatingPointState fp;
    ErrorTrap trap(x_->display, lost_);
    while (!lost_ && !destroyed_ && XPending(x_->display) > 0) {
        XEvent event;
        XNextEvent(x_->display, &event);
        if (lost_) break;
        handleEvent(&event);
    }
    if (terminated()) return false;
    tickIfDue();
    paint();
    return !terminated();
}

void X11Window::tickIfDue() {
    const auto now = std::chrono::steady_clock::now();
    if (now - lastTick_ < kTickInterval) return;
    const double dt = std::chrono::duration<double>(now - lastTick_).count();
    const double time = std::chrono::duration<double>(now - start_).count();
    lastTick_ = now;
    listener_->onAnimate(dt, time);
    listener_->recomputeDirtyAreas();
    recomputeBeforeDraw_ = false;
    invalid_ = invalid_.expand(listener_->getDirtyRectangle());
}

void X11Window::paint() {
    const Box area = invalid_.intersection(buffer_.bounds());
    invalid_ = Box{};
    if (area.empty() || x_->image == nullptr) return;
    if (recomputeBeforeDraw_) {
        recomputeBeforeDraw_ = false;
        listener_->recomputeDirtyAreas();
    }
    listener_->onDraw(direct_ ? WindowPixelFormat::BGRA8 : WindowPixelFormat::RGBA8);
    putArea(area);
}

namespace {

// An 8-bit channel scaled into the bits of `mask`.
unsigned long channelInMask(std::uint8_t value, unsigned long mask) noexcept {
    if (mask == 0) return 0;
    int shift = 0;
    while (((mask >> shift) & 1) == 0) ++shift;
    const unsigned long bits = mask >> shift;
    return ((static_cast<unsigned long>(value) * bits + 127) / 255) << shift;
}

}  // namespace

void X11Window::putArea(const Box& area) {
    XImage* image = x_->image;
    if (!direct_) {
        // RGBA8 bytes into the visual's own pixels.
        const Visual* v = x_->visual;
        for (int y = area.minY; y < area.maxY; ++y) {
            const auto* row = reinterpret_cast<const std::uint8_t*>(buffer_.scanline(y));
            for (int x = area.minX; x < area.maxX; ++x) {
                const std::uint8_t* p = row + std::size_t(x) * 4;
                const unsigned long pixel = channelInMask(p[0], v->red_mask) | channelInMask(p[1], v->green_mask) |
                                            channelInMask(p[2], v->blue_mask);
                XPutPixel(image, x, y, pixel);
            }
        }
    }
    XPutImage(x_->display, window_, x_->gc, image, area.minX, area.minY, area.minX, area.minY,
              unsigned(area.width()), unsigned(area.height()));
}

void X11Window::handleEvent(void* e) {
    XEvent& event = *static_cast<XEvent*>(e);
    if (event.xany.window != window_) return;
    switch (event.type) {
        case Expose: {
            const XExposeEvent& x = event.xexpose;
            invalid_ = invalid_.expand(Box{x.x, x.y, x.x + x.width, x.y + x.height});
            break;
        }
        case ConfigureNotify:
            resized(clampedSide(event.xconfigure.width), clampedSide(event.xconfigure.height));
            break;
        case DestroyNotify:
            // With its parent: a drag cannot go on, and nothing is drawn any more.
            destroyed_ = true;
            listener_->onMouseCaptureCancelled();
            break;
        case ClientMessage:
            if (x_->deleteWindow != 0 && Atom(event.xclient.data.l[0]) == x_->deleteWindow) closedByUser_ = true;
            break;
        case ButtonPress: {
            const XButtonEvent& b = event.xbutton;
            const BufferPoint p = position(b.x, b.y);
            const MouseState state = x11::mouseStateFrom(x11::stateAfterButton(b.state, b.button, true));
            MouseButton button{};
            int dx = 0, dy = 0;
            if (x11::pointerButton(b.button, button)) {
                const bool isDouble = clicks_.press(b.button, b.x, b.y, std::uint32_t(b.time));
                listener_->onMouseClick(p.x, p.y, button, isDouble, state);
                resetLastPosition_ = true;
            } else if (x11::wheelStep(b.button, dx, dy)) {
                listener_->onMouseWheel(p.x, p.y, dx, dy, state);
            }
            break;
        }
        case ButtonRelease: {
            const XButtonEvent& b = event.xbutton;
            MouseButton button{};
            if (!x11::pointerButton(b.button, button)) break;
            const BufferPoint p = position(b.x, b.y);
            listener_->onMouseRelease(p.x, p.y, button,
                                      x11::mouseStateFrom(x11::stateAfterButton(b.state, b.button, false)));
            break;
        }
        case MotionNotify: {
            const XMotionEvent& m = event.xmotion;
            const BufferPoint p = position(m.x, m.y);
            int dx = p.x - lastX_, dy = p.y - lastY_;
            if (resetLastPosition_) {
                dx = dy = 0;
                resetLastPosition_ = false;
            }
            listener_->onMouseMove(p.x, p.y, dx, dy, x11::mouseStateFrom(m.state));
            setCursor(listener_->getMouseCursor());
            lastX_ = p.x;
            lastY_ = p.y;
            break;
        }
        case EnterNotify:
            shownCursor_ = -1;
            setCursor(listener_->getMouseCursor());
            break;
        case LeaveNotify: listener_->onMouseExitedWindow(); break;
        case KeyPress:
        case KeyRelease: {
            KeySym keysym = NoSymbol;
            char text[8];
            XLookupString(&event.xkey, text, sizeof text, &keysym, nullptr);
            const Key key = x11::keyFromKeysym(keysym);
            if (event.type == KeyPress) listener_->onKeyDown(key);
            else listener_->onKeyUp(key);
            break;
        }
        default: break;
    }
}

void X11Window::setCursor(MouseCursor cursor) {
    int index = int(cursor);
    if (index < 0 || index > int(MouseCursor::none)) index = int(MouseCursor::arrow);
    if (index == shownCursor_) return;
    shownCursor_ = index;
    Display* d = x_->display;
    Cursor& c = x_->cursors[index];
    if (c == 0) {
        const int shape = x11::fontCursorShape(MouseCursor(index));
        if (shape >= 0) {
            c = XCreateFontCursor(d, unsigned(shape));
        } else {
            // A 1 x 1 cursor with an empty mask shows nothing.
            const char bits[1] = {0};
            const Pixmap blank = XCreateBitmapFromData(d, window_, bits, 1, 1);
            XColor black{};
            c = XCreatePixmapCursor(d, blank, blank, &black, &black, 0, 0);
            XFreePixmap(d, blank);
        }
    }
    XDefineCursor(d, window_, c);
}

std::unique_ptr<IWindow> X11WindowFactory::createWindow(WindowUsage usage, void* parentWindow,
                                                        IWindowListener* listener, int width, int height) {
    return X11Window::open(usage, parentWindow, listener, width, height, hostResize_);
}

}  // namespace fw
