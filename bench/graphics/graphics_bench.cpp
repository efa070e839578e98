// Editor drawing costs: rescaling knob frames and the background to the editor's
// sizes, filling a full-size path, drawing a parameter label.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "assets/kestrin_font_vera_bold.h"
#include "framework/canvas/canvas.h"
#include "framework/graphics/font.h"
#include "framework/graphics/imageresizer.h"

namespace {

using fw::OwnedImage;
using fw::RGBA;

// Smooth art with some detail, so that nothing is trivially constant.
OwnedImage<RGBA> makeArt(int w, int h) {
    OwnedImage<RGBA> img(w, h);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> noise(0, 15);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float fx = float(x) / float(w), fy = float(y) / float(h);
            img.at(x, y) = RGBA{std::uint8_t(40 + 150 * fx + noise(rng)), std::uint8_t(60 + 120 * fy),
                                std::uint8_t(128 + 100 * std::sin(fx * 20)), std::uint8_t(255 - noise(rng))};
        }
    return img;
}

// Editor scales 0.5 .. 2 in steps of 0.25; a large knob is 71 design units wide
// and its art 142 pixels (drawn at twice the design resolution).
constexpr double kScales[] = {0.5, 0.75, 1.0, 1.25, 1.5, 1.75, 2.0};

// Rescales `art` to w x h as the flat widgets do (filter 11, alpha as a colour).
void runResize(benchmark::State& state, const OwnedImage<RGBA>& art, int w, int h) {
    OwnedImage<RGBA> out(w, h);
    fw::ImageResizer resizer;
    for (auto _ : state) {
        const fw::Status s = resizer.resizeImageSRGBNoAlpha(art, out, fw::ResizeFilter::magicKernelSharpBlend);
        benchmark::DoNotOptimize(s);
        benchmark::ClobberMemory();
    }
    state.SetLabel(std::to_string(art.width()) + "x" + std::to_string(art.height()) + " -> " + std::to_string(w) +
                   "x" + std::to_string(h));
}

void BM_ResizeKnobFrame(benchmark::State& state) {
    const int size = int(std::lround(71 * kScales[state.range(0)]));
    runResize(state, makeArt(142, 142), size, size);
}
BENCHMARK(BM_ResizeKnobFrame)->DenseRange(0, 6)->Unit(benchmark::kMicrosecond);

void BM_ResizeBackground(benchmark::State& state) {
    const double scale = kScales[state.range(0)];
    runResize(state, makeArt(1800, 900), int(std::lround(900 * scale)), int(std::lround(450 * scale)));
}
BENCHMARK(BM_ResizeBackground)->Arg(0)->Arg(2)->Arg(4)->Arg(5)->Unit(benchmark::kMillisecond);

// A star-shaped path spanning the whole 900 x 450 view: long interior runs and
// many edge cells.
void fillStar(fw::Canvas& canvas) {
    canvas.beginPath();
    constexpr int kPoints = 12;
    for (int i = 0; i < 2 * kPoints; ++i) {
        const double a = 3.14159265358979 * i / kPoints;
        const double r = (i % 2 == 0) ? 1.0 : 0.55;
        const float x = float(450 + 445 * r * std::cos(a)), y = float(225 + 222 * r * std::sin(a));
        if (i == 0)
            canvas.moveTo(x, y);
        else
            canvas.lineTo(x, y);
    }
    canvas.closePath();
    canvas.fill();
}

void BM_FillPath900x450(benchmark::State& state) {
    OwnedImage<RGBA> target(900, 450);
    target.fillAll(RGBA{20, 20, 20, 255});
    fw::Canvas canvas;
    const bool gradient = state.range(0) != 0;
    for (auto _ : state) {
        canvas.initialize(target);
        if (gradient) {
            fw::CanvasGradient* g = canvas.createLinearGradient(0, 0, 0, 450);
            g->addColorStop(0, RGBA{82, 95, 215, 255});
            g->addColorStop(1, RGBA{49, 57, 129, 255});
            canvas.fillStyle(g);
        } else {
            canvas.fillStyle(RGBA{255, 255, 255, 150});
        }
        fillStar(canvas);
        benchmark::ClobberMemory();
    }
    state.SetLabel(gradient ? "linear gradient" : "solid colour");
}
BENCHMARK(BM_FillPath900x450)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_DrawLabelText(benchmark::State& state) {
    fw::Font font(assets::kVeraSansBold, assets::kVeraSansBoldSize);
    OwnedImage<RGBA> label(75, 21);  // a parameter label at scale 1
    label.fillAll(RGBA{30, 30, 30, 255});
    for (auto _ : state) {
        fw::fillText(label, font, "18000 Hz", 10.0f, 0.5f, RGBA{151, 150, 152, 255}, 37.5f, 10.5f,
                     fw::HorizontalAlignment::center, fw::VerticalAlignment::center);
        benchmark::ClobberMemory();
    }
    state.SetLabel("\"18000 Hz\", 10 px, centred, glyphs cached");
}
BENCHMARK(BM_DrawLabelText)->Unit(benchmark::kMicrosecond);

}  // namespace
