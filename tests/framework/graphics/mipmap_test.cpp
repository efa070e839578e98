#include "framework/graphics/mipmap.h"

#include <gtest/gtest.h>

#include "support/realtime_watch.h"

namespace {

using fw::Box;
using fw::L16;
using fw::MipFilter;
using fw::Mipmap;
using fw::RGBA;

TEST(Mipmap, LevelsHalveRoundingDownAndStopBeforeZero) {
    Mipmap<RGBA> m;
    m.size(10, 13, 5);
    ASSERT_EQ(m.numLevels(), 3);  // 13x5, 6x2, 3x1; 1x0 would be empty
    EXPECT_EQ(m.level(1).width(), 6);
    EXPECT_EQ(m.level(1).height(), 2);
    EXPECT_EQ(m.level(2).width(), 3);
    EXPECT_EQ(m.level(2).height(), 1);
    Mipmap<RGBA> few;
    few.size(2, 64, 64);
    EXPECT_EQ(few.numLevels(), 2);
}

TEST(Mipmap, MarginAppliesToLevelZeroOnly) {
    Mipmap<L16> m;
    m.size(4, 16, 16, 1);
    EXPECT_EQ(m.level(0).border(), 1);
    EXPECT_EQ(m.level(1).border(), 0);
    EXPECT_EQ(m.level(1).pitch(), 8 * 2);
}

TEST(Mipmap, BoxFilterRoundsTheAverage) {
    Mipmap<RGBA> m;
    m.size(2, 2, 2);
    m.level(0).at(0, 0) = RGBA{0, 1, 255, 10};
    m.level(0).at(1, 0) = RGBA{0, 0, 255, 10};
    m.level(0).at(0, 1) = RGBA{1, 0, 0, 10};
    m.level(0).at(1, 1) = RGBA{1, 1, 1, 11};
    m.generateMipmaps(MipFilter::box, Box{0, 0, 2, 2});
    // (a + b + c + d + 2) >> 2: 2 -> 1, 2 -> 1, 511 -> 128, 41 -> 10.
    EXPECT_EQ(m.level(1).at(0, 0), (RGBA{1, 1, 128, 10}));
}

TEST(Mipmap, AlphaCoverageIgnoresColourOfTransparentPixels) {
    Mipmap<RGBA> m;
    m.size(2, 2, 2);
    m.level(0).at(0, 0) = RGBA{200, 100, 50, 255};
    m.level(0).at(1, 0) = RGBA{0, 255, 255, 0};  // invisible: its colour must not leak
    m.level(0).at(0, 1) = RGBA{0, 255, 255, 0};
    m.level(0).at(1, 1) = RGBA{100, 100, 100, 85};
    m.generateMipmaps(MipFilter::boxAlphaCoverage, Box{0, 0, 2, 2});
    // Colour (200*255 + 100*85) / 340 = 175, (100*255 + 100*85) / 340 = 100, (50*255 + 100*85) / 340 = 62.5;
    // alpha (340 + 2) >> 2 = 85.
    const RGBA p = m.level(1).at(0, 0);
    EXPECT_EQ(p.r, 175);
    EXPECT_EQ(p.g, 100);
    EXPECT_NEAR(p.b, 62.5, 0.5);
    EXPECT_EQ(p.a, 85);
}

TEST(Mipmap, AlphaCoverageOfFullyTransparentBlockIsTransparentBlack) {
    Mipmap<RGBA> m;
    m.size(2, 2, 2);
    for (int i = 0; i < 4; ++i) m.level(0).at(i % 2, i / 2) = RGBA{255, 128, 7, 0};
    m.generateMipmaps(MipFilter::boxAlphaCoverage, Box{0, 0, 2, 2});
    EXPECT_EQ(m.level(1).at(0, 0), (RGBA{0, 0, 0, 0}));
    m.generateMipmaps(MipFilter::boxAlphaCoveragePremultiplied, Box{0, 0, 2, 2});
    EXPECT_EQ(m.level(1).at(0, 0), (RGBA{0, 0, 0, 0}));
}

TEST(Mipmap, PremultipliedAlphaCoverageScalesColourByAverageAlpha) {
    Mipmap<RGBA> m;
    m.size(2, 2, 2);
    m.level(0).at(0, 0) = RGBA{200, 255, 0, 255};
    m.level(0).at(1, 0) = RGBA{200, 255, 0, 255};
    m.level(0).at(0, 1) = RGBA{9, 9, 9, 0};
    m.level(0).at(1, 1) = RGBA{9, 9, 9, 0};
    m.generateMipmaps(MipFilter::boxAlphaCoveragePremultiplied, Box{0, 0, 2, 2});
    // Straight colour (200, 255, 0) at alpha 128 (half covered): about half the value.
    const RGBA p = m.level(1).at(0, 0);
    EXPECT_EQ(p.a, 128);
    EXPECT_EQ(p.r, 100);
    EXPECT_EQ(p.g, 128);  // 255 * 510 / 1020 = 127.5, rounded up
    EXPECT_EQ(p.b, 0);
}

TEST(Mipmap, CubicSpreadsOnePixelWithOneThreeThreeOneWeights) {
    Mipmap<L16> m;
    m.size(2, 8, 8);
    m.level(0).fillAll(L16{0});
    m.level(0).at(2, 2) = L16{6400};
    m.generateMipmaps(MipFilter::cubic, Box{0, 0, 8, 8});
    // Destination (1, 1) reads rows and columns 1..4, where the pixel is an inner
    // neighbour (weight 3 x 3); (0, 0) reads -1..2, where it is the corner
    // (1 x 1); (1, 0) mixes both (3 x 1); (2, 2) reads 3..6 and misses it.
    EXPECT_EQ(m.level(1).at(1, 1).l, (6400 * 9 + 32) >> 6);
    EXPECT_EQ(m.level(1).at(0, 0).l, (6400 * 1 + 32) >> 6);
    EXPECT_EQ(m.level(1).at(1, 0).l, (6400 * 3 + 32) >> 6);
    EXPECT_EQ(m.level(1).at(2, 2).l, 0);
}

TEST(Mipmap, CubicClampsAtTheEdgesSoAConstantImageStaysConstant) {
    Mipmap<RGBA> m;
    m.size(3, 10, 6);
    m.level(0).fillAll(RGBA{10, 20, 30, 40});
    m.generateMipmaps(MipFilter::cubic, Box{0, 0, 10, 6});
    for (int level = 1; level < m.numLevels(); ++level)
        for (int y = 0; y < m.level(level).height(); ++y)
            for (int x = 0; x < m.level(level).width(); ++x)
                EXPECT_EQ(m.level(level).at(x, y), (RGBA{10, 20, 30, 40}));
}

TEST(Mipmap, RebuildsOnlyTheAreaThatChanged) {
    Mipmap<RGBA> m;
    m.size(3, 16, 16);
    m.level(0).fillAll(RGBA{100, 100, 100, 255});
    m.generateMipmaps(MipFilter::box, Box{0, 0, 16, 16});
    m.level(0).fillAll(RGBA{0, 0, 0, 255});  // changed everywhere, but only this area is reported:
    testsupport::RealtimeWatch watch;
    const Box rect = m.generateNextLevel(MipFilter::box, Box{4, 4, 6, 7}, 1);
    EXPECT_EQ(watch.counts().allocations, 0);
    EXPECT_EQ(rect, (Box{2, 2, 3, 4}));
    EXPECT_EQ(m.level(1).at(2, 2).r, 0);
    EXPECT_EQ(m.level(1).at(2, 3).r, 0);
    EXPECT_EQ(m.level(1).at(3, 2).r, 100);
    EXPECT_EQ(m.level(1).at(1, 2).r, 100);
}

TEST(Mipmap, CubicRebuildGrowsByItsNeighbourhood) {
    Mipmap<L16> m;
    m.size(2, 16, 16);
    // Destination column x reads source columns 2x-1 .. 2x+2, so column 6 feeds x = 2 and 3.
    const Box rect = m.generateNextLevel(MipFilter::cubic, Box{6, 6, 7, 7}, 1);
    EXPECT_EQ(rect, (Box{2, 2, 4, 4}));
}

TEST(Mipmap, AlphaCoverageOnDepthMapIsAProgramError) {
    Mipmap<L16> m;
    m.size(2, 4, 4);
    EXPECT_DEATH(m.generateNextLevel(MipFilter::boxAlphaCoverage, Box{0, 0, 4, 4}, 1), "alpha-coverage");
}

}  // namespace
