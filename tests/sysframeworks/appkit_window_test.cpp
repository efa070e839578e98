// AppKit under Xvfb: windows and views as X windows, drawing, layout, modal
// runs and closing.

#include "appkitfixture.h"

#include <CoreFoundation/CFString.h>
#include <CoreGraphics/CoreGraphics.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace {

using namespace apptest;

void xGeometry(Display* d, Window w, int& x, int& y, unsigned& width, unsigned& height) {
    Window root = 0;
    unsigned border = 0, depth = 0;
    XGetGeometry(d, w, &root, &x, &y, &width, &height, &border, &depth);
}

std::string utf8Property(Display* d, Window w, const char* name) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::string out;
    if (XGetWindowProperty(d, w, XInternAtom(d, name, False), 0, 1024, False, XInternAtom(d, "UTF8_STRING", False),
                           &type, &format, &items, &after, &data) == Success &&
        data) {
        out.assign(reinterpret_cast<char*>(data), items);
        XFree(data);
    }
    return out;
}

TEST_F(AppKitTest, WindowAndViewsAreXWindowsWithTheTitle) {
    openWindow(NSMakeSize(320, 200), NSMakeRect(10, 20, 100, 50));
    msg(window_, "setTitle:", str("Kestrin \xE2\x9C\x93"));
    runFor(0.05);
    Display* d = input_->display();
    char* name = nullptr;
    ASSERT_TRUE(XFetchName(d, top(), &name));
    EXPECT_STREQ(name, "Kestrin \xE2\x9C\x93");
    XFree(name);
    EXPECT_EQ(utf8Property(d, top(), "_NET_WM_NAME"), "Kestrin \xE2\x9C\x93");
    EXPECT_EQ(text(msg<id>(window_, "title")), "Kestrin \xE2\x9C\x93");

    int x = 0, y = 0;
    unsigned w = 0, h = 0;
    xGeometry(d, top(), x, y, w, h);
    EXPECT_EQ(w, 320u);
    EXPECT_EQ(h, 200u);
    const auto content = xChildren(top());
    ASSERT_EQ(content.size(), 1u) << "the content view is the top-level's only child";
    xGeometry(d, content[0], x, y, w, h);
    EXPECT_EQ(std::vector<int>({x, y, int(w), int(h)}), std::vector<int>({0, 0, 320, 200}));
    ASSERT_NE(childX(), 0u);
    xGeometry(d, childX(), x, y, w, h);
    // Bottom-up frame (10, 20) of height 50 in a 200 high parent: 130 from the top.
    EXPECT_EQ(std::vector<int>({x, y, int(w), int(h)}), std::vector<int>({10, 130, 100, 50}));

    const NSRect f = rectMsg(child_, "frame");
    EXPECT_EQ(std::vector<double>({f.origin.x, f.origin.y, f.size.width, f.size.height}),
              std::vector<double>({10, 20, 100, 50}))
        << "a subclass reaches NSView's -frame through objc_msgSendSuper_stret";
    const NSRect cf = rectMsg(content_, "frame");
    EXPECT_EQ(cf.size.width, 320);
    EXPECT_EQ(cf.size.height, 200);
    EXPECT_EQ(msg<id>(child_, "window"), window_);
    EXPECT_EQ(msg<id>(child_, "superview"), content_);
    EXPECT_EQ(rec_.movedToWindow, std::vector<id>({window_}));
    EXPECT_TRUE(msg<BOOL>(window_, "isVisible"));

    XSizeHints hints{};
    long supplied = 0;
    ASSERT_TRUE(XGetWMNormalHints(d, top(), &hints, &supplied));
    EXPECT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize)) << "not resizable: fixed size";
    EXPECT_EQ(hints.min_width, 320);
    EXPECT_EQ(hints.max_height, 200);
}

TEST_F(AppKitTest, TheMainScreenIsTheXScreenAndPlacesWindowsBottomUp) {
    id screen = cmsg<id>("NSScreen", "mainScreen");
    ASSERT_NE(screen, nullptr);
    const NSRect frame = rectMsg(screen, "frame");
    EXPECT_EQ(frame.size.width, 1920);
    EXPECT_EQ(frame.size.height, 1200);
    EXPECT_EQ(rectMsg(screen, "visibleFrame").size.height, frame.size.height);
    // A content rect 100 below the screen's top lands 100 pixels down in X.
    window_ = msg<id>(cmsg<id>("NSWindow", "alloc"), "initWithContentRect:styleMask:backing:defer:",
                      NSMakeRect(40, frame.size.height - 100 - 200, 320, 200),
                      static_cast<unsigned long>(NSWindowStyleMaskTitled), static_cast<unsigned long>(NSBackingStoreBuffered), NO);
    msg(window_, "setReleasedWhenClosed:", NO);
    id content = msg<id>(cmsg<id>("NSView", "alloc"), "initWithFrame:", NSMakeRect(0, 0, 320, 200));
    msg(window_, "setContentView:", content);
    msg(content, "release");
    msg(window_, "makeKeyAndOrderFront:", static_cast<id>(nullptr));
    ASSERT_TRUE(waitViewable(top()));
    int x = 0, y = 0;
    unsigned w = 0, h = 0;
    xGeometry(input_->display(), top(), x, y, w, h);
    EXPECT_EQ(x, 40);
    EXPECT_EQ(y, 100);
}

TEST_F(AppKitTest, DrawRectGetsTheUnionOfTheInvalidatedRects) {
    openWindow(NSMakeSize(200, 150), NSMakeRect(20, 10, 120, 80));
    EXPECT_GE(rec_.viewWillDrawCount, 1);
    const NSRect first = rec_.drawRects.front();
    EXPECT_EQ(std::vector<double>({first.origin.x, first.origin.y, first.size.width, first.size.height}),
              std::vector<double>({0, 0, 120, 80}))
        << "a view entering a shown window draws whole";
    ASSERT_NE(rec_.drawContexts.front(), nullptr) << "a current context while drawing";
    EXPECT_EQ(cmsg<id>("NSGraphicsContext", "currentContext"), nullptr) << "and none outside";
    EXPECT_NE(msg<CGContextRef>(rec_.drawContexts.front(), "CGContext"), nullptr);

    rec_.drawRects.clear();
    msg(child_, "setNeedsDisplayInRect:", NSMakeRect(5, 6, 20, 10));
    msg(child_, "setNeedsDisplayInRect:", NSMakeRect(30, 2, 10, 10));
    // Past the bounds: clipped.
    msg(child_, "setNeedsDisplayInRect:", NSMakeRect(100, 70, 50, 50));
    EXPECT_TRUE(msg<BOOL>(child_, "needsDisplay"));
    ASSERT_TRUE(runUntil([&] { return !rec_.drawRects.empty(); }));
    const NSRect r = rec_.drawRects.front();
    EXPECT_EQ(std::vector<double>({r.origin.x, r.origin.y, r.size.width, r.size.height}),
              std::vector<double>({5, 2, 115, 78}));
    EXPECT_FALSE(msg<BOOL>(child_, "needsDisplay")) << "cleared by the display pass";
    runFor(0.05);
    EXPECT_EQ(rec_.drawRects.size(), 1u) << "nothing more to draw";
}

TEST_F(AppKitTest, ExposedAreasAreRedrawn) {
    openWindow(NSMakeSize(200, 150), NSMakeRect(20, 10, 120, 80));
    rec_.drawRects.clear();
    // The server reports the cleared area as exposed, in X pixels from the top.
    XClearArea(input_->display(), childX(), 10, 5, 30, 20, True);
    input_->sync();
    ASSERT_TRUE(runUntil([&] { return !rec_.drawRects.empty(); }));
    const NSRect r = rec_.drawRects.front();
    EXPECT_EQ(std::vector<double>({r.origin.x, r.origin.y, r.size.width, r.size.height}),
              std::vector<double>({10, 80 - 5 - 20, 30, 20}));
}

// 20x10 pixels, every one different, in the byte order of a layout.
std::vector<uint8_t> pattern(int r, int g, int b, int a) {
    std::vector<uint8_t> out(20 * 10 * 4);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            uint8_t* p = &out[static_cast<size_t>((y * 20 + x) * 4)];
            p[r] = static_cast<uint8_t>(x * 12 + 3);
            p[g] = static_cast<uint8_t>(y * 25 + 1);
            p[b] = static_cast<uint8_t>((x * 7 + y * 13) ^ 0x5A);
            p[a] = 0xFF;
        }
    return out;
}

// The expected RGB of image pixel (x, y).
std::array<uint8_t, 3> expectedAt(int x, int y) {
    return {static_cast<uint8_t>(x * 12 + 3), static_cast<uint8_t>(y * 25 + 1),
            static_cast<uint8_t>((x * 7 + y * 13) ^ 0x5A)};
}

struct Layout {
    const char* name;
    CGBitmapInfo info;
    int r, g, b, a;
};

TEST_F(AppKitTest, DrawnImagesReadBackExactlyAtEachOffsetAndScale) {
    const Layout layouts[] = {
        {"ARGB none-skip-first", kCGImageAlphaNoneSkipFirst, 1, 2, 3, 0},
        {"RGBX none-skip-last", kCGImageAlphaNoneSkipLast, 0, 1, 2, 3},
        {"BGRA premultiplied-first little-endian", kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, 2,
         1, 0, 3},
    };
    openWindow(NSMakeSize(200, 150), NSMakeRect(30, 40, 64, 48));
    CGColorSpaceRef space = CGColorSpaceCreateWithName(kCGColorSpaceSRGB);
    ASSERT_NE(space, nullptr);
    id srgb = cmsg<id>("NSColorSpace", "sRGBColorSpace");
    ASSERT_NE(msg<CGColorSpaceRef>(srgb, "CGColorSpace"), nullptr);
    EXPECT_EQ(CGColorSpaceGetNumberOfComponents(msg<CGColorSpaceRef>(srgb, "CGColorSpace")), 3u);
    for (const Layout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        std::vector<uint8_t> pixels = pattern(layout.r, layout.g, layout.b, layout.a);
        CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels.data(), pixels.size(), nullptr);
        CGImageRef image = CGImageCreate(20, 10, 8, 32, 80, space, layout.info, provider, nullptr, false,
                                         kCGRenderingIntentDefault);
        ASSERT_NE(image, nullptr);
        rec_.onDraw = [&](id, NSRect) {
            CGContextRef cg = msg<CGContextRef>(cmsg<id>("NSGraphicsContext", "currentContext"), "CGContext");
            CGContextDrawImage(cg, CGRectMake(0, 0, 20, 10), image);
            CGContextDrawImage(cg, CGRectMake(13, 21, 20, 10), image);
            CGContextDrawImage(cg, CGRectMake(24, 0, 40, 20), image);  // twice the size
        };
        rec_.drawRects.clear();
        msg(child_, "setNeedsDisplay:", YES);
        ASSERT_TRUE(runUntil([&] { return !rec_.drawRects.empty(); }));
        rec_.onDraw = nullptr;
        const std::vector<uint8_t> got = testsupport::grabWindow(input_->display(), childX(), 0, 0, 64, 48);
        ASSERT_EQ(got.size(), 64u * 48u * 4u);
        auto rgbAt = [&](int x, int y) {
            const uint8_t* p = &got[static_cast<size_t>((y * 64 + x) * 4)];
            return std::array<uint8_t, 3>{p[0], p[1], p[2]};
        };
        int wrong = 0;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x) {
                // Bottom-up (0, 0) of height 10 in a 48 high view: rows 38..47.
                wrong += rgbAt(x, 38 + y) != expectedAt(x, y);
                // (13, 21): rows 17..26.
                wrong += rgbAt(13 + x, 17 + y) != expectedAt(x, y);
            }
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 40; ++x) wrong += rgbAt(24 + x, 28 + y) != expectedAt(x / 2, y / 2);
        EXPECT_EQ(wrong, 0) << "pixels differ from the image";
        CGImageRelease(image);
        CGDataProviderRelease(provider);
    }
    CGColorSpaceRelease(space);
}

TEST_F(AppKitTest, FarOffAndInvalidRectsAreClippedOrRefused) {
    openWindow(NSMakeSize(100, 100), NSMakeRect(0, 0, 32, 32));
    std::vector<uint8_t> pixels = pattern(1, 2, 3, 0);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, pixels.data(), pixels.size(), nullptr);
    CGImageRef image = CGImageCreate(20, 10, 8, 32, 80, space, kCGImageAlphaNoneSkipFirst, provider, nullptr, false,
                                     kCGRenderingIntentDefault);
    ASSERT_NE(image, nullptr);
    rec_.onDraw = [&](id, NSRect) {
        CGContextRef cg = msg<CGContextRef>(cmsg<id>("NSGraphicsContext", "currentContext"), "CGContext");
        CGContextDrawImage(cg, CGRectMake(NAN, 0, 10, 10), image);
        CGContextDrawImage(cg, CGRectMake(0, 0, INFINITY, 10), image);
        CGContextDrawImage(cg, CGRectMake(1e300, 1e300, 10, 10), image);
        CGContextDrawImage(cg, CGRectMake(0, 0, 0, 10), image);
        CGContextDrawImage(cg, CGRectMake(0, 0, 10, 10), nullptr);
        CGContextDrawImage(nullptr, CGRectMake(0, 0, 10, 10), image);
        // Far larger than the view: only the part over the view is drawn.
        CGContextDrawImage(cg, CGRectMake(-1e12, -1e12, 2e12, 2e12), image);
        // Negative sizes: the same rect from its other corner.
        CGContextDrawImage(cg, CGRectMake(20, 10, -20, -10), image);
    };
    rec_.drawRects.clear();
    msg(child_, "setNeedsDisplay:", YES);
    ASSERT_TRUE(runUntil([&] { return !rec_.drawRects.empty(); }));
    rec_.onDraw = nullptr;
    const std::vector<uint8_t> got = testsupport::grabWindow(input_->display(), childX(), 0, 0, 32, 32);
    ASSERT_EQ(got.size(), 32u * 32u * 4u);
    // The bottom-left 20x10 holds the image, drawn through the negative rect.
    int wrong = 0;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) {
            const uint8_t* p = &got[static_cast<size_t>(((22 + y) * 32 + x) * 4)];
            wrong += std::array<uint8_t, 3>{p[0], p[1], p[2]} != expectedAt(x, y);
        }
    EXPECT_EQ(wrong, 0);
    CGImageRelease(image);
    CGDataProviderRelease(provider);
    CGColorSpaceRelease(space);
}

int g_providerReleases = 0;
void countRelease(void* info, const void*, size_t) { g_providerReleases += *static_cast<int*>(info); }

TEST(CoreGraphicsImages, RefuseLayoutsTheyCannotDrawAndReleaseDataAtTheEnd) {
    std::vector<uint8_t> pixels(16 * 4 * 4);
    int weight = 1;
    g_providerReleases = 0;
    CGDataProviderRef provider = CGDataProviderCreateWithData(&weight, pixels.data(), pixels.size(), countRelease);
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    auto make = [&](size_t w, size_t h, size_t bpc, size_t bpp, size_t row, CGBitmapInfo info,
                    CGDataProviderRef p = nullptr) {
        return CGImageCreate(w, h, bpc, bpp, row, space, info, p ? p : provider, nullptr, false,
                             kCGRenderingIntentDefault);
    };
    EXPECT_EQ(make(16, 4, 16, 64, 128, kCGImageAlphaNoneSkipFirst), nullptr) << "16 bits per component";
    EXPECT_EQ(make(16, 4, 8, 24, 48, kCGImageAlphaNone), nullptr) << "24-bit pixels";
    EXPECT_EQ(make(16, 4, 8, 32, 64, kCGImageAlphaFirst), nullptr) << "non-premultiplied alpha";
    EXPECT_EQ(make(16, 4, 8, 32, 60, kCGImageAlphaNoneSkipFirst), nullptr) << "rows shorter than the width";
    EXPECT_EQ(make(16, 5, 8, 32, 64, kCGImageAlphaNoneSkipFirst), nullptr) << "one row more than the data holds";
    EXPECT_EQ(make(16, 4, 8, 32, 64, kCGImageAlphaNoneSkipFirst | kCGBitmapByteOrder16Little), nullptr);
    EXPECT_EQ(make(0, 4, 8, 32, 64, kCGImageAlphaNoneSkipFirst), nullptr);
    EXPECT_EQ(make(SIZE_MAX / 2, 4, 8, 32, 64, kCGImageAlphaNoneSkipFirst), nullptr) << "overflowing sizes";
    EXPECT_EQ(CGColorSpaceCreateWithName(CFSTR("kCGColorSpaceNoSuchSpace")), nullptr);

    CGImageRef image = make(16, 4, 8, 32, 64, kCGImageAlphaNoneSkipLast);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(CGImageGetWidth(image), 16u);
    EXPECT_EQ(CGImageGetHeight(image), 4u);
    CGDataProviderRelease(provider);
    EXPECT_EQ(g_providerReleases, 0) << "the image still holds the provider";
    CGImageRelease(image);
    EXPECT_EQ(g_providerReleases, 1) << "the callback runs at the last release";
    CGColorSpaceRelease(space);
}

struct FrameObserver {
    int notes = 0;
};

void frameNote(id self, SEL, id) {
    void* o = nullptr;
    object_getInstanceVariable(self, "observer", &o);
    ++static_cast<FrameObserver*>(o)->notes;
}

id newFrameObserver(FrameObserver* o) {
    static Class cls = [] {
        Class c = objc_allocateClassPair(objc_getClass("NSObject"), "FrameChangeObserver", 0);
        class_addIvar(c, "observer", sizeof(void*), 3, "^v");
        class_addMethod(c, sel("frameChanged:"), imp(frameNote), "v@:@");
        objc_registerClassPair(c);
        return c;
    }();
    id obj = msg<id>(reinterpret_cast<id>(cls), "new");
    object_setInstanceVariable(obj, "observer", o);
    return obj;
}

TEST_F(AppKitTest, FrameSizeChangesLayOutUpdateTrackingAreasAndNotify) {
    openWindow(NSMakeSize(240, 160), NSMakeRect(10, 10, 50, 40));
    FrameObserver seen;
    id observer = newFrameObserver(&seen);
    id center = cmsg<id>("NSNotificationCenter", "defaultCenter");
    msg(center, "addObserver:selector:name:object:", observer, sel("frameChanged:"), NSViewFrameDidChangeNotification,
        child_);
    const int layouts = rec_.layoutCount;
    const int trackingUpdates = rec_.updateTrackingAreasCount;
    rec_.drawRects.clear();

    msg(child_, "setFrameSize:", NSMakeSize(90, 60));
    EXPECT_TRUE(msg<BOOL>(child_, "needsLayout"));
    EXPECT_EQ(rec_.updateTrackingAreasCount, trackingUpdates + 1);
    EXPECT_EQ(seen.notes, 1);
    ASSERT_TRUE(runUntil([&] { return rec_.layoutCount > layouts && !rec_.drawRects.empty(); }));
    EXPECT_EQ(rec_.layoutCount, layouts + 1);
    EXPECT_FALSE(msg<BOOL>(child_, "needsLayout"));
    EXPECT_EQ(rec_.drawRects.back().size.width, 90);
    EXPECT_EQ(rec_.drawRects.back().size.height, 60);
    runFor(0.05);
    int x = 0, y = 0;
    unsigned w = 0, h = 0;
    xGeometry(input_->display(), childX(), x, y, w, h);
    EXPECT_EQ(std::vector<int>({x, y, int(w), int(h)}), std::vector<int>({10, 160 - 10 - 60, 90, 60}));

    msg(child_, "setFrameOrigin:", NSMakePoint(30, 0));
    EXPECT_EQ(seen.notes, 2);
    runFor(0.05);
    xGeometry(input_->display(), childX(), x, y, w, h);
    EXPECT_EQ(x, 30);
    EXPECT_EQ(y, 100) << "bottom-up origin 0: the bottom of the window";

    msg(child_, "setPostsFrameChangedNotifications:", NO);
    msg(child_, "setFrameOrigin:", NSMakePoint(31, 0));
    EXPECT_EQ(seen.notes, 2);
    msg(center, "removeObserver:", observer);
    msg(observer, "release");
}

TEST(AppKitViews, ConvertPointsBetweenNestedViewsAndTheWindowBase) {
    void* pool = objc_autoreleasePoolPush();
    id outer = msg<id>(cmsg<id>("NSView", "alloc"), "initWithFrame:", NSMakeRect(100, 50, 300, 200));
    id inner = msg<id>(cmsg<id>("NSView", "alloc"), "initWithFrame:", NSMakeRect(10, 20, 50, 40));
    msg(outer, "addSubview:", inner);
    NSPoint p = msg<NSPoint>(outer, "convertPoint:fromView:", NSMakePoint(5, 6), inner);
    EXPECT_EQ(p.x, 15);
    EXPECT_EQ(p.y, 26);
    p = msg<NSPoint>(inner, "convertPoint:fromView:", NSMakePoint(115, 76), static_cast<id>(nullptr));
    EXPECT_EQ(p.x, 5);
    EXPECT_EQ(p.y, 6);
    p = msg<NSPoint>(inner, "convertPoint:toView:", NSMakePoint(5, 6), static_cast<id>(nullptr));
    EXPECT_EQ(p.x, 115);
    EXPECT_EQ(p.y, 76);
    msg(inner, "removeFromSuperview");
    EXPECT_EQ(msg<id>(inner, "superview"), nullptr);
    EXPECT_EQ(msg<unsigned long>(inner, "retainCount"), 1u) << "the superview let go";
    msg(inner, "release");
    msg(outer, "release");
    objc_autoreleasePoolPop(pool);
}

// ---- Modal runs, timers and closing ----

struct ModalProbe {
    int commonFirings = 0;
    int defaultFirings = 0;
    std::function<void(int)> onCommon;
};

ModalProbe* probeOf(id self) {
    void* p = nullptr;
    object_getInstanceVariable(self, "probe", &p);
    return static_cast<ModalProbe*>(p);
}

id newModalProbe(ModalProbe* probe) {
    static Class cls = [] {
        Class c = objc_allocateClassPair(objc_getClass("NSObject"), "ModalProbe", 0);
        class_addIvar(c, "probe", sizeof(void*), 3, "^v");
        class_addMethod(c, sel("common:"), imp(+[](id self, SEL, id) {
                            ModalProbe* p = probeOf(self);
                            ++p->commonFirings;
                            if (p->onCommon) p->onCommon(p->commonFirings);
                        }),
                        "v@:@");
        class_addMethod(c, sel("plain:"), imp(+[](id self, SEL, id) { ++probeOf(self)->defaultFirings; }), "v@:@");
        objc_registerClassPair(c);
        return c;
    }();
    id obj = msg<id>(reinterpret_cast<id>(cls), "new");
    object_setInstanceVariable(obj, "probe", probe);
    return obj;
}

id addTimer(id target, const char* selector, id mode) {
    id t = cmsg<id>("NSTimer", "timerWithTimeInterval:target:selector:userInfo:repeats:", 0.01, target, sel(selector),
                    static_cast<id>(nullptr), YES);
    msg(cmsg<id>("NSRunLoop", "currentRunLoop"), "addTimer:forMode:", t, mode);
    return t;
}

TEST_F(AppKitTest, ModalRunsFireCommonModeTimersOnlyAndEndWithTheirCode) {
    openWindow(NSMakeSize(160, 120), NSMakeRect(0, 0, 20, 20));
    ModalProbe probe;
    id target = newModalProbe(&probe);
    id common = addTimer(target, "common:", NSRunLoopCommonModes);
    id plain = addTimer(target, "plain:", NSDefaultRunLoopMode);
    probe.onCommon = [&](int n) {
        if (n == 3) msg(app_, "stopModalWithCode:", 42L);
    };
    const long code = msg<long>(app_, "runModalForWindow:", window_);
    EXPECT_EQ(code, 42);
    EXPECT_EQ(probe.commonFirings, 3);
    EXPECT_EQ(probe.defaultFirings, 0) << "default-mode timers wait outside the modal run";

    probe.onCommon = [&](int) { msg(app_, "abortModal"); };
    EXPECT_EQ(msg<long>(app_, "runModalForWindow:", window_), NSModalResponseAbort);
    probe.onCommon = [&](int) { msg(app_, "stopModal"); };
    EXPECT_EQ(msg<long>(app_, "runModalForWindow:", window_), NSModalResponseStop);
    probe.onCommon = nullptr;
    ASSERT_TRUE(runUntil([&] { return probe.defaultFirings > 0; })) << "and fire again in the default mode";
    msg(common, "invalidate");
    msg(plain, "invalidate");
    msg(target, "release");
}

struct CloseProbe {
    int willClose = 0;
    bool allowClose = true;
};

CloseProbe* closeProbeOf(id self) {
    void* p = nullptr;
    object_getInstanceVariable(self, "probe", &p);
    return static_cast<CloseProbe*>(p);
}

id newWindowDelegate(CloseProbe* probe) {
    static Class cls = [] {
        Class c = objc_allocateClassPair(objc_getClass("NSObject"), "TestWindowDelegate", 0);
        class_addIvar(c, "probe", sizeof(void*), 3, "^v");
        class_addMethod(c, sel("windowShouldClose:"),
                        imp(+[](id self, SEL, id) -> BOOL { return closeProbeOf(self)->allowClose ? YES : NO; }),
                        "c@:@");
        class_addMethod(c, sel("windowWillClose:"), imp(+[](id self, SEL, id) { ++closeProbeOf(self)->willClose; }),
                        "v@:@");
        objc_registerClassPair(c);
        return c;
    }();
    id obj = msg<id>(reinterpret_cast<id>(cls), "new");
    object_setInstanceVariable(obj, "probe", probe);
    return obj;
}

void sendDeleteWindow(Display* d, Window w) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(d, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(d, w, False, NoEventMask, &ev);
    XSync(d, False);
}

TEST_F(AppKitTest, TheCloseButtonEndsTheModalRunAndTheViewsLeaveTheWindow) {
    openWindow(NSMakeSize(160, 120), NSMakeRect(0, 0, 20, 20));
    CloseProbe closing;
    id delegate = newWindowDelegate(&closing);
    msg(window_, "setDelegate:", delegate);
    const Window topX = top();
    const Window childWindow = childX();

    // Refused by the delegate: the window stays.
    closing.allowClose = false;
    sendDeleteWindow(input_->display(), topX);
    runFor(0.1);
    EXPECT_TRUE(msg<BOOL>(window_, "isVisible"));
    EXPECT_EQ(closing.willClose, 0);

    closing.allowClose = true;
    ModalProbe probe;
    id target = newModalProbe(&probe);
    id timer = addTimer(target, "common:", NSRunLoopCommonModes);
    probe.onCommon = [&](int n) {
        if (n == 1) sendDeleteWindow(input_->display(), topX);
    };
    EXPECT_EQ(msg<long>(app_, "runModalForWindow:", window_), NSModalResponseStop);
    msg(timer, "invalidate");
    EXPECT_EQ(closing.willClose, 1);
    EXPECT_FALSE(msg<BOOL>(window_, "isVisible"));
    ASSERT_EQ(rec_.movedToWindow.size(), 2u);
    EXPECT_EQ(rec_.movedToWindow.back(), nullptr) << "the view left the window";
    EXPECT_EQ(msg<id>(child_, "window"), nullptr);
    input_->sync();
    const auto rootChildren = xChildren(DefaultRootWindow(input_->display()));
    EXPECT_EQ(std::count(rootChildren.begin(), rootChildren.end(), topX), 0) << "the X window is gone";
    XWindowAttributes attrs{};
    // A destroyed window: the request fails; keep Xlib's error from ending the test.
    XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    EXPECT_FALSE(XGetWindowAttributes(input_->display(), childWindow, &attrs));
    XSetErrorHandler(previous);
    msg(window_, "setDelegate:", static_cast<id>(nullptr));
    msg(delegate, "release");
    msg(target, "release");
}

TEST_F(AppKitTest, WindowsHideShowAndResizeTheirContent) {
    openWindow(NSMakeSize(160, 120), NSMakeRect(10, 10, 20, 20), NSWindowStyleMaskTitled | NSWindowStyleMaskResizable);
    Display* d = input_->display();
    msg(window_, "orderOut:", static_cast<id>(nullptr));
    EXPECT_FALSE(msg<BOOL>(window_, "isVisible"));
    ASSERT_TRUE(runUntil([&] {
        XWindowAttributes a{};
        return XGetWindowAttributes(d, top(), &a) && a.map_state == IsUnmapped;
    }));
    msg(window_, "makeKeyAndOrderFront:", static_cast<id>(nullptr));
    ASSERT_TRUE(waitViewable(top()));
    EXPECT_EQ(rec_.movedToWindow.size(), 1u) << "hiding does not take the views out of the window";

    msg(window_, "setContentSize:", NSMakeSize(250, 180));
    const NSRect frame = rectMsg(window_, "frame");
    EXPECT_EQ(frame.size.width, 250);
    EXPECT_EQ(frame.size.height, 180);
    const NSRect content = rectMsg(content_, "frame");
    EXPECT_EQ(content.size.width, 250);
    EXPECT_EQ(content.size.height, 180);
    runFor(0.1);
    int x = 0, y = 0;
    unsigned w = 0, h = 0;
    xGeometry(d, top(), x, y, w, h);
    EXPECT_EQ(w, 250u);
    EXPECT_EQ(h, 180u);
    xGeometry(d, childX(), x, y, w, h);
    EXPECT_EQ(y, 180 - 10 - 20) << "the child keeps its distance from the bottom";
    XSizeHints hints{};
    long supplied = 0;
    XGetWMNormalHints(d, top(), &hints, &supplied);
    EXPECT_FALSE(hints.flags & PMaxSize) << "resizable: no fixed size";
}

TEST_F(AppKitTest, RunEndsOnStopAndOnTerminateWhichPostsItsNotification) {
    openWindow(NSMakeSize(100, 100), NSMakeRect(0, 0, 10, 10));
    ModalProbe probe;
    id target = newModalProbe(&probe);
    id timer = addTimer(target, "common:", NSDefaultRunLoopMode);
    probe.onCommon = [&](int n) {
        if (n == 2) msg(app_, "stop:", static_cast<id>(nullptr));
    };
    EXPECT_FALSE(msg<BOOL>(app_, "isRunning"));
    msg(app_, "run");
    EXPECT_EQ(probe.commonFirings, 2);
    EXPECT_FALSE(msg<BOOL>(app_, "isRunning"));

    FrameObserver terminated;
    id observer = newFrameObserver(&terminated);
    id center = cmsg<id>("NSNotificationCenter", "defaultCenter");
    msg(center, "addObserver:selector:name:object:", observer, sel("frameChanged:"),
        str("NSApplicationWillTerminateNotification"), app_);
    probe.onCommon = [&](int n) {
        if (n == 4) msg(app_, "terminate:", static_cast<id>(nullptr));
    };
    msg(app_, "run");
    EXPECT_EQ(probe.commonFirings, 4);
    EXPECT_EQ(terminated.notes, 1) << "-terminate: ends -run after its notification, and the process goes on";
    msg(center, "removeObserver:", observer);
    msg(observer, "release");
    msg(timer, "invalidate");
    msg(target, "release");
}

TEST_F(AppKitTest, CursorsAreSetAndHiddenCountingHides) {
    openWindow(NSMakeSize(100, 100), NSMakeRect(0, 0, 10, 10));
    id hand = cmsg<id>("NSCursor", "pointingHandCursor");
    EXPECT_EQ(hand, cmsg<id>("NSCursor", "pointingHandCursor"));
    EXPECT_NE(hand, cmsg<id>("NSCursor", "arrowCursor"));
    msg(hand, "set");
    EXPECT_EQ(cmsg<id>("NSCursor", "currentCursor"), hand);
    msg(cmsg<id>("NSCursor", "IBeamCursor"), "set");
    EXPECT_EQ(cmsg<id>("NSCursor", "currentCursor"), cmsg<id>("NSCursor", "IBeamCursor"));
    cmsg("NSCursor", "hide");
    cmsg("NSCursor", "hide");
    EXPECT_TRUE(SysFwNSCursorIsHidden());
    cmsg("NSCursor", "unhide");
    EXPECT_TRUE(SysFwNSCursorIsHidden()) << "hidden twice, shown once";
    cmsg("NSCursor", "unhide");
    EXPECT_FALSE(SysFwNSCursorIsHidden());
    cmsg("NSCursor", "unhide");
    EXPECT_FALSE(SysFwNSCursorIsHidden());
    msg(cmsg<id>("NSCursor", "arrowCursor"), "set");
    runFor(0.02);
}

}  // namespace
