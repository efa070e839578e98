#include "framework/window/cocoaselectors.h"

#include "framework/platform/systemframeworks.h"

namespace fw::cocoa {

namespace {

Selectors registerSelectors() noexcept {
    const sys::CocoaApi& c = sys::cocoa();
    Selectors s;
    s.alloc = c.sel_registerName("alloc");
    s.release = c.sel_registerName("release");
    s.initWithUTF8String = c.sel_registerName("initWithUTF8String:");
    s.length = c.sel_registerName("length");
    s.characterAtIndex = c.sel_registerName("characterAtIndex:");
    s.sRGBColorSpace = c.sel_registerName("sRGBColorSpace");
    s.CGColorSpace = c.sel_registerName("CGColorSpace");
    s.currentContext = c.sel_registerName("currentContext");
    s.CGContext = c.sel_registerName("CGContext");
    s.timeIntervalSinceReferenceDate = c.sel_registerName("timeIntervalSinceReferenceDate");
    s.distantFuture = c.sel_registerName("distantFuture");
    s.timerWithTimeInterval = c.sel_registerName("timerWithTimeInterval:target:selector:userInfo:repeats:");
    s.onTimer = c.sel_registerName("onTimer:");
    s.invalidate = c.sel_registerName("invalidate");
    s.currentRunLoop = c.sel_registerName("currentRunLoop");
    s.addTimerForMode = c.sel_registerName("addTimer:forMode:");
    s.runModeBeforeDate = c.sel_registerName("runMode:beforeDate:");
    s.initWithFrame = c.sel_registerName("initWithFrame:");
    s.setWantsLayer = c.sel_registerName("setWantsLayer:");
    s.addSubview = c.sel_registerName("addSubview:");
    s.removeFromSuperview = c.sel_registerName("removeFromSuperview");
    s.frame = c.sel_registerName("frame");
    s.bounds = c.sel_registerName("bounds");
    s.setFrameSize = c.sel_registerName("setFrameSize:");
    s.setNeedsDisplayInRect = c.sel_registerName("setNeedsDisplayInRect:");
    s.window = c.sel_registerName("window");
    s.convertPointFromView = c.sel_registerName("convertPoint:fromView:");
    s.addTrackingArea = c.sel_registerName("addTrackingArea:");
    s.removeTrackingArea = c.sel_registerName("removeTrackingArea:");
    s.layer = c.sel_registerName("layer");
    s.setContentsFormat = c.sel_registerName("setContentsFormat:");
    s.makeFirstResponder = c.sel_registerName("makeFirstResponder:");
    s.setAcceptsMouseMovedEvents = c.sel_registerName("setAcceptsMouseMovedEvents:");
    s.initWithContentRect = c.sel_registerName("initWithContentRect:styleMask:backing:defer:");
    s.setContentView = c.sel_registerName("setContentView:");
    s.makeKeyAndOrderFront = c.sel_registerName("makeKeyAndOrderFront:");
    s.setReleasedWhenClosed = c.sel_registerName("setReleasedWhenClosed:");
    s.isVisible = c.sel_registerName("isVisible");
    s.close = c.sel_registerName("close");
    s.sharedApplication = c.sel_registerName("sharedApplication");
    s.activateIgnoringOtherApps = c.sel_registerName("activateIgnoringOtherApps:");
    s.locationInWindow = c.sel_registerName("locationInWindow");
    s.pressedMouseButtons = c.sel_registerName("pressedMouseButtons");
    s.modifierFlags = c.sel_registerName("modifierFlags");
    s.clickCount = c.sel_registerName("clickCount");
    s.buttonNumber = c.sel_registerName("buttonNumber");
    s.keyCode = c.sel_registerName("keyCode");
    s.charactersIgnoringModifiers = c.sel_registerName("charactersIgnoringModifiers");
    s.deltaX = c.sel_registerName("deltaX");
    s.deltaY = c.sel_registerName("deltaY");
    s.hide = c.sel_registerName("hide");
    s.unhide = c.sel_registerName("unhide");
    s.set = c.sel_registerName("set");
    s.initTrackingArea = c.sel_registerName("initWithRect:options:owner:userInfo:");
    s.keyDown = c.sel_registerName("keyDown:");
    s.keyUp = c.sel_registerName("keyUp:");
    s.mouseDown = c.sel_registerName("mouseDown:");
    s.rightMouseDown = c.sel_registerName("rightMouseDown:");
    s.otherMouseDown = c.sel_registerName("otherMouseDown:");
    s.mouseUp = c.sel_registerName("mouseUp:");
    s.rightMouseUp = c.sel_registerName("rightMouseUp:");
    s.otherMouseUp = c.sel_registerName("otherMouseUp:");
    s.mouseMoved = c.sel_registerName("mouseMoved:");
    s.mouseDragged = c.sel_registerName("mouseDragged:");
    s.rightMouseDragged = c.sel_registerName("rightMouseDragged:");
    s.otherMouseDragged = c.sel_registerName("otherMouseDragged:");
    s.scrollWheel = c.sel_registerName("scrollWheel:");
    s.mouseEntered = c.sel_registerName("mouseEntered:");
    s.mouseExited = c.sel_registerName("mouseExited:");
    s.updateTrackingAreas = c.sel_registerName("updateTrackingAreas");
    s.acceptsFirstResponder = c.sel_registerName("acceptsFirstResponder");
    s.isOpaque = c.sel_registerName("isOpaque");
    s.acceptsFirstMouse = c.sel_registerName("acceptsFirstMouse:");
    s.viewDidMoveToWindow = c.sel_registerName("viewDidMoveToWindow");
    s.layout = c.sel_registerName("layout");
    s.viewWillDraw = c.sel_registerName("viewWillDraw");
    s.drawRect = c.sel_registerName("drawRect:");
    s.dealloc = c.sel_registerName("dealloc");
    return s;
}

}  // namespace

const Selectors& selectors() noexcept {
    static const Selectors s = registerSelectors();
    return s;
}

}  // namespace fw::cocoa
