#pragma once
// The fixture of the AppKit tests: the binary's Xvfb, NSApp connected to it,
// an XTest connection, and a window with a plain content view holding one
// RecordingView.

// gtest before Xlib: Xlib's macros (None, Bool) would break gtest's names.
#include <gtest/gtest.h>

#include "appkittestutil.h"
#include "support/xinput.h"
#include "support/xvfbserver.h"

#include <X11/Xlib.h>

#include <memory>

namespace apptest {

class AppKitTest : public ::testing::Test {
protected:
    void SetUp() override {
        testsupport::XvfbServer& x = testsupport::sharedXvfb();
        ASSERT_TRUE(x.running()) << x.error();
        // Also keeps the AppKit library linked in: the classes are only reached by name.
        ASSERT_TRUE(NSApplicationLoad());
        app_ = cmsg<id>("NSApplication", "sharedApplication");
        ASSERT_NE(app_, nullptr) << "no display";
        input_ = std::make_unique<testsupport::XInput>();
        ASSERT_TRUE(input_->ok()) << "no XTest on the test display";
        pool_ = objc_autoreleasePoolPush();
    }

    void TearDown() override {
        if (window_) {
            msg(window_, "close");
            msg(window_, "release");
            window_ = nullptr;
        }
        if (pool_) objc_autoreleasePoolPop(pool_);
    }

    // A shown window of the given content size with `child` at `childFrame`
    // in a plain content view; waits until X shows it and it has drawn.
    void openWindow(NSSize size, NSRect childFrame, unsigned long style = NSWindowStyleMaskTitled) {
        window_ = msg<id>(cmsg<id>("NSWindow", "alloc"), "initWithContentRect:styleMask:backing:defer:",
                          NSMakeRect(200, 300, size.width, size.height), style,
                          static_cast<unsigned long>(NSBackingStoreBuffered), NO);
        msg(window_, "setReleasedWhenClosed:", NO);
        content_ = msg<id>(cmsg<id>("NSView", "alloc"), "initWithFrame:", NSMakeRect(0, 0, 1, 1));
        msg(window_, "setContentView:", content_);
        msg(content_, "release");
        child_ = newRecordingView(childFrame, &rec_);
        msg(content_, "addSubview:", child_);
        msg(child_, "release");
        msg(window_, "makeKeyAndOrderFront:", static_cast<id>(nullptr));
        ASSERT_TRUE(waitViewable(top()));
        ASSERT_TRUE(runUntil([&] { return !rec_.drawRects.empty(); })) << "the child never drew";
        settle();
    }

    // Runs until the exposures of new windows have arrived and been drawn:
    // no drawing for a tenth of a second.
    void settle() {
        for (int i = 0; i < 30; ++i) {
            const size_t drawn = rec_.drawRects.size();
            runFor(0.1);
            if (rec_.drawRects.size() == drawn) return;
        }
    }

    Window top() const { return static_cast<Window>(msg<long>(window_, "windowNumber")); }

    bool waitViewable(Window w) {
        return runUntil([&] {
            XWindowAttributes a{};
            return XGetWindowAttributes(input_->display(), w, &a) && a.map_state == IsViewable;
        });
    }

    std::vector<Window> xChildren(Window w) const {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned n = 0;
        std::vector<Window> out;
        if (XQueryTree(input_->display(), w, &root, &parent, &children, &n)) {
            out.assign(children, children + n);
            if (children) XFree(children);
        }
        return out;
    }

    // The child view's X window (the only child of the content view's).
    Window childX() const {
        auto content = xChildren(top());
        if (content.size() != 1) return 0;
        auto kids = xChildren(content[0]);
        return kids.size() == 1 ? kids[0] : 0;
    }

    // Moves the pointer to a pixel of the top-level window and lets AppKit see it.
    void pointerAt(int x, int y) {
        input_->moveToWindow(top(), x, y);
        runFor(0.05);
    }

    id app_ = nullptr;
    std::unique_ptr<testsupport::XInput> input_;
    void* pool_ = nullptr;
    id window_ = nullptr;
    id content_ = nullptr;
    id child_ = nullptr;
    Recorder rec_;
};

}  // namespace apptest
