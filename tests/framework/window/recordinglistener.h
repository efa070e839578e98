#pragma once
// A window listener for the native windows' tests: it records every call the
// window makes, with the floating-point state in force during the call, and
// paints a pattern the tests can read back from the screen.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/core/fpcontrol.h"
#include "framework/graphics/image.h"
#include "framework/window/iwindowlistener.h"

namespace windowtest {

// One listener call as the window made it.
struct Call {
    std::string what;
    int x = 0, y = 0, a = 0, b = 0;
    bool flag = false;
    fw::MouseState state{};
    std::uint32_t mxcsr = 0;  // SSE control bits
    std::uint16_t fpu = 0;    // x87 control word
};

class RecordingListener : public fw::IWindowListener {
public:
    std::vector<Call> calls;
    fw::Box nextDirty;  // handed out by the next getDirtyRectangle
    bool consumeKeys = true;
    fw::MouseCursor cursor = fw::MouseCursor::arrow;
    fw::OwnedImage<fw::RGBA> buffer;
    std::uint8_t shade = 40;  // the red level onDraw paints

    Call& log(std::string what) {
        Call c;
        c.what = std::move(what);
        c.mxcsr = fw::getSSEControlState() & 0xFFC0u;
        c.fpu = fw::getFPUControlState();
        calls.push_back(c);
        return calls.back();
    }
    std::vector<Call> named(const std::string& what) const {
        std::vector<Call> out;
        for (const Call& c : calls)
            if (c.what == what) out.push_back(c);
        return out;
    }

    bool onMouseClick(int x, int y, fw::MouseButton button, bool isDoubleClick, fw::MouseState s) override {
        Call& c = log("click");
        c.x = x, c.y = y, c.a = int(button), c.flag = isDoubleClick, c.state = s;
        return true;
    }
    bool onMouseRelease(int x, int y, fw::MouseButton button, fw::MouseState s) override {
        Call& c = log("release");
        c.x = x, c.y = y, c.a = int(button), c.state = s;
        return true;
    }
    bool onMouseWheel(int x, int y, int dx, int dy, fw::MouseState s) override {
        Call& c = log("wheel");
        c.x = x, c.y = y, c.a = dx, c.b = dy, c.state = s;
        return true;
    }
    void onMouseMove(int x, int y, int dx, int dy, fw::MouseState s) override {
        Call& c = log("move");
        c.x = x, c.y = y, c.a = dx, c.b = dy, c.state = s;
    }
    bool onKeyDown(fw::Key key) override {
        log("keydown").a = int(key);
        return consumeKeys;
    }
    bool onKeyUp(fw::Key key) override {
        log("keyup").a = int(key);
        return consumeKeys;
    }
    // Paints what the dirty rectangles covered since the last draw (everything
    // at first): red = shade, green = column, blue = row, in the byte order asked for.
    void onDraw(fw::WindowPixelFormat pf) override {
        log("draw").a = int(pf);
        const fw::Box area = pending_.intersection(fw::Box{0, 0, buffer.width(), buffer.height()});
        for (int y = area.minY; y < area.maxY; ++y)
            for (int x = area.minX; x < area.maxX; ++x) {
                auto* p = reinterpret_cast<std::uint8_t*>(buffer.scanline(y) + x);
                const std::uint8_t r = shade, g = std::uint8_t(x), b = std::uint8_t(y);
                switch (pf) {
                    case fw::WindowPixelFormat::BGRA8: p[0] = b, p[1] = g, p[2] = r, p[3] = 255; break;
                    case fw::WindowPixelFormat::ARGB8: p[0] = 255, p[1] = r, p[2] = g, p[3] = b; break;
                    case fw::WindowPixelFormat::RGBA8: p[0] = r, p[1] = g, p[2] = b, p[3] = 255; break;
                }
            }
        pending_ = fw::Box{};
    }
    fw::ImageRef<fw::RGBA> onResized(int width, int height) override {
        Call& c = log("resized");
        c.x = width, c.y = height;
        buffer = fw::OwnedImage<fw::RGBA>(width, height);
        pending_ = fw::Box{0, 0, width, height};
        return fw::ImageRef<fw::RGBA>{width, height, buffer.pixels(), buffer.pitch()};
    }
    void recomputeDirtyAreas() override { log("recompute"); }
    fw::Box getDirtyRectangle() override {
        log("dirty");
        pending_ = pending_.expand(nextDirty);
        return std::exchange(nextDirty, fw::Box{});
    }
    void onMouseCaptureCancelled() override { log("captureCancelled"); }
    void onMouseExitedWindow() override { log("exited"); }
    // Times in microseconds.
    void onAnimate(double dt, double time) override {
        Call& c = log("animate");
        c.a = int(dt * 1e6), c.b = int(time * 1e6);
    }
    fw::MouseCursor getMouseCursor() override {
        log("cursor");
        return cursor;
    }

private:
    fw::Box pending_;
};

}  // namespace windowtest
