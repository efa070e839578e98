// Kestrin 3's editor in a real window under Xvfb, opened through the plug-in
// binary as a Mac host opens it:
// - from uiViewForAudioUnit:withSize: (through the host library) to the first
//   frame on the X server, for a new instance and for a window opened again;
// - from a parameter change on a host thread to the changed pixels on the X
//   server, in milliseconds and in ticks of the 60 Hz timer;
// - the UI thread's CPU time per frame while a knob is dragged at 2x with real
//   X input.

#include <benchmark/benchmark.h>

#include <time.h>

#include <AppKit/AppKit.h>
#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "auhost/unitview.h"
#include "kestrin/gui/editorlayout.h"
#include "kestrinhost.h"
#include "support/xinput.h"
#include "support/xvfbserver.h"

namespace {

using auhost::UnitEditorWindow;
using kestrincli::KestrinHost;
using Clock = std::chrono::steady_clock;

constexpr double kTickMs = 1000.0 / 60.0;

double threadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

struct Fixture {
    Fixture() {
        testsupport::sharedXvfb();
        ok = auhost::openApplication().ok();
        std::string error;
        ok = ok && KestrinHost::load(KestrinHost::defaultPluginPath(), host, error);
        input = std::make_unique<testsupport::XInput>();
    }
    std::vector<std::uint8_t> grab(int x, int y, int w, int h) {
        return testsupport::grabWindow(input->display(), Window(window->windowNumber()), x, y, w, h);
    }
    bool ok = false;
    std::unique_ptr<KestrinHost> host;
    std::unique_ptr<UnitEditorWindow> window;
    std::unique_ptr<testsupport::XInput> input;
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// The title's area is drawn in the first frame; before it the window is black.
bool firstFrameShown(Fixture& f) {
    const std::vector<std::uint8_t> p = f.grab(450, 40, 1, 1);
    return p.size() == 4 && (p[0] | p[1] | p[2]) != 0;
}

// Times one opening of the unit's window until its first frame is on the
// server, then closes it.
bool timeOpening(Fixture& f, benchmark::State& state) {
    const auto start = Clock::now();
    if (!UnitEditorWindow::open(f.host->unit().unit(), "Kestrin 3", f.window).ok()) return false;
    while (!firstFrameShown(f)) f.window->runFor(0.0005);
    state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    f.window->close();
    f.window->runFor(0.05);
    f.window.reset();
    return true;
}

// Each iteration opens a new instance, so its editor is built from scratch (art
// decoded, first full paint), as when a user first opens the plug-in's window.
void BM_OpenViewToFirstFrameOnScreen(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ok) return state.SkipWithError("no plug-in or display");
    for (auto _ : state) {
        std::string error;
        f.host.reset();
        if (!KestrinHost::load(KestrinHost::defaultPluginPath(), f.host, error))
            return state.SkipWithError(error.c_str());
        if (!timeOpening(f, state)) return state.SkipWithError("the editor did not open");
    }
}
BENCHMARK(BM_OpenViewToFirstFrameOnScreen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// The same unit's window opened again: the editor exists, only the view is new.
void BM_ReopenViewToFirstFrameOnScreen(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ok) return state.SkipWithError("no plug-in or display");
    for (auto _ : state) {
        if (!timeOpening(f, state)) return state.SkipWithError("the editor did not open");
    }
}
BENCHMARK(BM_ReopenViewToFirstFrameOnScreen)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_HostParameterChangeToPixels(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ok) return state.SkipWithError("no plug-in or display");
    if (!UnitEditorWindow::open(f.host->unit().unit(), "Kestrin 3", f.window).ok())
        return state.SkipWithError("the editor did not open");
    f.window->runFor(0.3);
    const fw::Box knob = kestrin::layout::rect(kestrin::layout::feedbackKnobL);
    float value = 0.1f;
    double ticks = 0;
    for (auto _ : state) {
        const std::vector<std::uint8_t> before = f.grab(knob.minX, knob.minY, knob.width(), knob.height());
        value = value > 0.5f ? 0.1f : 0.9f;
        const auto start = Clock::now();
        std::thread hostThread([&] { (void)f.host->unit().setParameter(2, value); });
        hostThread.join();
        while (f.grab(knob.minX, knob.minY, knob.width(), knob.height()) == before) f.window->runFor(0.0005);
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        ticks += seconds * 1000.0 / kTickMs;
    }
    state.counters["ticks"] = benchmark::Counter(ticks, benchmark::Counter::kAvgIterations);
    f.window->close();
    f.window->runFor(0.05);
    f.window.reset();
}
BENCHMARK(BM_HostParameterChangeToPixels)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_KnobDragUIThreadWorkPerFrame2x(benchmark::State& state) {
    Fixture& f = fixture();
    if (!f.ok) return state.SkipWithError("no plug-in or display");
    if (!UnitEditorWindow::open(f.host->unit().unit(), "Kestrin 3", f.window).ok())
        return state.SkipWithError("the editor did not open");
    f.window->runFor(0.2);
    const Window w = Window(f.window->windowNumber());
    // Grow to 2x with the grip, as a user does.
    f.input->moveToWindow(w, 897, 448);
    f.input->press(1);
    for (int i = 1; i <= 20; ++i) {
        f.input->moveToWindow(w, 897 + 45 * i, 448 + 23 * i);
        f.input->sync();
        f.window->runFor(0.01);
    }
    f.input->release(1);
    f.input->sync();
    f.window->runFor(0.3);
    const fw::Box k = kestrin::layout::rect(kestrin::layout::lengthKnobL);
    const int x = k.minX + k.maxX + 2, y = k.minY + k.maxY + 3;  // its centre at 2x
    f.input->moveToWindow(w, x, y);
    f.input->press(1);
    f.input->sync();
    double frames = 0;
    int step = 0;
    for (auto _ : state) {
        // One frame's worth of pointer motion, then one tick of the run loop.
        step = (step + 1) % 80;
        f.input->moveToWindow(w, x, y - (step < 40 ? step : 80 - step) * 3);
        f.input->sync();
        const double cpu = threadCpuSeconds();
        f.window->runFor(kTickMs / 1000.0);
        state.SetIterationTime(threadCpuSeconds() - cpu);
        frames += 1;
    }
    f.input->release(1);
    f.input->sync();
    f.window->close();
    f.window->runFor(0.05);
    f.window.reset();
    state.counters["frames"] = frames;
}
BENCHMARK(BM_KnobDragUIThreadWorkPerFrame2x)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(240);

}  // namespace

BENCHMARK_MAIN();
