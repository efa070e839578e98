// The animated button: a press fades the press image in over 100 ms and out
// over 100 ms, then runs its action exactly once; clicks during a press are
// refused; hover picks the hover image; bad frame times never stall or crash.
#include "tlmgui/animatedbutton.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "framework/graphics/blend.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::Click;
using fw::RGBA;
using tlmgui::AnimatedButton;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr RGBA kIdle{10, 10, 10, 255}, kHover{100, 100, 100, 255}, kPress{250, 0, 0, 255};
constexpr int kW = 6, kH = 4;

struct AnimatedButtonTest : ::testing::Test {
    fw::UIContext context;
    fw::OwnedImage<RGBA> idle = filledLayer(kW, kH, kIdle), hover = filledLayer(kW, kH, kHover),
                         press = filledLayer(kW, kH, kPress);
    int actions = 0;
    AnimatedButton button{context, idle, hover, press, [this] { ++actions; }};

    AnimatedButtonTest() {
        button.setPosition(Box::rectangle(0, 0, kW, kH));
        button.reflow();
    }
    RGBA shown() {
        auto layer = filledLayer(kW, kH);
        widgettest::paintAll(button, layer);
        return layer.at(2, 2);
    }
    // Steps of 10 ms by default; the counts below leave margins for rounding.
    void step(int times, double dt = 0.010) {
        for (int i = 0; i < times; ++i) button.onAnimate(dt, 0.0);
    }
};

TEST_F(AnimatedButtonTest, TheActionRunsOnceAfterBothHalves) {
    EXPECT_EQ(button.onMouseClick(1, 1, 0, false, {}), Click::beginDrag);
    EXPECT_TRUE(button.animating());
    step(10);  // 100 ms: the top of the press
    EXPECT_EQ(actions, 0);
    EXPECT_TRUE(button.animating());
    step(9);  // 190 ms: still fading out
    EXPECT_EQ(actions, 0);
    step(2);  // past 200 ms
    EXPECT_EQ(actions, 1);
    EXPECT_FALSE(button.animating());
    step(50);  // idle frames run nothing more
    EXPECT_EQ(actions, 1);
}

TEST_F(AnimatedButtonTest, AClickDuringAPressIsNotHandled) {
    button.onMouseClick(1, 1, 0, false, {});
    step(3);
    EXPECT_EQ(button.onMouseClick(1, 1, 0, false, {}), Click::notHandled);
    step(30);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(button.onMouseClick(1, 1, 0, false, {}), Click::beginDrag);
    step(30);
    EXPECT_EQ(actions, 2);
}

TEST_F(AnimatedButtonTest, ShowsIdleThenHoverThenTheBlendedPressImage) {
    EXPECT_EQ(shown(), kIdle);
    button.onMouseEnter();
    EXPECT_EQ(shown(), kHover);
    button.onMouseExit();
    EXPECT_EQ(shown(), kIdle);

    button.onMouseClick(1, 1, 0, false, {});
    EXPECT_EQ(shown(), kHover);  // press time 0: none of the press image yet
    step(5, 0.0105);             // 52.5 ms: alpha 255 x 52.5 / 100, truncated
    const float t = button.pressTime();
    EXPECT_NEAR(t, 52.5f, 1e-3f);
    RGBA over = kPress;
    over.a = std::uint8_t(255.0f * t / 100.0f);
    EXPECT_EQ(over.a, 133);
    EXPECT_EQ(shown(), fw::blendOverPixel(over, kHover));
    step(5);  // 102.5 ms: past the top, the fade is clamped to the full press image
    EXPECT_EQ(shown().r, kPress.r);
}

TEST_F(AnimatedButtonTest, BadFrameTimesNeitherAdvanceNorCrash) {
    button.onMouseClick(1, 1, 0, false, {});
    button.onAnimate(std::numeric_limits<double>::quiet_NaN(), 0.0);
    button.onAnimate(-5.0, 0.0);
    button.onAnimate(std::numeric_limits<double>::infinity(), 0.0);
    EXPECT_TRUE(button.animating());
    EXPECT_EQ(button.pressTime(), 0.0f);
    button.onAnimate(1e30, 0.0);  // a huge step ends the rise at once
    button.onAnimate(1e30, 0.0);
    EXPECT_EQ(actions, 1);
}

TEST_F(AnimatedButtonTest, AZeroLengthFrameRightAfterTheClickDoesNotFireTheAction) {
    button.onMouseClick(1, 1, 0, false, {});
    button.onAnimate(0.0, 0.0);
    EXPECT_TRUE(button.animating());
    EXPECT_EQ(actions, 0);
}

TEST_F(AnimatedButtonTest, WithoutAnActionAPressStillEnds) {
    AnimatedButton plain(context, idle, hover, press, nullptr);
    plain.onMouseClick(0, 0, 0, false, {});
    for (int i = 0; i < 30; ++i) plain.onAnimate(0.01, 0.0);
    EXPECT_FALSE(plain.animating());
}

TEST_F(AnimatedButtonTest, EmptyArtAndZeroSizesDrawNothing) {
    AnimatedButton empty(context, {}, {}, {}, nullptr);
    empty.setPosition(Box::rectangle(0, 0, kW, kH));
    empty.reflow();
    empty.onMouseClick(0, 0, 0, false, {});
    empty.onAnimate(0.05, 0.0);
    auto layer = filledLayer(kW, kH);
    widgettest::paintAll(empty, layer);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);

    button.setPosition(Box::rectangle(0, 0, 0, 0));
    button.reflow();
    widgettest::paintAll(button, layer);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);
}

}  // namespace
