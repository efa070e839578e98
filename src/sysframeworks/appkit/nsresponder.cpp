// NSResponder: the event methods every responder has; by default each passes
// the event to -nextResponder, and the end of the chain drops it silently.

#include "sysframeworks/appkit/appkitimpl.h"
#include "sysframeworks/common/objcclass.h"

namespace appkit {
namespace {

using namespace sysfw::objc;

constexpr const char* kEventSelectors[] = {
    "mouseDown:",      "mouseUp:",         "mouseDragged:",      "rightMouseDown:", "rightMouseUp:",
    "rightMouseDragged:", "otherMouseDown:", "otherMouseUp:",    "otherMouseDragged:", "mouseMoved:",
    "mouseEntered:",   "mouseExited:",     "scrollWheel:",       "keyDown:",        "keyUp:",
    "flagsChanged:",
};

void passOn(id self, SEL cmd, id event) {
    id next = send<id>(self, "nextResponder");
    if (next == nullptr) return;
    Retained keep(next);
    reinterpret_cast<void (*)(id, SEL, id)>(objc_msgSend)(next, cmd, event);
}

id nextResponder(id, SEL) { return nullptr; }
BOOL no(id, SEL) { return NO; }
BOOL yes(id, SEL) { return YES; }

Class build() {
    Class cls = objc_allocateClassPair(objc_getClass("NSObject"), "NSResponder", 0);
    if (cls == Nil) return objc_getClass("NSResponder");
    for (const char* s : kEventSelectors) class_addMethod(cls, sel(s), imp(passOn), "v@:@");
    class_addMethod(cls, sel("nextResponder"), imp(nextResponder), "@@:");
    class_addMethod(cls, sel("acceptsFirstResponder"), imp(no), "c@:");
    class_addMethod(cls, sel("becomeFirstResponder"), imp(yes), "c@:");
    class_addMethod(cls, sel("resignFirstResponder"), imp(yes), "c@:");
    objc_registerClassPair(cls);
    return cls;
}

}  // namespace

Class responderClass() {
    static Class cls = build();
    return cls;
}

}  // namespace appkit
