#include "framework/canvas/gradient.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using fw::Gradient;
using fw::RGBA;

TEST(Gradient, SingleStopFillsTheWholeTable) {
    Gradient g;
    g.addStop(0.3f, RGBA{1, 2, 3, 4});
    const RGBA* lut = g.lookupTable();
    for (int i = 0; i < Gradient::lutLength; ++i) ASSERT_EQ(lut[i], (RGBA{1, 2, 3, 4}));
}

TEST(Gradient, NoStopsGiveTransparentBlack) {
    Gradient g;
    EXPECT_EQ(g.lookupTable()[128], (RGBA{}));
}

TEST(Gradient, InterpolatesBetweenStopsAndHoldsTheEndColoursOutside) {
    Gradient g;
    g.addStop(0.25f, RGBA{0, 0, 0, 255});     // entry 64
    g.addStop(0.75f, RGBA{200, 100, 0, 255}); // entry 192
    const RGBA* lut = g.lookupTable();
    EXPECT_EQ(lut[0], (RGBA{0, 0, 0, 255}));
    EXPECT_EQ(lut[63], (RGBA{0, 0, 0, 255}));
    EXPECT_EQ(lut[64], (RGBA{0, 0, 0, 255}));
    EXPECT_EQ(lut[128], (RGBA{100, 50, 0, 255}));   // halfway
    EXPECT_EQ(lut[96], (RGBA{50, 25, 0, 255}));     // a quarter of the way
    EXPECT_EQ(lut[192], (RGBA{200, 100, 0, 255}));
    EXPECT_EQ(lut[255], (RGBA{200, 100, 0, 255}));
}

TEST(Gradient, StopsAddedOutOfOrderAreSortedStably) {
    Gradient g;
    g.addStop(1.0f, RGBA{255, 255, 255, 255});
    g.addStop(0.0f, RGBA{0, 0, 0, 255});
    g.addStop(0.5f, RGBA{10, 0, 0, 255});
    g.addStop(0.5f, RGBA{20, 0, 0, 255});  // same position: keeps being the later one
    const RGBA* lut = g.lookupTable();
    EXPECT_EQ(g.stop(0).position, 0.0f);
    EXPECT_EQ(g.stop(1).color.r, 10);
    EXPECT_EQ(g.stop(2).color.r, 20);
    EXPECT_EQ(g.stop(3).position, 1.0f);
    EXPECT_EQ(lut[0], (RGBA{0, 0, 0, 255}));
    EXPECT_EQ(lut[64].r, 5);     // between black and the first 0.5 stop
    EXPECT_EQ(lut[128].r, 20);   // past the coincident stops
    EXPECT_GT(lut[200].r, 20);
}

TEST(Gradient, PositionsAreClampedAndNaNCountsAsZero) {
    Gradient g;
    g.addStop(-3.0f, RGBA{1, 0, 0, 0});
    g.addStop(7.0f, RGBA{2, 0, 0, 0});
    g.addStop(std::nanf(""), RGBA{3, 0, 0, 0});
    g.lookupTable();
    EXPECT_EQ(g.stop(0).position, 0.0f);
    EXPECT_EQ(g.stop(2).position, 1.0f);
}

TEST(Gradient, TableIsRebuiltAfterChanges) {
    Gradient g;
    g.addStop(0.0f, RGBA{9, 9, 9, 9});
    EXPECT_EQ(g.lookupTable()[5], (RGBA{9, 9, 9, 9}));
    g.reset();
    g.addStop(0.0f, RGBA{7, 7, 7, 7});
    EXPECT_EQ(g.lookupTable()[5], (RGBA{7, 7, 7, 7}));
}

}  // namespace
