/* NSApplicationLoad prepares the class runtime for Cocoa use from a C program
   or plug-in: it makes sure NSObject and the protocols AppKit declares (such as
   "AUCocoaUIBase") are registered. Any thread; YES on success. */
#ifndef APPKIT_NSAPPLICATION_H_
#define APPKIT_NSAPPLICATION_H_

#include <objc/objc.h>

OBJC_EXTERN_C_BEGIN

OBJC_EXPORT BOOL NSApplicationLoad(void);

OBJC_EXTERN_C_END

#endif /* APPKIT_NSAPPLICATION_H_ */
