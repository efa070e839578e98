// NSCursor: standard cursors as X font cursors, set on every top-level
// window of the application; hiding (counted) puts a blank cursor there.

#include "sysframeworks/appkit/appkitimpl.h"
#include "sysframeworks/common/objcclass.h"

#include <AppKit/AppKit.h>
#include <X11/cursorfont.h>

namespace appkit {
namespace {

using namespace sysfw::objc;

struct CursorState {
    unsigned shape = XC_left_ptr;
    Cursor xcursor = None;
    void destroy(id) {}
};

const StatefulClass<CursorState>& cursorType();

id g_current = nullptr;
int g_hideCount = 0;
Cursor g_blank = None;

Cursor blankCursor(Display* d) {
    if (g_blank != None) return g_blank;
    static const char zero[1] = {0};
    Pixmap p = XCreateBitmapFromData(d, DefaultRootWindow(d), zero, 1, 1);
    XColor black{};
    g_blank = XCreatePixmapCursor(d, p, p, &black, &black, 0, 0);
    XFreePixmap(d, p);
    return g_blank;
}

Cursor xCursorOf(Display* d, id cursor) {
    CursorState* s = cursorType().stateOf(cursor);
    if (s->xcursor == None) s->xcursor = XCreateFontCursor(d, s->shape);
    return s->xcursor;
}

void applyToAll() {
    for (id w : windowList())
        if (Window x = windowXId(w)) applyCursor(x);
}

id standard(unsigned shape) {
    id c = cursorType().create();
    cursorType().stateOf(c)->shape = shape;
    return c;
}

id arrow(Class, SEL) {
    static id c = standard(XC_left_ptr);
    return c;
}
id pointingHand(Class, SEL) {
    static id c = standard(XC_hand2);
    return c;
}
id openHand(Class, SEL) {
    static id c = standard(XC_hand1);
    return c;
}
id closedHand(Class, SEL) {
    static id c = standard(XC_fleur);
    return c;
}
id crosshair(Class, SEL) {
    static id c = standard(XC_crosshair);
    return c;
}
id resizeUpDown(Class, SEL) {
    static id c = standard(XC_sb_v_double_arrow);
    return c;
}
id resizeLeftRight(Class, SEL) {
    static id c = standard(XC_sb_h_double_arrow);
    return c;
}
id iBeam(Class, SEL) {
    static id c = standard(XC_xterm);
    return c;
}

id current(Class cls, SEL) { return g_current ? g_current : arrow(cls, nullptr); }

void set(id self, SEL) {
    retain(self);
    release(g_current);
    g_current = self;
    applyToAll();
}

void hide(Class, SEL) {
    if (++g_hideCount == 1) applyToAll();
}

void unhide(Class, SEL) {
    if (g_hideCount == 0) return;
    if (--g_hideCount == 0) applyToAll();
}

const StatefulClass<CursorState>& cursorType() {
    static const StatefulClass<CursorState> type("NSCursor", objc_getClass("NSObject"), [](Class cls) {
        Class meta = metaclass(cls);
        class_addMethod(meta, sel("arrowCursor"), imp(arrow), "@#:");
        class_addMethod(meta, sel("pointingHandCursor"), imp(pointingHand), "@#:");
        class_addMethod(meta, sel("openHandCursor"), imp(openHand), "@#:");
        class_addMethod(meta, sel("closedHandCursor"), imp(closedHand), "@#:");
        class_addMethod(meta, sel("crosshairCursor"), imp(crosshair), "@#:");
        class_addMethod(meta, sel("resizeUpDownCursor"), imp(resizeUpDown), "@#:");
        class_addMethod(meta, sel("resizeLeftRightCursor"), imp(resizeLeftRight), "@#:");
        class_addMethod(meta, sel("IBeamCursor"), imp(iBeam), "@#:");
        class_addMethod(meta, sel("currentCursor"), imp(current), "@#:");
        class_addMethod(meta, sel("hide"), imp(hide), "v#:");
        class_addMethod(meta, sel("unhide"), imp(unhide), "v#:");
        class_addMethod(cls, sel("set"), imp(set), "v@:");
    });
    return type;
}

}  // namespace

Class cursorClass() { return cursorType().cls(); }

void applyCursor(Window xwin) {
    Display* d = display();
    if (d == nullptr || xwin == 0) return;
    if (g_hideCount > 0)
        XDefineCursor(d, xwin, blankCursor(d));
    else
        XDefineCursor(d, xwin, xCursorOf(d, current(cursorClass(), nullptr)));
}

}  // namespace appkit

extern "C" __attribute__((visibility("default"))) BOOL SysFwNSCursorIsHidden(void) {
    return appkit::g_hideCount > 0 ? YES : NO;
}
