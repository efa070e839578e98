/* NSApplicationLoad prepares Cocoa for use from a C program or plug-in: here it
   makes sure the class runtime, with its root class NSObject, is ready. There is
   no window server connection to make. Any thread; YES on success. */
#ifndef APPKIT_NSAPPLICATION_H_
#define APPKIT_NSAPPLICATION_H_

#include <objc/objc.h>

OBJC_EXTERN_C_BEGIN

OBJC_EXPORT BOOL NSApplicationLoad(void);

OBJC_EXTERN_C_END

#endif /* APPKIT_NSAPPLICATION_H_ */
