#pragma once
// Shared inside the AppKit library: the X connection, the classes and the
// internal entry points between them. Everything here runs on the main thread.

#include <CoreGraphics/CGContext.h>
#include <Foundation/NSGeometry.h>
#include <objc/runtime.h>
#include <X11/Xlib.h>

#include <string>
#include <vector>

namespace appkit {

// ---- The X connection (xconnection.cpp) ----
// The display NSApplication opened; null before, or after the connection was lost.
Display* display();
bool displayLost();
// Opens the display from $DISPLAY once; false when it cannot be opened.
bool connect();
// Reports the window a X window belongs to and the view it is (null for a
// window's top-level X window).
void registerXWindow(Window xwin, id window, id view);
void unregisterXWindow(Window xwin);
bool lookUpXWindow(Window xwin, id& window, id& view);
Atom atom(const char* name);
// Where the pointer buttons and modifier keys were at the last X event.
unsigned lastXState();
void setLastXState(unsigned state);

// ---- Classes ----
Class responderClass();
Class applicationClass();
Class windowClass();
Class viewClass();
Class eventClass();
Class cursorClass();
Class trackingAreaClass();
Class graphicsContextClass();
Class colorSpaceClass();
Class screenClass();

// ---- NSApplication (nsapplication.cpp) ----
// A window closed: a modal run for it ends.
void windowDidClose(id window);
// Every window (not retained; a window leaves the list when freed).
std::vector<id>& windowList();

// ---- NSWindow (nswindow.cpp) ----
Window windowXId(id window);
double windowContentHeight(id window);
bool windowIsShown(id window);
// The X connection went away: the window counts as closed.
void windowLoseDisplay(id window);
void windowHandleXEvent(id window, XEvent& ev);
// The layout then the display pass of one window.
void windowLayoutAndDisplay(id window);
bool windowAcceptsMouseMoved(id window);
// The first responder when it is not the window itself; null otherwise.
id windowFirstResponderView(id window);
void windowForgetResponder(id window, id view);
// -[NSWindow sendEvent:]: hands the event to the responder chosen for it.
void deliverEvent(id window, id event);

// ---- NSView (nsview.cpp) ----
// Joins or leaves a window (nil) with all subviews; creates or destroys the X
// windows to match whether that window is shown.
void viewSetWindow(id view, id window);
void viewCreateXWindows(id view, Window parent);
void viewDestroyXWindows(id view);
void viewLoseDisplay(id view);
Window viewXId(id view);
// The top-left of the view's X window in its top-level window's pixels.
void viewOriginInTopLevel(id view, int& x, int& y);
// The area of an Expose event, in the view's X pixels.
void viewExposed(id view, int x, int y, int w, int h);
void viewLayoutPass(id view);
void viewDisplayPass(id view);
std::vector<id> viewTrackingAreas(id view);
NSRect viewFrame(id view);

// ---- NSEvent (nsevent.cpp) ----
struct EventFields {
    unsigned long type = 0;
    id window = nullptr;
    NSPoint location{0, 0};
    unsigned long modifierFlags = 0;
    long clickCount = 0;
    long buttonNumber = 0;
    unsigned short keyCode = 0;
    std::string characters;
    std::string charactersIgnoringModifiers;
    double deltaX = 0;
    double deltaY = 0;
    double timestamp = 0;
    bool isARepeat = false;
    id trackingArea = nullptr;  // retained
    // Who gets it and with which selector (chosen when the X event is read).
    id target = nullptr;  // retained
    std::string action;
};
// A new NSEvent (retain count one).
id newEvent(const EventFields& fields);
const EventFields* eventFields(id event);
unsigned long modifierFlagsFromX(unsigned state);
unsigned long pressedButtonsFromX(unsigned state);

// ---- Keys (keycodes.cpp) ----
// Apple's virtual key code for a key's unshifted keysym; 0xFFFF when unknown.
unsigned short appleKeyCode(unsigned long keysym);
bool isModifierKeysym(unsigned long keysym);
// The characters macOS gives for keys that have their own (arrows, function
// keys, Delete, ...); empty when the X text is used.
std::string appleKeyCharacters(unsigned long keysym);

// ---- Routing X input to views (eventrouting.cpp) ----
void routeXInput(id window, XEvent& ev);
// A view is leaving its window: it no longer gets the captured mouse.
void forgetView(id view);

// ---- NSCursor (nscursor.cpp) ----
// Puts the current cursor (or the blank one while hidden) on a top-level window.
void applyCursor(Window xwin);

// ---- NSGraphicsContext (nsgraphicscontext.cpp) ----
// A new graphics context (retain count one) around a CGContext it retains.
id newGraphicsContext(CGContextRef context);
void setCurrentGraphicsContext(id context);

// A string that lives as long as the process.
id newConstantString(const char* text);

// Sends [obj sel:arg] when obj answers sel.
void sendIfAnswers(id obj, const char* sel, id arg);

}  // namespace appkit
