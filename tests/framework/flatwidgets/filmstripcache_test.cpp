#include "framework/flatwidgets/filmstripcache.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <latch>
#include <thread>
#include <vector>

#include "widgettest.h"

namespace {

using fw::FilmstripCache;
using fw::ImageRef;
using fw::OwnedImage;
using fw::RGBA;
using widgettest::makeStrip;
using widgettest::referenceResize;
using widgettest::samePixels;

constexpr int kFrameW = 20, kFrameH = 16, kFrames = 9;

struct Strip : ::testing::Test {
    OwnedImage<RGBA> strip = makeStrip(kFrameW, kFrameH, kFrames);
    FilmstripCache cache{strip, kFrames};
    ImageRef<const RGBA> source(int i) { return cache.sourceFrame(i); }
};

// ---- Frames and sizes ----

TEST_F(Strip, FramesAreTheStripCutIntoEqualRowsTopToBottom) {
    EXPECT_EQ(cache.sourceFrameWidth(), kFrameW);
    EXPECT_EQ(cache.sourceFrameHeight(), kFrameH);
    const ImageRef<const RGBA> f3 = source(3);
    EXPECT_EQ(f3.pixels, strip.scanline(3 * kFrameH));
    EXPECT_EQ(f3.h, kFrameH);
}

TEST_F(Strip, AtTheStripsOwnSizeFramesAreTheStripsPixelsNotACopy) {
    FilmstripCache::Handle h = cache.acquire(kFrameW, kFrameH);
    for (int i = 0; i < kFrames; ++i) {
        const ImageRef<const RGBA> f = cache.frame(h, i);
        EXPECT_EQ(f.pixels, strip.scanline(i * kFrameH)) << "frame " << i;
        EXPECT_EQ(f.pitch, strip.pitch());
        EXPECT_TRUE(cache.isFrameCached(h, i));
    }
}

TEST_F(Strip, AFrameIsScaledOnFirstUseOnlyAndMatchesTheResampler) {
    FilmstripCache::Handle h = cache.acquire(33, 27);
    for (int i = 0; i < kFrames; ++i) EXPECT_FALSE(cache.isFrameCached(h, i));
    const ImageRef<const RGBA> f = cache.frame(h, 4);
    EXPECT_TRUE(cache.isFrameCached(h, 4));
    EXPECT_FALSE(cache.isFrameCached(h, 3));
    EXPECT_FALSE(cache.isFrameCached(h, 5));
    // Alpha is treated as a colour channel for knobs.
    EXPECT_TRUE(samePixels(f, referenceResize(source(4), 33, 27, -1)));
    // The second request is the same pixels, not scaled again.
    EXPECT_EQ(cache.frame(h, 4).pixels, f.pixels);
}

TEST_F(Strip, OutOfRangeFrameIndicesAreClampedToTheStrip) {
    FilmstripCache::Handle h = cache.acquire(kFrameW, kFrameH);
    EXPECT_EQ(cache.frame(h, -5).pixels, source(0).pixels);
    EXPECT_EQ(cache.frame(h, kFrames + 3).pixels, source(kFrames - 1).pixels);
}

TEST_F(Strip, AnEmptyHandleShowsNothing) {
    FilmstripCache::Handle none = cache.acquire(0, 40);
    EXPECT_TRUE(none.empty());
    EXPECT_TRUE(cache.frame(none, 0).empty());
    EXPECT_EQ(cache.numEntries(), 0);
}

TEST(FilmstripCacheLayout, FramesSideBySideAreCutIntoColumns) {
    OwnedImage<RGBA> strip(4 * 10, 12);
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 40; ++x) strip.at(x, y) = RGBA{std::uint8_t(x / 10), 0, 0, 255};
    FilmstripCache cache(strip, 4, true);
    EXPECT_EQ(cache.sourceFrameWidth(), 10);
    EXPECT_EQ(cache.sourceFrameHeight(), 12);
    FilmstripCache::Handle h = cache.acquire(10, 12);
    EXPECT_EQ(cache.frame(h, 2).pixels, &strip.at(20, 0));
    FilmstripCache::Handle scaled = cache.acquire(5, 6);
    const ImageRef<const RGBA> f = cache.frame(scaled, 3);
    EXPECT_EQ(f.at(2, 3), (RGBA{3, 0, 0, 255}));  // a flat frame stays flat
}

// ---- Sharing ----

TEST_F(Strip, HandlesOfOneSizeShareOneEntry) {
    FilmstripCache::Handle a = cache.acquire(40, 32);
    FilmstripCache::Handle b = cache.acquire(40, 32);
    EXPECT_EQ(cache.numEntries(), 1);
    const ImageRef<const RGBA> fa = cache.frame(a, 2);
    EXPECT_TRUE(cache.isFrameCached(b, 2));
    EXPECT_EQ(cache.frame(b, 2).pixels, fa.pixels);
    FilmstripCache::Handle c = cache.acquire(41, 32);
    EXPECT_EQ(cache.numEntries(), 2);
    EXPECT_FALSE(cache.isFrameCached(c, 2));
}

TEST_F(Strip, AnEntryIsFreedWhenItsLastUserMovesOrGoes) {
    FilmstripCache::Handle a = cache.acquire(40, 32);
    {
        FilmstripCache::Handle b = cache.acquire(40, 32);
        b = cache.acquire(50, 40);  // b moves to another size; a still holds 40 x 32
        EXPECT_EQ(cache.numEntries(), 2);
    }
    EXPECT_EQ(cache.numEntries(), 1);  // 50 x 40 had only b
    a = cache.acquire(60, 48);
    EXPECT_EQ(cache.numEntries(), 1);
    FilmstripCache::Handle moved = std::move(a);
    EXPECT_TRUE(a.empty());  // NOLINT(bugprone-use-after-move): a moved-from handle is empty
    EXPECT_EQ(moved.frameWidth(), 60);
    moved.reset();
    EXPECT_EQ(cache.numEntries(), 0);
}

TEST_F(Strip, AReturnToASizeScalesItsFramesAgain) {
    FilmstripCache::Handle h = cache.acquire(40, 32);
    (void)cache.frame(h, 1);
    h = cache.acquire(30, 24);
    h = cache.acquire(40, 32);
    EXPECT_FALSE(cache.isFrameCached(h, 1));
}

// Painters of several knobs ask for the same frames at once; each frame is
// scaled once and every painter sees the finished pixels. Run under
// ThreadSanitizer this also checks the flag and lock ordering.
TEST_F(Strip, ConcurrentPaintersOfASharedEntryAllSeeTheScaledFrames) {
    FilmstripCache::Handle a = cache.acquire(31, 25);
    FilmstripCache::Handle b = cache.acquire(31, 25);
    constexpr int kThreads = 4;
    std::latch start(kThreads);
    std::vector<std::vector<ImageRef<const RGBA>>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const FilmstripCache::Handle& h = t % 2 ? a : b;
            start.arrive_and_wait();
            for (int k = 0; k < kFrames; ++k) {
                const int i = t % 2 ? k : kFrames - 1 - k;  // half of them walk backwards
                const ImageRef<const RGBA> f = cache.frame(h, i);
                // Read every pixel, as a blend would.
                unsigned sum = 0;
                for (int y = 0; y < f.h; ++y)
                    for (int x = 0; x < f.w; ++x) sum += f.at(x, y).r;
                (void)sum;
                seen[std::size_t(t)].push_back(f);
            }
        });
    }
    for (std::thread& th : threads) th.join();
    for (int i = 0; i < kFrames; ++i) {
        const OwnedImage<RGBA> expected = referenceResize(source(i), 31, 25, -1);
        EXPECT_TRUE(samePixels(cache.frame(a, i), expected)) << "frame " << i;
    }
    for (int t = 1; t < kThreads; ++t)
        for (int k = 0; k < kFrames; ++k) {
            const int i = t % 2 ? k : kFrames - 1 - k;
            EXPECT_EQ(seen[std::size_t(t)][std::size_t(k)].pixels, cache.frame(a, i).pixels);
        }
}

// ---- Memory ----

#if !defined(KESTRIN_SANITIZED)
long residentBytes() {
    long pages = 0, resident = 0;
    std::FILE* f = std::fopen("/proc/self/statm", "r");
    if (f == nullptr) return -1;
    const int n = std::fscanf(f, "%ld %ld", &pages, &resident);
    std::fclose(f);
    return n == 2 ? resident * 4096 : -1;
}

// The editor keeps a large knob strip at twice its size; only frames shown
// may cost memory.
TEST(FilmstripCacheMemory, FramesNeverShownCostNoResidentMemory) {
    const OwnedImage<RGBA> strip = makeStrip(142, 142, 260);
    FilmstripCache cache(strip, 260);
    const long before = residentBytes();
    ASSERT_GT(before, 0);
    FilmstripCache::Handle h = cache.acquire(284, 284);  // 260 frames: 84 MB reserved
    const ImageRef<const RGBA> f = cache.frame(h, 100);
    ASSERT_EQ(f.w, 284);
    EXPECT_TRUE(cache.isFrameCached(h, 100));
    const long grown = residentBytes() - before;
    const long oneFrame = 284L * 284L * 4L;
    EXPECT_LT(grown, 16 * oneFrame) << "resident growth " << grown << " bytes";
}
#endif

// ---- Bad strips ----

TEST(FilmstripCacheDeath, AStripWithFewerRowsThanFramesIsFatal) {
    const OwnedImage<RGBA> strip(8, 3);
    EXPECT_DEATH(FilmstripCache(strip, 4), "fewer pixels than frames");
}

TEST(FilmstripCacheDeath, NoFramesOrNoPixelsIsFatal) {
    const OwnedImage<RGBA> strip(8, 8);
    EXPECT_DEATH(FilmstripCache(strip, 0), "at least one frame");
    EXPECT_DEATH(FilmstripCache(ImageRef<const RGBA>{}, 4), "empty");
}

}  // namespace
