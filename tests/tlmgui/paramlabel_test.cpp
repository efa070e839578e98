// The parameter label: its text (digits budget, separator, unit), the centred
// drawing, updates from the listener and a host thread writing while the
// editor paints.
#include "tlmgui/paramlabel.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "assets/kestrin_font_vera_bold.h"
#include "framework/client/testclient.h"
#include "support/realtime_watch.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::RGBA;
using tlmgui::UIParamLabel;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr RGBA kWhite{250, 250, 250, 255};

fw::Font& editorFont() {
    static fw::Font font(assets::kVeraSansBold, assets::kVeraSansBoldSize);
    return font;
}

struct LabelTest : ::testing::Test {
    fw::LinearFloatParameter percent{0, "Mix", "%", 0.0, 100.0, 50.0};
    fw::LinearFloatParameter time{1, "Delay", "ms", -20000.0, 20000.0, 1000.0};
    fw::UIContext context;

    std::unique_ptr<UIParamLabel> label(fw::FloatParameter& p) {
        return std::make_unique<UIParamLabel>(context, p, editorFont(), kWhite);
    }
    // Sets the plain value of the time parameter.
    void setTime(double v) { time.setFromHost(time.toNormalized(v)); }
};

// ---- Text ----

TEST_F(LabelTest, ShowsTheNumberASpaceAndTheUnit) {
    EXPECT_EQ(label(percent)->text(), "50 %");
    EXPECT_EQ(label(time)->text(), "1000 ms");
}

TEST_F(LabelTest, StartsWithNoDecimals) {
    // The constructor sets decimals to 0: 12.75 is rounded to a whole number.
    setTime(12.75);
    EXPECT_EQ(label(time)->text(), "13 ms");
}

TEST_F(LabelTest, DecimalsAreKeptWhileTheDigitBudgetAllows) {
    auto l = label(time);
    setTime(12345.678);
    l->setDecimals(2);
    // Five whole digits and two decimals fit in ten.
    char want[64];
    std::snprintf(want, sizeof want, "%.2f ms", double(12345.678f));
    EXPECT_EQ(l->text(), want);
    EXPECT_EQ(l->text(), "12345.68 ms");
    // Four digits in all: no room left for decimals (and none are taken away from the whole part).
    l->setMaxDigits(4);
    EXPECT_EQ(l->text(), "12346 ms");
    // Six: 5 + 2 is not below 6, so 6 - 5 = 1 decimal.
    l->setMaxDigits(6);
    EXPECT_EQ(l->text(), "12345.7 ms");
}

TEST_F(LabelTest, TheMinusSignCountsAsADigit) {
    auto l = label(time);
    l->setDecimals(2);
    l->setMaxDigits(3);
    // 5 has one digit: 1 + 2 is not below 3, so 3 - 1 = 2 decimals remain.
    setTime(5.0);
    EXPECT_EQ(l->text(), "5.00 ms");
    // -5 counts two: 3 - 2 = 1 decimal.
    setTime(-5.0);
    EXPECT_EQ(l->text(), "-5.0 ms");
}

TEST_F(LabelTest, NumDigitsCountsPrintedDigits) {
    auto l = label(time);
    EXPECT_EQ(l->numDigits(0), 0);
    EXPECT_EQ(l->numDigits(7), 1);
    EXPECT_EQ(l->numDigits(-5), 2);
    EXPECT_EQ(l->numDigits(12345), 5);
    EXPECT_EQ(l->numDigits(INT_MAX), 10);
    EXPECT_EQ(l->numDigits(INT_MIN), 11);
}

TEST_F(LabelTest, SeparatorGoesBetweenNumberAndUnit) {
    auto l = label(percent);
    l->setSeparator("");
    EXPECT_EQ(l->text(), "50%");
    l->setSeparator(" / ");
    EXPECT_EQ(l->text(), "50 / %");
    l->setSeparator(nullptr);
    EXPECT_EQ(l->text(), "50%");
}

TEST_F(LabelTest, AbsurdSettingsStayWithinTheBuffer) {
    auto l = label(time);
    l->setDecimals(INT_MAX);
    l->setMaxDigits(INT_MAX);
    const std::string text = l->text();
    EXPECT_LT(text.size(), UIParamLabel::kTextCapacity);
    EXPECT_EQ(text.rfind("1000.", 0), 0u);
    l->setDecimals(-3);  // a negative precision would print the default six decimals
    EXPECT_EQ(l->text(), "1000 ms");
    char tiny[3];
    EXPECT_EQ(l->copyText(tiny), 2u);
    EXPECT_STREQ(tiny, "10");
}

TEST_F(LabelTest, TheTextFollowsTheParameter) {
    auto l = label(percent);
    const Box pos = Box::rectangle(5, 6, 60, 16);
    l->setPosition(pos);
    fw::Vec<Box> rects;
    context.rawDirtyRects.pullAllRectangles(rects);
    rects.clearContents();
    percent.setFromHost(0.25);
    EXPECT_EQ(l->text(), "25 %");
    context.rawDirtyRects.pullAllRectangles(rects);
    ASSERT_EQ(rects.length(), 1u);
    EXPECT_EQ(rects[0], pos);
}

// ---- Drawing ----

TEST_F(LabelTest, DrawsTheTextCentredOnTheElement) {
    auto l = label(time);
    const Box pos = Box::rectangle(30, 40, 60, 16);
    l->setPosition(pos);
    l->setTextSize(12);
    fw::OwnedImage<RGBA> layer = filledLayer(200, 100);
    widgettest::paintAll(*l, layer);

    fw::OwnedImage<RGBA> want = filledLayer(200, 100);
    fw::fillText(want.toRef().cropImageRef(pos), editorFont(), "1000 ms", 12.0f, 0.5f, kWhite, 30.0f, 8.0f,
                 fw::HorizontalAlignment::center, fw::VerticalAlignment::center);
    EXPECT_GT(widgettest::countDifferent(want, kBackground), 20);
    EXPECT_EQ(widgettest::countDifferences(layer, want), 0);

    // Split rectangles and a label hanging over the layer's corner draw the same glyphs.
    fw::OwnedImage<RGBA> pieces = filledLayer(200, 100);
    widgettest::paint(*l, pieces, {Box{0, 0, 61, 100}, Box{61, 0, 200, 47}, Box{61, 47, 200, 100}});
    EXPECT_EQ(widgettest::countDifferences(pieces, want), 0);
    l->setPosition(Box::rectangle(-7, -3, 60, 16));
    fw::OwnedImage<RGBA> cut = filledLayer(200, 100);
    widgettest::paintAll(*l, cut);
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 53; ++x) ASSERT_EQ(cut.at(x, y), want.at(x + 37, y + 43)) << x << "," << y;
}

TEST_F(LabelTest, PaintingAllocatesNothingOnceGlyphsAreCached) {
    auto l = label(percent);
    l->setPosition(Box::rectangle(0, 0, 60, 16));
    fw::OwnedImage<RGBA> layer = filledLayer(60, 16);
    fw::Vec<Box> areas;
    areas.pushBack(layer.toRef().bounds());
    l->renderRaw(layer, areas);
    testsupport::RealtimeWatch watch;
    l->renderRaw(layer, areas);
    if (testsupport::RealtimeWatch::countsAllocations()) {
        EXPECT_EQ(watch.counts().allocations, 0);
    }
}

// ---- Listeners and threads ----

TEST_F(LabelTest, ADestroyedLabelLeavesNoListenerBehind) {
    testclient::RecordingListener other("other");
    percent.addListener(&other);
    label(percent).reset();
    percent.setFromHost(0.3);  // AddressSanitizer reports a dangling listener here
    EXPECT_EQ(other.count("changed"), 1);
    percent.removeListener(&other);
}

TEST_F(LabelTest, AHostThreadWritesWhileTheEditorPaints) {
    widgettest::OpenedEditor o;
    UIParamLabel* labels[4];
    for (int i = 0; i < 4; ++i)
        labels[i] = o.add(std::make_unique<UIParamLabel>(o.context(), percent, editorFont(), kWhite),
                          Box::rectangle(20 + 100 * i, 20, 90, 20));
    std::atomic<bool> stop{false};
    std::thread host([&] {
        for (int i = 0; !stop.load(std::memory_order_relaxed) && i < 20000; ++i)
            percent.setFromHost(double(i % 101) / 100.0);
        percent.setFromHost(0.42);
    });
    for (int frame = 0; frame < 40; ++frame) o.window->frame();
    stop.store(true, std::memory_order_relaxed);
    host.join();
    o.window->frame();
    for (UIParamLabel* l : labels) EXPECT_EQ(l->text(), "42 %");
}

}  // namespace
