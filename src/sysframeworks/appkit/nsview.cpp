// NSView: a frame in its superview, subviews, invalidation and layout flags,
// tracking areas, and, while its window is shown, an X child window of its
// superview's (or its window's) X window with a CGContext drawing into it.

#include "sysframeworks/appkit/appkitimpl.h"
#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/common/objcclass.h"
#include "sysframeworks/coregraphics/xwindowcontext.h"

#include <AppKit/AppKit.h>

#include <algorithm>
#include <cmath>

using sysfw::objc::Retained;

extern "C" {
id const NSViewFrameDidChangeNotification = appkit::newConstantString("NSViewFrameDidChangeNotification");
}

namespace appkit {
namespace {

using namespace sysfw::objc;

struct ViewState {
    NSRect frame{};
    id superview = nullptr;
    std::vector<id> subviews;  // retained
    id window = nullptr;
    bool hasDirty = false;
    NSRect dirty{};
    bool needsLayout = false;
    bool postsFrameChanged = true;
    bool wantsLayer = false;
    std::vector<id> trackingAreas;  // retained
    Window xwin = 0;
    int xx = 0;  // the X window's place in its parent's
    int xy = 0;
    CGContextRef cg = nullptr;
    id graphicsContext = nullptr;

    void destroy(id self);
};

const StatefulClass<ViewState>& viewType();
ViewState* st(id v) { return viewType().stateOf(v); }

NSRect unionRect(NSRect a, NSRect b) {
    const double x0 = std::min(a.origin.x, b.origin.x);
    const double y0 = std::min(a.origin.y, b.origin.y);
    const double x1 = std::max(a.origin.x + a.size.width, b.origin.x + b.size.width);
    const double y1 = std::max(a.origin.y + a.size.height, b.origin.y + b.size.height);
    return NSMakeRect(x0, y0, x1 - x0, y1 - y0);
}

NSRect intersect(NSRect a, NSRect b) {
    const double x0 = std::max(a.origin.x, b.origin.x);
    const double y0 = std::max(a.origin.y, b.origin.y);
    const double x1 = std::min(a.origin.x + a.size.width, b.origin.x + b.size.width);
    const double y1 = std::min(a.origin.y + a.size.height, b.origin.y + b.size.height);
    if (x1 <= x0 || y1 <= y0) return NSMakeRect(0, 0, 0, 0);
    return NSMakeRect(x0, y0, x1 - x0, y1 - y0);
}

bool finiteRect(NSRect r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

NSRect boundsOf(ViewState* s) { return NSMakeRect(0, 0, s->frame.size.width, s->frame.size.height); }

void invalidate(ViewState* s, NSRect r) {
    if (r.size.width <= 0 || r.size.height <= 0) return;
    s->dirty = s->hasDirty ? unionRect(s->dirty, r) : r;
    s->hasDirty = true;
}

bool flipped(id v) { return v && send<BOOL>(v, "isFlipped") != NO; }

// X coordinates and sizes are 16-bit.
int pixels(double v) { return static_cast<int>(std::lround(std::clamp(v, -32768.0, 32767.0))); }
unsigned xSize(double v) { return static_cast<unsigned>(std::max(1, pixels(v))); }

// Where the view's X window goes in its parent X window.
void xPlacement(ViewState* s, int& x, int& y) {
    const NSRect f = s->frame;
    double parentHeight = 0;
    bool parentFlipped = false;
    if (s->superview) {
        parentHeight = st(s->superview)->frame.size.height;
        parentFlipped = flipped(s->superview);
    } else if (s->window) {
        parentHeight = windowContentHeight(s->window);
    }
    x = pixels(f.origin.x);
    y = parentFlipped ? pixels(f.origin.y) : pixels(parentHeight - f.origin.y - f.size.height);
}

void placeXWindow(ViewState* s) {
    Display* d = display();
    if (d == nullptr || s->xwin == 0) return;
    xPlacement(s, s->xx, s->xy);
    XMoveResizeWindow(d, s->xwin, s->xx, s->xy, xSize(s->frame.size.width), xSize(s->frame.size.height));
    const bool empty = s->frame.size.width < 0.5 || s->frame.size.height < 0.5;
    if (empty)
        XUnmapWindow(d, s->xwin);
    else
        XMapWindow(d, s->xwin);
    SysFwCGContextSetSize(s->cg, static_cast<int>(xSize(s->frame.size.width)),
                          static_cast<int>(xSize(s->frame.size.height)));
}

id notificationCenter() { return sendClass<id>(objc_getClass("NSNotificationCenter"), "defaultCenter"); }

void applyFrame(id self, NSRect f) {
    ViewState* s = st(self);
    if (!finiteRect(f)) {
        sysfw::reportMisuse("-[NSView setFrame:]", "the frame is not finite");
        return;
    }
    const NSRect old = s->frame;
    if (old.origin.x == f.origin.x && old.origin.y == f.origin.y && old.size.width == f.size.width &&
        old.size.height == f.size.height)
        return;
    Retained keep(self);
    s->frame = f;
    const bool resized = old.size.width != f.size.width || old.size.height != f.size.height;
    if (resized) {
        s->needsLayout = true;
        invalidate(s, boundsOf(s));
    }
    placeXWindow(s);
    // Children are placed from the bottom of this view: a new height moves them.
    if (resized && old.size.height != f.size.height)
        for (id child : s->subviews) placeXWindow(st(child));
    if (s->postsFrameChanged)
        send(notificationCenter(), "postNotificationName:object:", NSViewFrameDidChangeNotification, self);
    if (s->window) send(self, "updateTrackingAreas");
}

// The view and its subviews, parents first, each retained by the caller's list.
void collectTree(id view, std::vector<id>& out) {
    out.push_back(retain(view));
    for (id child : st(view)->subviews) collectTree(child, out);
}

void releaseAll(std::vector<id>& views) {
    for (id v : views) release(v);
    views.clear();
}

// ---- Methods ----

id initWithFrame(id self, SEL, NSRect frame) {
    ViewState* s = st(self);
    s->frame = finiteRect(frame) ? frame : NSMakeRect(0, 0, 0, 0);
    return self;
}

id init(id self, SEL) {
    return reinterpret_cast<id (*)(id, SEL, NSRect)>(objc_msgSend)(self, sel("initWithFrame:"), NSMakeRect(0, 0, 0, 0));
}

NSRect frame(id self, SEL) { return st(self)->frame; }
NSRect bounds(id self, SEL) { return boundsOf(st(self)); }

void setFrameOrigin(id self, SEL, NSPoint p) {
    NSRect f = st(self)->frame;
    f.origin = p;
    applyFrame(self, f);
}

void setFrameSize(id self, SEL, NSSize size) {
    NSRect f = st(self)->frame;
    f.size = size;
    applyFrame(self, f);
}

// Through the two setters, so a subclass that overrides either sees the change.
void setFrame(id self, SEL, NSRect f) {
    if (!finiteRect(f)) {
        sysfw::reportMisuse("-[NSView setFrame:]", "the frame is not finite");
        return;
    }
    send(self, "setFrameOrigin:", f.origin);
    send(self, "setFrameSize:", f.size);
}

void addSubview(id self, SEL, id view) {
    if (view == nullptr || view == self || !isKindOf(view, viewClass())) {
        sysfw::reportMisuse("-[NSView addSubview:]", "nil, not an NSView, or the view itself");
        return;
    }
    for (id a = self; a != nullptr; a = st(a)->superview)
        if (a == view) {
            sysfw::reportMisuse("-[NSView addSubview:]", "the view is an ancestor of the receiver");
            return;
        }
    Retained keep(view);
    if (st(view)->superview) send(view, "removeFromSuperview");
    ViewState* s = st(self);
    s->subviews.push_back(retain(view));
    st(view)->superview = self;
    if (s->window) viewSetWindow(view, s->window);
}

void removeFromSuperview(id self, SEL) {
    ViewState* s = st(self);
    id parent = s->superview;
    if (parent == nullptr) return;
    Retained keep(self);
    if (s->window) viewSetWindow(self, nullptr);
    auto& list = st(parent)->subviews;
    list.erase(std::remove(list.begin(), list.end(), self), list.end());
    s->superview = nullptr;
    release(self);
}

id superview(id self, SEL) { return st(self)->superview; }
id window(id self, SEL) { return st(self)->window; }

id nextResponder(id self, SEL) {
    ViewState* s = st(self);
    return s->superview ? s->superview : s->window;
}

BOOL no(id, SEL) { return NO; }
BOOL noWithEvent(id, SEL, id) { return NO; }
void nothing(id, SEL) {}
void nothingWithRect(id, SEL, NSRect) {}
id nilObject(id, SEL) { return nullptr; }

void setNeedsDisplay(id self, SEL, BOOL flag) {
    ViewState* s = st(self);
    if (flag)
        invalidate(s, boundsOf(s));
    else
        s->hasDirty = false;
}

void setNeedsDisplayInRect(id self, SEL, NSRect r) {
    if (!finiteRect(r)) {
        sysfw::reportMisuse("-[NSView setNeedsDisplayInRect:]", "the rectangle is not finite");
        return;
    }
    invalidate(st(self), r);
}

BOOL needsDisplay(id self, SEL) { return st(self)->hasDirty ? YES : NO; }
void setNeedsLayout(id self, SEL, BOOL flag) { st(self)->needsLayout = flag != NO; }
BOOL needsLayout(id self, SEL) { return st(self)->needsLayout ? YES : NO; }
void setWantsLayer(id self, SEL, BOOL flag) { st(self)->wantsLayer = flag != NO; }
BOOL wantsLayer(id self, SEL) { return st(self)->wantsLayer ? YES : NO; }
void setPostsFrameChanged(id self, SEL, BOOL flag) { st(self)->postsFrameChanged = flag != NO; }
BOOL postsFrameChanged(id self, SEL) { return st(self)->postsFrameChanged ? YES : NO; }

// A point of `view` in its window's base coordinates (bottom-left origin).
NSPoint toWindow(id view, NSPoint p) {
    for (id v = view; v != nullptr; v = st(v)->superview) {
        ViewState* s = st(v);
        const double up = flipped(v) ? s->frame.size.height - p.y : p.y;
        id parent = s->superview;
        p.x += s->frame.origin.x;
        p.y = parent && flipped(parent) ? s->frame.origin.y + (s->frame.size.height - up) : s->frame.origin.y + up;
    }
    return p;
}

// The inverse: a window point in `view`'s coordinates, walking down from the
// content view.
NSPoint fromWindow(id view, NSPoint p) {
    std::vector<id> chain;
    for (id v = view; v != nullptr; v = st(v)->superview) chain.push_back(v);
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        ViewState* s = st(*it);
        id parent = s->superview;
        const double up = parent && flipped(parent) ? s->frame.size.height - (p.y - s->frame.origin.y)
                                                    : p.y - s->frame.origin.y;
        p.x -= s->frame.origin.x;
        p.y = flipped(*it) ? s->frame.size.height - up : up;
    }
    return p;
}

NSPoint convertPointFromView(id self, SEL, NSPoint p, id other) {
    if (other != nullptr && !isKindOf(other, viewClass())) {
        sysfw::reportMisuse("-[NSView convertPoint:fromView:]", "not an NSView");
        return p;
    }
    return fromWindow(self, other ? toWindow(other, p) : p);
}

NSPoint convertPointToView(id self, SEL, NSPoint p, id other) {
    const NSPoint inWindow = toWindow(self, p);
    if (other == nullptr) return inWindow;
    return convertPointFromView(other, nullptr, inWindow, nullptr);
}

void addTrackingArea(id self, SEL, id area) {
    if (!isKindOf(area, trackingAreaClass())) {
        sysfw::reportMisuse("-[NSView addTrackingArea:]", "not an NSTrackingArea");
        return;
    }
    auto& list = st(self)->trackingAreas;
    if (std::find(list.begin(), list.end(), area) == list.end()) list.push_back(retain(area));
}

void removeTrackingArea(id self, SEL, id area) {
    auto& list = st(self)->trackingAreas;
    auto it = std::find(list.begin(), list.end(), area);
    if (it == list.end()) return;
    list.erase(it);
    release(area);
}

const StatefulClass<ViewState>& viewType() {
    static const StatefulClass<ViewState> type("NSView", responderClass(), [](Class cls) {
        class_addMethod(cls, sel("initWithFrame:"), imp(initWithFrame), "@@:{CGRect={CGPoint=dd}{CGSize=dd}}");
        class_addMethod(cls, sel("init"), imp(init), "@@:");
        class_addMethod(cls, sel("frame"), imp(frame), "{CGRect={CGPoint=dd}{CGSize=dd}}@:");
        class_addMethod(cls, sel("bounds"), imp(bounds), "{CGRect={CGPoint=dd}{CGSize=dd}}@:");
        class_addMethod(cls, sel("setFrame:"), imp(setFrame), "v@:{CGRect={CGPoint=dd}{CGSize=dd}}");
        class_addMethod(cls, sel("setFrameSize:"), imp(setFrameSize), "v@:{CGSize=dd}");
        class_addMethod(cls, sel("setFrameOrigin:"), imp(setFrameOrigin), "v@:{CGPoint=dd}");
        class_addMethod(cls, sel("addSubview:"), imp(addSubview), "v@:@");
        class_addMethod(cls, sel("removeFromSuperview"), imp(removeFromSuperview), "v@:");
        class_addMethod(cls, sel("superview"), imp(superview), "@@:");
        class_addMethod(cls, sel("window"), imp(window), "@@:");
        class_addMethod(cls, sel("nextResponder"), imp(nextResponder), "@@:");
        class_addMethod(cls, sel("isFlipped"), imp(no), "c@:");
        class_addMethod(cls, sel("isOpaque"), imp(no), "c@:");
        class_addMethod(cls, sel("acceptsFirstMouse:"), imp(noWithEvent), "c@:@");
        class_addMethod(cls, sel("setNeedsDisplay:"), imp(setNeedsDisplay), "v@:c");
        class_addMethod(cls, sel("setNeedsDisplayInRect:"), imp(setNeedsDisplayInRect),
                        "v@:{CGRect={CGPoint=dd}{CGSize=dd}}");
        class_addMethod(cls, sel("needsDisplay"), imp(needsDisplay), "c@:");
        class_addMethod(cls, sel("setNeedsLayout:"), imp(setNeedsLayout), "v@:c");
        class_addMethod(cls, sel("needsLayout"), imp(needsLayout), "c@:");
        class_addMethod(cls, sel("layout"), imp(nothing), "v@:");
        class_addMethod(cls, sel("viewDidMoveToWindow"), imp(nothing), "v@:");
        class_addMethod(cls, sel("viewWillDraw"), imp(nothing), "v@:");
        class_addMethod(cls, sel("drawRect:"), imp(nothingWithRect), "v@:{CGRect={CGPoint=dd}{CGSize=dd}}");
        class_addMethod(cls, sel("updateTrackingAreas"), imp(nothing), "v@:");
        class_addMethod(cls, sel("addTrackingArea:"), imp(addTrackingArea), "v@:@");
        class_addMethod(cls, sel("removeTrackingArea:"), imp(removeTrackingArea), "v@:@");
        class_addMethod(cls, sel("convertPoint:fromView:"), imp(convertPointFromView), "{CGPoint=dd}@:{CGPoint=dd}@");
        class_addMethod(cls, sel("convertPoint:toView:"), imp(convertPointToView), "{CGPoint=dd}@:{CGPoint=dd}@");
        class_addMethod(cls, sel("setWantsLayer:"), imp(setWantsLayer), "v@:c");
        class_addMethod(cls, sel("wantsLayer"), imp(wantsLayer), "c@:");
        class_addMethod(cls, sel("layer"), imp(nilObject), "@@:");
        class_addMethod(cls, sel("setPostsFrameChangedNotifications:"), imp(setPostsFrameChanged), "v@:c");
        class_addMethod(cls, sel("postsFrameChangedNotifications"), imp(postsFrameChanged), "c@:");
    });
    return type;
}

void ViewState::destroy(id self) {
    // Subviews that live on elsewhere leave the window first, so no X window
    // of theirs outlives its destroyed parent.
    std::vector<id> children = subviews;
    subviews.clear();
    for (id child : children) {
        if (st(child)->window) viewSetWindow(child, nullptr);
        st(child)->superview = nullptr;
        release(child);
    }
    if (window) forgetView(self);
    viewDestroyXWindows(self);
    for (id a : trackingAreas) release(a);
    trackingAreas.clear();
}

}  // namespace

Class viewClass() { return viewType().cls(); }

NSRect viewFrame(id view) { return st(view)->frame; }
Window viewXId(id view) { return view ? st(view)->xwin : 0; }

std::vector<id> viewTrackingAreas(id view) { return st(view)->trackingAreas; }

void viewSetWindow(id view, id window) {
    ViewState* s = st(view);
    std::vector<id> tree;
    collectTree(view, tree);
    if (s->window != window) {
        for (id v : tree)
            if (st(v)->window) forgetView(v);
        viewDestroyXWindows(view);
        for (id v : tree) st(v)->window = window;
        for (id v : tree) {
            PoolScope pool;
            send(v, "viewDidMoveToWindow");
            if (window) send(v, "updateTrackingAreas");
        }
    }
    if (window && windowIsShown(window) && st(view)->window == window && st(view)->xwin == 0) {
        id parent = st(view)->superview;
        const Window parentX = parent ? st(parent)->xwin : windowXId(window);
        if (parentX != 0) viewCreateXWindows(view, parentX);
    }
    releaseAll(tree);
}

void viewCreateXWindows(id view, Window parent) {
    Display* d = display();
    ViewState* s = st(view);
    if (d == nullptr || parent == 0) return;
    if (s->xwin == 0) {
        xPlacement(s, s->xx, s->xy);
        XSetWindowAttributes attrs{};
        attrs.background_pixmap = None;
        attrs.bit_gravity = NorthWestGravity;
        attrs.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                           EnterWindowMask | LeaveWindowMask;
        s->xwin = XCreateWindow(d, parent, s->xx, s->xy, xSize(s->frame.size.width), xSize(s->frame.size.height), 0,
                                CopyFromParent, InputOutput, CopyFromParent,
                                CWBackPixmap | CWBitGravity | CWEventMask, &attrs);
        registerXWindow(s->xwin, s->window, view);
        s->cg = SysFwCGContextCreateForXWindow(d, s->xwin, static_cast<int>(xSize(s->frame.size.width)),
                                               static_cast<int>(xSize(s->frame.size.height)));
        if (s->cg) s->graphicsContext = newGraphicsContext(s->cg);
        if (s->frame.size.width >= 0.5 && s->frame.size.height >= 0.5) XMapWindow(d, s->xwin);
        invalidate(s, boundsOf(s));
    }
    for (id child : s->subviews) viewCreateXWindows(child, s->xwin);
}

void viewDestroyXWindows(id view) {
    ViewState* s = st(view);
    for (id child : s->subviews) viewDestroyXWindows(child);
    if (s->xwin == 0) return;
    Display* d = display();
    unregisterXWindow(s->xwin);
    release(s->graphicsContext);
    s->graphicsContext = nullptr;
    CGContextRelease(s->cg);
    s->cg = nullptr;
    if (d) XDestroyWindow(d, s->xwin);
    s->xwin = 0;
}

void viewLoseDisplay(id view) {
    ViewState* s = st(view);
    for (id child : s->subviews) viewLoseDisplay(child);
    SysFwCGContextDetachDisplay(s->cg);
    if (s->xwin) unregisterXWindow(s->xwin);
    release(s->graphicsContext);
    s->graphicsContext = nullptr;
    CGContextRelease(s->cg);
    s->cg = nullptr;
    s->xwin = 0;
}

void viewOriginInTopLevel(id view, int& x, int& y) {
    x = 0;
    y = 0;
    for (id v = view; v != nullptr; v = st(v)->superview) {
        x += st(v)->xx;
        y += st(v)->xy;
    }
}

void viewExposed(id view, int x, int y, int w, int h) {
    ViewState* s = st(view);
    const double top = static_cast<double>(y);
    const NSRect r = flipped(view) ? NSMakeRect(x, top, w, h) : NSMakeRect(x, s->frame.size.height - top - h, w, h);
    invalidate(s, r);
}

void viewLayoutPass(id view) {
    ViewState* s = st(view);
    if (s->needsLayout) {
        s->needsLayout = false;
        Retained keep(view);
        PoolScope pool;
        send(view, "layout");
    }
    std::vector<id> children = s->subviews;
    for (id c : children) retain(c);
    for (id c : children) viewLayoutPass(c);
    for (id c : children) release(c);
}

void viewDisplayPass(id view) {
    ViewState* s = st(view);
    Retained keep(view);
    if (s->xwin != 0 && s->hasDirty) {
        PoolScope pool;
        send(view, "viewWillDraw");
        const NSRect r = intersect(s->dirty, boundsOf(s));
        s->hasDirty = false;
        if (r.size.width > 0 && r.size.height > 0 && s->graphicsContext) {
            id previous = sendClass<id>(graphicsContextClass(), "currentContext");
            Retained keepPrevious(previous);
            setCurrentGraphicsContext(s->graphicsContext);
            reinterpret_cast<void (*)(id, SEL, NSRect)>(objc_msgSend)(view, sel("drawRect:"), r);
            setCurrentGraphicsContext(previous);
        }
    }
    std::vector<id> children = s->subviews;
    for (id c : children) retain(c);
    for (id c : children) viewDisplayPass(c);
    for (id c : children) release(c);
}

}  // namespace appkit
