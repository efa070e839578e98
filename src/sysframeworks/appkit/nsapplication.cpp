// NSApplication: the shared application, its run loop, modal sessions and
// the window list. NSApplicationLoad needs no display.

#include "sysframeworks/appkit/appkitimpl.h"
#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/common/objcclass.h"

#include <AppKit/AppKit.h>

extern "C" {
id NSApp = nullptr;
double NSAppKitVersionNumber = 2022.0;
}

namespace appkit {
namespace {

using namespace sysfw::objc;

struct ModalSession {
    id window;
    long response;
    bool done;
};

struct AppState {
    bool running = false;
    bool stopRequested = false;
    long activationPolicy = 0;
    std::vector<ModalSession> modal;
    void destroy(id) {}
};

const StatefulClass<AppState>& appType();

id runLoopMode(const char* name) { return sendClass<id>(objc_getClass("NSString"), "stringWithUTF8String:", name); }

// One pass of the main run loop in `mode`; false when there is nothing left
// to wait for (no display and no timers).
bool runOnce(const char* mode) {
    PoolScope pool;
    id loop = sendClass<id>(objc_getClass("NSRunLoop"), "mainRunLoop");
    id future = sendClass<id>(objc_getClass("NSDate"), "distantFuture");
    return send<BOOL>(loop, "runMode:beforeDate:", runLoopMode(mode), future) != NO;
}

void run(id self, SEL) {
    AppState* s = appType().stateOf(self);
    if (s->running) {
        sysfw::reportMisuse("-[NSApplication run]", "already running");
        return;
    }
    Retained keep(self);
    s->running = true;
    s->stopRequested = false;
    while (!s->stopRequested && !displayLost())
        if (!runOnce("kCFRunLoopDefaultMode")) break;
    s->running = false;
    s->stopRequested = false;
}

void stop(id self, SEL, id) { appType().stateOf(self)->stopRequested = true; }

void terminate(id self, SEL, id sender) {
    id center = sendClass<id>(objc_getClass("NSNotificationCenter"), "defaultCenter");
    send(center, "postNotificationName:object:", runLoopMode("NSApplicationWillTerminateNotification"), self);
    stop(self, nullptr, sender);
}

long runModalForWindow(id self, SEL, id window) {
    if (!isKindOf(window, windowClass())) {
        sysfw::reportMisuse("-[NSApplication runModalForWindow:]", "not an NSWindow");
        return NSModalResponseAbort;
    }
    AppState* s = appType().stateOf(self);
    Retained keepApp(self);
    Retained keepWindow(window);
    s->modal.push_back(ModalSession{window, NSModalResponseStop, false});
    const size_t depth = s->modal.size();
    send(window, "makeKeyAndOrderFront:", nullptr);
    while (!s->modal[depth - 1].done) {
        if (displayLost() || !windowIsShown(window)) {
            s->modal[depth - 1].response = displayLost() ? NSModalResponseAbort : NSModalResponseStop;
            break;
        }
        if (!runOnce("NSModalPanelRunLoopMode")) {
            s->modal[depth - 1].response = NSModalResponseAbort;
            break;
        }
    }
    const long response = s->modal[depth - 1].response;
    s->modal.resize(depth - 1);
    return response;
}

void endModal(id self, long response, const char* api) {
    AppState* s = appType().stateOf(self);
    for (auto it = s->modal.rbegin(); it != s->modal.rend(); ++it) {
        if (it->done) continue;
        it->response = response;
        it->done = true;
        return;
    }
    sysfw::reportMisuse(api, "no modal session is running");
}

void stopModal(id self, SEL) { endModal(self, NSModalResponseStop, "-[NSApplication stopModal]"); }
void stopModalWithCode(id self, SEL, long code) { endModal(self, code, "-[NSApplication stopModalWithCode:]"); }
void abortModal(id self, SEL) { endModal(self, NSModalResponseAbort, "-[NSApplication abortModal]"); }

BOOL setActivationPolicy(id self, SEL, long policy) {
    if (policy < 0 || policy > 2) return NO;
    appType().stateOf(self)->activationPolicy = policy;
    return YES;
}

long activationPolicy(id self, SEL) { return appType().stateOf(self)->activationPolicy; }

// There is no other application to take focus from: the windows come to the front.
void activateIgnoringOtherApps(id, SEL, BOOL) {
    Display* d = display();
    if (d == nullptr) return;
    for (id w : windowList())
        if (windowIsShown(w)) XRaiseWindow(d, windowXId(w));
}

void sendEvent(id, SEL, id event) {
    const EventFields* f = eventFields(event);
    if (f == nullptr || f->window == nullptr) return;
    Retained keep(event);
    send(f->window, "sendEvent:", event);
}

BOOL isRunning(id self, SEL) { return appType().stateOf(self)->running ? YES : NO; }

id sharedApplication(Class, SEL) {
    if (NSApp) return NSApp;
    if (!connect()) return nullptr;
    NSApp = appType().create();
    return NSApp;
}

const StatefulClass<AppState>& appType() {
    static const StatefulClass<AppState> type("NSApplication", responderClass(), [](Class cls) {
        class_addMethod(metaclass(cls), sel("sharedApplication"), imp(sharedApplication), "@#:");
        class_addMethod(cls, sel("run"), imp(run), "v@:");
        class_addMethod(cls, sel("stop:"), imp(stop), "v@:@");
        class_addMethod(cls, sel("terminate:"), imp(terminate), "v@:@");
        class_addMethod(cls, sel("isRunning"), imp(isRunning), "c@:");
        class_addMethod(cls, sel("runModalForWindow:"), imp(runModalForWindow), "q@:@");
        class_addMethod(cls, sel("stopModal"), imp(stopModal), "v@:");
        class_addMethod(cls, sel("stopModalWithCode:"), imp(stopModalWithCode), "v@:q");
        class_addMethod(cls, sel("abortModal"), imp(abortModal), "v@:");
        class_addMethod(cls, sel("setActivationPolicy:"), imp(setActivationPolicy), "c@:q");
        class_addMethod(cls, sel("activationPolicy"), imp(activationPolicy), "q@:");
        class_addMethod(cls, sel("activateIgnoringOtherApps:"), imp(activateIgnoringOtherApps), "v@:c");
        class_addMethod(cls, sel("sendEvent:"), imp(sendEvent), "v@:@");
    });
    return type;
}

// Every class exists once the library is loaded.
__attribute__((constructor)) void registerClasses() {
    responderClass();
    applicationClass();
    windowClass();
    viewClass();
    eventClass();
    cursorClass();
    trackingAreaClass();
    graphicsContextClass();
    colorSpaceClass();
    screenClass();
}

}  // namespace

Class applicationClass() { return appType().cls(); }

id newConstantString(const char* text) {
    return send<id>(sendClass<id>(objc_getClass("NSString"), "alloc"), "initWithUTF8String:", text);
}

void windowDidClose(id window) {
    if (NSApp == nullptr) return;
    AppState* s = appType().stateOf(NSApp);
    for (ModalSession& m : s->modal)
        if (m.window == window && !m.done) {
            // Closed by the user or -close: stopped; closed by losing the server: aborted.
            m.response = displayLost() ? NSModalResponseAbort : NSModalResponseStop;
            m.done = true;
        }
}

std::vector<id>& windowList() {
    static std::vector<id> windows;
    return windows;
}

}  // namespace appkit

extern "C" BOOL NSApplicationLoad(void) {
    // Looking up the root class makes the runtime create it.
    return objc_getClass("NSObject") != Nil ? YES : NO;
}
