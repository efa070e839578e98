// NSRunLoop: per-thread timers by mode and, on the main thread, the event
// source AppKit installs. Also the mode-name constants.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/common/objcclass.h"
#include "sysframeworks/foundation/foundationimpl.h"
#include "sysframeworks/foundation/runloopimpl.h"
#include "sysframeworks/foundation/runloopsource.h"

#include <Foundation/NSRunLoop.h>

#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <mutex>
#include <vector>

extern "C" {
id const NSDefaultRunLoopMode = foundation::newString("kCFRunLoopDefaultMode");
id const NSRunLoopCommonModes = foundation::newString("kCFRunLoopCommonModes");
id const NSModalPanelRunLoopMode =
    foundation::newString("NSModalPanelRunLoopMode");
id const NSEventTrackingRunLoopMode =
    foundation::newString("NSEventTrackingRunLoopMode");
}

namespace foundation {
namespace {

using namespace sysfw::objc;

const SysFwRunLoopEventSource* g_mainSource = nullptr;

bool isMainThread() { return static_cast<pid_t>(syscall(SYS_gettid)) == getpid(); }

// Whether a timer added for `timerMode` fires while running in `runMode`.
bool modeMatches(const std::string& timerMode, const std::string& runMode) {
    if (timerMode == runMode) return true;
    return timerMode == "kCFRunLoopCommonModes" &&
           (runMode == "kCFRunLoopDefaultMode" || runMode == "NSModalPanelRunLoopMode" ||
            runMode == "NSEventTrackingRunLoopMode");
}

struct LoopState {
    struct Entry {
        id timer;  // retained
        std::string mode;
    };
    std::vector<Entry> timers;
    bool main = false;

    void destroy(id) {
        for (Entry& e : timers) release(e.timer);
        timers.clear();
    }

    void dropInvalid() {
        std::vector<id> gone;
        std::erase_if(timers, [&](const Entry& e) {
            if (timerIsValid(e.timer)) return false;
            gone.push_back(e.timer);
            return true;
        });
        for (id t : gone) release(t);
    }

    const SysFwRunLoopEventSource* source() const { return main ? g_mainSource : nullptr; }

    bool hasSources(const std::string& mode) {
        dropInvalid();
        const SysFwRunLoopEventSource* s = source();
        if (s && s->fileDescriptor() >= 0) return true;
        return std::any_of(timers.begin(), timers.end(), [&](const Entry& e) { return modeMatches(e.mode, mode); });
    }

    // The earliest fire date of the mode's timers; +inf when none.
    double nextFireDate(const std::string& mode) const {
        double next = INFINITY;
        for (const Entry& e : timers)
            if (modeMatches(e.mode, mode) && timerIsValid(e.timer)) next = std::min(next, timerFireDate(e.timer));
        return next;
    }

    // Fires every timer of the mode due at the start of the pass, earliest
    // first; true when any fired.
    bool fireDueTimers(const std::string& mode) {
        const double t = now();
        std::vector<id> due;
        for (const Entry& e : timers)
            if (modeMatches(e.mode, mode) && timerIsValid(e.timer) && timerFireDate(e.timer) <= t &&
                std::find(due.begin(), due.end(), e.timer) == due.end())
                due.push_back(retain(e.timer));
        std::stable_sort(due.begin(), due.end(), [](id a, id b) { return timerFireDate(a) < timerFireDate(b); });
        for (id timer : due) {
            {
                PoolScope pool;
                timerFireFromRunLoop(timer, t);
            }
            release(timer);
        }
        dropInvalid();
        return !due.empty();
    }

    void wait(const std::string& mode, double limit) {
        const SysFwRunLoopEventSource* s = source();
        if (s && s->hasQueuedEvents()) return;
        double until = std::min(limit, nextFireDate(mode));
        double seconds = until - now();
        if (seconds <= 0) return;
        // Long waits are cut into slices; the caller loops.
        seconds = std::min(seconds, 3600.0);
        timespec ts{};
        ts.tv_sec = static_cast<time_t>(seconds);
        ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
        const int fd = s ? s->fileDescriptor() : -1;
        pollfd p{fd, POLLIN, 0};
        ppoll(fd >= 0 ? &p : nullptr, fd >= 0 ? 1 : 0, &ts, nullptr);
    }

    BOOL runOnce(const std::string& mode, double limit) {
        if (!hasSources(mode)) return NO;
        for (;;) {
            bool handled = false;
            const SysFwRunLoopEventSource* s = source();
            if (s) handled = s->dispatchEvents(mode.c_str()) || handled;
            handled = fireDueTimers(mode) || handled;
            if ((s = source()) != nullptr) {
                PoolScope pool;
                s->finishPass();
            }
            if (handled || now() >= limit) return YES;
            if (!hasSources(mode)) return YES;
            wait(mode, limit);
        }
    }
};

const StatefulClass<LoopState>& loopType();

std::mutex g_mainMutex;
id g_mainLoop = nullptr;

// A secondary thread's run loop goes when the thread ends.
struct ThreadLoop {
    id loop = nullptr;
    bool owned = false;
    ~ThreadLoop() {
        if (owned) release(loop);
    }
};
thread_local ThreadLoop t_currentLoop;

id mainRunLoop(Class, SEL) {
    std::lock_guard lock(g_mainMutex);
    if (g_mainLoop == nullptr) {
        g_mainLoop = loopType().create();
        loopType().stateOf(g_mainLoop)->main = true;
    }
    return g_mainLoop;
}

id currentRunLoop(Class cls, SEL) {
    ThreadLoop& t = t_currentLoop;
    if (t.loop) return t.loop;
    if (isMainThread()) {
        t.loop = mainRunLoop(cls, nullptr);
    } else {
        t.loop = loopType().create();
        t.owned = true;
    }
    return t.loop;
}

void addTimer(id self, SEL, id timer, id mode) {
    const std::string* m = stringText(mode);
    if (!timerIsValid(timer) || m == nullptr) {
        sysfw::reportMisuse("-[NSRunLoop addTimer:forMode:]", "not a valid NSTimer, or the mode is not an NSString");
        return;
    }
    LoopState* s = loopType().stateOf(self);
    for (const LoopState::Entry& e : s->timers)
        if (e.timer == timer && e.mode == *m) return;
    s->timers.push_back(LoopState::Entry{retain(timer), *m});
}

BOOL runModeBeforeDate(id self, SEL, id mode, id date) {
    const std::string* m = stringText(mode);
    if (m == nullptr) {
        sysfw::reportMisuse("-[NSRunLoop runMode:beforeDate:]", "the mode is not an NSString");
        return NO;
    }
    const std::string modeName = *m;
    Retained keep(self);
    return loopType().stateOf(self)->runOnce(modeName, dateTime(date, now()));
}

void runUntilDate(id self, SEL, id date) {
    const double limit = dateTime(date, now());
    Retained keep(self);
    LoopState* s = loopType().stateOf(self);
    while (now() < limit)
        if (!s->runOnce("kCFRunLoopDefaultMode", limit)) return;
}

const StatefulClass<LoopState>& loopType() {
    static const StatefulClass<LoopState> type("NSRunLoop", objc_getClass("NSObject"), [](Class cls) {
        Class meta = metaclass(cls);
        class_addMethod(meta, sel("currentRunLoop"), imp(currentRunLoop), "@#:");
        class_addMethod(meta, sel("mainRunLoop"), imp(mainRunLoop), "@#:");
        class_addMethod(cls, sel("addTimer:forMode:"), imp(addTimer), "v@:@@");
        class_addMethod(cls, sel("runMode:beforeDate:"), imp(runModeBeforeDate), "c@:@@");
        class_addMethod(cls, sel("runUntilDate:"), imp(runUntilDate), "v@:@");
    });
    return type;
}

// Every class exists as soon as the library is loaded, so objc_getClass finds
// them before anything has been sent to them.
__attribute__((constructor)) void registerClasses() {
    stringClass();
    dateClass();
    timerClass();
    runLoopClass();
    notificationClass();
    notificationCenterClass();
    autoreleasePoolClass();
}

}  // namespace

Class runLoopClass() { return loopType().cls(); }

}  // namespace foundation

extern "C" void SysFwRunLoopSetMainEventSource(const SysFwRunLoopEventSource* source) {
    foundation::g_mainSource = source;
}
