// The generator's float raster, shape masks and neumorphic effects: coverage
// adds up to the shapes' areas, blurring moves coverage without losing it, and
// the effects stay on their side of an outline.
#include "raster.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "shapes.h"
#include "style.h"

namespace {

using artgen::Colour;
using artgen::Layer;
using artgen::Mask;
using fw::Box;

constexpr float kPi = std::numbers::pi_v<float>;

double total(const Mask& m) {
    double s = 0;
    for (int y = m.area().minY; y < m.area().maxY; ++y)
        for (int x = m.area().minX; x < m.area().maxX; ++x) s += m.at(x, y);
    return s;
}

TEST(ShapeMasks, CoverageAddsUpToTheShapesArea) {
    const Box area{-10, -10, 90, 90};
    EXPECT_NEAR(total(artgen::disc(area, 40.3f, 39.7f, 25)), kPi * 25 * 25, 0.002 * kPi * 625);
    EXPECT_NEAR(total(artgen::ring(area, 40, 40, 20, 30)), kPi * (900 - 400), 0.003 * kPi * 500);
    // A pixel-aligned rectangle with square corners covers exactly its pixels.
    EXPECT_DOUBLE_EQ(total(artgen::roundRect(area, 10, 20, 30, 25, 0)), 20.0 * 5.0);
    // Rounded corners remove (4 - pi) r^2.
    EXPECT_NEAR(total(artgen::roundRect(area, 0, 0, 60, 40, 10)), 2400 - (4 - kPi) * 100, 2.0);
    // A capsule is a rectangle plus two half discs.
    EXPECT_NEAR(total(artgen::capsule(area, 10, 40, 70, 40, 5)), 60 * 10 + kPi * 25, 1.0);
    // Three quarters of a band plus the two round half-disc ends.
    const float r0 = 20, r1 = 30, half = 5;
    EXPECT_NEAR(total(artgen::arcBand(area, 40, 40, r0, r1, 0.75f * kPi, 2.25f * kPi)),
                0.75 * kPi * (r1 * r1 - r0 * r0) + kPi * half * half, 3.0);
}

TEST(ShapeMasks, CoverageIsFullInsideAndNoneOutside) {
    const Mask d = artgen::disc(Box{0, 0, 40, 40}, 20, 20, 10);
    EXPECT_EQ(d.at(20, 20), 1.0f);
    EXPECT_EQ(d.at(20, 34), 0.0f);
    EXPECT_EQ(d.get(100, 100), 0.0f);  // outside the area
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) {
            EXPECT_GE(d.at(x, y), 0.0f);
            EXPECT_LE(d.at(x, y), 1.0f);
        }
}

TEST(MaskBlur, SpreadsCoverageWithoutLosingIt) {
    Mask m = artgen::disc(Box{0, 0, 80, 80}, 40, 40, 12);
    const double before = total(m);
    m.blur(4);
    EXPECT_NEAR(total(m), before, 1e-3 * before);
    // The centre is no longer full, the ring just outside the disc is now covered.
    EXPECT_LT(m.at(40, 40), 1.0f);
    EXPECT_GT(m.at(40, 54), 0.1f);
    // Three box passes of radius 4 reach 12 pixels and no further.
    EXPECT_GT(m.at(40, 40 + 12 + 11), 0.0f);
    EXPECT_EQ(m.at(40, 40 + 12 + 14), 0.0f);
}

TEST(MaskBlur, ClampsAtTheEdgesSoAFullMaskStaysFull) {
    Mask m(Box{0, 0, 20, 10});
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) m.at(x, y) = 1;
    m.blur(3);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x) EXPECT_NEAR(m.at(x, y), 1.0f, 1e-6f);
}

TEST(MaskOps, ShiftInvertMultiplyAndSubtractWorkInGlobalCoordinates) {
    const Mask d = artgen::disc(Box{0, 0, 20, 20}, 10, 10, 5);
    const Mask s = d.shifted(7, -3);
    EXPECT_EQ(s.area(), (Box{7, -3, 27, 17}));
    EXPECT_EQ(s.get(17, 7), d.get(10, 10));
    const Mask inv = d.inverted();
    EXPECT_EQ(inv.at(10, 10), 0.0f);
    EXPECT_EQ(inv.at(0, 0), 1.0f);
    Mask both = d;
    both.multiply(inv);
    EXPECT_EQ(both.at(10, 10), 0.0f);
    Mask cut = d;
    cut.subtract(artgen::disc(Box{0, 0, 20, 20}, 10, 10, 7));
    EXPECT_EQ(total(cut), 0.0);
    // Removing a partial coverage leaves its complement's share.
    Mask edge(Box{0, 0, 1, 1});
    edge.at(0, 0) = 0.8f;
    Mask quarter(Box{0, 0, 1, 1});
    quarter.at(0, 0) = 0.25f;
    edge.subtract(quarter);
    EXPECT_FLOAT_EQ(edge.at(0, 0), 0.6f);
}

TEST(LayerCompositing, OverBlendsStraightColoursAndKeepsTransparentPixelsClean) {
    const Box area{0, 0, 4, 1};
    Layer layer(area);
    Mask m(area);
    m.at(1, 0) = 1;
    m.at(2, 0) = 0.5f;
    m.at(3, 0) = 1;
    layer.fill(m, artgen::rgb(255, 0, 0));
    Mask top(area);
    top.at(3, 0) = 1;
    layer.fill(top, Colour{0, 0, 1, 0.5f});
    const fw::OwnedImage<fw::RGBA> img = layer.toImage(artgen::rgb(10, 20, 30));
    EXPECT_EQ(img.at(0, 0), (fw::RGBA{10, 20, 30, 0}));    // untouched: the given colour, transparent
    EXPECT_EQ(img.at(1, 0), (fw::RGBA{255, 0, 0, 255}));
    EXPECT_EQ(img.at(2, 0), (fw::RGBA{255, 0, 0, 128}));   // half coverage keeps the straight colour
    EXPECT_EQ(img.at(3, 0), (fw::RGBA{128, 0, 128, 255}));  // half blue over opaque red
}

TEST(NeumorphicEffects, DropShadowsStayOutsideTheReachAndInnerShadowsInsideTheShape) {
    const Box area{0, 0, 100, 100};
    const artgen::Depth depth{4, 3, 0.6f, 0.9f};
    const Mask shape = artgen::disc(area, 50, 50, 20);

    Layer drop(area);
    artgen::dropShadows(drop, shape, depth);
    const fw::OwnedImage<fw::RGBA> d = drop.toImage(artgen::rgb(0, 0, 0));
    // Shadows fall below and right (dark), above and left (light).
    EXPECT_GT(d.at(50 + 18, 50 + 18).a, 0);
    EXPECT_LT(d.at(50 + 18, 50 + 18).r, 200);
    EXPECT_EQ(d.at(50 - 18, 50 - 18).r, 255);
    // Nothing beyond offset + three blur radii + the edge pixel.
    const int reach = 20 + depth.offset + 3 * depth.blur + 1;
    EXPECT_EQ(d.at(50 + reach + 1, 50).a, 0);
    EXPECT_EQ(d.at(50, 50 - reach - 1).a, 0);

    Layer inner(area);
    artgen::innerShadows(inner, shape, depth);
    const fw::OwnedImage<fw::RGBA> in = inner.toImage(artgen::rgb(0, 0, 0));
    int inside = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            if (shape.at(x, y) == 0.0f) {
                EXPECT_EQ(in.at(x, y).a, 0) << x << "," << y;
            }
            if (in.at(x, y).a > 0) ++inside;
        }
    EXPECT_GT(inside, 0);
    // Dark on the inner top-left edge, light on the inner bottom-right edge.
    EXPECT_LT(in.at(50 - 13, 50 - 13).r, 200);
    EXPECT_EQ(in.at(50 + 13, 50 + 13).r, 255);
}

TEST(TextMasks, CentredTextIsCentredAndCoversInk) {
    artgen::TextWriter text;
    Mask m(Box{0, 0, 200, 60});
    text.centred(m, "Gain", 24, 100, 40);
    double sum = 0, sx = 0;
    int minY = 60, maxY = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            sum += m.at(x, y);
            sx += m.at(x, y) * (x + 0.5);
            if (m.at(x, y) > 0) minY = std::min(minY, y), maxY = std::max(maxY, y);
        }
    ASSERT_GT(sum, 50.0);
    EXPECT_NEAR(sx / sum, 100.0, 4.0);
    EXPECT_LE(maxY, 40);                         // nothing below the baseline in "Gain"
    EXPECT_NEAR(40 - minY, text.capHeight(24), 1.5);  // "G" reaches about the capital height
}

}  // namespace
