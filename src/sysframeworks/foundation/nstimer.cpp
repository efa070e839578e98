// NSTimer: a fire date on the grid start + k * interval, a retained target
// and the selector to send it.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/common/objcclass.h"
#include "sysframeworks/foundation/foundationimpl.h"
#include "sysframeworks/foundation/runloopimpl.h"

#include <Foundation/NSTimer.h>

#include <cmath>

namespace foundation {
namespace {

using namespace sysfw::objc;

// What macOS uses for an interval of zero or less.
constexpr double kMinimumInterval = 0.0001;

struct TimerState {
    double interval = 0;
    id target = nullptr;
    SEL selector = nullptr;
    id userInfo = nullptr;
    bool repeats = false;
    double fireDate = 0;
    // Repeating dates are gridStart + periods * interval, computed afresh
    // each time so rounding does not add up.
    double gridStart = 0;
    double periods = 0;
    bool valid = false;

    void invalidate() {
        if (!valid) return;
        valid = false;
        id t = target;
        id u = userInfo;
        target = nullptr;
        userInfo = nullptr;
        release(t);
        release(u);
    }
    void destroy(id) { invalidate(); }
};

const StatefulClass<TimerState>& timerType();

// Sends the message with the timer and its target kept alive, so the target
// may invalidate or release the timer from inside.
void sendMessage(id timer, TimerState* s) {
    Retained keepTimer(timer);
    id target = s->target;
    Retained keepTarget(target);
    reinterpret_cast<void (*)(id, SEL, id)>(objc_msgSend)(target, s->selector, timer);
}

id timerWith(Class, SEL, double interval, id target, SEL selector, id userInfo, BOOL repeats) {
    if (target == nullptr || selector == nullptr) {
        sysfw::reportMisuse("+[NSTimer timerWithTimeInterval:target:selector:userInfo:repeats:]",
                            "nil target or selector");
        return nullptr;
    }
    if (!std::isfinite(interval)) {
        sysfw::reportMisuse("+[NSTimer timerWithTimeInterval:target:selector:userInfo:repeats:]",
                            "the interval is not a finite number");
        return nullptr;
    }
    id timer = timerType().create();
    TimerState* s = timerType().stateOf(timer);
    s->interval = interval > 0 ? interval : kMinimumInterval;
    s->target = retain(target);
    s->selector = selector;
    s->userInfo = retain(userInfo);
    s->repeats = repeats != NO;
    s->fireDate = now() + s->interval;
    s->gridStart = s->fireDate;
    s->valid = true;
    return autorelease(timer);
}

id scheduledTimerWith(Class cls, SEL, double interval, id target, SEL selector, id userInfo, BOOL repeats) {
    id timer = timerWith(cls, nullptr, interval, target, selector, userInfo, repeats);
    if (timer == nullptr) return nullptr;
    id loop = sendClass<id>(runLoopClass(), "currentRunLoop");
    id mode = newString("kCFRunLoopDefaultMode");
    send(loop, "addTimer:forMode:", timer, mode);
    release(mode);
    return timer;
}

void invalidate(id self, SEL) { timerType().stateOf(self)->invalidate(); }
BOOL isValid(id self, SEL) { return timerType().stateOf(self)->valid ? YES : NO; }

double timeInterval(id self, SEL) {
    TimerState* s = timerType().stateOf(self);
    return s->repeats ? s->interval : 0.0;
}

id fireDate(id self, SEL) { return autorelease(newDate(timerType().stateOf(self)->fireDate)); }
id userInfo(id self, SEL) { return timerType().stateOf(self)->userInfo; }

void fire(id self, SEL) {
    TimerState* s = timerType().stateOf(self);
    if (!s->valid) return;
    sendMessage(self, s);
    if (!s->repeats) s->invalidate();
}

const StatefulClass<TimerState>& timerType() {
    static const StatefulClass<TimerState> type("NSTimer", objc_getClass("NSObject"), [](Class cls) {
        Class meta = metaclass(cls);
        class_addMethod(meta, sel("timerWithTimeInterval:target:selector:userInfo:repeats:"), imp(timerWith),
                        "@#:d@:@c");
        class_addMethod(meta, sel("scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:"),
                        imp(scheduledTimerWith), "@#:d@:@c");
        class_addMethod(cls, sel("invalidate"), imp(invalidate), "v@:");
        class_addMethod(cls, sel("isValid"), imp(isValid), "c@:");
        class_addMethod(cls, sel("fire"), imp(fire), "v@:");
        class_addMethod(cls, sel("timeInterval"), imp(timeInterval), "d@:");
        class_addMethod(cls, sel("fireDate"), imp(fireDate), "@@:");
        class_addMethod(cls, sel("userInfo"), imp(userInfo), "@@:");
    });
    return type;
}

}  // namespace

Class timerClass() { return timerType().cls(); }

bool timerIsValid(id timer) {
    TimerState* s = timerType().of(timer);
    return s != nullptr && s->valid;
}

double timerFireDate(id timer) {
    TimerState* s = timerType().of(timer);
    return s ? s->fireDate : 0.0;
}

void timerFireFromRunLoop(id timer, double when) {
    TimerState* s = timerType().of(timer);
    if (s == nullptr || !s->valid) return;
    if (s->repeats) {
        // The next grid date strictly after `when`; missed ones are skipped.
        const double missed = std::floor((when - s->fireDate) / s->interval);
        s->periods += 1.0 + (missed > 0.0 ? missed : 0.0);
        s->fireDate = s->gridStart + s->periods * s->interval;
    }
    sendMessage(timer, s);
    if (!s->repeats) s->invalidate();
}

}  // namespace foundation
