#include "auhost/unitview.h"

#include "auhost/cfref.h"

#include <AppKit/AppKit.h>
#include <AudioToolbox/AUCocoaUIView.h>
#include <CoreFoundation/CoreFoundation.h>
#include <Foundation/NSGeometry.h>
#include <objc/message.h>
#include <objc/runtime.h>

#include <cstdlib>

namespace auhost {

namespace {

constexpr unsigned long kWindowStyle = 1 | 2 | 4;  // titled, closable, miniaturizable
constexpr unsigned long kBackingStoreBuffered = 2;
constexpr double kTickInterval = 1.0 / 30.0;
constexpr double kWindowInset = 40;
constexpr long kModalResponseAbort = -1001;
constexpr const char kControllerClass[] = "AUHostEditorWindowController";

template <class R = id, class... A>
R send(id receiver, const char* selector, A... args) {
    return reinterpret_cast<R (*)(id, SEL, A...)>(objc_msgSend)(receiver, sel_registerName(selector), args...);
}

template <class R = id, class... A>
R send(const char* className, const char* selector, A... args) {
    return send<R>(reinterpret_cast<id>(objc_getClass(className)), selector, args...);
}

template <class R, class... A>
R sendStret(id receiver, const char* selector, A... args) {
    return reinterpret_cast<R (*)(id, SEL, A...)>(objc_msgSend_stret)(receiver, sel_registerName(selector), args...);
}

id string(const char* text) { return send("NSString", "stringWithUTF8String:", text); }

// The autoreleased objects a step makes (strings, dates, timers) go when it
// ends, as they would in an application's event loop.
class AutoreleasePool {
public:
    AutoreleasePool() : pool_(objc_autoreleasePoolPush()) {}
    ~AutoreleasePool() { objc_autoreleasePoolPop(pool_); }
    AutoreleasePool(const AutoreleasePool&) = delete;
    AutoreleasePool& operator=(const AutoreleasePool&) = delete;

private:
    void* pool_;
};

UnitEditorWindow* owner(id controller) {
    void* p = nullptr;
    object_getInstanceVariable(controller, "this", &p);
    return static_cast<UnitEditorWindow*>(p);
}

void frameDidChangeMethod(id self, SEL, id) {
    if (UnitEditorWindow* w = owner(self)) w->viewFrameDidChange();
}

void tickMethod(id self, SEL, id) {
    if (UnitEditorWindow* w = owner(self)) w->tick();
}

// The controller class: the window's notification observer and timer target.
Class controllerClass() {
    static Class cls = [] {
        Class c = objc_allocateClassPair(objc_getClass("NSObject"), kControllerClass, 0);
        if (c == Nil) return objc_getClass(kControllerClass);
        class_addIvar(c, "this", sizeof(void*), 3, "^v");
        class_addMethod(c, sel_registerName("viewFrameDidChange:"), reinterpret_cast<IMP>(frameDidChangeMethod),
                        "v@:@");
        class_addMethod(c, sel_registerName("hostTick:"), reinterpret_cast<IMP>(tickMethod), "v@:@");
        objc_registerClassPair(c);
        return c;
    }();
    return cls;
}

std::string utf8(CFStringRef s) {
    char buffer[512] = {};
    if (s == nullptr || !CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8)) return {};
    return buffer;
}

// The view-factory class the unit names, with its bundle loaded.
HostResult findViewFactory(AudioUnit unit, Class& out) {
    UInt32 size = 0;
    Boolean writable = false;
    OSStatus status = AudioUnitGetPropertyInfo(unit, kAudioUnitProperty_CocoaUI, kAudioUnitScope_Global, 0, &size,
                                               &writable);
    if (status != noErr) return HostResult::failure(status, "the unit has no Cocoa view (CocoaUI: " +
                                                                std::to_string(status) + ")");
    if (size < sizeof(AudioUnitCocoaViewInfo))
        return HostResult::failure(kAudioUnitErr_InvalidPropertyValue, "the unit's Cocoa view information is too short");
    AudioUnitCocoaViewInfo info{};
    size = sizeof info;  // the first class is the one hosts use
    if (HostResult r = HostResult::check(AudioUnitGetProperty(unit, kAudioUnitProperty_CocoaUI,
                                                              kAudioUnitScope_Global, 0, &info, &size),
                                         "reading the unit's Cocoa view information");
        !r)
        return r;
    CFRef<CFURLRef> location(info.mCocoaAUViewBundleLocation);
    CFRef<CFStringRef> className(info.mCocoaAUViewClass[0]);
    if (location.get() != nullptr) {
        CFRef<CFBundleRef> bundle(CFBundleCreate(nullptr, location.get()));
        if (bundle.get() == nullptr)
            return HostResult::failure(kAudioUnitErr_InvalidPropertyValue, "the unit's view bundle cannot be opened");
        if (!CFBundleIsExecutableLoaded(bundle.get()) && !CFBundleLoadExecutable(bundle.get()))
            return HostResult::failure(kAudioUnitErr_InvalidPropertyValue, "the unit's view bundle cannot be loaded");
    }
    const std::string name = utf8(className.get());
    Class cls = name.empty() ? Nil : objc_getClass(name.c_str());
    if (cls == Nil)
        return HostResult::failure(kAudioUnitErr_InvalidPropertyValue, "the unit's view class \"" + name +
                                                                           "\" does not exist");
    Protocol* protocol = objc_getProtocol("AUCocoaUIBase");
    if (protocol == nullptr || !class_conformsToProtocol(cls, protocol))
        return HostResult::failure(kAudioUnitErr_InvalidPropertyValue, "the unit's view class \"" + name +
                                                                           "\" is not an AUCocoaUIBase view factory");
    out = cls;
    return HostResult::success();
}

}  // namespace

HostResult openApplication() {
    AutoreleasePool pool;
    if (!NSApplicationLoad() || send("NSApplication", "sharedApplication") == nullptr) {
        const char* display = std::getenv("DISPLAY");
        return HostResult::failure(-1, display == nullptr || *display == 0
                                           ? std::string("no display: DISPLAY is not set")
                                           : std::string("cannot open the display \"") + display + "\"");
    }
    return HostResult::success();
}

HostResult UnitEditorWindow::open(AudioUnit unit, const std::string& title, std::unique_ptr<UnitEditorWindow>& out) {
    AutoreleasePool pool;
    Class factoryClass = Nil;
    if (HostResult r = findViewFactory(unit, factoryClass); !r) return r;
    id factory = send(send(reinterpret_cast<id>(factoryClass), "alloc"), "init");
    if (factory == nullptr) return HostResult::failure(-1, "the unit's view factory cannot be created");
    id view = send(factory, "uiViewForAudioUnit:withSize:", unit, NSMakeSize(0, 0));
    send<void>(factory, "release");
    if (view == nullptr) return HostResult::failure(-1, "the unit gave no view");

    std::unique_ptr<UnitEditorWindow> w(new UnitEditorWindow());
    w->view_ = send(view, "retain");
    const NSRect frame = sendStret<NSRect>(view, "frame");
    // Near the top left of the screen: a window grows down and to the right when
    // the editor gets bigger.
    id mainScreen = send("NSScreen", "mainScreen");
    const NSRect screen = mainScreen ? sendStret<NSRect>(mainScreen, "visibleFrame") : NSRect{};
    const NSRect content{{kWindowInset, screen.size.height - kWindowInset - frame.size.height}, frame.size};
    w->window_ = send(send("NSWindow", "alloc"), "initWithContentRect:styleMask:backing:defer:", content,
                      kWindowStyle, kBackingStoreBuffered, BOOL(NO));
    if (w->window_ == nullptr) return HostResult::failure(-1, "cannot create a window");
    send<void>(w->window_, "setReleasedWhenClosed:", BOOL(NO));
    send<void>(w->window_, "setTitle:", string(title.c_str()));
    // The window's content is the host's own view; the unit's view sits in it.
    id container = send(send("NSView", "alloc"), "initWithFrame:", NSRect{{0, 0}, frame.size});
    send<void>(w->window_, "setContentView:", container);
    send<void>(container, "release");
    send<void>(view, "setFrameOrigin:", NSPoint{0, 0});
    send<void>(container, "addSubview:", view);

    w->controller_ = send(reinterpret_cast<id>(controllerClass()), "alloc");
    object_setInstanceVariable(w->controller_, "this", w.get());
    w->controller_ = send(w->controller_, "init");
    send<void>(send("NSNotificationCenter", "defaultCenter"), "addObserver:selector:name:object:", w->controller_,
               sel_registerName("viewFrameDidChange:"), string("NSViewFrameDidChangeNotification"), view);
    send<void>(w->window_, "makeKeyAndOrderFront:", id(nullptr));
    out = std::move(w);
    return HostResult::success();
}

UnitEditorWindow::~UnitEditorWindow() {
    AutoreleasePool pool;
    if (timer_ != nullptr) send<void>(timer_, "invalidate");
    send<void>(send("NSNotificationCenter", "defaultCenter"), "removeObserver:", controller_);
    object_setInstanceVariable(controller_, "this", nullptr);
    close();
    send<void>(window_, "release");
    send<void>(view_, "release");
    send<void>(controller_, "release");
}

void UnitEditorWindow::viewFrameDidChange() {
    // The editor resized itself (its grip): the window follows.
    const NSRect frame = sendStret<NSRect>(view_, "frame");
    if (isOpen()) send<void>(window_, "setContentSize:", frame.size);
}

void UnitEditorWindow::tick() {
    if (tickListener_ != nullptr) tickListener_->onHostTick();
}

UnitEditorWindow::RunEnd UnitEditorWindow::runUntilClosed(ITickListener* listener) {
    AutoreleasePool pool;
    tickListener_ = listener;
    timer_ = send("NSTimer", "timerWithTimeInterval:target:selector:userInfo:repeats:", kTickInterval, controller_,
                  sel_registerName("hostTick:"), id(nullptr), BOOL(YES));
    send<void>(send("NSRunLoop", "currentRunLoop"), "addTimer:forMode:", timer_, string("kCFRunLoopCommonModes"));
    const long response = send<long>(send("NSApplication", "sharedApplication"), "runModalForWindow:", window_);
    send<void>(timer_, "invalidate");
    timer_ = nullptr;
    tickListener_ = nullptr;
    return response == kModalResponseAbort ? RunEnd::displayLost : RunEnd::closed;
}

void UnitEditorWindow::runFor(double seconds) {
    AutoreleasePool pool;
    send<void>(send("NSRunLoop", "currentRunLoop"), "runUntilDate:",
               send("NSDate", "dateWithTimeIntervalSinceNow:", seconds));
}

void UnitEditorWindow::close() {
    AutoreleasePool pool;
    if (isOpen()) send<void>(window_, "close");
}

bool UnitEditorWindow::isOpen() const { return window_ != nullptr && send<BOOL>(window_, "isVisible"); }

long UnitEditorWindow::windowNumber() const { return send<long>(window_, "windowNumber"); }

}  // namespace auhost
