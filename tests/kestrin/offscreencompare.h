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

// The RGBA rows of the off-screen render at `width` after `prepare(client)` set
// its state.
template <class Prepare>
std::vector<std::uint8_t> offscreenPicture(int width, Prepare&& prepare) {
    editorshot::EditorSession s(width);
    prepare(s.client());
    for (int i = 0; i < 3; ++i) s.frame();
    const auto screen = s.screen();
    std::vector<std::uint8_t> rows(std::size_t(screen.w) * std::size_t(screen.h) * 4);
    for (int y = 0; y < screen.h; ++y)
        for (int x = 0; x < screen.w; ++x) {
            const fw::RGBA p = screen.at(x, y);
            std::uint8_t* q = &rows[(std::size_t(y) * screen.w + x) * 4];
            q[0] = p.r, q[1] = p.g, q[2] = p.b, q[3] = 255;
        }
    return rows;
}

// How many pixels of `shot` differ from `expected` in colour; -1 when the sizes differ.
inline long differingPixels(const std::vector<std::uint8_t>& shot, const std::vector<std::uint8_t>& expected) {
    if (shot.size() != expected.size()) return -1;
    long differing = 0;
    for (std::size_t i = 0; i < shot.size(); i += 4)
        if (shot[i] != expected[i] || shot[i + 1] != expected[i + 1] || shot[i + 2] != expected[i + 2]) ++differing;
    return differing;
}

// True when `shot` (RGBA rows, as read back from the window) has the colours
// of the off-screen render at `width` after `prepare(client)` set its state;
// otherwise a test failure says how many pixels differ.
template <class Prepare>
bool sameAsOffscreen(const std::vector<std::uint8_t>& shot, int width, Prepare&& prepare) {
    const long differing = differingPixels(shot, offscreenPicture(width, prepare));
    if (differing < 0) {
        ADD_FAILURE() << "the window is not the size of the off-screen render at " << width;
        return false;
    }
    if (differing != 0) ADD_FAILURE() << differing << " pixels differ from the off-screen render at " << width;
    return differing == 0;
}

}  // namespace kestrintest
