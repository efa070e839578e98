// NSWindow: a top-level X window whose whole area is the content view, with
// its title, close button (WM_DELETE_WINDOW), size hints and first responder.

#include "sysframeworks/appkit/appkitimpl.h"
#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/common/objcclass.h"

#include <AppKit/AppKit.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cmath>
#include <cstring>

extern "C" {
id const NSWindowWillCloseNotification = appkit::newConstantString("NSWindowWillCloseNotification");
}

namespace appkit {
namespace {

using namespace sysfw::objc;

struct WindowState {
    NSRect frame{};
    unsigned long styleMask = 0;
    id contentView = nullptr;  // retained
    id title = nullptr;        // retained
    id delegate = nullptr;
    id firstResponder = nullptr;
    bool acceptsMouseMoved = false;
    bool releasedWhenClosed = true;
    bool visible = false;
    bool mapped = false;
    bool closed = false;
    Window xwin = 0;

    void destroy(id self);
};

const StatefulClass<WindowState>& windowType();
WindowState* st(id w) { return windowType().stateOf(w); }

unsigned xSize(double v) { return static_cast<unsigned>(std::max(1L, std::lround(std::clamp(v, 1.0, 32767.0)))); }

id notificationCenter() { return sendClass<id>(objc_getClass("NSNotificationCenter"), "defaultCenter"); }

void applySizeHints(WindowState* s) {
    Display* d = display();
    if (d == nullptr || s->xwin == 0) return;
    XSizeHints hints{};
    hints.flags = PPosition;
    hints.x = static_cast<int>(s->frame.origin.x);
    hints.y = 0;
    if (!(s->styleMask & NSWindowStyleMaskResizable)) {
        hints.flags |= PMinSize | PMaxSize;
        hints.min_width = hints.max_width = static_cast<int>(xSize(s->frame.size.width));
        hints.min_height = hints.max_height = static_cast<int>(xSize(s->frame.size.height));
    }
    XSetWMNormalHints(d, s->xwin, &hints);
}

void applyTitle(WindowState* s) {
    Display* d = display();
    if (d == nullptr || s->xwin == 0) return;
    const char* text = s->title ? send<const char*>(s->title, "UTF8String") : "";
    XStoreName(d, s->xwin, text);
    XChangeProperty(d, s->xwin, atom("_NET_WM_NAME"), atom("UTF8_STRING"), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(text), static_cast<int>(std::strlen(text)));
}

void createXWindow(id self, WindowState* s) {
    Display* d = display();
    if (d == nullptr || s->xwin != 0) return;
    const int screen = DefaultScreen(d);
    XSetWindowAttributes attrs{};
    attrs.background_pixel = BlackPixel(d, screen);
    attrs.event_mask = StructureNotifyMask | ExposureMask | KeyPressMask | KeyReleaseMask | ButtonPressMask |
                       ButtonReleaseMask | PointerMotionMask | EnterWindowMask | LeaveWindowMask;
    const int screenHeight = DisplayHeight(d, screen);
    const int x = static_cast<int>(std::lround(std::clamp(s->frame.origin.x, -32767.0, 32767.0)));
    const int y = static_cast<int>(
        std::lround(std::clamp(screenHeight - s->frame.origin.y - s->frame.size.height, -32767.0, 32767.0)));
    s->xwin = XCreateWindow(d, RootWindow(d, screen), x, y, xSize(s->frame.size.width), xSize(s->frame.size.height),
                            0, CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWEventMask, &attrs);
    registerXWindow(s->xwin, self, nullptr);
    Atom deleteWindow = atom("WM_DELETE_WINDOW");
    XSetWMProtocols(d, s->xwin, &deleteWindow, 1);
    applySizeHints(s);
    applyTitle(s);
    applyCursor(s->xwin);
}

void destroyXWindow(WindowState* s) {
    if (s->contentView) viewDestroyXWindows(s->contentView);
    if (s->xwin == 0) return;
    unregisterXWindow(s->xwin);
    if (Display* d = display()) {
        XDestroyWindow(d, s->xwin);
        // A closed window leaves the screen now, not when the application
        // next flushes (it may block first, or end a modal run and go on).
        XSync(d, False);
    }
    s->xwin = 0;
    s->mapped = false;
}

// ---- Methods ----

id initWithContentRect(id self, SEL, NSRect rect, unsigned long style, unsigned long, BOOL) {
    WindowState* s = st(self);
    if (!std::isfinite(rect.origin.x) || !std::isfinite(rect.origin.y) || !std::isfinite(rect.size.width) ||
        !std::isfinite(rect.size.height) || rect.size.width < 0 || rect.size.height < 0) {
        sysfw::reportMisuse("-[NSWindow initWithContentRect:styleMask:backing:defer:]", "the rectangle is not valid");
        rect = NSMakeRect(0, 0, 0, 0);
    }
    s->frame = rect;
    s->styleMask = style;
    windowList().push_back(self);
    createXWindow(self, s);
    return self;
}

NSRect frame(id self, SEL) { return st(self)->frame; }

void setTitle(id self, SEL, id title) {
    WindowState* s = st(self);
    if (title != nullptr && !isKindOf(title, objc_getClass("NSString"))) {
        sysfw::reportMisuse("-[NSWindow setTitle:]", "not an NSString");
        return;
    }
    retain(title);
    release(s->title);
    s->title = title;
    applyTitle(s);
}

id title(id self, SEL) {
    WindowState* s = st(self);
    if (s->title == nullptr) s->title = newConstantString("");
    return s->title;
}

id contentView(id self, SEL) { return st(self)->contentView; }

void setContentView(id self, SEL, id view) {
    WindowState* s = st(self);
    if (view != nullptr && !isKindOf(view, viewClass())) {
        sysfw::reportMisuse("-[NSWindow setContentView:]", "not an NSView");
        return;
    }
    if (view == s->contentView) return;
    Retained keepSelf(self);
    Retained keepView(view);
    if (id old = s->contentView) {
        s->contentView = nullptr;
        viewSetWindow(old, nullptr);
        release(old);
    }
    if (view == nullptr) return;
    send(view, "removeFromSuperview");
    s->contentView = retain(view);
    send(view, "setFrame:", NSMakeRect(0, 0, s->frame.size.width, s->frame.size.height));
    viewSetWindow(view, self);
}

void setContentSize(id self, SEL, NSSize size) {
    WindowState* s = st(self);
    if (!std::isfinite(size.width) || !std::isfinite(size.height) || size.width < 0 || size.height < 0) {
        sysfw::reportMisuse("-[NSWindow setContentSize:]", "the size is not valid");
        return;
    }
    s->frame.size = size;
    if (Display* d = display(); d && s->xwin) {
        applySizeHints(s);
        XResizeWindow(d, s->xwin, xSize(size.width), xSize(size.height));
    }
    if (s->contentView) send(s->contentView, "setFrameSize:", size);
}

void makeKeyAndOrderFront(id self, SEL, id) {
    WindowState* s = st(self);
    Display* d = display();
    if (d == nullptr) return;
    Retained keep(self);
    s->closed = false;
    createXWindow(self, s);
    s->visible = true;
    if (s->contentView) viewSetWindow(s->contentView, self);
    XMapRaised(d, s->xwin);
}

void orderOut(id self, SEL, id) {
    WindowState* s = st(self);
    s->visible = false;
    if (Display* d = display(); d && s->xwin) XUnmapWindow(d, s->xwin);
}

BOOL isVisible(id self, SEL) { return st(self)->visible ? YES : NO; }

void close(id self, SEL) {
    WindowState* s = st(self);
    if (s->closed) return;
    Retained keep(self);
    s->closed = true;
    send(notificationCenter(), "postNotificationName:object:", NSWindowWillCloseNotification, self);
    s->visible = false;
    if (s->contentView) viewSetWindow(s->contentView, nullptr);
    destroyXWindow(s);
    s->firstResponder = nullptr;
    windowDidClose(self);
    if (s->releasedWhenClosed) release(self);
}

void performClose(id self, SEL, id) {
    WindowState* s = st(self);
    if (s->closed) return;
    if (responds(s->delegate, "windowShouldClose:") && send<BOOL>(s->delegate, "windowShouldClose:", self) == NO)
        return;
    send(self, "close");
}

id firstResponder(id self, SEL) {
    WindowState* s = st(self);
    return s->firstResponder ? s->firstResponder : self;
}

BOOL makeFirstResponder(id self, SEL, id responder) {
    WindowState* s = st(self);
    if (responder == self) responder = nullptr;
    if (responder == s->firstResponder) return YES;
    if (responder && (!isKindOf(responder, responderClass()) || send<BOOL>(responder, "acceptsFirstResponder") == NO))
        return NO;
    if (s->firstResponder && send<BOOL>(s->firstResponder, "resignFirstResponder") == NO) return NO;
    s->firstResponder = nullptr;
    if (responder && send<BOOL>(responder, "becomeFirstResponder") == NO) return NO;
    s->firstResponder = responder;
    return YES;
}

void setAcceptsMouseMoved(id self, SEL, BOOL flag) { st(self)->acceptsMouseMoved = flag != NO; }
BOOL acceptsMouseMoved(id self, SEL) { return st(self)->acceptsMouseMoved ? YES : NO; }
long windowNumber(id self, SEL) { return static_cast<long>(st(self)->xwin); }
void setReleasedWhenClosed(id self, SEL, BOOL flag) { st(self)->releasedWhenClosed = flag != NO; }
BOOL isReleasedWhenClosed(id self, SEL) { return st(self)->releasedWhenClosed ? YES : NO; }
BOOL yes(id, SEL) { return YES; }

// The delegate hears windowWillClose: through the notification, as on macOS.
void setDelegate(id self, SEL, id delegate) {
    WindowState* s = st(self);
    id center = notificationCenter();
    if (s->delegate)
        send(center, "removeObserver:name:object:", s->delegate, NSWindowWillCloseNotification, self);
    s->delegate = delegate;
    if (responds(delegate, "windowWillClose:"))
        send(center, "addObserver:selector:name:object:", delegate, sel("windowWillClose:"),
             NSWindowWillCloseNotification, self);
}

id delegate(id self, SEL) { return st(self)->delegate; }

const StatefulClass<WindowState>& windowType() {
    static const StatefulClass<WindowState> type("NSWindow", responderClass(), [](Class cls) {
        class_addMethod(cls, sel("initWithContentRect:styleMask:backing:defer:"), imp(initWithContentRect),
                        "@@:{CGRect={CGPoint=dd}{CGSize=dd}}QQc");
        class_addMethod(cls, sel("frame"), imp(frame), "{CGRect={CGPoint=dd}{CGSize=dd}}@:");
        class_addMethod(cls, sel("setTitle:"), imp(setTitle), "v@:@");
        class_addMethod(cls, sel("title"), imp(title), "@@:");
        class_addMethod(cls, sel("contentView"), imp(contentView), "@@:");
        class_addMethod(cls, sel("setContentView:"), imp(setContentView), "v@:@");
        class_addMethod(cls, sel("setContentSize:"), imp(setContentSize), "v@:{CGSize=dd}");
        class_addMethod(cls, sel("makeKeyAndOrderFront:"), imp(makeKeyAndOrderFront), "v@:@");
        class_addMethod(cls, sel("orderFront:"), imp(makeKeyAndOrderFront), "v@:@");
        class_addMethod(cls, sel("orderOut:"), imp(orderOut), "v@:@");
        class_addMethod(cls, sel("isVisible"), imp(isVisible), "c@:");
        class_addMethod(cls, sel("isKeyWindow"), imp(isVisible), "c@:");
        class_addMethod(cls, sel("close"), imp(close), "v@:");
        class_addMethod(cls, sel("performClose:"), imp(performClose), "v@:@");
        class_addMethod(cls, sel("makeFirstResponder:"), imp(makeFirstResponder), "c@:@");
        class_addMethod(cls, sel("firstResponder"), imp(firstResponder), "@@:");
        class_addMethod(cls, sel("acceptsFirstResponder"), imp(yes), "c@:");
        class_addMethod(cls, sel("setAcceptsMouseMovedEvents:"), imp(setAcceptsMouseMoved), "v@:c");
        class_addMethod(cls, sel("acceptsMouseMovedEvents"), imp(acceptsMouseMoved), "c@:");
        class_addMethod(cls, sel("windowNumber"), imp(windowNumber), "q@:");
        class_addMethod(cls, sel("setReleasedWhenClosed:"), imp(setReleasedWhenClosed), "v@:c");
        class_addMethod(cls, sel("isReleasedWhenClosed"), imp(isReleasedWhenClosed), "c@:");
        class_addMethod(cls, sel("setDelegate:"), imp(setDelegate), "v@:@");
        class_addMethod(cls, sel("delegate"), imp(delegate), "@@:");
        class_addMethod(cls, sel("sendEvent:"), imp(+[](id self, SEL, id event) { deliverEvent(self, event); }),
                        "v@:@");
    });
    return type;
}

void WindowState::destroy(id self) {
    if (delegate) send(notificationCenter(), "removeObserver:", delegate);
    delegate = nullptr;
    if (contentView) {
        id view = contentView;
        contentView = nullptr;
        viewSetWindow(view, nullptr);
        release(view);
    }
    destroyXWindow(this);
    release(title);
    title = nullptr;
    auto& list = windowList();
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
}

}  // namespace

Class windowClass() { return windowType().cls(); }

Window windowXId(id window) { return window ? st(window)->xwin : 0; }
double windowContentHeight(id window) { return window ? st(window)->frame.size.height : 0; }
bool windowIsShown(id window) { return window && st(window)->visible && st(window)->xwin != 0; }
bool windowAcceptsMouseMoved(id window) { return window && st(window)->acceptsMouseMoved; }
id windowFirstResponderView(id window) { return window ? st(window)->firstResponder : nullptr; }

void windowForgetResponder(id window, id view) {
    if (window && st(window)->firstResponder == view) st(window)->firstResponder = nullptr;
}

void windowLoseDisplay(id window) {
    WindowState* s = st(window);
    if (s->contentView) viewLoseDisplay(s->contentView);
    s->xwin = 0;
    s->mapped = false;
    send(window, "close");
}

void windowHandleXEvent(id window, XEvent& ev) {
    WindowState* s = st(window);
    id target = nullptr;
    id view = nullptr;
    lookUpXWindow(ev.xany.window, target, view);
    switch (ev.type) {
        case Expose:
            if (view) viewExposed(view, ev.xexpose.x, ev.xexpose.y, ev.xexpose.width, ev.xexpose.height);
            break;
        case MapNotify:
            if (ev.xmap.window == s->xwin) s->mapped = true;
            break;
        case UnmapNotify:
            if (ev.xunmap.window == s->xwin) s->mapped = false;
            break;
        case ConfigureNotify:
            // The window manager resized the window: the content follows.
            if (ev.xconfigure.window == s->xwin &&
                (ev.xconfigure.width != static_cast<int>(xSize(s->frame.size.width)) ||
                 ev.xconfigure.height != static_cast<int>(xSize(s->frame.size.height)))) {
                s->frame.size = NSMakeSize(ev.xconfigure.width, ev.xconfigure.height);
                if (s->contentView) send(s->contentView, "setFrameSize:", s->frame.size);
            }
            break;
        case ClientMessage:
            if (ev.xclient.message_type == atom("WM_PROTOCOLS") && ev.xclient.format == 32 &&
                static_cast<Atom>(ev.xclient.data.l[0]) == atom("WM_DELETE_WINDOW"))
                send(window, "performClose:", nullptr);
            break;
        default:
            routeXInput(window, ev);
            break;
    }
}

void windowLayoutAndDisplay(id window) {
    WindowState* s = st(window);
    if (!s->visible || s->contentView == nullptr) return;
    viewLayoutPass(s->contentView);
    if (s->mapped && display()) viewDisplayPass(s->contentView);
}

}  // namespace appkit
