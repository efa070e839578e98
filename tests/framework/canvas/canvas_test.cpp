#include "framework/canvas/canvas.h"

#include <gtest/gtest.h>

#include <cmath>

#include "goldenimage.h"
#include "support/realtime_watch.h"

namespace {

using fw::Box;
using fw::Canvas;
using fw::OwnedImage;
using fw::RGBA;

OwnedImage<RGBA> blank(int w, int h, RGBA fill = RGBA{0, 0, 0, 255}) {
    OwnedImage<RGBA> img(w, h);
    img.fillAll(fill);
    return img;
}

void fillBox(OwnedImage<RGBA>& img, Box b, RGBA c) {
    for (int y = b.minY; y < b.maxY; ++y)
        for (int x = b.minX; x < b.maxX; ++x) img.at(x, y) = c;
}

TEST(Canvas, RectangleOnPixelEdgesFillsExactlyThosePixels) {
    OwnedImage<RGBA> actual = blank(16, 12), expected = blank(16, 12);
    Canvas canvas;
    canvas.initialize(actual);
    canvas.fillStyle(RGBA{255, 128, 0, 255});
    canvas.fillRect(3, 2, 9, 7);
    fillBox(expected, Box{3, 2, 12, 9}, RGBA{255, 128, 0, 255});
    EXPECT_TRUE(testsupport::matchesGolden("canvas-rect", actual, expected));
}

TEST(Canvas, HalfCoveredEdgePixelsAreBlendedHalfway) {
    OwnedImage<RGBA> actual = blank(12, 6, RGBA{0, 0, 0, 0}), expected = blank(12, 6, RGBA{0, 0, 0, 0});
    Canvas canvas;
    canvas.initialize(actual);
    canvas.fillStyle(RGBA{255, 255, 255, 255});
    canvas.fillRect(2.5f, 1, 6, 4);
    fillBox(expected, Box{3, 1, 8, 5}, RGBA{255, 255, 255, 255});
    // 255 x 0.5 = 127.5, rounded to nearest.
    fillBox(expected, Box{2, 1, 3, 5}, RGBA{128, 128, 128, 128});
    fillBox(expected, Box{8, 1, 9, 5}, RGBA{128, 128, 128, 128});
    EXPECT_TRUE(testsupport::matchesGolden("canvas-half-edges", actual, expected));
}

TEST(Canvas, TranslucentColourBlendsEveryChannelByItsAlpha) {
    OwnedImage<RGBA> img = blank(4, 4, RGBA{0, 0, 0, 0});
    Canvas canvas;
    canvas.initialize(img);
    canvas.fillStyle(RGBA{255, 100, 0, 128});
    canvas.fillRect(0, 0, 4, 4);
    // dst + (colour - dst) x 128 / 255: 128, 50.2 -> 50, 0, 64.25 -> 64.
    EXPECT_EQ(img.at(2, 2), (RGBA{128, 50, 0, 64}));
}

TEST(Canvas, TransformsApplyToPointsAndSaveRestoreThem) {
    OwnedImage<RGBA> actual = blank(20, 20), expected = blank(20, 20);
    Canvas canvas;
    canvas.initialize(actual);
    canvas.fillStyle(RGBA{0, 255, 0, 255});
    canvas.save();
    canvas.translate(5, 4);
    canvas.scale(2);
    canvas.fillRect(1, 1, 3, 2);  // -> (7, 6) to (13, 10)
    canvas.restore();
    canvas.fillRect(0, 0, 2, 2);  // identity again
    canvas.restore();             // unbalanced restore is ignored
    fillBox(expected, Box{7, 6, 13, 10}, RGBA{0, 255, 0, 255});
    fillBox(expected, Box{0, 0, 2, 2}, RGBA{0, 255, 0, 255});
    EXPECT_TRUE(testsupport::matchesGolden("canvas-transform", actual, expected));
}

TEST(Canvas, PathLeavingTheViewWritesNothingOutsideIt) {
    OwnedImage<RGBA> big = blank(40, 40, RGBA{5, 5, 5, 5});
    Canvas canvas;
    canvas.initialize(big.toRef().cropImageRef(Box{10, 10, 30, 30}));
    canvas.fillStyle(RGBA{255, 0, 0, 255});
    canvas.beginPath();
    canvas.moveTo(-30, -20);
    canvas.lineTo(60, 5);
    canvas.lineTo(10, 70);
    canvas.fill();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x)
            if (!Box{10, 10, 30, 30}.contains(x, y)) {
                ASSERT_EQ(big.at(x, y), (RGBA{5, 5, 5, 5})) << x << "," << y;
            }
    EXPECT_EQ(big.at(20, 20), (RGBA{255, 0, 0, 255}));
}

TEST(Canvas, HugeCoordinatesArePinnedNotWrapped) {
    OwnedImage<RGBA> actual = blank(10, 4), expected = blank(10, 4);
    Canvas canvas;
    canvas.initialize(actual);
    canvas.fillStyle(RGBA{255, 255, 255, 255});
    // x * 256 overflows 32 bits: pinned to the far left, so the rectangle
    // covers every column up to 6 rather than wrapping to somewhere else.
    canvas.beginPath();
    canvas.moveTo(-1e12f, 1);
    canvas.lineTo(6, 1);
    canvas.lineTo(6, 3);
    canvas.lineTo(-1e12f, 3);
    canvas.fill();
    fillBox(expected, Box{0, 1, 6, 3}, RGBA{255, 255, 255, 255});
    EXPECT_TRUE(testsupport::matchesGolden("canvas-pinned", actual, expected));
}

TEST(Canvas, NaNCoordinatesAreHarmless) {
    OwnedImage<RGBA> img = blank(8, 8);
    Canvas canvas;
    canvas.initialize(img);
    canvas.beginPath();
    canvas.moveTo(std::nanf(""), 2);
    canvas.lineTo(5, std::nanf(""));
    canvas.lineTo(5, 5);
    canvas.fill();
    canvas.fillRect(1, 1, 1, 1);  // the canvas still works afterwards
    EXPECT_EQ(img.at(1, 1), (RGBA{0, 0, 0, 255}));
}

TEST(Canvas, ResizeGripShapesCoverTheCornerOnly) {
    // The window grip: three closed shapes in one path.
    OwnedImage<RGBA> img = blank(30, 30, RGBA{0, 0, 0, 0});
    Canvas canvas;
    canvas.initialize(img);
    canvas.fillStyle(RGBA{255, 255, 255, 96});
    const float w = 30, h = 30;
    canvas.beginPath();
    canvas.moveTo(0, h), canvas.lineTo(w, 0), canvas.lineTo(w, h / 5), canvas.lineTo(w / 5, h), canvas.closePath();
    canvas.moveTo(2 * w / 5, h), canvas.lineTo(w, 2 * h / 5), canvas.lineTo(w, 3 * h / 5);
    canvas.lineTo(3 * w / 5, h), canvas.closePath();
    canvas.moveTo(4 * w / 5, h), canvas.lineTo(w, 4 * h / 5), canvas.lineTo(w, h), canvas.closePath();
    canvas.fill();
    // Full coverage of (255, 255, 255, 96) over transparent: colour 255 x 96 / 255 = 96,
    // alpha 96 x 96 / 255 = 36.1 -> 36.
    EXPECT_EQ(img.at(2, 2).a, 0);                       // above the first stripe
    EXPECT_EQ(img.at(15, 16), (RGBA{96, 96, 96, 36}));  // inside the first stripe
    EXPECT_EQ(img.at(20, 20).a, 0);                     // between the first and second stripes
    EXPECT_EQ(img.at(28, 28).a, 36);                    // the corner triangle
}

TEST(Canvas, LinearGradientFollowsItsTableAcrossTheAxis) {
    OwnedImage<RGBA> img = blank(256, 2);
    Canvas canvas;
    canvas.initialize(img);
    fw::CanvasGradient* g = canvas.createLinearGradient(0, 0, 256, 0);
    g->addColorStop(0.0f, RGBA{0, 0, 0, 255});
    g->addColorStop(1.0f, RGBA{255, 255, 255, 255});
    canvas.fillStyle(g);
    canvas.fillRect(0, 0, 256, 2);
    // Pixel x has centre x + 0.5, index x; the table runs from 0 at entry 0
    // towards 255 at entry 256: entry x is 255 x / 256, rounded.
    for (int x = 0; x < 256; ++x) ASSERT_EQ(img.at(x, 1).r, int(255.0 * x / 256 + 0.5)) << x;
}

TEST(Canvas, EllipticalGradientRunsFromTheCentreOutwards) {
    OwnedImage<RGBA> img = blank(64, 64);
    Canvas canvas;
    canvas.initialize(img);
    // Centre on a pixel centre; axes 20 (along x) and 10.
    fw::CanvasGradient* g = canvas.createEllipticalGradient(32.5f, 32.5f, 52.5f, 32.5f, 0.5f);
    g->addColorStop(0.0f, RGBA{255, 0, 0, 255});
    g->addColorStop(1.0f, RGBA{0, 0, 255, 255});
    canvas.fillStyle(g);
    canvas.fillRect(0, 0, 64, 64);
    EXPECT_EQ(img.at(32, 32), (RGBA{255, 0, 0, 255}));
    // Beyond the ellipse: the last entry, 255 / 256 of the way to the last stop.
    EXPECT_EQ(img.at(0, 0), (RGBA{1, 0, 254, 255}));
    // Half way along the long axis equals half way along the short one: entry 128.
    EXPECT_EQ(img.at(42, 32), (RGBA{128, 0, 128, 255}));
    EXPECT_EQ(img.at(32, 37), (RGBA{128, 0, 128, 255}));
    EXPECT_EQ(img.at(22, 32), (RGBA{128, 0, 128, 255}));
}

TEST(Canvas, EllipticalGradientWithAnAxisShorterThanAPixelKeepsTheUnitScale) {
    // L^2 = max(|v|^2, 1): an axis of 0.5 px measures along v in half pixels.
    OwnedImage<RGBA> img = blank(12, 1);
    Canvas canvas;
    canvas.initialize(img);
    fw::CanvasGradient* g = canvas.createEllipticalGradient(0.5f, 0.5f, 1.0f, 0.5f, 1.0f);
    g->addColorStop(0.0f, RGBA{0, 0, 0, 255});
    g->addColorStop(1.0f, RGBA{255, 255, 255, 255});
    canvas.fillStyle(g);
    canvas.fillRect(0, 0, 12, 1);
    // Pixel 1's centre lies 1 px from the centre along v: distance 0.5, entry 128.
    EXPECT_EQ(img.at(1, 0).r, int(255.0 * 128 / 256 + 0.5));
    EXPECT_EQ(img.at(0, 0).r, 0);
}

TEST(Canvas, GradientSetThroughATransformUsesTransformedGeometry) {
    OwnedImage<RGBA> a = blank(32, 4), b = blank(32, 4);
    Canvas canvas;
    canvas.initialize(a);
    canvas.translate(16, 0);
    fw::CanvasGradient* g = canvas.createLinearGradient(0, 0, 16, 0);
    g->addColorStop(0, RGBA{0, 0, 0, 255});
    g->addColorStop(1, RGBA{0, 255, 0, 255});
    canvas.fillStyle(g);
    canvas.fillRect(-16, 0, 32, 4);
    canvas.initialize(b);
    g = canvas.createLinearGradient(16, 0, 32, 0);
    g->addColorStop(0, RGBA{0, 0, 0, 255});
    g->addColorStop(1, RGBA{0, 255, 0, 255});
    canvas.fillStyle(g);
    canvas.fillRect(0, 0, 32, 4);
    EXPECT_TRUE(testsupport::matchesGolden("canvas-gradient-transform", a, b));
}

TEST(Canvas, GradientPoolIsReusedAfterInitialize) {
    OwnedImage<RGBA> img = blank(8, 8);
    Canvas canvas;
    canvas.initialize(img);
    fw::CanvasGradient* first = canvas.createLinearGradient(0, 0, 1, 1);
    first->addColorStop(0.5f, RGBA{1, 1, 1, 1});
    canvas.initialize(img);
    fw::CanvasGradient* again = canvas.createLinearGradient(2, 2, 3, 3);
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->gradient.numStops(), 0);  // handed out fresh
    EXPECT_NE(canvas.createLinearGradient(0, 0, 1, 1), first);
}

TEST(Canvas, UnknownGradientKindIsAProgramError) {
    OwnedImage<RGBA> img = blank(8, 8);
    Canvas canvas;
    canvas.initialize(img);
    fw::CanvasGradient* g = canvas.createLinearGradient(0, 0, 1, 1);
    g->kind = fw::CanvasGradientKind(1);
    EXPECT_DEATH(canvas.fillStyle(g), "unsupported gradient kind");
}

TEST(Canvas, DrawingAllocatesNothingOnceWarm) {
    OwnedImage<RGBA> img = blank(120, 60);
    Canvas canvas;
    auto draw = [&](Box dirty) {
        canvas.initialize(img.toRef().cropImageRef(dirty));
        canvas.translate(float(-dirty.minX), float(-dirty.minY));
        canvas.fillStyle(RGBA{200, 10, 10, 180});
        canvas.beginPath();
        canvas.moveTo(5, 55);
        canvas.lineTo(115, 3);
        canvas.lineTo(100, 58);
        canvas.fill();
        fw::CanvasGradient* g = canvas.createEllipticalGradient(60, 30, 90, 30, 0.5f);
        g->addColorStop(0, RGBA{255, 255, 255, 255});
        g->addColorStop(1, RGBA{0, 0, 0, 0});
        canvas.fillStyle(g);
        canvas.save();
        canvas.fillRect(20, 10, 80, 40);
        canvas.restore();
    };
    draw(Box{0, 0, 120, 60});
    testsupport::RealtimeWatch watch;
    draw(Box{0, 0, 120, 60});
    draw(Box{30, 20, 70, 50});
    EXPECT_EQ(watch.counts().allocations, 0);
}

}  // namespace
