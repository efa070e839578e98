/* NSDate: a point in time, as seconds since 2001-01-01 00:00:00 UTC (the
   reference date). Any thread.

   Class "NSDate" answers:
     + timeIntervalSinceReferenceDate  NSTimeInterval (*)(Class, SEL)  now
     + date                            id (*)(Class, SEL)                 autoreleased
     + dateWithTimeIntervalSinceNow:   id (*)(Class, SEL, NSTimeInterval) autoreleased
     + distantFuture, + distantPast    id (*)(Class, SEL)  shared, never freed
     - initWithTimeIntervalSinceReferenceDate:  id (*)(id, SEL, NSTimeInterval)
     - timeIntervalSinceReferenceDate  NSTimeInterval (*)(id, SEL)
     - timeIntervalSinceNow            NSTimeInterval (*)(id, SEL) */
#ifndef FOUNDATION_NSDATE_H_
#define FOUNDATION_NSDATE_H_

#include <Foundation/NSObjCRuntime.h>

#endif /* FOUNDATION_NSDATE_H_ */
