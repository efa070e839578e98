// Quadratic curves: samples per column (end exclusive), empty spans, points
// off the image, and the fill under the curve up to a column.
#include "tlmgui/draw.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "framework/graphics/blend.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::RGBA;
using tlmgui::quadCurve;
using tlmgui::quadCurveFilled;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr RGBA kLine{250, 240, 230, 255};
constexpr RGBA kFill{0, 0, 255, 128};

struct Px {
    int x, y;
};

// Exactly the listed pixels carry kLine; all others are still the background.
void expectOnly(const fw::OwnedImage<RGBA>& img, const std::vector<Px>& pixels) {
    fw::OwnedImage<RGBA> want = filledLayer(img.toRef().w, img.toRef().h);
    for (const Px& p : pixels) want.at(p.x, p.y) = kLine;
    EXPECT_EQ(widgettest::countDifferences(img, want), 0);
}

TEST(QuadCurve, AnEmptyOrReversedSpanDrawsNothing) {
    auto img = filledLayer(10, 10);
    quadCurve(img, 3, 3, 6, 8, 3, 1, kLine);  // x2 = x0
    quadCurve(img, 7, 3, 5, 5, 2, 1, kLine);  // x2 < x0
    quadCurveFilled(img, 4, 2, 5, 5, 4, 9, kLine, kFill, 9);
    EXPECT_EQ(widgettest::countDifferent(img, kBackground), 0);
}

TEST(QuadCurve, SamplesOnePointPerColumnAndStopsBeforeTheEnd) {
    // A flat curve: every sample lies on row 5, columns 0..7 (t = i / 8, i < 8).
    auto flat = filledLayer(10, 10);
    quadCurve(flat, 0, 5, 4, 5, 8, 5, kLine);
    std::vector<Px> row;
    for (int x = 0; x < 8; ++x) row.push_back({x, 5});
    expectOnly(flat, row);

    // P0 (0, 0), P1 (2, 4), P2 (4, 0): x = 4t, y = 8t(1 - t) -> 0, 1.5, 2, 1.5,
    // rounded half away from zero.
    auto arch = filledLayer(6, 6);
    quadCurve(arch, 0, 0, 2, 4, 4, 0, kLine);
    expectOnly(arch, {{0, 0}, {1, 2}, {2, 2}, {3, 2}});
}

TEST(QuadCurve, SkipsPointsOffTheImage) {
    // The flat curve at row 5 from x = -3 to 5: samples at -3..4, of which
    // columns 0..4 lie on the image.
    auto img = filledLayer(8, 8);
    quadCurve(img, -3, 5, 1, 5, 5, 5, kLine);
    expectOnly(img, {{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}});
    // Far outside, above, below and with extreme coordinates: nothing, no crash.
    auto other = filledLayer(5, 8);
    quadCurve(other, 0, -10, 2, -10, 4, -10, kLine);
    quadCurve(other, 0, 100, 2, 100, 4, 100, kLine);
    quadCurve(other, INT_MAX - 3, 0, INT_MAX - 2, 0, INT_MAX, 0, kLine);
    quadCurveFilled(other, INT_MIN, 0, 0, INT_MIN, INT_MIN + 3, INT_MAX, kLine, kFill, INT_MAX);
    EXPECT_EQ(widgettest::countDifferent(other, kBackground), 0);
    quadCurve(fw::ImageRef<RGBA>{}, 0, 0, 1, 1, 4, 0, kLine);
}

TEST(QuadCurve, FillBlendsBelowTheCurveUpToTheFillColumn) {
    auto img = filledLayer(6, 6);
    quadCurveFilled(img, 0, 2, 2, 2, 4, 2, kLine, kFill, 2);
    const RGBA underFill = fw::blendOverPixel(kFill, kBackground);
    const RGBA lineFilled = fw::blendOverPixel(kFill, kLine);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            RGBA want = kBackground;
            if (y == 2 && x < 4) want = kLine;
            // Columns 0 and 1 (before fillUntilX) are filled from the curve's row down.
            if (x < 2 && y >= 2) want = y == 2 ? lineFilled : underFill;
            ASSERT_EQ(img.at(x, y), want) << x << "," << y;
        }
}

TEST(QuadCurve, FillStopsAtTheCurveEndAndNeedsAFillColumnFromTheStart) {
    auto past = filledLayer(8, 4);
    quadCurveFilled(past, 1, 1, 2, 1, 3, 1, kLine, kFill, 100);
    const RGBA underFill = fw::blendOverPixel(kFill, kBackground);
    EXPECT_EQ(past.at(1, 3), underFill);
    EXPECT_EQ(past.at(2, 3), underFill);
    EXPECT_EQ(past.at(3, 3), kBackground);  // x2 is exclusive
    EXPECT_EQ(past.at(0, 3), kBackground);

    auto before = filledLayer(8, 4);
    quadCurveFilled(before, 1, 1, 2, 1, 3, 1, kLine, kFill, 0);  // fillUntilX < x0
    expectOnly(before, {{1, 1}, {2, 1}});
}

}  // namespace
