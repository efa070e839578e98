#include "framework/window/cocoaviewclass.h"

#include <Foundation/NSGeometry.h>

#include "framework/core/fpcontrol.h"
#include "framework/core/uuid.h"
#include "framework/platform/systemframeworks.h"
#include "framework/window/cocoaselectors.h"
#include "framework/window/cocoawindow.h"
#include "framework/window/objcsend.h"

namespace fw::cocoa {

namespace {

constexpr const char kViewClassPrefix[] = "PluginCustomView_";
constexpr const char kThis[] = "this";

Class viewSuperclass() noexcept { return sys::cocoa().objc_getClass("NSView"); }

// Each method finds its window through "this"; a view whose window is gone
// (closed while the host still holds the view) behaves as a plain NSView.
// Every call into the editor runs under the audio floating-point state.
template <class F>
void withWindow(id self, F&& f) {
    if (CocoaWindow* w = windowOfView(self)) {
        ScopedAudioFloatingPointState fp;
        f(*w);
    }
}

void keyDownMethod(id self, SEL cmd, id event) {
    bool consumed = false;
    withWindow(self, [&](CocoaWindow& w) { consumed = w.keyDown(event); });
    // Unused keys go on to the host, whose shortcuts keep working.
    if (!consumed) sendSuper<void>(self, viewSuperclass(), cmd, event);
}

void keyUpMethod(id self, SEL, id event) {
    withWindow(self, [&](CocoaWindow& w) { w.keyUp(event); });
}

template <MouseButton button>
void mouseDownMethod(id self, SEL, id event) {
    withWindow(self, [&](CocoaWindow& w) { w.mouseDown(event, button); });
}

template <MouseButton button>
void mouseUpMethod(id self, SEL, id event) {
    withWindow(self, [&](CocoaWindow& w) { w.mouseUp(event, button); });
}

// Only the middle button of the others; further buttons are ignored.
bool isMiddleButton(id event) { return send<long>(event, selectors().buttonNumber) == 2; }

void otherMouseDownMethod(id self, SEL cmd, id event) {
    if (isMiddleButton(event)) mouseDownMethod<MouseButton::middle>(self, cmd, event);
}

void otherMouseUpMethod(id self, SEL cmd, id event) {
    if (isMiddleButton(event)) mouseUpMethod<MouseButton::middle>(self, cmd, event);
}

void mouseMovedMethod(id self, SEL, id event) {
    withWindow(self, [&](CocoaWindow& w) { w.mouseMoved(event); });
}

void scrollWheelMethod(id self, SEL, id event) {
    withWindow(self, [&](CocoaWindow& w) { w.scrollWheel(event); });
}

void mouseEnteredMethod(id self, SEL, id) {
    withWindow(self, [](CocoaWindow& w) { w.mouseEntered(); });
}

void mouseExitedMethod(id self, SEL, id) {
    withWindow(self, [](CocoaWindow& w) { w.mouseExited(); });
}

void updateTrackingAreasMethod(id self, SEL cmd) {
    withWindow(self, [](CocoaWindow& w) { w.updateTrackingAreas(); });
    sendSuper<void>(self, viewSuperclass(), cmd);
}

BOOL yesMethod(id, SEL) { return YES; }

BOOL acceptsFirstMouseMethod(id, SEL, id) { return YES; }

void viewDidMoveToWindowMethod(id self, SEL) {
    withWindow(self, [](CocoaWindow& w) { w.viewDidMoveToWindow(); });
}

void layoutMethod(id self, SEL cmd) {
    withWindow(self, [](CocoaWindow& w) { w.layout(); });
    sendSuper<void>(self, viewSuperclass(), cmd);
}

void viewWillDrawMethod(id self, SEL cmd) {
    withWindow(self, [](CocoaWindow& w) { w.viewWillDraw(); });
    sendSuper<void>(self, viewSuperclass(), cmd);
}

void drawRectMethod(id self, SEL, NSRect rect) {
    withWindow(self, [&](CocoaWindow& w) { w.drawRect(rect); });
}

void onTimerMethod(id self, SEL, id) {
    // May destroy the window (and release this view): nothing follows it.
    withWindow(self, [](CocoaWindow& w) { w.onTimer(); });
}

// The class lives as long as its views: once its window is gone (closed while
// the host still held the view), the last view takes the class with it.
void deallocMethod(id self, SEL cmd) {
    const bool orphan = windowOfView(self) == nullptr;
    Class cls = sys::cocoa().object_getClass(self);
    sendSuper<void>(self, viewSuperclass(), cmd);
    if (orphan) sys::cocoa().objc_disposeClassPair(cls);
}

template <class F>
void addMethod(const sys::CocoaApi& c, Class cls, SEL sel, F f, const char* types) {
    c.class_addMethod(cls, sel, reinterpret_cast<IMP>(f), types);
}

}  // namespace

Class registerViewClass(char* name, std::size_t nameSize) noexcept {
    const sys::CocoaApi& c = sys::cocoa();
    const Selectors& s = selectors();
    Class superclass = viewSuperclass();
    if (superclass == Nil) return Nil;
    Class cls = Nil;
    // A taken name means another copy drew the same UUID: draw again.
    for (int attempt = 0; attempt < 4 && cls == Nil; ++attempt) {
        if (!generateNullTerminatedRandomUUID(kViewClassPrefix, name, nameSize)) return Nil;
        cls = c.objc_allocateClassPair(superclass, name, 0);
    }
    if (cls == Nil) return Nil;
    c.class_addIvar(cls, kThis, sizeof(void*), 3, "^v");  // alignment as log2(8)
    const char* eventTypes = "v@:@";
    addMethod(c, cls, s.keyDown, keyDownMethod, eventTypes);
    addMethod(c, cls, s.keyUp, keyUpMethod, eventTypes);
    addMethod(c, cls, s.mouseDown, mouseDownMethod<MouseButton::left>, eventTypes);
    addMethod(c, cls, s.rightMouseDown, mouseDownMethod<MouseButton::right>, eventTypes);
    addMethod(c, cls, s.otherMouseDown, otherMouseDownMethod, eventTypes);
    addMethod(c, cls, s.mouseUp, mouseUpMethod<MouseButton::left>, eventTypes);
    addMethod(c, cls, s.rightMouseUp, mouseUpMethod<MouseButton::right>, eventTypes);
    addMethod(c, cls, s.otherMouseUp, otherMouseUpMethod, eventTypes);
    addMethod(c, cls, s.mouseMoved, mouseMovedMethod, eventTypes);
    addMethod(c, cls, s.mouseDragged, mouseMovedMethod, eventTypes);
    addMethod(c, cls, s.rightMouseDragged, mouseMovedMethod, eventTypes);
    addMethod(c, cls, s.otherMouseDragged, mouseMovedMethod, eventTypes);
    addMethod(c, cls, s.scrollWheel, scrollWheelMethod, eventTypes);
    addMethod(c, cls, s.mouseEntered, mouseEnteredMethod, eventTypes);
    addMethod(c, cls, s.mouseExited, mouseExitedMethod, eventTypes);
    addMethod(c, cls, s.updateTrackingAreas, updateTrackingAreasMethod, "v@:");
    addMethod(c, cls, s.acceptsFirstResponder, yesMethod, "c@:");
    addMethod(c, cls, s.isOpaque, yesMethod, "c@:");
    addMethod(c, cls, s.acceptsFirstMouse, acceptsFirstMouseMethod, "c@:@");
    addMethod(c, cls, s.viewDidMoveToWindow, viewDidMoveToWindowMethod, "v@:");
    addMethod(c, cls, s.layout, layoutMethod, "v@:");
    addMethod(c, cls, s.viewWillDraw, viewWillDrawMethod, "v@:");
    addMethod(c, cls, s.drawRect, drawRectMethod, "v@:{CGRect={CGPoint=dd}{CGSize=dd}}");
    addMethod(c, cls, s.onTimer, onTimerMethod, "v@:@");
    addMethod(c, cls, s.dealloc, deallocMethod, "v@:");
    c.objc_registerClassPair(cls);
    return cls;
}

CocoaWindow* windowOfView(id view) noexcept {
    void* window = nullptr;
    if (view != nullptr) sys::cocoa().object_getInstanceVariable(view, kThis, &window);
    return static_cast<CocoaWindow*>(window);
}

void setWindowOfView(id view, CocoaWindow* window) noexcept {
    sys::cocoa().object_setInstanceVariable(view, kThis, window);
}

}  // namespace fw::cocoa
