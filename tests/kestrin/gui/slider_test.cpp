// The vector-drawn slider: the fill's top from the value and the margins, the
// gradient bar it paints, and its handle: placed by the value, drawn through
// its own opacity, dragged with the crossing rule inside one host gesture.
#include "kestrin/gui/slider.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "framework/client/testclient.h"
#include "framework/graphics/blend.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::Click;
using fw::MouseState;
using fw::RGBA;
using kestrin::UISlider;
using kestrin::UISliderHandle;
using testclient::HostCall;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr RGBA kHandle{220, 220, 0, 255};

// "Delay" of the test client: linear 0..10, default 5.
struct SliderTest : ::testing::Test {
    SliderTest() { client->setHostCommand(&host); }
    std::unique_ptr<testclient::TestClient> client = testclient::makeTestClient();
    testclient::FakeHost host;
    fw::FloatParameter& param = client->delay();
    fw::UIContext context;
    // 10 x 4: rows 0-1 opaque, rows 2-3 half transparent.
    fw::OwnedImage<RGBA> handleArt = [] {
        fw::OwnedImage<RGBA> img = filledLayer(10, 4, kHandle);
        for (int x = 0; x < 10; ++x) img.at(x, 2).a = img.at(x, 3).a = 128;
        return img;
    }();

    std::unique_ptr<UISlider> slider(Box position) {
        auto s = std::make_unique<UISlider>(context, param);
        s->setPosition(position);
        s->reflow();
        return s;
    }
    std::unique_ptr<UISliderHandle> handle(Box position, float sensitivity = 1.0f) {
        auto h = std::make_unique<UISliderHandle>(context, param, handleArt, sensitivity);
        h->setPosition(position);
        h->reflow();
        return h;
    }
    static MouseState mods(bool ctrl, bool shift, bool alt) {
        MouseState m;
        m.ctrlPressed = ctrl;
        m.shiftPressed = shift;
        m.altPressed = alt;
        return m;
    }
};

// ---- The bar ----

TEST_F(SliderTest, TheFillTopFollowsTheValueBetweenTheMargins) {
    // H = 200: top margin round(3.62) = 4, bottom margin round(10.84) = 11, so
    // the value spans (1 - n) x (200 - 11 - 1) = (1 - n) x 188.
    EXPECT_EQ(UISlider::fillTopFor(0.0, 200), 188);
    EXPECT_EQ(UISlider::fillTopFor(0.5, 200), 94);
    EXPECT_EQ(UISlider::fillTopFor(1.0, 200), 4);  // held at the top margin
    EXPECT_EQ(UISlider::fillTopFor(0.99, 200), 4);  // round(1.88) = 2 is above it
    auto s = slider(Box::rectangle(0, 0, 50, 200));
    param.setFromHost(0.25);
    EXPECT_EQ(s->fillTop(), 141);  // round(0.75 x 188)
}

TEST_F(SliderTest, BadValuesAndSizesKeepTheFillInsideTheElement) {
    EXPECT_EQ(UISlider::fillTopFor(std::numeric_limits<double>::quiet_NaN(), 200), 188);
    EXPECT_EQ(UISlider::fillTopFor(-3.0, 200), 188);
    EXPECT_EQ(UISlider::fillTopFor(7.0, 200), 4);
    EXPECT_EQ(UISlider::fillTopFor(0.5, 0), 0);
    EXPECT_EQ(UISlider::fillTopFor(0.5, -5), 0);
    auto s = slider(Box::rectangle(0, 0, 0, 0));
    auto layer = filledLayer(8, 8);
    widgettest::paintAll(*s, layer);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);
}

TEST_F(SliderTest, PaintsAGradientBarFromTheFillTopToTheBottomMargin) {
    auto s = slider(Box::rectangle(0, 0, 50, 200));
    param.setFromHost(0.5);  // fill from row 94 to row 189 (200 - 11), bar x from trunc(15) - 1 = 14 for 10 px
    auto layer = filledLayer(50, 200);
    widgettest::paintAll(*s, layer);
    EXPECT_EQ(layer.at(18, 90), kBackground);   // above the fill
    EXPECT_EQ(layer.at(18, 192), kBackground);  // in the bottom margin
    EXPECT_EQ(layer.at(12, 150), kBackground);  // left of the bar
    EXPECT_EQ(layer.at(25, 150), kBackground);  // right of it (14 + 10 = 24)
    const RGBA top = layer.at(18, 95), bottom = layer.at(18, 188);
    // Near the ends the colours are close to the gradient's stops.
    EXPECT_NEAR(top.b, UISlider::kTopColor.b, 3);
    EXPECT_NEAR(bottom.b, UISlider::kBottomColor.b, 3);
    EXPECT_GT(top.b, layer.at(18, 140).b);
    EXPECT_GT(layer.at(18, 140).b, bottom.b);
    EXPECT_EQ(top.a, 255);
}

TEST_F(SliderTest, AtTheBottomTheBarIsEmpty) {
    auto s = slider(Box::rectangle(0, 0, 50, 200));
    param.setFromHost(0.0);  // fill top 188, bottom 189: one row
    auto layer = filledLayer(50, 200);
    widgettest::paintAll(*s, layer);
    EXPECT_LE(widgettest::countDifferent(layer, kBackground), 2 * 11);
}

// ---- The handle ----

TEST_F(SliderTest, TheHandleCentreFollowsTheValueOverItsTravel) {
    auto h = handle(Box::rectangle(0, 0, 10, 104));  // half 2, travel 104 - 4 = 100
    param.setFromHost(0.0);
    EXPECT_EQ(h->centerY(), 102);
    param.setFromHost(0.125);
    EXPECT_EQ(h->centerY(), 90);  // roundf(87.5) = 88 (halves away from zero) + 2
    param.setFromHost(1.0);
    EXPECT_EQ(h->centerY(), 2);
}

TEST_F(SliderTest, TheHandleIsDrawnThroughItsOwnOpacity) {
    auto h = handle(Box::rectangle(0, 0, 12, 104));
    param.setFromHost(0.5);  // centre 52: rows 50 to 53
    auto layer = filledLayer(12, 104);
    widgettest::paintAll(*h, layer);
    EXPECT_EQ(layer.at(3, 50), kHandle);
    // Row 52: the half-transparent art over the black buffer, then that through
    // opacity 128 over the background.
    const RGBA inBuffer = fw::blendOverPixel(RGBA{220, 220, 0, 128}, RGBA{0, 0, 0, 255});
    const auto mix = [](int b, int l) { return std::uint8_t((b * 128 + l * 127 + 127) / 255); };
    EXPECT_EQ(layer.at(3, 52), (RGBA{mix(inBuffer.r, kBackground.r), mix(inBuffer.g, kBackground.g),
                                     mix(inBuffer.b, kBackground.b), mix(inBuffer.a, kBackground.a)}));
    EXPECT_EQ(layer.at(3, 49), kBackground);
    EXPECT_EQ(layer.at(3, 54), kBackground);
    EXPECT_EQ(layer.at(11, 51), kBackground);  // the art is 10 wide
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 10 * 4);
}

TEST_F(SliderTest, AnEmptyHandleImageOrATooShortElementStaysInBounds) {
    UISliderHandle empty(context, param, fw::ImageRef<const RGBA>{}, 1.0f);
    empty.setPosition(Box::rectangle(0, 0, 10, 20));
    empty.reflow();
    auto layer = filledLayer(10, 20);
    widgettest::paintAll(empty, layer);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);

    auto shortOne = handle(Box::rectangle(0, 0, 10, 3));  // shorter than the art: no travel
    param.setFromHost(0.0);
    EXPECT_EQ(shortOne->centerY(), 2);
    auto small = filledLayer(10, 3);
    widgettest::paintAll(*shortOne, small);
    EXPECT_EQ(small.at(0, 0), kHandle);
}

TEST_F(SliderTest, DraggingUpIncreasesByTheShareOfTheHeightTimesTheSensitivity) {
    auto h = handle(Box::rectangle(0, 0, 10, 100), 0.5f);
    param.setFromHost(0.5);
    h->onMouseDrag(5, 40, 0, -10, {});
    EXPECT_NEAR(param.getNormalized(), 0.55, 1e-6);  // 10 / 100 x 0.5
    h->onMouseDrag(5, 40, 0, -10, mods(true, false, false));
    EXPECT_NEAR(param.getNormalized(), 0.555, 1e-6);
    h->onMouseDrag(5, 40, 0, 10, mods(false, true, false));
    EXPECT_NEAR(param.getNormalized(), 0.55, 1e-6);
}

TEST_F(SliderTest, PastAnEndTheValueWaitsUntilThePointerComesBack) {
    auto h = handle(Box::rectangle(0, 0, 10, 100));
    param.setFromHost(0.2);
    h->onMouseDrag(5, 75, 0, 25, {});  // would be -0.05: stops at 0 at y = 75
    EXPECT_EQ(param.getNormalized(), 0.0);
    EXPECT_EQ(h->lowCrosspoint(), 75.0f);
    h->onMouseDrag(5, 85, 0, -5, {});  // back up, still below the crossing: nothing
    EXPECT_EQ(param.getNormalized(), 0.0);
    h->onMouseDrag(5, 75, 0, -10, {});
    EXPECT_NEAR(param.getNormalized(), 0.1, 1e-6);

    param.setFromHost(0.9);
    h->onMouseDrag(5, 30, 0, -20, {});
    EXPECT_EQ(param.getNormalized(), 1.0);
    EXPECT_EQ(h->highCrosspoint(), 30.0f);
    h->onMouseDrag(5, 25, 0, 5, {});  // still above y = 30
    EXPECT_EQ(param.getNormalized(), 1.0);
    h->onMouseDrag(5, 30, 0, 5, {});
    EXPECT_NEAR(param.getNormalized(), 0.95, 1e-6);
}

TEST_F(SliderTest, AltOrADoubleClickResetInOneGesture) {
    auto h = handle(Box::rectangle(0, 0, 10, 100));
    param.setFromHost(0.9);
    host.calls.clear();
    EXPECT_EQ(h->onMouseClick(5, 5, 0, true, {}), Click::beginDrag);
    EXPECT_NEAR(param.getNormalized(), 0.5, 1e-6);  // default 5 of 0..10
    ASSERT_EQ(host.calls.size(), 3u);
    EXPECT_EQ(host.calls[0].kind, HostCall::begin);
    EXPECT_EQ(host.calls[1].kind, HostCall::automate);
    EXPECT_NEAR(host.calls[1].value, 0.5f, 1e-6f);
    EXPECT_EQ(host.calls[2].kind, HostCall::end);
    param.setFromHost(0.1);
    h->onMouseClick(5, 5, 0, false, mods(false, false, true));
    EXPECT_NEAR(param.getNormalized(), 0.5, 1e-6);
}

TEST_F(SliderTest, ADragIsBeginAutomateAndEndForTheHost) {
    auto h = handle(Box::rectangle(0, 0, 10, 100));
    param.setFromHost(0.5);
    host.calls.clear();
    h->onMouseClick(5, 50, 0, false, {});
    h->onBeginDrag();
    h->onMouseDrag(5, 40, 0, -10, {});
    h->onMouseDrag(5, 30, 0, -10, {});
    h->onStopDrag();
    ASSERT_EQ(host.calls.size(), 4u);
    EXPECT_EQ(host.calls[0].kind, HostCall::begin);
    EXPECT_EQ(host.calls[1].kind, HostCall::automate);
    EXPECT_NEAR(host.calls[1].value, 0.6f, 1e-6f);
    EXPECT_EQ(host.calls[2].kind, HostCall::automate);
    EXPECT_NEAR(host.calls[2].value, 0.7f, 1e-6f);
    EXPECT_EQ(host.calls[3].kind, HostCall::end);
}

TEST_F(SliderTest, AZeroHeightHandleIgnoresDrags) {
    auto h = handle(Box::rectangle(0, 0, 10, 0));
    param.setFromHost(0.5);
    h->onMouseDrag(5, 0, 0, -10, {});
    EXPECT_EQ(param.getNormalized(), 0.5);
}

TEST_F(SliderTest, DestroyedWidgetsLeaveNoListenerBehind) {
    const int before = param.numListeners();
    {
        auto s = slider(Box::rectangle(0, 0, 50, 200));
        auto h = handle(Box::rectangle(0, 0, 10, 100));
        EXPECT_EQ(param.numListeners(), before + 2);
    }
    EXPECT_EQ(param.numListeners(), before);
    param.setFromHost(0.3);  // AddressSanitizer reports a dangling listener here
}

}  // namespace
