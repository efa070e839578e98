// Kestrin 3's editor through an off-screen window, as a host shows it:
// - opening (client, editor construction with all art decoded, first full
//   frame) at 1x and 2x;
// - one frame while a large knob is dragged, at 2x (painting included);
// - a full repaint at 2x;
// - a scale change 1x -> 2x, repaint included;
// - the editor's resident memory at 2x after every knob and the slider were
//   swept through their whole range (every cached frame filled), above the
//   same plug-in without an editor.

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <memory>

#include "editorsession.h"

namespace {

using editorshot::EditorSession;

// Resident set size in bytes.
double residentBytes() {
    long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return 0;
    const int n = std::fscanf(f, "%ld %ld", &pages, &resident);
    std::fclose(f);
    return n == 2 ? double(resident) * double(sysconf(_SC_PAGESIZE)) : 0.0;
}

fw::MouseState held() {
    fw::MouseState m;
    m.leftButtonDown = true;
    return m;
}

// Drags widget `number` from one end of its travel to the other, painting
// every step, so that each of its frames is shown once.
void sweep(EditorSession& s, int number) {
    const fw::Box b = s.editor().widget(number)->position();
    const int x = (b.minX + b.maxX) / 2;
    const int y = std::min((b.minY + b.maxY) / 2, s.window().height() - 40);
    fw::OffscreenWindow& w = s.window();
    w.mouseMove(x, y);
    w.mouseDown(x, y, fw::MouseButton::left, false, held());
    for (int dy = 0; dy <= 6 * b.height(); dy += 2) {
        w.mouseMove(x, y + dy, held());
        s.frame();
    }
    for (int dy = 6 * b.height(); dy >= -6 * b.height(); dy -= 1) {
        w.mouseMove(x, y + dy, held());
        s.frame();
    }
    w.mouseUp(x, y, fw::MouseButton::left);
}

// Registered first so that no earlier benchmark has grown the heap.
void BM_EditorResidentMemory2x(benchmark::State& state) {
    for (auto _ : state) {
        auto bare = fw::makeClient<kestrin::Kestrin>();
        const double before = residentBytes();
        {
            EditorSession s(1800);
            for (int n : {1, 2, 3, 7, 8, 9, 24, 25, 26, 27, 32}) sweep(s, n);
            state.counters["MB_above_plugin"] = (residentBytes() - before) / (1024.0 * 1024.0);
        }
    }
}
BENCHMARK(BM_EditorResidentMemory2x)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_EditorOpenToFirstFrame(benchmark::State& state) {
    const int width = int(state.range(0));
    for (auto _ : state) {
        EditorSession s(width);
        benchmark::DoNotOptimize(s.screen().pixels);
    }
}
BENCHMARK(BM_EditorOpenToFirstFrame)->Arg(900)->Arg(1800)->Unit(benchmark::kMillisecond);

void BM_EditorFrameWhileDraggingLargeKnob2x(benchmark::State& state) {
    EditorSession s(1800);
    s.client().param(2)->setFromHost(0.5);
    const fw::Box b = s.editor().widget(2)->position();
    const int x = (b.minX + b.maxX) / 2, y = (b.minY + b.maxY) / 2;
    fw::OffscreenWindow& w = s.window();
    w.mouseMove(x, y);
    w.mouseDown(x, y, fw::MouseButton::left, false, held());
    s.frame();
    int step = 0;
    for (auto _ : state) {
        // Back and forth over 40 pixels: a new frame of the strip almost every step.
        const int phase = step++ % 80;
        w.mouseMove(x, y + (phase < 40 ? phase : 80 - phase), held());
        s.frame();
    }
    w.mouseUp(x, y, fw::MouseButton::left);
}
BENCHMARK(BM_EditorFrameWhileDraggingLargeKnob2x)->Unit(benchmark::kMicrosecond);

void BM_EditorFullRepaint2x(benchmark::State& state) {
    EditorSession s(1800);
    s.frame();
    for (auto _ : state) {
        s.editor().setDirtyWhole(fw::UILayer::rawLayerOnly);
        s.frame();
    }
}
BENCHMARK(BM_EditorFullRepaint2x)->Unit(benchmark::kMillisecond);

void BM_EditorScaleChange1xTo2x(benchmark::State& state) {
    EditorSession s(900);
    for (auto _ : state) {
        state.PauseTiming();
        s.resize(900);
        state.ResumeTiming();
        s.resize(1800);
    }
}
BENCHMARK(BM_EditorScaleChange1xTo2x)->Unit(benchmark::kMillisecond);

}  // namespace
