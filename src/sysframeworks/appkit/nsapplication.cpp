// NSApplicationLoad: readies the class runtime for a plug-in that creates
// Cocoa classes at run time. There is no window server to connect to.

#include <AppKit/AppKit.h>

extern "C" BOOL NSApplicationLoad(void) {
    // Looking up the root class makes the runtime create it.
    return objc_getClass("NSObject") != Nil ? YES : NO;
}
