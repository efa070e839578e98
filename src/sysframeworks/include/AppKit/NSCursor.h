/* NSCursor: the standard cursors, shown as X font cursors on every window of
   the application. Main thread.

   Class "NSCursor" answers:
     + arrowCursor, pointingHandCursor, openHandCursor, closedHandCursor,
       crosshairCursor, resizeUpDownCursor, resizeLeftRightCursor, IBeamCursor
                         id (*)(Class, SEL)   shared objects
     + currentCursor     id (*)(Class, SEL)   the last one -set (arrow at first)
     - set               void (*)(id, SEL)
     + hide, unhide      void (*)(Class, SEL)   counted: the pointer shows again
                         after as many unhide as hide */
#ifndef APPKIT_NSCURSOR_H_
#define APPKIT_NSCURSOR_H_

#include <Foundation/NSObjCRuntime.h>

OBJC_EXTERN_C_BEGIN

/* Substitute only: YES while +[NSCursor hide] is in effect. */
OBJC_EXPORT BOOL SysFwNSCursorIsHidden(void);

OBJC_EXTERN_C_END

#endif /* APPKIT_NSCURSOR_H_ */
