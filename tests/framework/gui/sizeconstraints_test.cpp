#include "framework/gui/sizeconstraints.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

using fw::SizeConstraints;

SizeConstraints editorSizes() {
    return SizeConstraints::makeDiscreteRatio(900, 450, {0.5f, 0.75f, 1.0f, 1.25f, 1.5f, 1.75f, 2.0f});
}

std::pair<int, int> nearest(const SizeConstraints& c, int w, int h) {
    c.getNearestValidSize(&w, &h);
    return {w, h};
}

std::pair<int, int> fitting(const SizeConstraints& c, int w, int h) {
    c.getMaxSmallerValidSize(&w, &h);
    return {w, h};
}

using Size = std::pair<int, int>;

TEST(SizeConstraintsDiscrete, TheSevenEditorSizesRoundHalvesUp) {
    const SizeConstraints c = editorSizes();
    // 450 x 0.75 = 337.5 and 450 x 1.25 = 562.5 round up; 450 x 1.75 = 787.5 too.
    const Size expected[7] = {{450, 225}, {675, 338}, {900, 450}, {1125, 563}, {1350, 675}, {1575, 788}, {1800, 900}};
    for (const Size& s : expected) {
        EXPECT_EQ(nearest(c, s.first, s.second), s);
        EXPECT_EQ(fitting(c, s.first, s.second), s);
    }
}

TEST(SizeConstraintsDiscrete, NearestOf1000x500IsTheDefaultSize) {
    // Ratio (1000/900 + 500/450) / 2 = 1.111: 0.111 from 1.0, 0.139 from 1.25.
    EXPECT_EQ(nearest(editorSizes(), 1000, 500), (Size{900, 450}));
}

TEST(SizeConstraintsDiscrete, A1000x1000WindowHoldsTheDefaultSize) {
    // 1125 x 563 is too wide; of the sizes that fit, 900 x 450 leaves the least room.
    EXPECT_EQ(fitting(editorSizes(), 1000, 1000), (Size{900, 450}));
}

TEST(SizeConstraintsDiscrete, NothingFitsA400x200WindowSoTheFirstScaleIsUsed) {
    EXPECT_EQ(fitting(editorSizes(), 400, 200), (Size{450, 225}));
    EXPECT_EQ(fitting(editorSizes(), 0, 0), (Size{450, 225}));
    // The first scale, not the smallest one.
    const SizeConstraints unordered = SizeConstraints::makeDiscreteRatio(100, 100, {2.0f, 1.0f});
    EXPECT_EQ(fitting(unordered, 50, 50), (Size{200, 200}));
}

TEST(SizeConstraintsDiscrete, EqualDistancesChooseTheFirstScale) {
    const SizeConstraints c = SizeConstraints::makeDiscreteRatio(100, 100, {1.0f, 2.0f, 1.5f});
    // Ratio 1.5 exactly: 1.5 is at distance 0.
    EXPECT_EQ(nearest(c, 150, 150), (Size{150, 150}));
    const SizeConstraints tie = SizeConstraints::makeDiscreteRatio(100, 100, {2.0f, 1.0f});
    EXPECT_EQ(nearest(tie, 150, 150), (Size{200, 200}));  // 0.5 from both: the first
}

TEST(SizeConstraintsDiscrete, HugeWindowsGetTheLargestSize) {
    EXPECT_EQ(fitting(editorSizes(), 100000, 100000), (Size{1800, 900}));
    EXPECT_EQ(nearest(editorSizes(), 100000, 100000), (Size{1800, 900}));
}

TEST(SizeConstraintsContinuous, RatioIsAveragedForNearestAndTheMinimumForFitting) {
    const SizeConstraints c = SizeConstraints::makeContinuousRatio(200, 100, 0.5f, 3.0f);
    // (300/200 + 100/100) / 2 = 1.25.
    EXPECT_EQ(nearest(c, 300, 100), (Size{250, 125}));
    EXPECT_EQ(fitting(c, 300, 100), (Size{200, 100}));
    EXPECT_EQ(fitting(c, 10, 10), (Size{100, 50}));      // clamped to 0.5
    EXPECT_EQ(fitting(c, 5000, 5000), (Size{600, 300}));  // clamped to 3
}

TEST(SizeConstraintsFree, SizesAreClampedPerAxis) {
    const SizeConstraints c = SizeConstraints::makeFreeSize(300, 200, 100, 50, 400, 300);
    EXPECT_EQ(nearest(c, 10, 1000), (Size{100, 300}));
    EXPECT_EQ(fitting(c, 350, 60), (Size{350, 60}));
}

TEST(SizeConstraintsPerAxis, EachAxisChoosesItsOwnScale) {
    const SizeConstraints c = SizeConstraints::makeDiscreteRatioXY(100, 100, {1.0f, 2.0f, 3.0f}, {0.5f, 1.0f});
    EXPECT_EQ(nearest(c, 260, 60), (Size{300, 50}));
    // Largest scale not above (available + 0.5) / default, per axis.
    EXPECT_EQ(fitting(c, 199, 120), (Size{100, 100}));
    EXPECT_EQ(fitting(c, 200, 120), (Size{200, 100}));
    EXPECT_EQ(fitting(c, 150, 49), (Size{100, 50}));  // nothing below 0.49: the closest one
}

TEST(SizeConstraints, ResizabilityFollowsTheKind) {
    EXPECT_TRUE(editorSizes().isResizable());
    EXPECT_FALSE(SizeConstraints::makeDiscreteRatio(10, 10, {1.0f}).isResizable());
    EXPECT_TRUE(SizeConstraints::makeFreeSize(10, 10, 1, 1, 2, 2).isResizable());
    EXPECT_FALSE(SizeConstraints::makeDiscreteRatioXY(10, 10, {1.0f, 2.0f}, {1.0f}).isResizable());
    EXPECT_TRUE(SizeConstraints::makeDiscreteRatioXY(10, 10, {1.0f, 2.0f}, {1.0f, 2.0f}).isResizable());
}

TEST(SizeConstraintsDeathTest, UnusableRecordsAreProgrammingErrors) {
    SizeConstraints c = editorSizes();
    c.kind = 4;
    EXPECT_DEATH(c.validate(), "kind outside 0..3");
    EXPECT_DEATH(SizeConstraints::makeDiscreteRatio(900, 450, {}).validate(), "need 1 to 12 width scales");
    EXPECT_DEATH(SizeConstraints::makeDiscreteRatio(0, 450, {1.0f}).validate(), "default size must be positive");
}

}  // namespace
