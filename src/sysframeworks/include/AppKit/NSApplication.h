/* NSApplication: the application object, its event loop and modal sessions.
   Main thread only, like everything in AppKit.

   NSApplicationLoad prepares Cocoa for a C program or plug-in: it makes sure
   the class runtime, with its root class NSObject, is ready. It needs no
   display (plug-ins call it in display-less hosts). Any thread; YES.

   Class "NSApplication" answers:
     + sharedApplication   id (*)(Class, SEL)
         Creates NSApp and connects to the X server named by $DISPLAY. Unlike
         macOS it returns nil when the display cannot be opened (and tries
         again on the next call): a host reports "no display" from that.
     - run                 void (*)(id, SEL)
         Runs the main run loop in the default mode until -stop: or
         -terminate:, or until the X connection is lost.
     - stop:               void (*)(id, SEL, id sender)
     - terminate:          void (*)(id, SEL, id sender)
         Posts NSApplicationWillTerminateNotification and stops -run. Unlike
         macOS it does not exit the process.
     - isRunning           BOOL (*)(id, SEL)
     - runModalForWindow:  NSModalResponse (*)(id, SEL, id window)
         Shows the window and runs the run loop in NSModalPanelRunLoopMode
         until -stopModal (NSModalResponseStop), -stopModalWithCode: (that
         code) or -abortModal (NSModalResponseAbort). If the window closes
         (the user's close button or -close) the run ends with
         NSModalResponseStop; if the X connection is lost, with
         NSModalResponseAbort. Events still reach every window.
     - stopModal, abortModal        void (*)(id, SEL)
     - stopModalWithCode:           void (*)(id, SEL, NSModalResponse)
     - setActivationPolicy:         BOOL (*)(id, SEL, NSApplicationActivationPolicy)
     - activationPolicy             NSApplicationActivationPolicy (*)(id, SEL)
     - activateIgnoringOtherApps:   void (*)(id, SEL, BOOL)   raises the windows
     - sendEvent:                   void (*)(id, SEL, id event)
         Hands an event to its window's -sendEvent:.

   The X server going away never ends the process: every window counts as
   closed (NSWindowWillCloseNotification is posted for each), -run and
   -runModalForWindow: return, and later calls do nothing harmful.
   SysFwAppKitDisplayLost() (not in macOS) tells a host that this happened.
   For that, +sharedApplication installs an X IO error handler (Xlib's default
   one exits); it acts only for AppKit's own connection and passes every
   other connection's IO error to the handler installed before it. No X
   (protocol) error handler is left installed. */
#ifndef APPKIT_NSAPPLICATION_H_
#define APPKIT_NSAPPLICATION_H_

#include <Foundation/NSObjCRuntime.h>

OBJC_EXTERN_C_BEGIN

typedef NSInteger NSModalResponse;
enum {
    NSModalResponseStop = -1000,
    NSModalResponseAbort = -1001,
    NSModalResponseContinue = -1002,
    NSModalResponseOK = 1,
    NSModalResponseCancel = 0
};

typedef NSInteger NSApplicationActivationPolicy;
enum {
    NSApplicationActivationPolicyRegular = 0,
    NSApplicationActivationPolicyAccessory = 1,
    NSApplicationActivationPolicyProhibited = 2
};

/* The shared application; nil until +sharedApplication succeeds. */
OBJC_EXPORT id NSApp;
/* 2022.0: the AppKit of macOS 11. */
OBJC_EXPORT double NSAppKitVersionNumber;

OBJC_EXPORT BOOL NSApplicationLoad(void);

/* Substitute only: YES once the connection to the X server has been lost. */
OBJC_EXPORT BOOL SysFwAppKitDisplayLost(void);

OBJC_EXTERN_C_END

#endif /* APPKIT_NSAPPLICATION_H_ */
