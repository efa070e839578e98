// The knob trail: its angles, the square and centre it draws in, the arc it
// paints (checked against the sector fill drawn with the expected geometry),
// clicks falling through, and listener bookkeeping.
#include "tlmgui/knobtrail.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

#include "framework/client/testclient.h"
#include "framework/graphics/draw.h"
#include "framework/gui/testelements.h"
#include "support/realtime_watch.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::RGBA;
using tlmgui::UIKnobTrail;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr double kPi = std::numbers::pi;
const float kStart = float(3 * kPi / 4);  // down and to the left
const float kEnd = float(9 * kPi / 4);    // down and to the right

// A parameter 0..100 whose normalized value is value / 100.
struct TrailTest : ::testing::Test {
    fw::LinearFloatParameter param{0, "Amount", "%", 0.0, 100.0, 0.0};
    fw::UIContext context;

    std::unique_ptr<UIKnobTrail> trail(Box position) {
        auto t = std::make_unique<UIKnobTrail>(context, param);
        t->setPosition(position);
        return t;
    }
    // The layer a trail at `position` paints, with the whole layer dirty.
    fw::OwnedImage<RGBA> painted(UIKnobTrail& t, int w = 320, int h = 240) {
        fw::OwnedImage<RGBA> layer = filledLayer(w, h);
        widgettest::paintAll(t, layer);
        return layer;
    }
    // The background with the sector fill drawn where the element's local
    // point (cx, cy) lies.
    static fw::OwnedImage<RGBA> expected(Box position, float cx, float cy, float r, float a1,
                                         RGBA color = UIKnobTrail::kDefaultTrailColor, int w = 320, int h = 240,
                                         float inner = 0.85f, float outer = 0.97f) {
        fw::OwnedImage<RGBA> layer = filledLayer(w, h);
        fw::aaFillSector(layer.toRef().cropImageRef(position), cx, cy, inner * r, outer * r, kStart, a1, color);
        return layer;
    }
};

// ---- Angles ----

TEST_F(TrailTest, TravelRunsFromThreeQuartersPiToNineQuartersPiAndStartsAtTheMinimum) {
    UIKnobTrail t(context, param);
    EXPECT_FLOAT_EQ(t.getMinAngle(), kStart);
    EXPECT_FLOAT_EQ(t.getBaseAngle(), kStart);
    EXPECT_FLOAT_EQ(t.getMaxAngle(), kEnd);
    // 270 degrees of travel.
    EXPECT_NEAR(t.getMaxAngle() - t.getMinAngle(), 3 * kPi / 2, 1e-6);
}

TEST_F(TrailTest, ValueAngleIsLinearInTheNormalizedValue) {
    UIKnobTrail t(context, param);
    param.setNormalized(0.0);
    EXPECT_FLOAT_EQ(t.getValueAngle(), t.getMinAngle());
    param.setNormalized(1.0);
    EXPECT_FLOAT_EQ(t.getValueAngle(), t.getMaxAngle());
    // Halfway is straight up.
    param.setNormalized(0.5);
    EXPECT_NEAR(t.getValueAngle(), 3 * kPi / 2, 1e-6);
    param.setNormalized(0.25);
    EXPECT_NEAR(t.getValueAngle(), 0.75 * t.getMinAngle() + 0.25 * t.getMaxAngle(), 1e-6);
}

TEST_F(TrailTest, StartsWithTheKnobDefaults) {
    UIKnobTrail t(context, param);
    EXPECT_FLOAT_EQ(t.sensivity(), 0.25f);
    EXPECT_EQ(t.lowCrosspoint(), INFINITY);
    EXPECT_EQ(t.highCrosspoint(), -INFINITY);
    EXPECT_EQ(t.flags(), fw::UIFlags::drawsRaw | fw::UIFlags::isAnimated);
    EXPECT_FALSE(t.isDisabled());
    EXPECT_EQ(&t.shownParameter(), &param);
    t.sensivity(0.5f);
    EXPECT_FLOAT_EQ(t.sensivity(), 0.5f);
}

// ---- Drawing ----

TEST_F(TrailTest, AtTheMinimumTheSectorIsEmpty) {
    param.setNormalized(0.0);
    auto t = trail(Box::rectangle(10, 20, 111, 88));
    fw::OwnedImage<RGBA> layer = painted(*t);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);
}

TEST_F(TrailTest, AtTheMaximumItDrawsThreeQuartersOfTheRingInTheCentredSquare) {
    // 111 x 88: the square runs from x = 11 to 99, its centre is
    // ((11 + 99 - 1) / 2, (0 + 88 - 1) / 2) = (54.5, 43.5) and R = 88 / 2 = 44.
    param.setNormalized(1.0);
    const Box pos = Box::rectangle(10, 20, 111, 88);
    auto t = trail(pos);
    fw::OwnedImage<RGBA> layer = painted(*t);
    fw::OwnedImage<RGBA> want = expected(pos, 54.5f, 43.5f, 44.0f, kEnd);
    EXPECT_GT(widgettest::countDifferent(want, kBackground), 500);
    EXPECT_EQ(widgettest::countDifferences(layer, want), 0);
    // Open at the bottom: the pixel straight below the centre on the ring stays background,
    // the one straight above is covered.
    EXPECT_EQ(layer.at(10 + 54, 20 + 43 + 40), kBackground);
    EXPECT_EQ(layer.at(10 + 54, 20 + 43 - 40), UIKnobTrail::kDefaultTrailColor);
}

TEST_F(TrailTest, ATallElementCentresTheSquareVertically) {
    // 88 x 111: the square runs from y = 11 to 99.
    param.setNormalized(0.5);
    const Box pos = Box::rectangle(30, 5, 88, 111);
    auto t = trail(pos);
    const float half = t->getValueAngle();
    EXPECT_EQ(widgettest::countDifferences(painted(*t), expected(pos, 43.5f, 54.5f, 44.0f, half)), 0);
}

TEST_F(TrailTest, OffsetsRadiiAndColourShapeTheArc) {
    param.setNormalized(0.75);
    const Box pos = Box::rectangle(40, 40, 100, 100);
    auto t = trail(pos);
    const RGBA green{20, 200, 30, 255};
    t->setCenterScale(0.5f);
    t->setOffset(1.0f, -0.5f);
    t->setInnerRadius(0.5f);
    t->setOuterRadius(0.8f);
    t->setTrailColor(green);
    // R = 50; the centre (49.5, 49.5) moves by (1, -0.5) x 0.5 x 50.
    const float cx = 49.5f + 25.0f, cy = 49.5f - 12.5f;
    EXPECT_EQ(widgettest::countDifferences(
                  painted(*t), expected(pos, cx, cy, 50.0f, t->getValueAngle(), green, 320, 240, 0.5f, 0.8f)),
              0);
}

TEST_F(TrailTest, DisabledTrailsUseTheDisabledColour) {
    param.setNormalized(1.0);
    const Box pos = Box::rectangle(0, 0, 88, 88);
    auto t = trail(pos);
    t->setDisabled(true);
    EXPECT_EQ(widgettest::countDifferences(
                  painted(*t), expected(pos, 43.5f, 43.5f, 44.0f, kEnd, UIKnobTrail::kDefaultDisabledColor)),
              0);
    const RGBA grey{90, 90, 90, 200};
    t->setDisabledColor(grey);
    EXPECT_EQ(widgettest::countDifferences(painted(*t), expected(pos, 43.5f, 43.5f, 44.0f, kEnd, grey)), 0);
    t->setDisabled(false);
    EXPECT_EQ(widgettest::countDifferences(painted(*t), expected(pos, 43.5f, 43.5f, 44.0f, kEnd)), 0);
}

TEST_F(TrailTest, SplitDirtyRectanglesAndACutOffElementPaintTheSamePixels) {
    param.setNormalized(0.9);
    const Box pos = Box::rectangle(10, 20, 111, 88);
    auto t = trail(pos);
    fw::OwnedImage<RGBA> whole = painted(*t);
    fw::OwnedImage<RGBA> pieces = filledLayer(320, 240);
    widgettest::paint(*t, pieces, {Box{0, 0, 50, 240}, Box{50, 0, 320, 61}, Box{50, 61, 320, 240}});
    EXPECT_EQ(widgettest::countDifferences(pieces, whole), 0);

    // The element hangs over the layer's top-left corner: the layer view starts
    // inside it, and what remains must sit where it sat before.
    auto moved = trail(Box::rectangle(-30, -25, 111, 88));
    fw::OwnedImage<RGBA> cut = painted(*moved);
    for (int y = 0; y < 88 - 25; ++y)
        for (int x = 0; x < 111 - 30; ++x) ASSERT_EQ(cut.at(x, y), whole.at(x + 40, y + 45)) << x << "," << y;
}

TEST_F(TrailTest, PaintingAllocatesNothing) {
    param.setNormalized(0.6);
    auto t = trail(Box::rectangle(0, 0, 111, 88));
    fw::OwnedImage<RGBA> layer = filledLayer(320, 240);
    fw::Vec<Box> areas;
    areas.pushBack(layer.toRef().bounds());
    t->renderRaw(layer, areas);  // the element's own rectangle list grows once
    testsupport::RealtimeWatch watch;
    t->renderRaw(layer, areas);
    if (testsupport::RealtimeWatch::countsAllocations()) {
        EXPECT_EQ(watch.counts().allocations, 0);
    }
}

// ---- Events and listeners ----

TEST_F(TrailTest, ClicksFallThroughToTheKnobBeneath) {
    std::vector<std::string> log;
    widgettest::OpenedEditor o;
    auto* knob = o.add(std::make_unique<guitest::Probe>(o.context(), "knob", &log), Box::rectangle(100, 100, 80, 80));
    knob->clickAnswer = fw::Click::handled;
    // Added later, so on top of the knob.
    o.add(std::make_unique<UIKnobTrail>(o.context(), param), Box::rectangle(90, 90, 100, 100));
    EXPECT_TRUE(o.window->mouseDown(140, 140, fw::MouseButton::left));
    EXPECT_EQ(log, (std::vector<std::string>{"knob.click", "knob.focus"}));
    EXPECT_EQ(o.context().focusedElement, knob);
}

TEST_F(TrailTest, AnEditorShowsTheArcAndRedrawsItWhenTheHostMovesTheValue) {
    widgettest::OpenedEditor o;
    const Box pos = Box::rectangle(200, 100, 111, 88);
    auto* t = o.add(std::make_unique<UIKnobTrail>(o.context(), param), pos);
    o.window->frame();
    for (int y = pos.minY; y < pos.maxY; ++y)
        for (int x = pos.minX; x < pos.maxX; ++x) ASSERT_EQ(o.shown(x, y), kBackground);

    param.setFromHost(1.0);  // the listener marks the trail dirty
    EXPECT_EQ(o.window->tick(), pos);
    o.window->paint();
    fw::OwnedImage<RGBA> want = expected(pos, 54.5f, 43.5f, 44.0f, t->getValueAngle(), UIKnobTrail::kDefaultTrailColor,
                                         900, 450);
    int differences = 0;
    for (int y = 0; y < 450; ++y)
        for (int x = 0; x < 900; ++x) differences += !(o.shown(x, y) == want.at(x, y));
    EXPECT_EQ(differences, 0);
}

TEST_F(TrailTest, ADestroyedTrailLeavesNoListenerBehind) {
    testclient::RecordingListener other("other");
    param.addListener(&other);
    {
        UIKnobTrail t(context, param);
    }
    // A dangling listener would be called here (AddressSanitizer reports it).
    param.setFromHost(0.3);
    EXPECT_EQ(other.count("changed"), 1);
    param.removeListener(&other);
}

}  // namespace
