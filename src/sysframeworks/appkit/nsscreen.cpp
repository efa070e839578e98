// NSScreen: the X screen AppKit is connected to, as the one main screen.

#include "sysframeworks/appkit/appkitimpl.h"
#include "sysframeworks/common/objcclass.h"

#include <AppKit/AppKit.h>

namespace appkit {
namespace {

using namespace sysfw::objc;

// The screen in Cocoa's coordinates: origin bottom left, the full X screen.
CGRect screenFrame(id, SEL) {
    Display* d = display();
    if (d == nullptr) return CGRect{};
    const int screen = DefaultScreen(d);
    return CGRect{{0, 0}, {double(DisplayWidth(d, screen)), double(DisplayHeight(d, screen))}};
}

id mainScreen(Class cls, SEL) {
    // Made once: there is one X screen per connection.
    static id screen = send<id>(send<id>(reinterpret_cast<id>(cls), "alloc"), "init");
    return display() != nullptr ? screen : nullptr;
}

Class screenType() {
    static const Class cls = [] {
        Class c = objc_allocateClassPair(objc_getClass("NSObject"), "NSScreen", 0);
        class_addMethod(metaclass(c), sel("mainScreen"), imp(mainScreen), "@#:");
        class_addMethod(c, sel("frame"), imp(screenFrame), "{CGRect={CGPoint=dd}{CGSize=dd}}@:");
        // No panels or docks here: all of the screen is visible.
        class_addMethod(c, sel("visibleFrame"), imp(screenFrame), "{CGRect={CGPoint=dd}{CGSize=dd}}@:");
        objc_registerClassPair(c);
        return c;
    }();
    return cls;
}

}  // namespace

Class screenClass() { return screenType(); }

}  // namespace appkit
