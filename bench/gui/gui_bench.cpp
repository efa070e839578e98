// The editor's frame cycle through an off-screen window:
// - one 142 x 142 raw-only dirty area over a tree of 35 elements whose painting
//   costs nothing (the pipeline's own work);
// - a full-window repaint for both layers (compositor included) at 900 x 450
//   and 1800 x 900;
// - doResize across the seven sizes of the plug-in's editor.

#include <benchmark/benchmark.h>

#include <memory>

#include "framework/gui/guigraphics.h"
#include "framework/window/offscreenwindow.h"
#include "testeditor.h"

namespace {

using fw::Box;
using fw::RGBA;

// An element that paints nothing: only the pipeline's work is measured.
struct Idle final : fw::UIElement {
    using UIElement::UIElement;
};

// A background and 34 solid elements.
struct Editor {
    fw::OffscreenWindowFactory factory;
    guitest::TestEditor editor;
    fw::OffscreenWindow* window = nullptr;
    Editor() {
        for (int i = 0; i < 34; ++i)
            editor.addChild(std::make_unique<guitest::Solid>(editor.context(), RGBA{9, 9, 9, 255}))
                ->setPosition(Box::rectangle(20 + (i % 7) * 120, 20 + (i / 7) * 80, 100, 60));
        editor.setWindowFactory(&factory);
        editor.openUI(nullptr, nullptr, nullptr, fw::GraphicsBackend::cocoa);
        window = factory.lastWindow();
        window->frame();
    }
};

// Nothing paints, the root included: only the pipeline's own work remains.
struct IdleRootEditor {
    fw::OffscreenWindowFactory factory;
    fw::GUIGraphics editor{guitest::editorSizes(), fw::UIFlags::drawsRaw | fw::UIFlags::isAnimated};
    fw::OffscreenWindow* window = nullptr;
    IdleRootEditor() {
        for (int i = 0; i < 34; ++i)
            editor.addChild(std::make_unique<Idle>(editor.context(), fw::UIFlags::drawsRaw))
                ->setPosition(Box::rectangle(20 + (i % 7) * 120, 20 + (i / 7) * 80, 100, 60));
        editor.setWindowFactory(&factory);
        editor.openUI(nullptr, nullptr, nullptr, fw::GraphicsBackend::cocoa);
        window = factory.lastWindow();
        window->frame();
    }
};

void BM_Frame142x142RawOnly(benchmark::State& state) {
    IdleRootEditor e;  // root + 34 children = 35 elements
    for (auto _ : state) {
        e.editor.setDirty(Box{379, 154, 379 + 142, 154 + 142}, fw::UILayer::rawLayerOnly);
        e.window->frame();
    }
}
BENCHMARK(BM_Frame142x142RawOnly)->Unit(benchmark::kMicrosecond);

void BM_FullRepaintBothLayers(benchmark::State& state) {
    Editor e;
    e.window->requestResize(int(state.range(0)), int(state.range(1)), false);
    e.window->frame();
    for (auto _ : state) {
        e.editor.setDirtyWhole(fw::UILayer::bothLayers);
        e.window->frame();
    }
}
BENCHMARK(BM_FullRepaintBothLayers)->Args({900, 450})->Args({1800, 900})->Unit(benchmark::kMillisecond);

void BM_DoResizeSevenSizes(benchmark::State& state) {
    Editor e;
    const int sizes[7][2] = {{450, 225}, {675, 338}, {900, 450}, {1125, 563}, {1350, 675}, {1575, 788}, {1800, 900}};
    for (auto _ : state)
        for (const auto& s : sizes) benchmark::DoNotOptimize(e.editor.doResize(s[0], s[1]));
}
BENCHMARK(BM_DoResizeSevenSizes)->Unit(benchmark::kMicrosecond);

}  // namespace
