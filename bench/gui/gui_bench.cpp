// The editor's frame cycle through an off-screen window:
// - one 142 x 142 raw-only dirty area over a tree of 35 elements whose painting
//   costs nothing (the pipeline's own work);
// - a full-window repaint for both layers (compositor included) at 900 x 450
//   and 1800 x 900;
// - doResize across the seven sizes of the plug-in's editor.

#include <benchmark/benchmark.h>

#include <memory>

#include "framework/gui/boxlist.h"
#include "framework/gui/guigraphics.h"
#include "framework/gui/pbrcompositor.h"
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

// The lighting compositor alone on one thread over a 900 x 450 UI, in 64 x 64 tiles.
void BM_PBRCompositorOneThread900x450(benchmark::State& state) {
    const int w = 900, h = 450;
    fw::Mipmap<RGBA> diffuse, material;
    fw::Mipmap<fw::L16> depth;
    diffuse.size(5, w, h);
    depth.size(4, w, h, 1);
    material.size(1, w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            diffuse.level(0).at(x, y) = RGBA{std::uint8_t(x), std::uint8_t(y), 90, 0};
            depth.level(0).at(x, y) = fw::L16{std::uint16_t((x * 37 + y * 91) % 20000)};
            material.level(0).at(x, y) = RGBA{0x80, 0x19, 0x80, 0xFF};
        }
    depth.level(0).replicateBordersTouching(Box{0, 0, w, h});
    fw::Vec<Box> tiles;
    fw::splitIntoTiles(Box{0, 0, w, h}, 64, 64, tiles);
    fw::OwnedImage<RGBA> out(w, h);
    fw::PBRCompositor compositor{fw::CompositorCreationContext{}};
    compositor.resizeBuffers(w, h, 64, 64);
    fw::NullProfiler profiler;
    for (auto _ : state) compositor.compositeTile(out, tiles, diffuse, material, depth, profiler);
    state.SetItemsProcessed(state.iterations() * w * h);
}
BENCHMARK(BM_PBRCompositorOneThread900x450)->Unit(benchmark::kMillisecond);

void BM_DoResizeSevenSizes(benchmark::State& state) {
    Editor e;
    const int sizes[7][2] = {{450, 225}, {675, 338}, {900, 450}, {1125, 563}, {1350, 675}, {1575, 788}, {1800, 900}};
    for (auto _ : state)
        for (const auto& s : sizes) benchmark::DoNotOptimize(e.editor.doResize(s[0], s[1]));
}
BENCHMARK(BM_DoResizeSevenSizes)->Unit(benchmark::kMicrosecond);

}  // namespace
