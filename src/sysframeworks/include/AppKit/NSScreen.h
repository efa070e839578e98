/* NSScreen: the X screen AppKit is connected to, as the main screen. Main thread.

   Class "NSScreen" answers:
     + mainScreen        id (*)(Class, SEL)    nil until +[NSApplication sharedApplication]
                                               has connected to a display
     - frame             NSRect (*)(id, SEL)   through objc_msgSend_stret; origin (0, 0)
     - visibleFrame      NSRect (*)(id, SEL)   the same: there is no menu bar or dock */
#ifndef APPKIT_NSSCREEN_H_
#define APPKIT_NSSCREEN_H_

#include <Foundation/NSObjCRuntime.h>

#endif /* APPKIT_NSSCREEN_H_ */
