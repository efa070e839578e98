// The compressor curve display: the threshold point on the diagonal, the
// slope above it, the knee curve, the tint left of the input column, bad
// inputs, and its listeners.
#include "tlmgui/epiccompdisplay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "framework/client/floatparameter.h"
#include "framework/graphics/blend.h"
#include "support/realtime_watch.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::RGBA;
using tlmgui::EpicCompDisplay;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr int kSize = 21;  // the diagonal has one row per column

struct CompTest : ::testing::Test {
    fw::UIContext context;
    fw::LinearFloatParameter threshold{0, "Threshold", "dB", -60.0, 0.0, -6.0206};  // about half the level
    fw::LinearFloatParameter knee{1, "Knee", "", 0.0, 1.0, 0.0};
    fw::LinearFloatParameter ratio{2, "Ratio", ":1", 1.0, 20.0, 2.0};

    std::unique_ptr<EpicCompDisplay> display(Box position = Box::rectangle(0, 0, kSize, kSize)) {
        auto d = std::make_unique<EpicCompDisplay>(context, threshold, knee, ratio);
        d->setPosition(position);
        return d;
    }
    // The threshold point's column: (w - 1) x 10^(dB / 20), rounded.
    int thresholdX() const { return int(std::roundf(float((kSize - 1) * std::pow(10.0L, threshold.value() / 20.0L)))); }
    // Row of the curve's straight parts at column x: the diagonal up to the
    // threshold, then a slope of 1 / ratio.
    int straightY(int x) const {
        const int tx = thresholdX(), ty = (kSize - 1) - tx;
        if (x <= tx) return (kSize - 1) - x;
        return int(std::roundf(float(ty) - float(x - tx) / float(ratio.value())));
    }
    static int countInColumn(const fw::OwnedImage<RGBA>& img, int x, RGBA c) {
        int n = 0;
        for (int y = 0; y < kSize; ++y) n += img.at(x, y) == c;
        return n;
    }
};

TEST_F(CompTest, WithoutKneeDrawsTheDiagonalThenTheRatioSlope) {
    auto d = display();
    auto layer = filledLayer(kSize, kSize);
    widgettest::paintAll(*d, layer);
    ASSERT_EQ(thresholdX(), 10);
    const auto g = d->geometry(kSize, kSize);
    EXPECT_EQ(g.thresholdX, 10);
    EXPECT_EQ(g.thresholdY, 10);
    EXPECT_FLOAT_EQ(g.slope, 0.5f);
    for (int x = 0; x < kSize; ++x) {
        EXPECT_EQ(layer.at(x, straightY(x)), EpicCompDisplay::kLineColor) << x;
        EXPECT_EQ(countInColumn(layer, x, EpicCompDisplay::kLineColor), 1) << x;
        EXPECT_EQ(countInColumn(layer, x, kBackground), kSize - 1) << x;  // no input: no tint
    }
    // Halfway up after the threshold: the last column is 10 / 2 rows above it.
    EXPECT_EQ(layer.at(20, 5), EpicCompDisplay::kLineColor);
}

TEST_F(CompTest, TintsUnderTheCurveLeftOfTheInputColumn) {
    auto d = display();
    d->setInput(0.5f);  // column roundf(20 x 0.5) = 10
    auto layer = filledLayer(kSize, kSize);
    widgettest::paintAll(*d, layer);
    const RGBA tint = fw::blendOverPixel(EpicCompDisplay::kFillColor, kBackground);
    // The blend weighs the fill 150 and the layer 105 of 255.
    EXPECT_NEAR(tint.r, (66 * 150 + kBackground.r * 105) / 255.0, 1.0);
    for (int x = 0; x < kSize; ++x)
        for (int y = 0; y < kSize; ++y) {
            RGBA want = kBackground;
            if (y == straightY(x)) want = EpicCompDisplay::kLineColor;
            else if (x < 10 && y > straightY(x)) want = tint;
            ASSERT_EQ(layer.at(x, y), want) << x << "," << y;
        }
}

TEST_F(CompTest, TheKneeIsAQuadraticCurveAroundTheThreshold) {
    knee.setFromHost(0.4);  // half-width truncate(21 x 0.4) / 2 = 4: columns 6..13
    auto d = display();
    auto layer = filledLayer(kSize, kSize);
    widgettest::paintAll(*d, layer);
    EXPECT_EQ(d->geometry(kSize, kSize).kneeHalfWidth, 4);
    for (int x = 0; x < kSize; ++x) {
        const bool inKnee = x >= 6 && x < 14;
        EXPECT_EQ(countInColumn(layer, x, EpicCompDisplay::kLineColor), inKnee ? 0 : 1) << x;
        if (!inKnee) {
            EXPECT_EQ(layer.at(x, straightY(x)), EpicCompDisplay::kLineColor) << x;
        }
    }
    // Its middle sample, t = 1/2, between (6, 14), control (10, 10) and
    // (14, straightY(14)): x = 10, y = (14 + 2 x 10 + straightY(14)) / 4 rounded.
    const int midY = int(std::roundf(float(14 + 20 + straightY(14)) / 4.0f));
    EXPECT_EQ(layer.at(10, midY), EpicCompDisplay::kKneeColor);
    EXPECT_EQ(layer.at(6, 14), EpicCompDisplay::kKneeColor);  // its start point
}

TEST_F(CompTest, ParameterChangesMoveTheCurve) {
    auto d = display();
    threshold.setFromHost(1.0);  // 0 dB: the threshold point is the top-right corner
    auto layer = filledLayer(kSize, kSize);
    widgettest::paintAll(*d, layer);
    for (int x = 0; x < kSize; ++x) EXPECT_EQ(layer.at(x, (kSize - 1) - x), EpicCompDisplay::kLineColor) << x;
}

TEST_F(CompTest, BadInputsAndSizesNeverDrawOutside) {
    auto d = display();
    for (float in : {std::numeric_limits<float>::quiet_NaN(), -3.0f, 7.0f}) {
        d->setInput(in);
        knee.setFromHost(1.0);
        auto layer = filledLayer(kSize, kSize);
        widgettest::paintAll(*d, layer);
        EXPECT_LE(d->geometry(kSize, kSize).inputX, kSize - 1);
    }
    EXPECT_TRUE(std::isnan(d->input()) || d->input() >= 0.0f);
    // A one-pixel and an empty element, and one cut off at the top-left.
    auto layer = filledLayer(4, 4);
    auto one = display(Box::rectangle(1, 1, 1, 1));
    widgettest::paintAll(*one, layer);
    EXPECT_EQ(layer.at(1, 1), EpicCompDisplay::kLineColor);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 1);
    auto none = display(Box::rectangle(0, 0, 0, 0));
    widgettest::paintAll(*none, layer);
    auto cut = display(Box::rectangle(-30, -30, 60, 60));
    auto big = filledLayer(kSize, kSize);
    widgettest::paintAll(*cut, big);
}

TEST_F(CompTest, AnElementCutOffAtTheTopLeftDrawsTheSameCurve) {
    auto whole = display(Box::rectangle(0, 0, kSize, kSize));
    whole->setInput(0.7f);
    auto full = filledLayer(kSize, kSize);
    widgettest::paintAll(*whole, full);
    auto shifted = display(Box::rectangle(-5, -3, kSize, kSize));
    shifted->setInput(0.7f);
    auto part = filledLayer(kSize, kSize);
    widgettest::paintAll(*shifted, part);
    for (int y = 0; y + 3 < kSize; ++y)
        for (int x = 0; x + 5 < kSize; ++x) ASSERT_EQ(part.at(x, y), full.at(x + 5, y + 3)) << x << "," << y;
}

TEST_F(CompTest, ListensToItsThreeParametersUntilDestroyed) {
    {
        auto d = display();
        EXPECT_EQ(threshold.numListeners(), 1);
        EXPECT_EQ(knee.numListeners(), 1);
        EXPECT_EQ(ratio.numListeners(), 1);
        ratio.setFromHost(0.5);
    }
    EXPECT_EQ(threshold.numListeners(), 0);
    EXPECT_EQ(knee.numListeners(), 0);
    EXPECT_EQ(ratio.numListeners(), 0);
    ratio.setFromHost(0.2);
    threshold.setFromHost(0.2);
}

TEST_F(CompTest, PaintingAllocatesNothing) {
    knee.setFromHost(0.3);
    auto d = display();
    d->setInput(0.6f);
    auto layer = filledLayer(kSize, kSize);
    widgettest::paintAll(*d, layer);
    fw::Vec<Box> areas;
    areas.pushBack(layer.toRef().bounds());
    testsupport::RealtimeWatch watch;
    d->renderRaw(layer, areas);
    if (testsupport::RealtimeWatch::countsAllocations()) {
        EXPECT_EQ(watch.counts().allocations, 0);
    }
}

}  // namespace
