#include "framework/graphics/draw.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <utility>

#include "goldenimage.h"
#include "support/realtime_watch.h"

namespace {

using fw::Box;
using fw::L16;
using fw::OwnedImage;
using fw::RGBA;

constexpr float kPi = std::numbers::pi_v<float>;
constexpr RGBA kRed{255, 0, 0, 255};

OwnedImage<RGBA> blank(int w, int h, RGBA fill = RGBA{0, 0, 0, 0}) {
    OwnedImage<RGBA> img(w, h);
    img.fillAll(fill);
    return img;
}

TEST(AaFillSector, EqualAnglesDrawNothing) {
    OwnedImage<RGBA> img = blank(32, 32);
    const auto before = testsupport::imageChecksum(img);
    fw::aaFillSector(img, 16, 16, 4, 12, 1.0f, 1.0f, kRed);
    EXPECT_EQ(testsupport::imageChecksum(img), before);
}

TEST(AaFillSector, RingInteriorIsSolidAndInnerRadiusPixelIsUntouched) {
    OwnedImage<RGBA> img = blank(32, 32);
    fw::aaFillSector(img, 10, 10, 3, 6, -kPi, kPi - 0.001f, kRed);
    EXPECT_EQ(img.at(14, 10), kRed);           // d = 4: inside the ring
    EXPECT_EQ(img.at(13, 10), (RGBA{}));       // d = 3 = r0: zero radial coverage
    EXPECT_EQ(img.at(10, 10), (RGBA{}));       // centre
    EXPECT_EQ(img.at(16, 10), (RGBA{}));       // d = 6 = r1: outside
    // d = sqrt(26): coverage 6 - 5.0990 = 0.9010 -> trunc(0.9010 * 255 + 0.5) = 230.
    EXPECT_EQ(img.at(15, 11), (RGBA{230, 0, 0, 230}));
}

TEST(AaFillSector, BlendDividesBy255AndTruncates) {
    OwnedImage<RGBA> img = blank(32, 32, RGBA{100, 200, 50, 255});
    fw::aaFillSector(img, 10, 10, 3, 6, -kPi, kPi - 0.001f, RGBA{0, 0, 255, 0});
    // Coverage 230 as above: (0 * 230 + 100 * 25) / 255 = 9.8 -> 9, (255 * 230 + 50 * 25) / 255 = 234.9 -> 234.
    EXPECT_EQ(img.at(15, 11), (RGBA{9, 19, 234, 25}));
}

TEST(AaFillSector, ReversedAnglesWrapThroughTwoPi) {
    OwnedImage<RGBA> img = blank(40, 40);
    // From 3 pi / 4 round through pi to -3 pi / 4: the left-hand quarter.
    fw::aaFillSector(img, 20, 20, 5, 15, 3 * kPi / 4, -3 * kPi / 4, kRed);
    EXPECT_EQ(img.at(10, 20), kRed);        // angle pi
    EXPECT_EQ(img.at(10, 18), kRed);        // just above the axis: angle -0.94 pi
    EXPECT_EQ(img.at(30, 20), (RGBA{}));    // angle 0
    EXPECT_EQ(img.at(20, 10), (RGBA{}));    // straight up
}

TEST(AaFillSector, KnobTrailSpanPastPiCoversTheTopAndLeavesTheBottomOpen) {
    OwnedImage<RGBA> img = blank(40, 40);
    fw::aaFillSector(img, 20, 20, 8, 14, 3 * kPi / 4, 9 * kPi / 4, kRed);
    EXPECT_EQ(img.at(20, 9), kRed);       // top (angle -pi / 2)
    EXPECT_EQ(img.at(31, 20), kRed);      // right (angle 0)
    EXPECT_EQ(img.at(9, 20), kRed);       // left (angle pi)
    EXPECT_EQ(img.at(20, 31), (RGBA{}));  // bottom stays open
}

TEST(AaFillSector, AngularEdgeIsAntialiased) {
    OwnedImage<RGBA> img = blank(40, 40);
    fw::aaFillSector(img, 20, 20, 5, 15, 0.05f, kPi / 2, kRed);
    EXPECT_EQ(img.at(30, 20).a, 0);  // angle 0, before the start
    // Angle atan(1 / 10) = 0.0997 is within 1 / d of the start: coverage
    // (0.0997 - 0.05) x 10.05 = 0.4995 -> trunc(0.4995 x 255 + 0.5) = 127.
    EXPECT_EQ(img.at(30, 21), (RGBA{127, 0, 0, 127}));
    EXPECT_EQ(img.at(28, 26), kRed);
}

TEST(AaFillSector, ClipsToTheViewAndLeavesSurroundingsAlone) {
    OwnedImage<RGBA> big = blank(30, 30, RGBA{7, 7, 7, 7});
    const auto view = big.toRef().cropImageRef(Box{10, 10, 20, 20});
    fw::aaFillSector(view, 0, 0, 0, 25, -kPi, kPi - 0.01f, kRed);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 30; ++x)
            if (!(x >= 10 && x < 20 && y >= 10 && y < 20)) {
                ASSERT_EQ(big.at(x, y), (RGBA{7, 7, 7, 7}));
            }
    EXPECT_EQ(big.at(15, 15), kRed);
}

TEST(AaFillSector, NonFiniteOrHugeArgumentsAreHarmless) {
    OwnedImage<RGBA> img = blank(16, 16);
    const auto before = testsupport::imageChecksum(img);
    fw::aaFillSector(img, std::nanf(""), 5, 1, 4, 0, 1, kRed);
    fw::aaFillSector(img, 5, 5, 1, INFINITY, 0, 1, kRed);
    fw::aaFillSector(img, 1e30f, -1e30f, 1, 4, 0, 1, kRed);
    EXPECT_EQ(testsupport::imageChecksum(img), before);
}

TEST(AaFillSector, SpansBeyondATurnAndHugeAnglesGiveAWholeRingAndValidBlends) {
    // More than a whole turn is a ring without a seam, wherever the span starts.
    const std::pair<float, float> spans[] = {{-10.0f, 10.0f}, {-1e9f, 1e9f}, {3.0f, 23.0f}};
    for (auto [a0, a1] : spans) {
        OwnedImage<RGBA> img = blank(21, 21, RGBA{100, 100, 100, 100});
        fw::aaFillSector(img, 10, 10, 3, 9, a0, a1, kRed);
        for (int i = 0; i < 64; ++i) {  // the mid-radius circle is fully covered
            const double angle = 2 * std::numbers::pi * i / 64;
            const int x = int(std::lround(10 + 6 * std::cos(angle))), y = int(std::lround(10 + 6 * std::sin(angle)));
            ASSERT_EQ(img.at(x, y), kRed) << "a0 " << a0 << " at " << x << "," << y;
        }
    }
    // Any angles, however large: every pixel stays a blend of the two colours.
    const float angles[] = {-1e12f, -1e9f, -12345.6f, -7.0f, 0.5f, 9.0f, 1e9f};
    for (float a0 : angles)
        for (float a1 : angles) {
            OwnedImage<RGBA> img = blank(21, 21, RGBA{100, 100, 100, 100});
            fw::aaFillSector(img, 10, 10, 3, 9, a0, a1, kRed);
            for (int y = 0; y < 21; ++y)
                for (int x = 0; x < 21; ++x) {
                    const RGBA p = img.at(x, y);
                    ASSERT_TRUE(p.r >= 100 && p.g <= 100 && p.b == p.g && p.a >= 100)
                        << a0 << " " << a1 << " at " << x << "," << y;
                }
        }
}

TEST(FillRectFloat, FillsTheIntegerRectangleClipped) {
    OwnedImage<L16> depth(8, 8);
    fw::fillRectFloat(depth.toRef(), -3, 2, 3, 100, L16{1000});
    EXPECT_EQ(depth.at(0, 2).l, 1000);
    EXPECT_EQ(depth.at(2, 7).l, 1000);
    EXPECT_EQ(depth.at(3, 2).l, 0);
    EXPECT_EQ(depth.at(0, 1).l, 0);
}

TEST(FillRectFloat, GlobalAlphaBlendsLinearly) {
    OwnedImage<RGBA> img = blank(4, 4, RGBA{0, 100, 200, 255});
    fw::fillRectFloat(img.toRef(), 0, 0, 4, 4, RGBA{200, 100, 0, 0}, 0.5f);
    EXPECT_EQ(img.at(1, 1), (RGBA{100, 100, 100, 128}));  // 127.5 rounds to nearest
}

TEST(AaFillRectFloat, EdgePixelsGetTheirCoveredArea) {
    OwnedImage<L16> depth(6, 6);
    fw::aaFillRectFloat(depth.toRef(), 1.5f, 1.25f, 3.5f, 2.75f, L16{1000});
    EXPECT_EQ(depth.at(1, 1).l, 375);  // 0.5 x 0.75
    EXPECT_EQ(depth.at(2, 1).l, 750);  // 1 x 0.75
    EXPECT_EQ(depth.at(2, 2).l, 750);
    EXPECT_EQ(depth.at(3, 2).l, 375);
    EXPECT_EQ(depth.at(0, 1).l, 0);
    EXPECT_EQ(depth.at(4, 2).l, 0);
    EXPECT_EQ(depth.at(2, 3).l, 0);
}

TEST(AaSoftDisc, FullInsideFadingToNothingAtOuterRadius) {
    OwnedImage<L16> depth(16, 16);
    fw::aaSoftDisc(depth.toRef(), 8, 8, 2, 4, L16{1000});
    EXPECT_EQ(depth.at(8, 8).l, 1000);
    EXPECT_EQ(depth.at(10, 8).l, 1000);  // d = r1
    EXPECT_EQ(depth.at(11, 8).l, 500);   // halfway between the radii
    EXPECT_EQ(depth.at(12, 8).l, 0);     // d = r2
    EXPECT_EQ(depth.at(8, 3).l, 0);
}

TEST(Slopes, RunFromTheFirstColourToTheLastAcrossTheRectangle) {
    OwnedImage<L16> depth(12, 12);
    fw::horizontalSlope(depth.toRef(), Box{2, 0, 7, 3}, L16{0}, L16{4000});
    EXPECT_EQ(depth.at(2, 1).l, 0);
    EXPECT_EQ(depth.at(4, 1).l, 2000);
    EXPECT_EQ(depth.at(6, 1).l, 4000);
    EXPECT_EQ(depth.at(7, 1).l, 0);  // outside
    OwnedImage<RGBA> img = blank(4, 5);
    fw::verticalSlope(img.toRef(), Box{0, 0, 4, 5}, RGBA{0, 0, 0, 255}, RGBA{200, 40, 0, 255});
    EXPECT_EQ(img.at(3, 0), (RGBA{0, 0, 0, 255}));
    EXPECT_EQ(img.at(0, 2), (RGBA{100, 20, 0, 255}));
    EXPECT_EQ(img.at(2, 4), (RGBA{200, 40, 0, 255}));
}

TEST(Drawing, PrimitivesAllocateNothing) {
    OwnedImage<RGBA> img = blank(64, 64);
    OwnedImage<L16> depth(64, 64);
    testsupport::RealtimeWatch watch;
    fw::aaFillSector(img, 32, 32, 10, 20, 3 * kPi / 4, 9 * kPi / 4, kRed);
    fw::fillRectFloat(depth.toRef(), 0, 0, 10, 10, L16{5});
    fw::aaFillRectFloat(img.toRef(), 0.5f, 0.5f, 9.5f, 9.5f, kRed, 0.5f);
    fw::aaSoftDisc(depth.toRef(), 20, 20, 3, 8, L16{9});
    fw::horizontalSlope(depth.toRef(), Box{0, 0, 64, 4}, L16{0}, L16{100});
    fw::verticalSlope(img.toRef(), Box{0, 0, 4, 64}, kRed, RGBA{});
    EXPECT_EQ(watch.counts().allocations, 0);
}

}  // namespace
