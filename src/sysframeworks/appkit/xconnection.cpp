// The connection to the X server: opened once by NSApplication, plugged into
// the main run loop, and given up for good (without exiting the process) when
// the server goes away.

#include "sysframeworks/appkit/appkitimpl.h"
#include "sysframeworks/common/objcclass.h"
#include "sysframeworks/foundation/runloopsource.h"

#include <X11/XKBlib.h>

#include <unordered_map>
#include <utility>

namespace appkit {
namespace {

using namespace sysfw::objc;

Display* g_display = nullptr;
bool g_lost = false;
bool g_lossHandled = false;
unsigned g_lastState = 0;
std::unordered_map<Window, std::pair<id, id>> g_xwindows;

// Xlib's default exit handler ends the process; this one only records that
// the connection is gone, and the run loop acts on it after Xlib returns.
void onIOErrorExit(Display*, void*) { g_lost = true; }

// The IO error handler is process-wide, and Xlib's default one exits too. Ours
// returns (so the exit handler above runs) for our connection only and hands
// every other connection's error to the handler that was there before.
XIOErrorHandler g_previousIOHandler = nullptr;

int onIOError(Display* d) {
    if (d == g_display) {
        g_lost = true;
        return 0;
    }
    return g_previousIOHandler ? g_previousIOHandler(d) : 0;
}

// Once, outside Xlib: every window counts as closed.
void handleLoss() {
    if (g_lossHandled) return;
    g_lossHandled = true;
    g_xwindows.clear();
    std::vector<id> windows = windowList();
    for (id w : windows) retain(w);
    for (id w : windows) {
        PoolScope pool;
        windowLoseDisplay(w);
    }
    for (id w : windows) release(w);
}

int sourceFd() { return g_display && !g_lost ? ConnectionNumber(g_display) : -1; }

bool sourceHasQueued() { return g_display && !g_lost && XEventsQueued(g_display, QueuedAlready) > 0; }

bool sourceDispatch(const char*) {
    if (g_display == nullptr) return false;
    bool any = false;
    while (!g_lost && XPending(g_display) > 0) {
        XEvent ev;
        XNextEvent(g_display, &ev);
        if (g_lost) break;
        any = true;
        id window = nullptr;
        id view = nullptr;
        if (!lookUpXWindow(ev.xany.window, window, view)) continue;
        PoolScope pool;
        Retained keep(window);
        windowHandleXEvent(window, ev);
    }
    if (g_lost) {
        handleLoss();
        return true;
    }
    return any;
}

void sourceFinishPass() {
    if (g_display == nullptr || g_lost) return;
    std::vector<id> windows = windowList();
    for (id w : windows) retain(w);
    for (id w : windows) {
        if (g_lost) break;
        PoolScope pool;
        windowLayoutAndDisplay(w);
    }
    for (id w : windows) release(w);
    if (!g_lost) XFlush(g_display);
    if (g_lost) handleLoss();
}

const SysFwRunLoopEventSource kSource{sourceFd, sourceHasQueued, sourceDispatch, sourceFinishPass};

}  // namespace

Display* display() { return g_lost ? nullptr : g_display; }
bool displayLost() { return g_lost; }

bool connect() {
    if (g_display) return !g_lost;
    g_display = XOpenDisplay(nullptr);
    if (g_display == nullptr) return false;
    XSetIOErrorExitHandler(g_display, onIOErrorExit, nullptr);
    // A held key then repeats as presses alone, never as release-press pairs
    // that could be split between two reads.
    Bool detectable = False;
    XkbSetDetectableAutoRepeat(g_display, True, &detectable);
    g_previousIOHandler = XSetIOErrorHandler(onIOError);
    SysFwRunLoopSetMainEventSource(&kSource);
    return true;
}

void registerXWindow(Window xwin, id window, id view) { g_xwindows[xwin] = {window, view}; }
void unregisterXWindow(Window xwin) { g_xwindows.erase(xwin); }

bool lookUpXWindow(Window xwin, id& window, id& view) {
    auto it = g_xwindows.find(xwin);
    if (it == g_xwindows.end()) return false;
    window = it->second.first;
    view = it->second.second;
    return true;
}

Atom atom(const char* name) { return g_display && !g_lost ? XInternAtom(g_display, name, False) : None; }

unsigned lastXState() { return g_lastState; }
void setLastXState(unsigned state) { g_lastState = state; }

void sendIfAnswers(id obj, const char* name, id arg) {
    if (responds(obj, name)) send(obj, name, arg);
}

}  // namespace appkit

extern "C" __attribute__((visibility("default"))) BOOL SysFwAppKitDisplayLost(void) {
    return appkit::displayLost() ? YES : NO;
}
