// Three threads post dirty rectangles (and change what elements show) while the
// UI thread runs frames, resizes the window and moves an element. Run under
// ThreadSanitizer too.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "framework/gui/guigraphics.h"
#include "framework/window/offscreenwindow.h"
#include "testeditor.h"

namespace {

using fw::Box;
using fw::RGBA;
using guitest::Solid;
using guitest::TestEditor;

TEST(GUIGraphicsStress, PostingFromThreeThreadsDuringFramesAndResizesLosesNoUpdate) {
    fw::OffscreenWindowFactory factory;
    TestEditor editor;
    editor.setWindowFactory(&factory);
    std::vector<Solid*> solids;
    for (int i = 0; i < 35; ++i)
        solids.push_back(editor.addChild(std::make_unique<Solid>(editor.context(), RGBA{0, 0, 0, 255})));
    for (int i = 0; i < 35; ++i)
        solids[std::size_t(i)]->setPosition(Box::rectangle(10 + (i % 7) * 60, 10 + (i / 7) * 40, 50, 30));
    editor.openUI(nullptr, nullptr, nullptr, fw::GraphicsBackend::cocoa);
    fw::OffscreenWindow* window = factory.lastWindow();
    window->frame();

    std::atomic<bool> stop{false};
    std::vector<std::thread> posters;
    for (int t = 0; t < 3; ++t) {
        posters.emplace_back([&, t] {
            std::mt19937 rng(unsigned(t) + 1);
            std::uniform_int_distribution<int> pick(0, 34), coord(-2000, 4000), small(0, 255);
            for (unsigned n = 0; !stop.load(std::memory_order_relaxed); ++n) {
                // Bursts of posts with short pauses: the lists fragment as under
                // heavy automation without growing without bound.
                if (n % 64 == 63) std::this_thread::sleep_for(std::chrono::microseconds(200));
                Solid* s = solids[std::size_t(pick(rng))];
                // Enormous rectangles; whole-window lighting repaints are
                // expensive, so only a few of them.
                if (n % 1024 == 0) {
                    s->setDirty(Box{INT_MIN, INT_MIN, INT_MAX, INT_MAX},
                                t == 0 && n == 8192 ? fw::UILayer::bothLayers : fw::UILayer::rawLayerOnly);
                    continue;
                }
                switch (rng() % 16) {
                    case 0:
                    case 5:
                    case 6:
                        s->setColor(RGBA{std::uint8_t(small(rng)), std::uint8_t(t), 7, 255});
                        break;
                    case 1:
                    case 2:
                    case 3:
                        s->setDirty(Box{coord(rng), coord(rng), coord(rng), coord(rng)});  // often inverted
                        break;
                    default:
                        s->setDirtyWhole(fw::UILayer::rawLayerOnly);
                        break;
                }
            }
        });
    }

    const int sizes[3][2] = {{900, 450}, {1000, 600}, {1400, 700}};
#if defined(KESTRIN_THREAD_SANITIZED)
    constexpr int kFrames = 25;  // every access is instrumented: fewer, equally varied frames
#else
    constexpr int kFrames = 60;
#endif
    for (int frame = 0; frame < kFrames; ++frame) {
        if (frame % 8 == 0) window->requestResize(sizes[frame / 8 % 3][0], sizes[frame / 8 % 3][1], false);
        // The UI thread moves one element back and forth while others post for it.
        solids[34]->setPosition(Box::rectangle(370 + frame % 2 * 5, 170, 50, 30));
        window->frame();
    }
    stop.store(true);
    for (std::thread& t : posters) t.join();

    // The last colour of every element must be on screen after one more frame.
    window->frame();
    const Box ui = editor.uiRectInWindow();
    for (Solid* s : solids) {
        const Box p = s->position();
        const RGBA c = window->screen().at(ui.minX + p.minX + 2, ui.minY + p.minY + 2);
        EXPECT_EQ(c, s->color());
    }
}

}  // namespace
