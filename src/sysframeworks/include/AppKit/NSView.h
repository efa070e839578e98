/* NSView. Subclass it at run time with
       objc_allocateClassPair(objc_getClass("NSView"), name, 0)
   and override any method below; objc_msgSendSuper (objc_msgSendSuper_stret
   for NSRect results) reaches NSView's. Main thread.

   Coordinates are bottom-up (origin bottom-left) unless -isFlipped. A view in
   a shown window is an X child window of its superview's (the content view:
   of its window's) X window at its frame; it is created when the view enters
   a shown window (or the window is shown) and destroyed when it leaves, is
   removed from its superview, or is freed.

   Each pass of the main run loop, after the events and timers, lays out then
   displays every shown window: -layout goes to the views that need it,
   parents first; then every view with an invalidated area gets -viewWillDraw,
   then -drawRect: with the union of its invalidated rects (view coordinates,
   clipped to its bounds), with +[NSGraphicsContext currentContext] set to the
   view's; the area is cleared before -drawRect:. X exposures invalidate the
   exposed area. A view is retained around every callback sent to it. The
   view's CGContext is bottom-up (origin bottom-left) even when the view is
   flipped: CGContextDrawImage takes bottom-up rects and draws images upright.

   Class "NSView" answers:
     - initWithFrame:     id (*)(id, SEL, NSRect)
     - init               id (*)(id, SEL)   initWithFrame: of a zero rect
     - frame, bounds      NSRect (*)(id, SEL)   objc_msgSend_stret
     - setFrame:          void (*)(id, SEL, NSRect)   sends setFrameOrigin: and setFrameSize:
     - setFrameSize:      void (*)(id, SEL, NSSize)
     - setFrameOrigin:    void (*)(id, SEL, NSPoint)
         A change of size sets needsLayout and invalidates the whole view. After
         any change the view posts NSViewFrameDidChangeNotification (when
         -postsFrameChangedNotifications) and, in a window, gets
         -updateTrackingAreas.
     - addSubview:        void (*)(id, SEL, id view)   retains it
     - removeFromSuperview  void (*)(id, SEL)
     - superview, window  id (*)(id, SEL)
     - viewDidMoveToWindow  void (*)(id, SEL)   after joining or leaving a window
     - isFlipped, isOpaque, acceptsFirstResponder   BOOL (*)(id, SEL)   NO
     - acceptsFirstMouse:  BOOL (*)(id, SEL, id event)   NO (every window is key here)
     - setNeedsDisplay:    void (*)(id, SEL, BOOL)
     - setNeedsDisplayInRect:  void (*)(id, SEL, NSRect)
     - needsDisplay        BOOL (*)(id, SEL)
     - setNeedsLayout:     void (*)(id, SEL, BOOL)
     - needsLayout         BOOL (*)(id, SEL)
     - layout, viewWillDraw, updateTrackingAreas   void (*)(id, SEL)   do nothing
     - drawRect:           void (*)(id, SEL, NSRect)   does nothing
     - convertPoint:fromView:, convertPoint:toView:
         NSPoint (*)(id, SEL, NSPoint, id view)   nil: the window's base coordinates
     - addTrackingArea:, removeTrackingArea:   void (*)(id, SEL, id area)   retained
     - setWantsLayer:      void (*)(id, SEL, BOOL)   recorded only
     - wantsLayer          BOOL (*)(id, SEL)
     - layer               id (*)(id, SEL)   always nil
     - setPostsFrameChangedNotifications:  void (*)(id, SEL, BOOL)   default YES
     - postsFrameChangedNotifications      BOOL (*)(id, SEL)
     - nextResponder       id (*)(id, SEL)   the superview, else the window
   and the NSResponder event methods (<AppKit/NSResponder.h>). */
#ifndef APPKIT_NSVIEW_H_
#define APPKIT_NSVIEW_H_

#include <Foundation/NSGeometry.h>
#include <Foundation/NSObjCRuntime.h>

OBJC_EXTERN_C_BEGIN

/* "NSViewFrameDidChangeNotification"; the object is the view. */
OBJC_EXPORT id const NSViewFrameDidChangeNotification;

OBJC_EXTERN_C_END

#endif /* APPKIT_NSVIEW_H_ */
