// NSGraphicsContext (the CGContext of the view being drawn) and NSColorSpace.

#include "sysframeworks/appkit/appkitimpl.h"
#include "sysframeworks/common/objcclass.h"

#include <AppKit/AppKit.h>
#include <CoreGraphics/CGColorSpace.h>

namespace appkit {
namespace {

using namespace sysfw::objc;

struct ContextState {
    CGContextRef cg = nullptr;
    void destroy(id) { CGContextRelease(cg); }
};

id g_current = nullptr;

const StatefulClass<ContextState>& contextType() {
    static const StatefulClass<ContextState> type("NSGraphicsContext", objc_getClass("NSObject"), [](Class cls) {
        Class meta = metaclass(cls);
        class_addMethod(meta, sel("currentContext"), imp(+[](Class, SEL) { return g_current; }), "@#:");
        class_addMethod(meta, sel("setCurrentContext:"), imp(+[](Class, SEL, id c) { setCurrentGraphicsContext(c); }),
                        "v#:@");
        class_addMethod(cls, sel("CGContext"), imp(+[](id c, SEL) { return contextType().stateOf(c)->cg; }),
                        "^v@:");
        class_addMethod(cls, sel("graphicsPort"),
                        imp(+[](id c, SEL) { return static_cast<void*>(contextType().stateOf(c)->cg); }), "^v@:");
    });
    return type;
}

struct SpaceState {
    CGColorSpaceRef space = nullptr;
    void destroy(id) { CGColorSpaceRelease(space); }
};

const StatefulClass<SpaceState>& spaceType() {
    static const StatefulClass<SpaceState> type("NSColorSpace", objc_getClass("NSObject"), [](Class cls) {
        class_addMethod(metaclass(cls), sel("sRGBColorSpace"), imp(+[](Class, SEL) {
                            static id space = [] {
                                id s = spaceType().create();
                                spaceType().stateOf(s)->space = CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
                                return s;
                            }();
                            return space;
                        }),
                        "@#:");
        class_addMethod(cls, sel("CGColorSpace"), imp(+[](id s, SEL) { return spaceType().stateOf(s)->space; }),
                        "^v@:");
    });
    return type;
}

}  // namespace

Class graphicsContextClass() { return contextType().cls(); }
Class colorSpaceClass() { return spaceType().cls(); }

id newGraphicsContext(CGContextRef context) {
    id c = contextType().create();
    contextType().stateOf(c)->cg = CGContextRetain(context);
    return c;
}

// Retained while current, so a view released while drawing leaves no dangling context.
void setCurrentGraphicsContext(id context) {
    retain(context);
    release(g_current);
    g_current = context;
}

}  // namespace appkit
