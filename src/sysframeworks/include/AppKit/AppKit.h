/* AppKit umbrella header (the parts available here), shown through X11. The
   classes exist once the AppKit library is loaded; reach them with
   objc_getClass and objc_msgSend. Everything in AppKit is for the main thread
   only (NSApplicationLoad excepted). */
#ifndef APPKIT_APPKIT_H_
#define APPKIT_APPKIT_H_

#include <AppKit/NSApplication.h>
#include <AppKit/NSCursor.h>
#include <AppKit/NSEvent.h>
#include <AppKit/NSGraphicsContext.h>
#include <AppKit/NSResponder.h>
#include <AppKit/NSScreen.h>
#include <AppKit/NSTrackingArea.h>
#include <AppKit/NSView.h>
#include <AppKit/NSWindow.h>
#include <Foundation/Foundation.h>
#include <objc/message.h>
#include <objc/runtime.h>

#endif /* APPKIT_APPKIT_H_ */
