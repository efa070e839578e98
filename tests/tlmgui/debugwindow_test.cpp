// The parameter debug overlay: its text per parameter, the background, the
// minimize button and its clicks, and the listeners it removes when destroyed.
#include "tlmgui/debugwindow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "assets/kestrin_font_vera_bold.h"
#include "framework/client/floatparameter.h"
#include "support/realtime_watch.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::Click;
using fw::RGBA;
using tlmgui::DebugWindow;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr int kW = 160, kH = 80, kButton = 12;
constexpr std::uint8_t kAlpha = 200;

fw::Font& font() {
    static fw::Font f(assets::kVeraSansBold, assets::kVeraSansBoldSize);
    return f;
}

struct DebugTest : ::testing::Test {
    fw::UIContext context;
    fw::LinearFloatParameter delay{0, "Delay", "ms", 0.0, 100.0, 5.0};
    fw::LinearFloatParameter mix{1, "Mix", "%", 0.0, 100.0, 50.0};

    std::unique_ptr<DebugWindow> window() {
        auto w = std::make_unique<DebugWindow>(context, font(), kAlpha, kButton);
        w->setPosition(Box::rectangle(0, 0, kW, kH));
        return w;
    }
    // The background: every channel moved towards opaque black by alpha / 255.
    static RGBA darkened(RGBA under) {
        const float a = float(kAlpha) / 255.0f;
        const auto ch = [a](int c) { return std::uint8_t(std::lround(float(c) * (1.0f - a))); };
        return RGBA{ch(under.r), ch(under.g), ch(under.b), 255};
    }
    static void expectNear(RGBA got, RGBA want) {
        EXPECT_NEAR(got.r, want.r, 1);
        EXPECT_NEAR(got.g, want.g, 1);
        EXPECT_NEAR(got.b, want.b, 1);
        EXPECT_EQ(got.a, want.a);
    }
};

TEST_F(DebugTest, ParamStringIsTheDisplayTextASpaceAndTheUnit) {
    auto w = window();
    char display[DebugWindow::kDisplayTextCapacity];
    delay.toDisplayN(display, sizeof display);
    char out[DebugWindow::kTextCapacity];
    const std::size_t n = w->paramString(delay, out);
    const std::string want = std::string(display) + " ms";
    EXPECT_EQ(std::string(out, n), want);
    EXPECT_STREQ(out, want.c_str());
    // A short buffer keeps the start, zero-terminated.
    char small[4];
    EXPECT_EQ(w->paramString(delay, small), 3u);
    EXPECT_EQ(std::string(small), want.substr(0, 3));
    EXPECT_EQ(w->paramString(delay, std::span<char>{}), 0u);
}

TEST_F(DebugTest, RemovesItsListenersFromEveryWatchedParameterWhenDestroyed) {
    {
        auto w = window();
        w->addParameter(delay, "Delay");
        w->addParameter(mix, "Mix");
        w->addParameter(mix, "Mix again");
        EXPECT_EQ(w->numWatched(), 3u);
        EXPECT_EQ(delay.numListeners(), 1);
        EXPECT_EQ(mix.numListeners(), 2);
        mix.setFromHost(0.3);
    }
    EXPECT_EQ(delay.numListeners(), 0);
    EXPECT_EQ(mix.numListeners(), 0);
    // A dangling listener would be called here.
    delay.setFromHost(0.8);
    mix.setFromHost(0.9);
    EXPECT_DOUBLE_EQ(mix.value(), 90.0);
}

TEST_F(DebugTest, ClicksInTheTopRightSquareToggleMinimized) {
    auto w = window();
    EXPECT_FALSE(w->minimized());
    EXPECT_EQ(w->onMouseClick(kW - 1, 0, 0, false, {}), Click::beginDrag);
    EXPECT_TRUE(w->minimized());
    EXPECT_EQ(w->onMouseClick(kW - kButton, kButton - 1, 0, false, {}), Click::beginDrag);
    EXPECT_FALSE(w->minimized());
    // Just outside the square: still a drag, no toggle.
    EXPECT_EQ(w->onMouseClick(kW - kButton - 1, 0, 0, false, {}), Click::beginDrag);
    EXPECT_EQ(w->onMouseClick(kW - 1, kButton, 0, false, {}), Click::beginDrag);
    EXPECT_EQ(w->onMouseClick(5, 50, 0, false, {}), Click::beginDrag);
    EXPECT_FALSE(w->minimized());
}

TEST_F(DebugTest, PaintsTheBackgroundButtonTitleAndOneLinePerParameter) {
    auto bare = window();
    auto layer = filledLayer(kW + 10, kH + 10);
    widgettest::paintAll(*bare, layer);
    // Far from any text: the darkened background; outside: untouched.
    expectNear(layer.at(2, kH - 2), darkened(kBackground));
    EXPECT_EQ(layer.at(kW + 5, 5), kBackground);
    EXPECT_EQ(layer.at(5, kH + 5), kBackground);
    // The button's square (drawn over the title), and a pixel left of it.
    EXPECT_EQ(layer.at(kW - 1, 0), DebugWindow::kTextColor);
    EXPECT_EQ(layer.at(kW - kButton, kButton - 1), DebugWindow::kTextColor);
    expectNear(layer.at(kW - kButton - 1, kH - 2), darkened(kBackground));
    // The title leaves pixels that are neither background.
    int titlePixels = 0;
    for (int y = 0; y < DebugWindow::kTitleSize + 4; ++y)
        for (int x = 0; x < kW - kButton; ++x) titlePixels += !(layer.at(x, y) == layer.at(2, kH - 2));
    EXPECT_GT(titlePixels, 20);

    // A parameter adds a line under the title.
    auto with = window();
    with->addParameter(delay, "Delay");
    auto layer2 = filledLayer(kW + 10, kH + 10);
    widgettest::paintAll(*with, layer2);
    int lineDiffs = 0;
    for (int y = DebugWindow::kTitleSize + 4; y < kH; ++y)
        for (int x = 0; x < kW; ++x) lineDiffs += !(layer.at(x, y) == layer2.at(x, y));
    EXPECT_GT(lineDiffs, 20);
}

TEST_F(DebugTest, MinimizedOnlyTheButtonIsDrawn) {
    auto w = window();
    w->addParameter(delay, "Delay");
    w->onMouseClick(kW - 2, 2, 0, false, {});
    ASSERT_TRUE(w->minimized());
    auto layer = filledLayer(kW, kH);
    widgettest::paintAll(*w, layer);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), kButton * kButton);
    EXPECT_EQ(layer.at(kW - 1, kButton - 1), DebugWindow::kTextColor);
}

TEST_F(DebugTest, PaintingPartsMatchesPaintingTheWhole) {
    auto w = window();
    w->addParameter(mix, "Mix");
    auto whole = filledLayer(kW, kH);
    widgettest::paintAll(*w, whole);
    auto parts = filledLayer(kW, kH);
    widgettest::paint(*w, parts, {Box::rectangle(0, 0, kW, kH / 2), Box::rectangle(0, kH / 2, kW, kH - kH / 2)});
    EXPECT_EQ(widgettest::countDifferences(whole, parts), 0);
}

TEST_F(DebugTest, OversizedButtonsAndEmptyWindowsStayInBounds) {
    DebugWindow w(context, font(), 255, 10000);
    w.setPosition(Box::rectangle(0, 0, 20, 20));
    auto layer = filledLayer(20, 20);
    widgettest::paintAll(w, layer);
    EXPECT_EQ(widgettest::countDifferent(layer, DebugWindow::kTextColor), 0);
    DebugWindow empty(context, font(), 255, -4);
    empty.setPosition(Box::rectangle(0, 0, 0, 0));
    widgettest::paintAll(empty, layer);
    EXPECT_EQ(empty.buttonSize(), 0);
}

TEST_F(DebugTest, PaintingAllocatesNothing) {
    auto w = window();
    w->addParameter(delay, "Delay");
    auto layer = filledLayer(kW, kH);
    widgettest::paintAll(*w, layer);  // glyphs are cached the first time
    fw::Vec<Box> areas;
    areas.pushBack(layer.toRef().bounds());
    testsupport::RealtimeWatch watch;
    w->renderRaw(layer, areas);
    if (testsupport::RealtimeWatch::countsAllocations()) {
        EXPECT_EQ(watch.counts().allocations, 0);
    }
}

}  // namespace
