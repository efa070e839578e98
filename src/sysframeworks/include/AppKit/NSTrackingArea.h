/* NSTrackingArea: tells its owner (not retained) when the pointer enters or
   leaves the view it was added to (mouseEntered:/mouseExited:, option
   NSTrackingMouseEnteredAndExited) or moves in it (mouseMoved:, option
   NSTrackingMouseMoved). Here an area always covers its whole view, whatever
   its rect, and is always active. Main thread.

   Class "NSTrackingArea" answers:
     - initWithRect:options:owner:userInfo:
         id (*)(id, SEL, NSRect, NSTrackingAreaOptions, id owner, id userInfo)
     - rect       NSRect (*)(id, SEL)   objc_msgSend_stret
     - options    NSTrackingAreaOptions (*)(id, SEL)
     - owner, userInfo   id (*)(id, SEL) */
#ifndef APPKIT_NSTRACKINGAREA_H_
#define APPKIT_NSTRACKINGAREA_H_

#include <Foundation/NSObjCRuntime.h>

typedef NSUInteger NSTrackingAreaOptions;
enum {
    NSTrackingMouseEnteredAndExited = 0x01,
    NSTrackingMouseMoved = 0x02,
    NSTrackingCursorUpdate = 0x04,
    NSTrackingActiveWhenFirstResponder = 0x10,
    NSTrackingActiveInKeyWindow = 0x20,
    NSTrackingActiveInActiveApp = 0x40,
    NSTrackingActiveAlways = 0x80,
    NSTrackingAssumeInside = 0x100,
    NSTrackingInVisibleRect = 0x200,
    NSTrackingEnabledDuringMouseDrag = 0x400
};

#endif /* APPKIT_NSTRACKINGAREA_H_ */
