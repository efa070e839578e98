#pragma once
// For the AppKit library: CGContexts that draw into an X window. Exported by
// CoreGraphics, not part of its public headers. Main thread (the thread that
// owns the X connection).

#include <CoreGraphics/CGContext.h>
#include <X11/Xlib.h>

extern "C" {

// A context for `window` (its current size width x height), or NULL (with a
// message) when the window's visual is not 24/32-bit TrueColor.
__attribute__((visibility("default"))) CGContextRef SysFwCGContextCreateForXWindow(Display* display, Window window,
                                                                                 int width, int height);
// After the window was resized.
__attribute__((visibility("default"))) void SysFwCGContextSetSize(CGContextRef context, int width, int height);
// The X connection is gone: the context stops drawing and never touches the
// connection again (not even when released).
__attribute__((visibility("default"))) void SysFwCGContextDetachDisplay(CGContextRef context);
}
