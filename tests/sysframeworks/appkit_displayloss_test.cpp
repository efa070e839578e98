// AppKit with unusual X servers, one per process: none at all, one without
// shared memory, and one that goes away while the application runs (the
// process carries on).

#include <gtest/gtest.h>

#include "appkittestutil.h"
#include "support/xinput.h"
#include "support/xvfbserver.h"

#include <CoreGraphics/CoreGraphics.h>

#include <cstdlib>

namespace {

using namespace apptest;

struct Closings {
    int count = 0;
};

id newCloseCounter(Closings* c) {
    static Class cls = [] {
        Class k = objc_allocateClassPair(objc_getClass("NSObject"), "CloseCounter", 0);
        class_addIvar(k, "closings", sizeof(void*), 3, "^v");
        class_addMethod(k, sel("closed:"), imp(+[](id self, SEL, id) {
                            void* p = nullptr;
                            object_getInstanceVariable(self, "closings", &p);
                            ++static_cast<Closings*>(p)->count;
                        }),
                        "v@:@");
        class_addMethod(k, sel("kill:"), imp(+[](id self, SEL, id) {
                            void* p = nullptr;
                            object_getInstanceVariable(self, "closings", &p);
                            static_cast<testsupport::XvfbServer*>(p)->stop();
                        }),
                        "v@:@");
        objc_registerClassPair(k);
        return k;
    }();
    id obj = msg<id>(reinterpret_cast<id>(cls), "new");
    object_setInstanceVariable(obj, "closings", c);
    return obj;
}

id newWindow(NSSize size) {
    id w = msg<id>(cmsg<id>("NSWindow", "alloc"), "initWithContentRect:styleMask:backing:defer:",
                   NSMakeRect(0, 0, size.width, size.height), static_cast<unsigned long>(NSWindowStyleMaskTitled),
                   static_cast<unsigned long>(NSBackingStoreBuffered), NO);
    msg(w, "setReleasedWhenClosed:", NO);
    return w;
}

TEST(AppKitWithoutDisplay, SharedApplicationIsNilUntilAServerCanBeReached) {
    unsetenv("DISPLAY");
    ASSERT_TRUE(NSApplicationLoad()) << "plug-ins load Cocoa in display-less hosts";
    EXPECT_EQ(cmsg<id>("NSApplication", "sharedApplication"), nullptr);
    EXPECT_EQ(NSApp, nullptr);
    EXPECT_FALSE(SysFwAppKitDisplayLost()) << "never connected is not lost";

    // Views and windows still work as objects.
    void* pool = objc_autoreleasePoolPush();
    Recorder rec;
    id view = newRecordingView(NSMakeRect(0, 0, 40, 30), &rec);
    id window = newWindow(NSMakeSize(40, 30));
    msg(window, "setContentView:", view);
    EXPECT_EQ(msg<id>(view, "window"), window);
    EXPECT_EQ(msg<long>(window, "windowNumber"), 0);
    msg(window, "makeKeyAndOrderFront:", static_cast<id>(nullptr));
    EXPECT_FALSE(msg<BOOL>(window, "isVisible"));
    msg(window, "close");
    EXPECT_EQ(msg<id>(view, "window"), nullptr);
    msg(window, "release");
    msg(view, "release");
    objc_autoreleasePoolPop(pool);

    testsupport::XvfbServer server;
    ASSERT_TRUE(server.running()) << server.error();
    id app = cmsg<id>("NSApplication", "sharedApplication");
    EXPECT_NE(app, nullptr) << "a later call connects";
    EXPECT_EQ(app, NSApp);
}

TEST(AppKitWithoutSharedMemory, ImagesAreDrawnThroughPlainRequests) {
    testsupport::XvfbServer server({"-extension", "MIT-SHM"});
    ASSERT_TRUE(server.running()) << server.error();
    ASSERT_TRUE(NSApplicationLoad());
    ASSERT_NE(cmsg<id>("NSApplication", "sharedApplication"), nullptr);
    testsupport::XInput reader;
    int opcode = 0, event = 0, error = 0;
    ASSERT_FALSE(XQueryExtension(reader.display(), "MIT-SHM", &opcode, &event, &error)) << "the server has no MIT-SHM";
    void* pool = objc_autoreleasePoolPush();

    std::vector<uint8_t> pixels(8 * 6 * 4);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37 + 11);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels.data(), pixels.size(), nullptr);
    CGImageRef image = CGImageCreate(8, 6, 8, 32, 32, space, kCGImageAlphaNoneSkipFirst, provider, nullptr, false,
                                     kCGRenderingIntentDefault);
    ASSERT_NE(image, nullptr);
    Recorder rec;
    rec.onDraw = [&](id, NSRect) {
        CGContextDrawImage(msg<CGContextRef>(cmsg<id>("NSGraphicsContext", "currentContext"), "CGContext"),
                           CGRectMake(0, 0, 8, 6), image);
    };
    id view = newRecordingView(NSMakeRect(0, 0, 8, 6), &rec);
    id window = newWindow(NSMakeSize(8, 6));
    msg(window, "setContentView:", view);
    msg(window, "makeKeyAndOrderFront:", static_cast<id>(nullptr));
    ASSERT_TRUE(runUntil([&] { return !rec.drawRects.empty(); }));
    runFor(0.1);
    // The view is the content view: its X window is the top-level's child.
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    ASSERT_TRUE(XQueryTree(reader.display(), static_cast<Window>(msg<long>(window, "windowNumber")), &root, &parent,
                           &children, &n));
    ASSERT_EQ(n, 1u);
    const Window viewX = children[0];
    XFree(children);
    const std::vector<uint8_t> got = testsupport::grabWindow(reader.display(), viewX, 0, 0, 8, 6);
    ASSERT_EQ(got.size(), pixels.size());
    int wrong = 0;
    for (size_t p = 0; p < 8 * 6; ++p)
        for (int c = 0; c < 3; ++c) wrong += got[p * 4 + c] != pixels[p * 4 + 1 + c];
    EXPECT_EQ(wrong, 0);

    msg(window, "close");
    msg(window, "release");
    msg(view, "release");
    CGImageRelease(image);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(space);
    objc_autoreleasePoolPop(pool);
}

TEST(AppKitDisplayLoss, AKilledServerEndsTheRunsWithoutEndingTheProcess) {
    testsupport::XvfbServer server;
    ASSERT_TRUE(server.running()) << server.error();
    ASSERT_TRUE(NSApplicationLoad());
    id app = cmsg<id>("NSApplication", "sharedApplication");
    ASSERT_NE(app, nullptr);
    void* pool = objc_autoreleasePoolPush();

    Recorder rec;
    id view = newRecordingView(NSMakeRect(0, 0, 80, 60), &rec);
    id window = newWindow(NSMakeSize(80, 60));
    msg(window, "setContentView:", view);
    Closings closings;
    id counter = newCloseCounter(&closings);
    id center = cmsg<id>("NSNotificationCenter", "defaultCenter");
    msg(center, "addObserver:selector:name:object:", counter, sel("closed:"), NSWindowWillCloseNotification, window);
    msg(window, "makeKeyAndOrderFront:", static_cast<id>(nullptr));
    ASSERT_TRUE(runUntil([&] { return !rec.drawRects.empty(); }));

    // The server dies while the application runs (from a timer of the run).
    id killer = newCloseCounter(reinterpret_cast<Closings*>(&server));
    cmsg<id>("NSTimer", "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:", 0.05, killer,
             sel("kill:"), static_cast<id>(nullptr), NO);
    msg(app, "run");
    EXPECT_FALSE(server.running()) << "-run returned because the server went";
    EXPECT_TRUE(SysFwAppKitDisplayLost());
    EXPECT_EQ(closings.count, 1) << "the window counts as closed";
    EXPECT_FALSE(msg<BOOL>(window, "isVisible"));
    ASSERT_FALSE(rec.movedToWindow.empty());
    EXPECT_EQ(rec.movedToWindow.back(), nullptr);

    // Everything after is harmless and returns.
    msg(app, "run");
    EXPECT_EQ(msg<long>(app, "runModalForWindow:", window), NSModalResponseAbort);
    msg(window, "makeKeyAndOrderFront:", static_cast<id>(nullptr));
    msg(view, "setNeedsDisplay:", YES);
    msg(window, "setTitle:", str("after"));
    msg(cmsg<id>("NSCursor", "crosshairCursor"), "set");
    msg(cmsg<id>("NSRunLoop", "mainRunLoop"), "runUntilDate:", dateIn(0.05));
    EXPECT_EQ(cmsg<id>("NSApplication", "sharedApplication"), app);

    msg(center, "removeObserver:", counter);
    msg(window, "release");
    msg(view, "release");
    msg(counter, "release");
    msg(killer, "release");
    objc_autoreleasePoolPop(pool);
}

}  // namespace
