#include "framework/gui/pbrcompositor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "framework/core/threadpool.h"
#include "framework/gui/profiler.h"
#include "framework/gui/simplerawcompositor.h"

namespace {

using fw::Box;
using fw::L16;
using fw::Mipmap;
using fw::RGBA;
using fw::Vec;

// Lighting layers with some relief: a raised square on a checkerboard.
struct Layers {
    Mipmap<RGBA> diffuse, material;
    Mipmap<L16> depth;
    explicit Layers(int w, int h) {
        diffuse.size(5, w, h);
        depth.size(4, w, h, 1);
        material.size(1, w, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                diffuse.level(0).at(x, y) = ((x ^ y) & 8) ? RGBA{0x64, 0x64, 0x64, 0} : RGBA{0x96, 0x40, 0x20, 30};
                depth.level(0).at(x, y) = L16{std::uint16_t(x > 20 && x < 60 && y > 10 && y < 50 ? 40000 : 15000)};
                material.level(0).at(x, y) = RGBA{0x80, std::uint8_t(x * 3), 0x80, 0xFF};
            }
        depth.level(0).replicateBordersTouching(Box{0, 0, w, h});
        diffuse.generateMipmaps(fw::MipFilter::box, Box{0, 0, w, h});
        depth.generateMipmaps(fw::MipFilter::cubic, Box{0, 0, w, h});
    }
};

fw::OwnedImage<RGBA> composite(fw::ICompositor& c, Layers& l, const Vec<Box>& tiles, int w, int h) {
    fw::OwnedImage<RGBA> out(w, h);
    out.fillAll(RGBA{1, 2, 3, 4});
    fw::NullProfiler profiler;
    c.resizeBuffers(w, h, 64, 64);
    c.compositeTile(out, tiles, l.diffuse, l.material, l.depth, profiler);
    return out;
}

bool same(const fw::OwnedImage<RGBA>& a, const fw::OwnedImage<RGBA>& b) {
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.scanline(y), b.scanline(y), std::size_t(a.width()) * 4) != 0) return false;
    return true;
}

TEST(PassClampAndConvertTo8bit, ScalesBy255Point99TruncatesAndClamps) {
    using P = fw::PassClampAndConvertTo8bit;
    EXPECT_EQ(P::convertComponent(0.0f), 0);
    EXPECT_EQ(P::convertComponent(1.0f), 255);       // 255.99
    EXPECT_EQ(P::convertComponent(0.5f), 127);       // 127.995
    EXPECT_EQ(P::convertComponent(0.25f), 63);       // 63.9975
    EXPECT_EQ(P::convertComponent(0.004f), 1);       // 1.02
    EXPECT_EQ(P::convertComponent(0.0039f), 0);      // 0.998
    EXPECT_EQ(P::convertComponent(-3.0f), 0);
    EXPECT_EQ(P::convertComponent(7.0f), 255);
    EXPECT_EQ(P::convertComponent(std::nanf("")), 0);
    EXPECT_EQ(P::convertComponent(INFINITY), 255);
}

TEST(PBRCompositor, EightPassesInTheirOrder) {
    fw::PBRCompositor c(fw::CompositorCreationContext{});
    const std::vector<std::string> expected{"Compute normal",    "Ambient occlusion",  "Oblique shadow light",
                                            "Directional light", "Specular light",     "Skybox reflections",
                                            "Emissive contribution", "Clamp and convert to 8-bit"};
    ASSERT_EQ(c.numPasses(), 8);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(c.pass(i)->name(), expected[std::size_t(i)]);
}

TEST(PBRCompositor, WritesOpaquePixelsOnlyInsideTheTiles) {
    Layers l(100, 70);
    fw::ThreadPool pool(3);
    fw::PBRCompositor c(fw::CompositorCreationContext{&pool});
    const Vec<Box> tiles{Box{0, 0, 64, 64}, Box{64, 0, 100, 30}, Box{70, 40, 71, 41}};
    const fw::OwnedImage<RGBA> out = composite(c, l, tiles, 100, 70);
    for (int y = 0; y < 70; ++y)
        for (int x = 0; x < 100; ++x) {
            bool inside = false;
            for (const Box& t : tiles) inside = inside || t.contains(x, y);
            if (inside) ASSERT_EQ(out.at(x, y).a, 255) << x << "," << y;
            else ASSERT_EQ(out.at(x, y), (RGBA{1, 2, 3, 4})) << x << "," << y;
        }
    // The relief is lit: the raised square differs from the flat floor of the same colour.
    EXPECT_NE(out.at(22, 12), out.at(5, 5));
}

TEST(PBRCompositor, ResultDoesNotDependOnThreadsOrTiling) {
    Layers l(150, 90);
    fw::ThreadPool pool(3);
    fw::PBRCompositor pooled(fw::CompositorCreationContext{&pool});
    fw::PBRCompositor single(fw::CompositorCreationContext{});
    Vec<Box> tiles;
    for (int y = 0; y < 90; y += 30)
        for (int x = 0; x < 150; x += 50) tiles.pushBack(Box{x, y, x + 50, y + 30});
    // One area larger than the announced tile: cut into pieces, never beyond the scratch.
    const Vec<Box> whole{Box{-10, -10, 500, 500}};
    const auto a = composite(pooled, l, tiles, 150, 90);
    const auto b = composite(single, l, whole, 150, 90);
    const auto again = composite(pooled, l, tiles, 150, 90);
    EXPECT_TRUE(same(a, b));
    EXPECT_TRUE(same(a, again));
}

TEST(PBRCompositor, SettersChangeTheLight) {
    Layers l(64, 64);
    fw::PBRCompositor c(fw::CompositorCreationContext{});
    const Vec<Box> tiles{Box{0, 0, 64, 64}};
    const auto before = composite(c, l, tiles, 64, 64);
    c.ambientLight(0.9f);
    c.light2Color({0.0f, 0.0f, 0.0f});
    const auto after = composite(c, l, tiles, 64, 64);
    EXPECT_FALSE(same(before, after));
}

TEST(SimpleRawCompositor, CopiesTheDiffuseColourOpaqueInsideTheTilesOnly) {
    Layers l(80, 40);
    fw::ThreadPool pool(2);
    fw::SimpleRawCompositor c(fw::CompositorCreationContext{&pool});
    const Vec<Box> tiles{Box{0, 0, 8, 8}, Box{70, 30, 200, 200}};
    const auto out = composite(c, l, tiles, 80, 40);
    EXPECT_EQ(out.at(0, 0), (RGBA{0x96, 0x40, 0x20, 255}));
    EXPECT_EQ(out.at(79, 39), (RGBA{0x64, 0x64, 0x64, 255}));  // (79 ^ 39) has bit 3 set
    EXPECT_EQ(out.at(8, 0), (RGBA{1, 2, 3, 4}));
    EXPECT_EQ(out.at(69, 39), (RGBA{1, 2, 3, 4}));
}

// Records which tiles it saw on which thread.
struct RecordingPass final : fw::CompositorPass {
    RecordingPass() : CompositorPass("record") {}
    std::mutex m;
    std::vector<Box> tiles;
    std::atomic<int> maxThread{-1};
    void render(int threadIndex, const Box& tile, const fw::PassBuffers&) noexcept override {
        int seen = maxThread.load();
        while (threadIndex > seen && !maxThread.compare_exchange_weak(seen, threadIndex)) {}
        std::lock_guard<std::mutex> lock(m);
        tiles.push_back(tile);
    }
};

TEST(MultipassCompositor, RunsEnabledPassesOncePerTileOnPoolThreads) {
    fw::ThreadPool pool(3);
    fw::MultipassCompositor c(fw::CompositorCreationContext{&pool});
    auto* on = c.addPass(std::make_unique<RecordingPass>());
    auto* off = c.addPass(std::make_unique<RecordingPass>());
    off->setEnabled(false);
    Layers l(200, 64);
    Vec<Box> tiles;
    for (int x = 0; x < 192; x += 64) tiles.pushBack(Box{x, 0, x + 64, 64});
    composite(c, l, tiles, 200, 64);
    EXPECT_EQ(on->tiles.size(), 3u);
    EXPECT_TRUE(off->tiles.empty());
    EXPECT_LT(on->maxThread.load(), pool.numThreads());
}

}  // namespace
