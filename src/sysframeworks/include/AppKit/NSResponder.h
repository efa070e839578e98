/* NSResponder: the base of NSView, NSWindow and NSApplication. Main thread.

   Class "NSResponder" answers (all void (*)(id, SEL, id event) unless said):
     - mouseDown:, mouseUp:, mouseDragged:, rightMouseDown:, rightMouseUp:,
       rightMouseDragged:, otherMouseDown:, otherMouseUp:, otherMouseDragged:,
       mouseMoved:, mouseEntered:, mouseExited:, scrollWheel:, keyDown:,
       keyUp:, flagsChanged:
         Each passes the event to -nextResponder; at the end of the chain it
         is dropped silently.
     - nextResponder          id (*)(id, SEL)  a view's superview, then its window
     - acceptsFirstResponder  BOOL (*)(id, SEL)  NO (a window: YES)
     - becomeFirstResponder, resignFirstResponder   BOOL (*)(id, SEL)  YES */
#ifndef APPKIT_NSRESPONDER_H_
#define APPKIT_NSRESPONDER_H_

#include <Foundation/NSObjCRuntime.h>

#endif /* APPKIT_NSRESPONDER_H_ */
