// The bar display (eight bars from the bottom, the followed parameter, narrow
// and bad sizes and values, the listener) and the level display (derived
// colour, shading under the mask, the marker, the gain reduction text).
#include "tlmgui/fftdisplay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include "framework/client/floatparameter.h"
#include "support/realtime_watch.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::RGBA;
using tlmgui::FFTDisplay;
using tlmgui::SingleDisplay;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr RGBA kBar{200, 10, 20, 255};
constexpr RGBA kBack{5, 6, 7, 8};
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

struct FFTTest : ::testing::Test {
    fw::UIContext context;
    fw::LinearFloatParameter level{0, "Level", "", 0.0, 1.0, 0.25};

    std::unique_ptr<FFTDisplay> display(Box position, int barW, int barH, fw::Parameter* followed = nullptr) {
        auto d = std::make_unique<FFTDisplay>(context, followed);
        d->setPosition(position);
        d->initialize(barW, barH, kBar);
        d->setBackColor(kBack);
        return d;
    }
    // The colour the bars rule gives element pixel (x, y): bar k = x * 8 / w
    // (clamped to the last), lit from row h - truncate(h * value) down.
    static RGBA expected(const float (&values)[8], int w, int h, int x, int y) {
        const int k = std::min(int(float(x) / (float(w) / 8.0f)), 7);
        float v = values[k];
        v = std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f);
        return y < h - int(float(h) * v) ? kBack : kBar;
    }
};

TEST_F(FFTTest, StartsWithItsSampleValuesAndGreenBars) {
    FFTDisplay d(context);
    const float initial[8] = {0.1f, 0.3f, 0.4f, 0.2f, 0.5f, 0.9f, 0.8f, 1.0f};
    for (int i = 0; i < 8; ++i) EXPECT_FLOAT_EQ(d.value(i), initial[i]) << i;
    d.setPosition(Box::rectangle(0, 0, 16, 10));
    d.initialize(16, 10, FFTDisplay::kDefaultBarColor);
    auto layer = filledLayer(16, 10);
    widgettest::paintAll(d, layer);
    // Bar 7 (value 1) is lit to the top; bar 0 (0.1) only in its bottom row, the
    // rest in the default back colour (0, 0, 0, 0).
    EXPECT_EQ(layer.at(15, 0), FFTDisplay::kDefaultBarColor);
    EXPECT_EQ(layer.at(0, 9), FFTDisplay::kDefaultBarColor);
    EXPECT_EQ(layer.at(0, 8), (RGBA{0, 0, 0, 0}));
}

TEST_F(FFTTest, EightyPixelsWideHasTenPixelBarsGrowingFromTheBottom) {
    const float values[8] = {1.0f, 0.0f, 0.5f, 0.25f, 0.1f, 0.95f, 0.75f, 0.05f};
    auto d = display(Box::rectangle(0, 0, 100, 30), 80, 20);
    d->setValues(values);
    auto layer = filledLayer(100, 30);
    widgettest::paintAll(*d, layer);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 100; ++x) {
            // Outside the bar area the layer is left alone.
            const RGBA want = (x < 80 && y < 20) ? expected(values, 80, 20, x, y) : kBackground;
            ASSERT_EQ(layer.at(x, y), want) << x << "," << y;
        }
    // A value of 1 fills the whole height, 0 none of it; bars change at x = 10.
    for (int y = 0; y < 20; ++y) {
        EXPECT_EQ(layer.at(9, y), kBar);
        EXPECT_EQ(layer.at(10, y), kBack);
    }
}

TEST_F(FFTTest, NarrowerThanEightPixelsMapsEveryColumnToABar) {
    const float values[8] = {0.0f, 0.1f, 0.2f, 0.3f, 0.4f, 0.6f, 0.8f, 1.0f};
    for (int w = 1; w < 8; ++w) {
        auto d = display(Box::rectangle(0, 0, 8, 10), w, 10);
        d->setValues(values);
        auto layer = filledLayer(8, 10);
        widgettest::paintAll(*d, layer);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 8; ++x)
                ASSERT_EQ(layer.at(x, y), x < w ? expected(values, w, 10, x, y) : kBackground)
                    << "w " << w << " at " << x << "," << y;
    }
}

TEST_F(FFTTest, EmptyOrNegativeSizesPaintNothing) {
    for (const auto& [w, h] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{-5, 10}, std::pair{10, -5}}) {
        auto d = display(Box::rectangle(0, 0, 10, 10), w, h);
        auto layer = filledLayer(10, 10);
        widgettest::paintAll(*d, layer);
        EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0) << w << " x " << h;
    }
}

TEST_F(FFTTest, ABarAreaLargerThanTheElementStaysInsideIt) {
    auto d = display(Box::rectangle(4, 4, 8, 8), 800, 800);
    d->setValues(std::initializer_list<float>{1, 1, 1, 1, 1, 1, 1, 1});
    auto layer = filledLayer(20, 20);
    widgettest::paintAll(*d, layer);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) {
            const bool inside = x >= 4 && x < 12 && y >= 4 && y < 12;
            ASSERT_EQ(layer.at(x, y), inside ? kBar : kBackground) << x << "," << y;
        }
}

TEST_F(FFTTest, AnElementCutOffAtTheLeftKeepsItsBarsInPlace) {
    const float values[8] = {1.0f, 0.0f, 0.5f, 0.25f, 0.1f, 0.95f, 0.75f, 0.05f};
    auto d = display(Box::rectangle(-25, 0, 80, 20), 80, 20);
    d->setValues(values);
    auto layer = filledLayer(40, 20);
    widgettest::paintAll(*d, layer);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) ASSERT_EQ(layer.at(x, y), expected(values, 80, 20, x + 25, y)) << x << "," << y;
}

TEST_F(FFTTest, NaNAndOutOfRangeValuesAreClamped) {
    const float values[8] = {kNaN, 2.0f, -1.0f, std::numeric_limits<float>::infinity(), 0.5f, 0.5f, 0.5f, 0.5f};
    auto d = display(Box::rectangle(0, 0, 8, 10), 8, 10);
    d->setValues(values);
    auto layer = filledLayer(8, 10);
    widgettest::paintAll(*d, layer);
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(layer.at(0, y), kBack);  // NaN: nothing lit
        EXPECT_EQ(layer.at(1, y), kBar);   // 2: the whole height
        EXPECT_EQ(layer.at(2, y), kBack);  // -1: nothing
        EXPECT_EQ(layer.at(3, y), kBar);   // infinity: the whole height
    }
}

TEST_F(FFTTest, SetValueIgnoresIndicesOutsideTheEightBars) {
    FFTDisplay d(context);
    d.setValue(3, 0.7f);
    d.setValue(-1, 0.9f);
    d.setValue(8, 0.9f);
    EXPECT_FLOAT_EQ(d.value(3), 0.7f);
    EXPECT_FLOAT_EQ(d.value(0), 0.1f);
    EXPECT_FLOAT_EQ(d.value(7), 1.0f);
    EXPECT_EQ(d.value(8), 0.0f);
    // Fewer than eight values leave the rest.
    const float two[2] = {0.6f, 0.7f};
    d.setValues(two);
    EXPECT_FLOAT_EQ(d.value(0), 0.6f);
    EXPECT_FLOAT_EQ(d.value(1), 0.7f);
    EXPECT_FLOAT_EQ(d.value(2), 0.4f);
}

TEST_F(FFTTest, UpdateCopiesTheFollowedParameterOnlyWhenFollowing) {
    auto d = display(Box::rectangle(0, 0, 8, 20), 8, 20, &level);
    level.setFromHost(0.6);
    d->update();
    EXPECT_FLOAT_EQ(d->value(0), 0.1f);  // not following yet
    d->setFollowParam(true);
    d->update();
    EXPECT_FLOAT_EQ(d->value(0), float(level.value()));
    // Painting updates first: the first bar shows the newest value.
    level.setFromHost(0.35);
    auto layer = filledLayer(8, 20);
    widgettest::paintAll(*d, layer);
    const int lit = int(20.0f * float(level.value()));
    for (int y = 0; y < 20; ++y) EXPECT_EQ(layer.at(0, y), y < 20 - lit ? kBack : kBar) << y;
}

TEST_F(FFTTest, FollowingWithoutAParameterKeepsTheValues) {
    FFTDisplay d(context);
    d.setFollowParam(true);
    d.update();
    EXPECT_FLOAT_EQ(d.value(0), 0.1f);
}

TEST_F(FFTTest, RemovesItsListenerWhenDestroyed) {
    const int before = level.numListeners();
    {
        auto d = display(Box::rectangle(0, 0, 8, 8), 8, 8, &level);
        EXPECT_EQ(level.numListeners(), before + 1);
        level.setFromHost(0.5);  // reaches the live display
    }
    EXPECT_EQ(level.numListeners(), before);
    level.setFromHost(0.9);  // a dangling listener would be called here
    EXPECT_DOUBLE_EQ(level.value(), 0.9);
}

TEST_F(FFTTest, PaintingAllocatesNothing) {
    auto d = display(Box::rectangle(0, 0, 80, 20), 80, 20, &level);
    d->setFollowParam(true);
    auto layer = filledLayer(80, 20);
    widgettest::paintAll(*d, layer);  // the element's own rectangle list grows once
    fw::Vec<Box> areas;
    areas.pushBack(layer.toRef().bounds());
    testsupport::RealtimeWatch watch;
    d->renderRaw(layer, areas);
    if (testsupport::RealtimeWatch::countsAllocations()) {
        EXPECT_EQ(watch.counts().allocations, 0);
    }
}

// ---- SingleDisplay ----

struct SingleTest : ::testing::Test {
    static constexpr int kW = 5, kH = 10;
    static constexpr RGBA kMain{150, 220, 90, 255};
    fw::UIContext context;
    fw::OwnedImage<RGBA> mask{kW, kH};

    SingleTest() { mask.fillAll(RGBA{0, 0, 0, 255}); }
    std::unique_ptr<SingleDisplay> display() {
        auto d = std::make_unique<SingleDisplay>(context, mask.toRef());
        d->setPosition(Box::rectangle(0, 0, kW, kH));
        d->initialize(kW, kH, kMain);
        return d;
    }
    // The buffered blend: (buffer x o + layer x (255 - o) + 127) / 255.
    static RGBA blend(RGBA c, RGBA under, int o) {
        const auto ch = [o](int a, int b) { return std::uint8_t((a * o + b * (255 - o) + 127) / 255); };
        return RGBA{ch(c.r, under.r), ch(c.g, under.g), ch(c.b, under.b), ch(c.a, under.a)};
    }
};

TEST_F(SingleTest, DerivesTheSecondColourHundredDarkerFlooredAtZero) {
    SingleDisplay d(context, mask.toRef());
    d.initialize(4, 4, RGBA{150, 50, 255, 200});
    EXPECT_EQ(d.derivedColor(), (RGBA{50, 0, 155, 200}));
    EXPECT_EQ(d.mainColor(), (RGBA{150, 50, 255, 200}));
}

TEST_F(SingleTest, ShadesTheLitRowsFromTheCentreToTheEdgesUnderTheMask) {
    // Transparent and half-transparent mask pixels show the layer through.
    mask.at(1, 8) = RGBA{0, 0, 0, 0};
    mask.at(3, 9) = RGBA{0, 0, 0, 128};
    auto d = display();
    d->setValue(0.5f, 12.0f);  // lit from row 10 - 5; marker at row truncate(9 x 12 / 24) = 4
    auto layer = filledLayer(kW, kH);
    widgettest::paintAll(*d, layer);
    const RGBA edge = d->derivedColor();
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) {
            // Half-pixel distance from the centre column: 2 at columns 1 and 3, 4 at the edges.
            const int dist = std::abs(2 * x - (kW - 1));
            const auto mix = [dist](int a, int b) { return std::uint8_t((a * (4 - dist) + b * dist) / 4); };
            RGBA c = y >= 5 ? RGBA{mix(kMain.r, edge.r), mix(kMain.g, edge.g), mix(kMain.b, edge.b), kMain.a}
                            : SingleDisplay::kUnlitColor;
            int o = mask.at(x, y).a;
            const bool marker = y == 4 || ((y == 3 || y == 5) && (x == 0 || x == kW - 1));
            if (marker) c = SingleDisplay::kMarkerColor, o = 255;
            ASSERT_EQ(layer.at(x, y), blend(c, kBackground, o)) << x << "," << y;
        }
    EXPECT_EQ(layer.at(2, 7), kMain);  // the centre column is the main colour
    EXPECT_EQ(layer.at(1, 8), kBackground);
}

TEST_F(SingleTest, AnEmptyMaskOrBarPaintsNothingAndBadValuesAreClamped) {
    {
        SingleDisplay d(context, fw::ImageRef<const RGBA>{});
        d.setPosition(Box::rectangle(0, 0, kW, kH));
        d.initialize(kW, kH, kMain);
        d.setValue(kNaN, kNaN);
        auto layer = filledLayer(kW, kH);
        widgettest::paintAll(d, layer);
        // Only the marker (row 0 for NaN) shows without a mask.
        for (int x = 0; x < kW; ++x) EXPECT_EQ(layer.at(x, 0), SingleDisplay::kMarkerColor);
        EXPECT_EQ(layer.at(2, 5), kBackground);
    }
    {
        auto d = display();
        d->initialize(0, -3, kMain);
        d->setValue(5.0f, 1e30f);
        auto layer = filledLayer(kW, kH);
        widgettest::paintAll(*d, layer);
        EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);
        EXPECT_EQ(d->markerRow(kH), kH - 1);  // a huge reduction holds the marker at the bottom
    }
}

TEST_F(SingleTest, GainReductionTextIsFormattedAndCutToFiveBytes) {
    auto d = display();
    EXPECT_STREQ(d->greductionString(), "");  // level 0: no text
    d->setValue(0.5f, 3.0f);
    EXPECT_STREQ(d->greductionString(), "-3db");
    d->setValue(0.5f, 12.4f);
    EXPECT_STREQ(d->greductionString(), "-12d");  // "-12db" needs six bytes
    for (float huge : {1e30f, -1e30f, kNaN, std::numeric_limits<float>::infinity()}) {
        d->setValue(0.5f, huge);
        EXPECT_LT(std::strlen(d->greductionString()), SingleDisplay::kTextCapacity) << huge;
    }
    d->setValue(0.0f, 3.0f);
    EXPECT_STREQ(d->greductionString(), "");
}

}  // namespace
