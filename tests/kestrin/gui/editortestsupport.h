#pragma once
// Helpers of the editor tests: widget geometry, pointer gestures through the
// off-screen window (as a native window delivers them), and parameter reads.

#include <cmath>
#include <vector>

#include "editorsession.h"
#include "framework/client/parameter.h"
#include "framework/client/testclient.h"

namespace editortest {

using editorshot::EditorSession;
using testclient::FakeHost;
using testclient::HostCall;

struct Point {
    int x;
    int y;
};

// The centre of widget `number` in window pixels.
inline Point centre(EditorSession& s, int number) {
    const fw::Box b = s.editor().widget(number)->position();
    return Point{(b.minX + b.maxX) / 2, (b.minY + b.maxY) / 2};
}

inline fw::MouseState held(fw::MouseState m = {}) {
    m.leftButtonDown = true;
    return m;
}

// Press at `from`, move by (dx, dy) in `steps` equal steps with the button
// held, release. Modifiers apply to the whole gesture.
inline void drag(EditorSession& s, Point from, int dx, int dy, fw::MouseState mods = {}, int steps = 10) {
    fw::OffscreenWindow& w = s.window();
    w.mouseMove(from.x, from.y, mods);
    w.mouseDown(from.x, from.y, fw::MouseButton::left, false, held(mods));
    // A window reports no movement for the first move after a press.
    w.mouseMove(from.x, from.y, held(mods));
    for (int i = 1; i <= steps; ++i) w.mouseMove(from.x + dx * i / steps, from.y + dy * i / steps, held(mods));
    w.mouseUp(from.x + dx, from.y + dy, fw::MouseButton::left, mods);
    s.frame();
}

inline void click(EditorSession& s, Point at, fw::MouseState mods = {}, bool doubleClick = false) {
    fw::OffscreenWindow& w = s.window();
    w.mouseMove(at.x, at.y, mods);
    w.mouseDown(at.x, at.y, fw::MouseButton::left, doubleClick, held(mods));
    w.mouseUp(at.x, at.y, fw::MouseButton::left, mods);
    s.frame();
}

inline double normalized(EditorSession& s, int index) { return s.client().param(index)->getNormalized(); }
inline double plain(EditorSession& s, int index) { return s.client().param(index)->plainValue(); }

// The host calls for one parameter, in order.
inline std::vector<HostCall::Kind> kindsFor(const FakeHost& host, int index) {
    std::vector<HostCall::Kind> kinds;
    for (const HostCall& c : host.calls)
        if (c.index == index) kinds.push_back(c.kind);
    return kinds;
}

// True when every host call concerns `index` and they form begin, automate...,
// end gestures (at least one automate in each when `needAutomate`).
inline bool wellFormedGestures(const FakeHost& host, int index, bool needAutomate = true) {
    bool open = false;
    int automates = 0;
    for (const HostCall& c : host.calls) {
        if (c.index != index) return false;
        switch (c.kind) {
            case HostCall::begin:
                if (open) return false;
                open = true;
                automates = 0;
                break;
            case HostCall::automate:
                if (!open) return false;
                ++automates;
                break;
            case HostCall::end:
                if (!open || (needAutomate && automates == 0)) return false;
                open = false;
                break;
        }
    }
    return !open;
}

}  // namespace editortest
