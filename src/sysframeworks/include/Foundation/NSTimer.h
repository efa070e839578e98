/* NSTimer: sends [target selector:timer] when its fire date comes, in the run
   loop it was added to, while that run loop runs in one of the timer's modes.
   A repeating timer's fire dates stay on the grid start + k * interval: a
   late firing does not shift later ones, and firings missed entirely are
   skipped (it fires once, then at the next grid date in the future). The
   target and userInfo are retained until the timer is invalidated. An interval
   of zero or less is taken as 0.1 ms. Use a timer on the thread whose run loop
   it is scheduled in.

   Class "NSTimer" answers:
     + timerWithTimeInterval:target:selector:userInfo:repeats:
         id (*)(Class, SEL, NSTimeInterval, id, SEL, id, BOOL)  autoreleased, not
         scheduled; add it with -[NSRunLoop addTimer:forMode:]
     + scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:
         the same, and added to the current thread's run loop in the default mode
     - invalidate    void (*)(id, SEL)   stops it for good; the run loops let go
     - isValid       BOOL (*)(id, SEL)
     - fire          void (*)(id, SEL)   sends the message now; a non-repeating
                                         timer is invalidated, a repeating one
                                         keeps its schedule
     - timeInterval  NSTimeInterval (*)(id, SEL)   0 for a non-repeating timer
     - fireDate      id (*)(id, SEL)     autoreleased NSDate
     - userInfo      id (*)(id, SEL) */
#ifndef FOUNDATION_NSTIMER_H_
#define FOUNDATION_NSTIMER_H_

#include <Foundation/NSObjCRuntime.h>

#endif /* FOUNDATION_NSTIMER_H_ */
