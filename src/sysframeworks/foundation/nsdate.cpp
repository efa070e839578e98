// NSDate: a time in seconds since the reference date, read from the system's
// real-time clock.

#include "sysframeworks/common/objcclass.h"
#include "sysframeworks/foundation/foundationimpl.h"

#include <Foundation/NSDate.h>

#include <ctime>

namespace foundation {
namespace {

using namespace sysfw::objc;

// 2001-01-01 00:00:00 UTC in Unix time.
constexpr double kReferenceDateUnix = 978307200.0;
// Year 4001 and year 1 (on the proleptic Gregorian calendar), as macOS uses.
constexpr double kDistantFuture = 63113904000.0;
constexpr double kDistantPast = -63114076800.0;

struct DateState {
    double time = 0;
    void destroy(id) {}
};

const StatefulClass<DateState>& dateType();

id initWithTime(id self, SEL, double t) {
    dateType().stateOf(self)->time = t;
    return self;
}

id init(id self, SEL) { return initWithTime(self, nullptr, now()); }

double timeOf(id self, SEL) { return dateType().stateOf(self)->time; }
double sinceNow(id self, SEL) { return dateType().stateOf(self)->time - now(); }
double classNow(Class, SEL) { return now(); }

id classDate(Class, SEL) { return autorelease(newDate(now())); }
id classSinceNow(Class, SEL, double seconds) { return autorelease(newDate(now() + seconds)); }

id classDistantFuture(Class, SEL) {
    static id date = newDate(kDistantFuture);
    return date;
}

id classDistantPast(Class, SEL) {
    static id date = newDate(kDistantPast);
    return date;
}

const StatefulClass<DateState>& dateType() {
    static const StatefulClass<DateState> type("NSDate", objc_getClass("NSObject"), [](Class cls) {
        Class meta = metaclass(cls);
        class_addMethod(meta, sel("timeIntervalSinceReferenceDate"), imp(classNow), "d#:");
        class_addMethod(meta, sel("date"), imp(classDate), "@#:");
        class_addMethod(meta, sel("dateWithTimeIntervalSinceNow:"), imp(classSinceNow), "@#:d");
        class_addMethod(meta, sel("distantFuture"), imp(classDistantFuture), "@#:");
        class_addMethod(meta, sel("distantPast"), imp(classDistantPast), "@#:");
        class_addMethod(cls, sel("init"), imp(init), "@@:");
        class_addMethod(cls, sel("initWithTimeIntervalSinceReferenceDate:"), imp(initWithTime), "@@:d");
        class_addMethod(cls, sel("timeIntervalSinceReferenceDate"), imp(timeOf), "d@:");
        class_addMethod(cls, sel("timeIntervalSinceNow"), imp(sinceNow), "d@:");
    });
    return type;
}

}  // namespace

Class dateClass() { return dateType().cls(); }

double now() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return static_cast<double>(ts.tv_sec) - kReferenceDateUnix + static_cast<double>(ts.tv_nsec) * 1e-9;
}

double dateTime(id date, double fallback) {
    DateState* s = dateType().of(date);
    return s ? s->time : fallback;
}

id newDate(double referenceTime) { return initWithTime(dateType().create(), nullptr, referenceTime); }

}  // namespace foundation
