// The Foundation substitute without a display: strings, dates, autorelease
// pools, timers and run-loop modes, notifications.

#include "appkittestutil.h"

#include <Foundation/Foundation.h>

#include <CoreGraphics/CoreGraphics.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sysframeworks/frameworkpaths.h>

#include <cmath>
#include <ctime>
#include <thread>

namespace {

using namespace apptest;

long retainCount(id obj) { return static_cast<long>(msg<unsigned long>(obj, "retainCount")); }

// ---- A target for timers and notifications ----

struct Hits {
    std::vector<id> timers;
    std::vector<double> fireDates;  // [timer fireDate] seen inside each firing
    std::vector<std::string> names;
    std::vector<id> objects;
    std::function<void(id)> onHit;
};

Hits* hitsOf(id obj) {
    void* h = nullptr;
    object_getInstanceVariable(obj, "hits", &h);
    return static_cast<Hits*>(h);
}

void timerHit(id self, SEL, id timer) {
    Hits* h = hitsOf(self);
    h->timers.push_back(timer);
    h->fireDates.push_back(msg<double>(msg<id>(timer, "fireDate"), "timeIntervalSinceReferenceDate"));
    if (h->onHit) h->onHit(timer);
}

void noteHit(id self, SEL, id note) {
    Hits* h = hitsOf(self);
    h->names.push_back(text(msg<id>(note, "name")));
    h->objects.push_back(msg<id>(note, "object"));
    if (h->onHit) h->onHit(note);
}

int g_deallocs = 0;
void countingDealloc(id self, SEL) {
    ++g_deallocs;
    objc_super s{self, objc_getClass("NSObject")};
    reinterpret_cast<void (*)(objc_super*, SEL)>(objc_msgSendSuper)(&s, sel("dealloc"));
}

Class targetClass() {
    static Class cls = [] {
        Class c = objc_allocateClassPair(objc_getClass("NSObject"), "FoundationTestTarget", 0);
        class_addIvar(c, "hits", sizeof(void*), 3, "^v");
        class_addMethod(c, sel("tick:"), imp(timerHit), "v@:@");
        class_addMethod(c, sel("note:"), imp(noteHit), "v@:@");
        class_addMethod(c, sel("dealloc"), imp(countingDealloc), "v@:");
        objc_registerClassPair(c);
        return c;
    }();
    return cls;
}

id newTarget(Hits* hits) {
    id t = msg<id>(reinterpret_cast<id>(targetClass()), "new");
    object_setInstanceVariable(t, "hits", hits);
    return t;
}

id newTimer(double interval, id target, bool repeats) {
    return cmsg<id>("NSTimer", "timerWithTimeInterval:target:selector:userInfo:repeats:", interval, target,
                    sel("tick:"), static_cast<id>(nullptr), static_cast<BOOL>(repeats));
}

id currentLoop() { return cmsg<id>("NSRunLoop", "currentRunLoop"); }

// ---- Loading ----

TEST(FoundationLoading, CocoaReExportsFoundationAndAppKitAndCoreGraphicsStandsAlone) {
    void* cocoa = dlopen(sysframeworks::kCocoaPath, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(cocoa, nullptr) << dlerror();
    for (const char* symbol : {"NSDefaultRunLoopMode", "NSRunLoopCommonModes", "NSApp", "NSApplicationLoad",
                               "NSViewFrameDidChangeNotification", "NSWindowWillCloseNotification",
                               "objc_autoreleasePoolPush", "objc_msgSendSuper_stret", "CFStringCreateWithCString"})
        EXPECT_NE(dlsym(cocoa, symbol), nullptr) << symbol;
    auto* version = static_cast<double*>(dlsym(cocoa, "NSAppKitVersionNumber"));
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(*version, 2022.0);
    void* cg = dlopen(sysframeworks::kCoreGraphicsPath, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(cg, nullptr) << dlerror();
    EXPECT_NE(dlsym(cg, "CGContextDrawImage"), nullptr);
    EXPECT_NE(dlsym(cg, "kCGColorSpaceSRGB"), nullptr);
    EXPECT_NE(dlopen(sysframeworks::kFoundationPath, RTLD_NOW | RTLD_LOCAL), nullptr);
}

// ---- Strings ----

TEST(FoundationStrings, KeepUtf8TextAndCountUtf16Units) {
    void* pool = objc_autoreleasePoolPush();
    // a, e-acute (2 bytes), euro (3 bytes), G clef (4 bytes: a surrogate pair).
    id s = str("a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(text(s), "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E");
    EXPECT_EQ(msg<unsigned long>(s, "length"), 5u);
    EXPECT_EQ(msg<unsigned short>(s, "characterAtIndex:", 0ul), u'a');
    EXPECT_EQ(msg<unsigned short>(s, "characterAtIndex:", 1ul), 0x00E9);
    EXPECT_EQ(msg<unsigned short>(s, "characterAtIndex:", 2ul), 0x20AC);
    EXPECT_EQ(msg<unsigned short>(s, "characterAtIndex:", 3ul), 0xD834);
    EXPECT_EQ(msg<unsigned short>(s, "characterAtIndex:", 4ul), 0xDD1E);
    EXPECT_EQ(msg<unsigned short>(s, "characterAtIndex:", 5ul), 0) << "out of range gives 0, not a read past the end";
    EXPECT_EQ(msg<unsigned long>(str(""), "length"), 0u);
    objc_autoreleasePoolPop(pool);
}

TEST(FoundationStrings, CompareByContentAndRefuseBadInput) {
    void* pool = objc_autoreleasePoolPush();
    id a = str("kCFRunLoopDefaultMode");
    EXPECT_TRUE(msg<BOOL>(a, "isEqualToString:", str("kCFRunLoopDefaultMode")));
    EXPECT_TRUE(msg<BOOL>(a, "isEqualToString:", NSDefaultRunLoopMode));
    EXPECT_FALSE(msg<BOOL>(a, "isEqualToString:", str("kCFRunLoopDefaultMod")));
    EXPECT_FALSE(msg<BOOL>(a, "isEqualToString:", static_cast<id>(nullptr)));
    EXPECT_FALSE(msg<BOOL>(a, "isEqualToString:", cmsg<id>("NSDate", "date"))) << "not a string";
    EXPECT_EQ(str("\xC3"), nullptr) << "truncated sequence";
    EXPECT_EQ(str("\xC0\xAF"), nullptr) << "overlong form";
    EXPECT_EQ(str("\xED\xA0\x80"), nullptr) << "encoded surrogate";
    EXPECT_EQ(str("\xF4\x90\x80\x80"), nullptr) << "past U+10FFFF";
    EXPECT_EQ(cmsg<id>("NSString", "stringWithUTF8String:", static_cast<const char*>(nullptr)), nullptr);
    EXPECT_EQ(text(NSRunLoopCommonModes), "kCFRunLoopCommonModes");
    EXPECT_EQ(text(NSModalPanelRunLoopMode), "NSModalPanelRunLoopMode");
    EXPECT_EQ(text(NSEventTrackingRunLoopMode), "NSEventTrackingRunLoopMode");
    objc_autoreleasePoolPop(pool);
}

// ---- Dates ----

TEST(FoundationDates, CountSecondsFromTheReferenceDate) {
    void* pool = objc_autoreleasePoolPush();
    const double unixNow = static_cast<double>(std::time(nullptr));
    const double now = cmsg<double>("NSDate", "timeIntervalSinceReferenceDate");
    // 2001-01-01 is 11323 days after 1970-01-01.
    EXPECT_NEAR(now, unixNow - 11323.0 * 86400.0, 2.0);
    const double later = msg<double>(dateIn(3600), "timeIntervalSinceReferenceDate");
    EXPECT_NEAR(later - now, 3600.0, 2.0);
    const double date = msg<double>(cmsg<id>("NSDate", "date"), "timeIntervalSinceReferenceDate");
    EXPECT_NEAR(date, now, 2.0);
    EXPECT_GT(msg<double>(cmsg<id>("NSDate", "distantFuture"), "timeIntervalSinceReferenceDate"), 6.0e10);
    EXPECT_EQ(cmsg<id>("NSDate", "distantFuture"), cmsg<id>("NSDate", "distantFuture"));
    objc_autoreleasePoolPop(pool);
}

// ---- Autorelease pools ----

TEST(FoundationAutoreleasePools, ReleaseAtPopInnermostFirstAndNest) {
    g_deallocs = 0;
    Hits hits;
    void* outer = objc_autoreleasePoolPush();
    id a = newTarget(&hits);
    msg<id>(a, "autorelease");
    void* inner = objc_autoreleasePoolPush();
    id b = newTarget(&hits);
    msg<id>(b, "autorelease");
    id c = newTarget(&hits);
    msg<id>(msg<id>(c, "retain"), "autorelease");
    objc_autoreleasePoolPop(inner);
    EXPECT_EQ(g_deallocs, 1) << "only b went; c had an extra reference";
    EXPECT_EQ(retainCount(c), 1);
    objc_autoreleasePoolPop(outer);
    EXPECT_EQ(g_deallocs, 2) << "a went with the outer pool";
    msg(c, "release");
    EXPECT_EQ(g_deallocs, 3);

    // Popping an outer pool pops the inner ones still open.
    void* p1 = objc_autoreleasePoolPush();
    objc_autoreleasePoolPush();
    msg<id>(newTarget(&hits), "autorelease");
    objc_autoreleasePoolPop(p1);
    EXPECT_EQ(g_deallocs, 4);
}

TEST(FoundationAutoreleasePools, NSAutoreleasePoolDrainsConvenienceObjects) {
    g_deallocs = 0;
    id pool = msg<id>(cmsg<id>("NSAutoreleasePool", "alloc"), "init");
    id s = str("autoreleased");
    msg<id>(s, "retain");
    const long before = retainCount(s);
    Hits hits;
    msg<id>(newTarget(&hits), "autorelease");
    msg(pool, "drain");
    EXPECT_EQ(retainCount(s), before - 1) << "the pool let go of the string";
    EXPECT_EQ(g_deallocs, 1);
    msg(s, "release");

    // No pool open: the object keeps its reference (as before pools existed).
    id kept = newTarget(&hits);
    msg<id>(kept, "autorelease");
    EXPECT_EQ(retainCount(kept), 1);
    msg(kept, "release");
    EXPECT_EQ(g_deallocs, 2);
}

// ---- Timers ----

TEST(FoundationTimers, RetainTheTargetUntilInvalidatedAndFireOnDemand) {
    void* pool = objc_autoreleasePoolPush();
    Hits hits;
    id target = newTarget(&hits);
    id once = newTimer(100.0, target, false);
    EXPECT_EQ(retainCount(target), 2);
    EXPECT_TRUE(msg<BOOL>(once, "isValid"));
    EXPECT_EQ(msg<double>(once, "timeInterval"), 0.0) << "a non-repeating timer reports 0";
    msg(once, "fire");
    ASSERT_EQ(hits.timers.size(), 1u);
    EXPECT_EQ(hits.timers[0], once) << "the selector gets the timer";
    EXPECT_FALSE(msg<BOOL>(once, "isValid")) << "-fire ends a non-repeating timer";
    EXPECT_EQ(retainCount(target), 1);

    id repeating = newTimer(100.0, target, true);
    EXPECT_EQ(msg<double>(repeating, "timeInterval"), 100.0);
    msg(repeating, "fire");
    EXPECT_TRUE(msg<BOOL>(repeating, "isValid")) << "-fire keeps a repeating timer";
    msg(repeating, "invalidate");
    EXPECT_FALSE(msg<BOOL>(repeating, "isValid"));
    EXPECT_EQ(retainCount(target), 1);
    msg(repeating, "fire");
    EXPECT_EQ(hits.timers.size(), 2u) << "an invalid timer does not fire";
    objc_autoreleasePoolPop(pool);
    msg(target, "release");
}

TEST(FoundationTimers, RepeatOnTheirGridAndSkipMissedFirings) {
    void* pool = objc_autoreleasePoolPush();
    Hits hits;
    id target = newTarget(&hits);
    const double interval = 0.02;
    id timer = newTimer(interval, target, true);
    const double start = msg<double>(msg<id>(timer, "fireDate"), "timeIntervalSinceReferenceDate");
    // The first firing takes 3.5 intervals; the timer must not catch up afterwards.
    hits.onHit = [&](id) {
        if (hits.timers.size() == 1) std::this_thread::sleep_for(std::chrono::milliseconds(70));
    };
    msg(currentLoop(), "addTimer:forMode:", timer, NSDefaultRunLoopMode);
    ASSERT_TRUE(runUntil([&] { return hits.timers.size() >= 4; }));
    msg(timer, "invalidate");
    for (size_t i = 0; i < hits.fireDates.size(); ++i) {
        const double periods = (hits.fireDates[i] - start) / interval;
        EXPECT_NEAR(periods, std::round(periods), 1e-4) << "firing " << i << " left the grid";
        if (i > 0) {
            EXPECT_GT(hits.fireDates[i], hits.fireDates[i - 1]);
        }
    }
    // A firing sees its next date. The first saw start + 1; its 3.5 periods
    // let the second come at start + 3.5 or later, whose next date is then
    // start + 4 or later: one firing for all the missed ones.
    EXPECT_GE(std::round((hits.fireDates[1] - hits.fireDates[0]) / interval), 3.0);
    EXPECT_EQ(std::round((hits.fireDates[2] - hits.fireDates[1]) / interval), 1.0);
    objc_autoreleasePoolPop(pool);
    msg(target, "release");
}

TEST(FoundationTimers, FireOnlyInTheirModesWithCommonModesInAllThree) {
    void* pool = objc_autoreleasePoolPush();
    Hits modal, common, tracking;
    id modalTarget = newTarget(&modal);
    id commonTarget = newTarget(&common);
    id trackingTarget = newTarget(&tracking);
    id loop = currentLoop();
    id modalTimer = newTimer(0.001, modalTarget, true);
    id commonTimer = newTimer(0.001, commonTarget, true);
    id trackingTimer = newTimer(0.001, trackingTarget, true);
    msg(loop, "addTimer:forMode:", modalTimer, str("NSModalPanelRunLoopMode"));
    msg(loop, "addTimer:forMode:", commonTimer, NSRunLoopCommonModes);
    msg(loop, "addTimer:forMode:", trackingTimer, NSEventTrackingRunLoopMode);

    msg(loop, "runUntilDate:", dateIn(0.05));
    EXPECT_TRUE(modal.timers.empty()) << "a modal-panel timer fired in the default mode";
    EXPECT_TRUE(tracking.timers.empty());
    EXPECT_FALSE(common.timers.empty());

    size_t commonBefore = common.timers.size();
    EXPECT_TRUE(runUntil([&] { return !modal.timers.empty() && common.timers.size() > commonBefore; }, 5.0,
                         NSModalPanelRunLoopMode))
        << "modal-panel and common-mode timers fire in the modal-panel mode";
    EXPECT_TRUE(tracking.timers.empty());
    commonBefore = common.timers.size();
    const size_t modalBefore = modal.timers.size();
    EXPECT_TRUE(runUntil([&] { return !tracking.timers.empty() && common.timers.size() > commonBefore; }, 5.0,
                         NSEventTrackingRunLoopMode));
    EXPECT_EQ(modal.timers.size(), modalBefore);

    for (id t : {modalTimer, commonTimer, trackingTimer}) msg(t, "invalidate");
    objc_autoreleasePoolPop(pool);
    for (id t : {modalTarget, commonTarget, trackingTarget}) msg(t, "release");
}

TEST(FoundationTimers, StopWhenInvalidatedFromTheirOwnCallback) {
    void* pool = objc_autoreleasePoolPush();
    Hits hits;
    id target = newTarget(&hits);
    hits.onHit = [&](id timer) {
        if (hits.timers.size() == 3) msg(timer, "invalidate");
    };
    cmsg<id>("NSTimer", "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:", 0.001, target,
             sel("tick:"), static_cast<id>(nullptr), YES);
    msg(currentLoop(), "runUntilDate:", dateIn(0.1));
    EXPECT_EQ(hits.timers.size(), 3u);
    objc_autoreleasePoolPop(pool);
    EXPECT_EQ(retainCount(target), 1) << "the invalidated timer let go of its target";
    msg(target, "release");
}

// ---- Run loops ----

TEST(FoundationRunLoop, ReturnsAtOnceWithoutSourcesAndAtTheDateWithThem) {
    std::thread worker([] {
        void* pool = objc_autoreleasePoolPush();
        id loop = currentLoop();
        EXPECT_NE(loop, cmsg<id>("NSRunLoop", "mainRunLoop")) << "each thread has its own run loop";
        EXPECT_EQ(loop, currentLoop());
        EXPECT_FALSE(msg<BOOL>(loop, "runMode:beforeDate:", NSDefaultRunLoopMode, cmsg<id>("NSDate", "distantFuture")))
            << "nothing to wait for";

        Hits hits;
        id target = newTarget(&hits);
        id far = newTimer(3600, target, false);
        msg(loop, "addTimer:forMode:", far, NSDefaultRunLoopMode);
        const double before = cmsg<double>("NSDate", "timeIntervalSinceReferenceDate");
        EXPECT_TRUE(msg<BOOL>(loop, "runMode:beforeDate:", NSDefaultRunLoopMode, dateIn(0.03)));
        const double after = cmsg<double>("NSDate", "timeIntervalSinceReferenceDate");
        EXPECT_GE(after - before, 0.03 - 1e-3) << "it waited for the date";
        EXPECT_TRUE(hits.timers.empty());

        // A timer scheduled on this thread fires on it.
        const auto self = std::this_thread::get_id();
        std::thread::id firedOn;
        hits.onHit = [&](id) { firedOn = std::this_thread::get_id(); };
        cmsg<id>("NSTimer", "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:", 0.0, target,
                 sel("tick:"), static_cast<id>(nullptr), NO);
        msg(loop, "runUntilDate:", dateIn(0.05));
        EXPECT_EQ(hits.timers.size(), 1u);
        EXPECT_EQ(firedOn, self);
        msg(far, "invalidate");
        objc_autoreleasePoolPop(pool);
        msg(target, "release");
    });
    worker.join();
}

// ---- Notifications ----

TEST(FoundationNotifications, ReachMatchingObserversInOrderUntilRemoved) {
    void* pool = objc_autoreleasePoolPush();
    id center = cmsg<id>("NSNotificationCenter", "defaultCenter");
    EXPECT_EQ(center, cmsg<id>("NSNotificationCenter", "defaultCenter"));
    Hits byName, bySender, all;
    id a = newTarget(&byName);
    id b = newTarget(&bySender);
    id c = newTarget(&all);
    id sender = newTarget(&all);
    id other = newTarget(&all);
    msg(center, "addObserver:selector:name:object:", a, sel("note:"), str("TestDidHappen"), static_cast<id>(nullptr));
    msg(center, "addObserver:selector:name:object:", b, sel("note:"), str("TestDidHappen"), sender);
    msg(center, "addObserver:selector:name:object:", c, sel("note:"), static_cast<id>(nullptr), sender);

    msg(center, "postNotificationName:object:", str("TestDidHappen"), sender);
    msg(center, "postNotificationName:object:", str("TestDidHappen"), other);
    msg(center, "postNotificationName:object:", str("SomethingElse"), sender);
    EXPECT_EQ(byName.names, (std::vector<std::string>{"TestDidHappen", "TestDidHappen"}));
    EXPECT_EQ(byName.objects, (std::vector<id>{sender, other}));
    EXPECT_EQ(bySender.names, (std::vector<std::string>{"TestDidHappen"}));
    EXPECT_EQ(all.names, (std::vector<std::string>{"TestDidHappen", "SomethingElse"}));

    // An observer removed by an earlier one during a post hears nothing more.
    byName.onHit = [&](id) { msg(center, "removeObserver:", b); };
    msg(center, "postNotificationName:object:", str("TestDidHappen"), sender);
    EXPECT_EQ(bySender.names.size(), 1u);
    byName.onHit = nullptr;

    // Removal by name leaves the observer's other registrations.
    Hits two;
    id d = newTarget(&two);
    msg(center, "addObserver:selector:name:object:", d, sel("note:"), str("TestDidHappen"), static_cast<id>(nullptr));
    msg(center, "addObserver:selector:name:object:", d, sel("note:"), str("SomethingElse"), static_cast<id>(nullptr));
    msg(center, "removeObserver:name:object:", d, str("SomethingElse"), static_cast<id>(nullptr));
    msg(center, "postNotificationName:object:", str("SomethingElse"), other);
    msg(center, "postNotificationName:object:", str("TestDidHappen"), other);
    EXPECT_EQ(two.names, (std::vector<std::string>{"TestDidHappen"}));

    const size_t heard = byName.names.size();
    for (id o : {a, b, c, d}) msg(center, "removeObserver:", o);
    msg(center, "postNotificationName:object:", str("TestDidHappen"), sender);
    EXPECT_EQ(byName.names.size(), heard);
    EXPECT_EQ(two.names.size(), 1u);
    msg(d, "release");
    objc_autoreleasePoolPop(pool);
    for (id o : {a, b, c, sender, other}) msg(o, "release");
}

}  // namespace
