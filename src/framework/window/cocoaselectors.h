#pragma once
// The selectors the editor's view and its window send or implement, registered
// once per process with the run-time loaded class runtime.

#include <objc/objc.h>

namespace fw::cocoa {

struct Selectors {
    // NSObject, NSString
    SEL alloc, release, initWithUTF8String, length, characterAtIndex;
    // NSColorSpace, NSGraphicsContext, NSDate, NSTimer, NSRunLoop
    SEL sRGBColorSpace, CGColorSpace, currentContext, CGContext, timeIntervalSinceReferenceDate, distantFuture;
    SEL timerWithTimeInterval, onTimer, invalidate, currentRunLoop, addTimerForMode, runModeBeforeDate;
    // NSView
    SEL initWithFrame, setWantsLayer, addSubview, removeFromSuperview, frame, bounds, setFrameSize;
    SEL setNeedsDisplayInRect, window, convertPointFromView, addTrackingArea, removeTrackingArea, layer;
    SEL setContentsFormat;
    // NSWindow, NSApplication
    SEL makeFirstResponder, setAcceptsMouseMovedEvents, initWithContentRect, setContentView;
    SEL makeKeyAndOrderFront, setReleasedWhenClosed, isVisible, close, sharedApplication;
    SEL activateIgnoringOtherApps;
    // NSEvent
    SEL locationInWindow, pressedMouseButtons, modifierFlags, clickCount, buttonNumber, keyCode;
    SEL charactersIgnoringModifiers, deltaX, deltaY;
    // NSCursor, NSTrackingArea
    SEL hide, unhide, set, initTrackingArea;
    // The view's own methods
    SEL keyDown, keyUp, mouseDown, rightMouseDown, otherMouseDown, mouseUp, rightMouseUp, otherMouseUp;
    SEL mouseMoved, mouseDragged, rightMouseDragged, otherMouseDragged, scrollWheel, mouseEntered, mouseExited;
    SEL updateTrackingAreas, acceptsFirstResponder, isOpaque, acceptsFirstMouse, viewDidMoveToWindow, layout;
    SEL viewWillDraw, drawRect, dealloc;
};

// Any thread (the first call loads Cocoa).
const Selectors& selectors() noexcept;

}  // namespace fw::cocoa
