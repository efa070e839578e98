/* NSWindow: a top-level X window whose whole area is the content view (there
   is no title bar of its own; the window manager draws one). Main thread.

   Class "NSWindow" answers:
     - initWithContentRect:styleMask:backing:defer:
         id (*)(id, SEL, NSRect, NSWindowStyleMask, NSBackingStoreType, BOOL)
         The rect's origin is in screen coordinates with the origin at the
         bottom left. Without the Resizable style the X window gets fixed
         size hints. The X window exists from here on (when NSApp is connected).
     - setTitle:      void (*)(id, SEL, id title)   NSString; WM_NAME and _NET_WM_NAME
     - title          id (*)(id, SEL)
     - contentView    id (*)(id, SEL)
     - setContentView: void (*)(id, SEL, id view)   retained; sized to the content
     - setContentSize: void (*)(id, SEL, NSSize)
     - frame          NSRect (*)(id, SEL)   through objc_msgSend_stret; the content rect
     - makeKeyAndOrderFront:, orderFront:   void (*)(id, SEL, id sender)
         Shows the window: its views get their X windows. Every shown window
         is treated as key.
     - orderOut:      void (*)(id, SEL, id sender)   hides it
     - isVisible, isKeyWindow   BOOL (*)(id, SEL)
     - performClose:  void (*)(id, SEL, id sender)
         What the close button (WM_DELETE_WINDOW) does: asks the delegate's
         windowShouldClose: (if it answers it), then -close.
     - close          void (*)(id, SEL)
         Posts NSWindowWillCloseNotification (the delegate's windowWillClose:
         hears it), then the content view and its subviews leave the window
         (viewDidMoveToWindow with -window nil) and their X windows go, a
         modal run for the window ends, and, when released when closed (the
         default, as on macOS), the window is released.
     - makeFirstResponder:   BOOL (*)(id, SEL, id responder)
         NO when the responder refuses (-acceptsFirstResponder NO).
     - firstResponder        id (*)(id, SEL)   the window itself when no view is
     - setAcceptsMouseMovedEvents:  void (*)(id, SEL, BOOL)
     - acceptsMouseMovedEvents      BOOL (*)(id, SEL)
     - windowNumber   NSInteger (*)(id, SEL)   the top-level X window's id
     - setReleasedWhenClosed:   void (*)(id, SEL, BOOL)   default YES
     - isReleasedWhenClosed     BOOL (*)(id, SEL)
     - setDelegate:   void (*)(id, SEL, id delegate)   not retained
     - delegate       id (*)(id, SEL)
     - sendEvent:     void (*)(id, SEL, id event)
         Delivers an event read from X to its view or responder; a left click
         on a view that accepts first responder makes it first responder. */
#ifndef APPKIT_NSWINDOW_H_
#define APPKIT_NSWINDOW_H_

#include <Foundation/NSObjCRuntime.h>

OBJC_EXTERN_C_BEGIN

typedef NSUInteger NSWindowStyleMask;
enum {
    NSWindowStyleMaskBorderless = 0,
    NSWindowStyleMaskTitled = 1 << 0,
    NSWindowStyleMaskClosable = 1 << 1,
    NSWindowStyleMaskMiniaturizable = 1 << 2,
    NSWindowStyleMaskResizable = 1 << 3
};

typedef NSUInteger NSBackingStoreType;
enum { NSBackingStoreRetained = 0, NSBackingStoreNonretained = 1, NSBackingStoreBuffered = 2 };

/* "NSWindowWillCloseNotification"; the object is the window. */
OBJC_EXPORT id const NSWindowWillCloseNotification;

OBJC_EXTERN_C_END

#endif /* APPKIT_NSWINDOW_H_ */
