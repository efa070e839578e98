// The RecordingView class: every override records what it got, then calls
// NSView's implementation through objc_msgSendSuper as a plug-in view does.

#include "appkittestutil.h"

namespace apptest {
namespace {

void recordEvent(id self, SEL cmd, id event) {
    Recorder* r = recorderOf(self);
    if (r == nullptr) return;
    Received e;
    e.selector = sel_getName(cmd);
    e.type = msg<unsigned long>(event, "type");
    e.location = msg<NSPoint>(event, "locationInWindow");
    e.modifierFlags = msg<unsigned long>(event, "modifierFlags");
    e.pressedButtons = cmsg<unsigned long>("NSEvent", "pressedMouseButtons");
    const std::string s = e.selector;
    if (s.find("key") == 0) {
        e.keyCode = msg<unsigned short>(event, "keyCode");
        e.characters = text(msg<id>(event, "characters"));
        e.charactersIgnoringModifiers = text(msg<id>(event, "charactersIgnoringModifiers"));
        e.isARepeat = msg<BOOL>(event, "isARepeat") != NO;
    } else if (s == "scrollWheel:") {
        e.deltaX = msg<double>(event, "deltaX");
        e.deltaY = msg<double>(event, "deltaY");
    } else if (s.find("ouse") != std::string::npos && s.find("Entered") == std::string::npos &&
               s.find("Exited") == std::string::npos && s != "mouseMoved:") {
        e.clickCount = msg<long>(event, "clickCount");
        e.buttonNumber = msg<long>(event, "buttonNumber");
    }
    r->events.push_back(e);
    if (r->onEvent) r->onEvent(r->events.back());
}

void drawRect(id self, SEL, NSRect rect) {
    Recorder* r = recorderOf(self);
    if (r == nullptr) return;
    r->drawRects.push_back(rect);
    r->drawContexts.push_back(cmsg<id>("NSGraphicsContext", "currentContext"));
    if (r->onDraw) r->onDraw(self, rect);
}

void viewWillDraw(id self, SEL) {
    if (Recorder* r = recorderOf(self)) ++r->viewWillDrawCount;
    objc_super s{self, objc_getClass("NSView")};
    reinterpret_cast<void (*)(objc_super*, SEL)>(objc_msgSendSuper)(&s, sel("viewWillDraw"));
}

void layout(id self, SEL) {
    if (Recorder* r = recorderOf(self)) ++r->layoutCount;
}

void updateTrackingAreas(id self, SEL) {
    Recorder* r = recorderOf(self);
    if (r == nullptr) return;
    ++r->updateTrackingAreasCount;
    if (!r->addsTrackingArea) return;
    if (r->trackingArea) {
        msg(self, "removeTrackingArea:", r->trackingArea);
        msg(r->trackingArea, "release");
    }
    const NSRect bounds = rectMsg(self, "bounds");
    r->trackingArea = msg<id>(cmsg<id>("NSTrackingArea", "alloc"), "initWithRect:options:owner:userInfo:", bounds,
                              r->trackingOptions, self, static_cast<id>(nullptr));
    msg(self, "addTrackingArea:", r->trackingArea);
}

void viewDidMoveToWindow(id self, SEL) {
    if (Recorder* r = recorderOf(self)) r->movedToWindow.push_back(msg<id>(self, "window"));
}

BOOL acceptsFirstResponder(id self, SEL) {
    Recorder* r = recorderOf(self);
    return r && r->acceptsFirstResponder ? YES : NO;
}

// The frame through NSView's own implementation, to prove the super call
// with a struct result works.
NSRect frame(id self, SEL) {
    objc_super s{self, objc_getClass("NSView")};
    return reinterpret_cast<NSRect (*)(objc_super*, SEL)>(objc_msgSendSuper_stret)(&s, sel("frame"));
}

void dealloc(id self, SEL) {
    if (Recorder* r = recorderOf(self)) {
        r->deallocated = true;
        if (r->trackingArea) msg(r->trackingArea, "release");
        r->trackingArea = nullptr;
    }
    objc_super s{self, objc_getClass("NSView")};
    reinterpret_cast<void (*)(objc_super*, SEL)>(objc_msgSendSuper)(&s, sel("dealloc"));
}

Class build() {
    Class cls = objc_allocateClassPair(objc_getClass("NSView"), "RecordingView", 0);
    class_addIvar(cls, "recorder", sizeof(void*), 3, "^v");
    for (const char* s : {"mouseDown:", "mouseUp:", "mouseDragged:", "rightMouseDown:", "rightMouseUp:",
                          "rightMouseDragged:", "otherMouseDown:", "otherMouseUp:", "otherMouseDragged:",
                          "mouseMoved:", "mouseEntered:", "mouseExited:", "scrollWheel:", "keyDown:", "keyUp:"})
        class_addMethod(cls, sel(s), imp(recordEvent), "v@:@");
    class_addMethod(cls, sel("drawRect:"), imp(drawRect), "v@:{CGRect={CGPoint=dd}{CGSize=dd}}");
    class_addMethod(cls, sel("viewWillDraw"), imp(viewWillDraw), "v@:");
    class_addMethod(cls, sel("layout"), imp(layout), "v@:");
    class_addMethod(cls, sel("updateTrackingAreas"), imp(updateTrackingAreas), "v@:");
    class_addMethod(cls, sel("viewDidMoveToWindow"), imp(viewDidMoveToWindow), "v@:");
    class_addMethod(cls, sel("acceptsFirstResponder"), imp(acceptsFirstResponder), "c@:");
    class_addMethod(cls, sel("frame"), imp(frame), "{CGRect={CGPoint=dd}{CGSize=dd}}@:");
    class_addMethod(cls, sel("dealloc"), imp(dealloc), "v@:");
    objc_registerClassPair(cls);
    return cls;
}

}  // namespace

Recorder* recorderOf(id view) {
    void* r = nullptr;
    object_getInstanceVariable(view, "recorder", &r);
    return static_cast<Recorder*>(r);
}

Class recordingViewClass() {
    static Class cls = build();
    return cls;
}

}  // namespace apptest
