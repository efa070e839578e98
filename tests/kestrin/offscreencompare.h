#pragma once
// For the tests of Kestrin's editor in a real window: where a widget sits at
// the design size, and whether what the window shows is the off-screen render
// of the same state (editorshot's EditorSession), pixel for pixel.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "editorsession.h"
#include "kestrin/gui/editorlayout.h"

namespace kestrintest {

struct ScreenPoint {
    int x, y;
};

// The centre of a widget at the 900 x 450 size.
inline ScreenPoint widgetCentre(int widget) {
    const fw::Box b = kestrin::layout::rect(widget);
    return ScreenPoint{(b.minX + b.maxX) / 2, (b.minY + b.maxY) / 2};
}

// True when `shot` (RGBA rows, as read back from the window) has the colours
// of the off-screen render at `width` after `prepare(client)` set its state;
// otherwise a test failure says how many pixels differ.
template <class Prepare>
bool sameAsOffscreen(const std::vector<std::uint8_t>& shot, int width, Prepare&& prepare) {
    editorshot::EditorSession s(width);
    prepare(s.client());
    for (int i = 0; i < 3; ++i) s.frame();
    const auto screen = s.screen();
    if (shot.size() != std::size_t(screen.w) * std::size_t(screen.h) * 4) {
        ADD_FAILURE() << "the window is not " << screen.w << " x " << screen.h;
        return false;
    }
    long differing = 0;
    for (int y = 0; y < screen.h; ++y)
        for (int x = 0; x < screen.w; ++x) {
            const fw::RGBA p = screen.at(x, y);
            const std::uint8_t* q = &shot[(std::size_t(y) * screen.w + x) * 4];
            if (p.r != q[0] || p.g != q[1] || p.b != q[2]) ++differing;
        }
    if (differing != 0) ADD_FAILURE() << differing << " pixels differ from the off-screen render at " << width;
    return differing == 0;
}

}  // namespace kestrintest
