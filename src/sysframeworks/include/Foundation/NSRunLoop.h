/* NSRunLoop: one per thread; it fires that thread's timers and, on the main
   thread once AppKit has connected to the X server, reads and dispatches the
   window-system events. Use a run loop only on its own thread (mainRunLoop may
   be asked for anywhere, but only run on the main thread).

   One pass of -runMode:beforeDate: on the main thread: read every pending X
   event and dispatch it, fire the due timers of the mode, lay out and display
   every window, flush the X connection; then, if nothing was handled, wait on
   the X connection until the next timer of the mode or the limit date and do
   another pass. Each event, each timer firing and each layout and display pass
   runs inside its own autorelease pool.

   Modes are NSStrings compared by content. NSRunLoopCommonModes stands for the
   default, modal-panel and event-tracking modes: a timer added for it fires in
   any of those.

   Class "NSRunLoop" answers:
     + currentRunLoop      id (*)(Class, SEL)    the calling thread's
     + mainRunLoop         id (*)(Class, SEL)
     - addTimer:forMode:   void (*)(id, SEL, id timer, id mode)  retains the timer
     - runMode:beforeDate: BOOL (*)(id, SEL, id mode, id date)
         returns NO at once when the mode has no timers and no event source;
         otherwise YES, after an event or a timer was handled or at the date
     - runUntilDate:       void (*)(id, SEL, id date)  runs the default mode
         until the date, or until it has nothing left to wait for */
#ifndef FOUNDATION_NSRUNLOOP_H_
#define FOUNDATION_NSRUNLOOP_H_

#include <Foundation/NSObjCRuntime.h>

OBJC_EXTERN_C_BEGIN

/* "kCFRunLoopDefaultMode" */
OBJC_EXPORT id const NSDefaultRunLoopMode;
/* "kCFRunLoopCommonModes" */
OBJC_EXPORT id const NSRunLoopCommonModes;
/* "NSModalPanelRunLoopMode" */
OBJC_EXPORT id const NSModalPanelRunLoopMode;
/* "NSEventTrackingRunLoopMode" */
OBJC_EXPORT id const NSEventTrackingRunLoopMode;

OBJC_EXTERN_C_END

#endif /* FOUNDATION_NSRUNLOOP_H_ */
