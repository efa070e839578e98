#pragma once
// Helpers for the tests of the Foundation and AppKit substitutes: typed
// message sends, NSStrings, running the main run loop until something
// happens, and a recording NSView subclass made at run time the way a
// plug-in makes its view.

#include <AppKit/AppKit.h>
#include <objc/message.h>
#include <objc/runtime.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace apptest {

inline SEL sel(const char* name) { return sel_registerName(name); }

template <typename R = void, typename... A>
R msg(id obj, const char* name, A... args) {
    return reinterpret_cast<R (*)(id, SEL, A...)>(objc_msgSend)(obj, sel(name), args...);
}

template <typename R = void, typename... A>
R cmsg(const char* cls, const char* name, A... args) {
    return reinterpret_cast<R (*)(Class, SEL, A...)>(objc_msgSend)(objc_getClass(cls), sel(name), args...);
}

template <typename... A>
NSRect rectMsg(id obj, const char* name, A... args) {
    return reinterpret_cast<NSRect (*)(id, SEL, A...)>(objc_msgSend_stret)(obj, sel(name), args...);
}

template <typename F>
IMP imp(F f) {
    return reinterpret_cast<IMP>(f);
}

inline id str(const char* text) { return cmsg<id>("NSString", "stringWithUTF8String:", text); }

inline std::string text(id s) {
    const char* t = s ? msg<const char*>(s, "UTF8String") : nullptr;
    return t ? t : "";
}

inline id dateIn(double seconds) { return cmsg<id>("NSDate", "dateWithTimeIntervalSinceNow:", seconds); }

// Runs the current thread's run loop in `mode` until `done` or a timeout;
// returns done().
inline bool runUntil(const std::function<bool()>& done, double timeoutSeconds = 5.0,
                     id mode = NSDefaultRunLoopMode) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
    id loop = cmsg<id>("NSRunLoop", "currentRunLoop");
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        void* pool = objc_autoreleasePoolPush();
        msg<BOOL>(loop, "runMode:beforeDate:", mode, dateIn(0.02));
        objc_autoreleasePoolPop(pool);
    }
    return true;
}

// Runs the loop for a while, for things that must not happen.
inline void runFor(double seconds) {
    runUntil([] { return false; }, seconds);
}

// What a RecordingView saw.
struct Received {
    std::string selector;
    unsigned long type = 0;
    NSPoint location{0, 0};
    long clickCount = 0;
    long buttonNumber = 0;
    unsigned long modifierFlags = 0;
    unsigned short keyCode = 0;
    std::string characters;
    std::string charactersIgnoringModifiers;
    double deltaX = 0;
    double deltaY = 0;
    unsigned long pressedButtons = 0;
    bool isARepeat = false;
};

struct Recorder {
    std::vector<Received> events;
    std::vector<NSRect> drawRects;
    std::vector<id> drawContexts;
    int viewWillDrawCount = 0;
    int layoutCount = 0;
    int updateTrackingAreasCount = 0;
    std::vector<id> movedToWindow;  // -window at each viewDidMoveToWindow
    bool acceptsFirstResponder = false;
    bool addsTrackingArea = false;
    unsigned long trackingOptions = NSTrackingMouseEnteredAndExited | NSTrackingActiveAlways;
    id trackingArea = nullptr;
    bool deallocated = false;
    // Called from -drawRect: after recording, with the view and the rect.
    std::function<void(id, NSRect)> onDraw;
    std::function<void(const Received&)> onEvent;

    size_t count(const std::string& selector) const {
        size_t n = 0;
        for (const Received& r : events)
            if (r.selector == selector) ++n;
        return n;
    }
    const Received* last(const std::string& selector) const {
        for (auto it = events.rbegin(); it != events.rend(); ++it)
            if (it->selector == selector) return &*it;
        return nullptr;
    }
};

Recorder* recorderOf(id view);

// The class "RecordingView" (an NSView subclass), made once.
Class recordingViewClass();


// A RecordingView with a recorder the caller owns.
inline id newRecordingView(NSRect frame, Recorder* recorder) {
    recordingViewClass();
    id v = msg<id>(cmsg<id>("RecordingView", "alloc"), "initWithFrame:", frame);
    object_setInstanceVariable(v, "recorder", recorder);
    return v;
}

}  // namespace apptest
