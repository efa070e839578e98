/* NSAutoreleasePool: [[NSAutoreleasePool alloc] init] opens a pool on the
   calling thread; -drain (or -release) releases every object autoreleased on
   that thread since, and frees the pool. Pools nest; use one on the thread that
   made it. The same as objc_autoreleasePoolPush/Pop (<objc/runtime.h>).

   Class "NSAutoreleasePool" answers:
     - init     id (*)(id, SEL)
     - drain    void (*)(id, SEL)
     - release  void (*)(id, SEL) */
#ifndef FOUNDATION_NSAUTORELEASEPOOL_H_
#define FOUNDATION_NSAUTORELEASEPOOL_H_

#include <Foundation/NSObjCRuntime.h>

#endif /* FOUNDATION_NSAUTORELEASEPOOL_H_ */
