/* CFRunLoop: only the types that other APIs take. There is no event loop here:
   notifications that macOS would post to a run loop are delivered at once on
   the thread that causes them. */
#ifndef COREFOUNDATION_CFRUNLOOP_H_
#define COREFOUNDATION_CFRUNLOOP_H_

#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFString.h>

CF_EXTERN_C_BEGIN

typedef struct __CFRunLoop* CFRunLoopRef;

CF_EXPORT const CFStringRef kCFRunLoopDefaultMode;
CF_EXPORT const CFStringRef kCFRunLoopCommonModes;
CF_EXPORT CFTypeID CFRunLoopGetTypeID(void);
CF_EXPORT CFRunLoopRef CFRunLoopGetCurrent(void);
CF_EXPORT CFRunLoopRef CFRunLoopGetMain(void);

CF_EXTERN_C_END

#endif /* COREFOUNDATION_CFRUNLOOP_H_ */
