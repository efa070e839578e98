// The enum button: clickable areas (scaled, inclusive, later ones winning),
// Alt-click reset, the host gestures every selection makes, and the state
// images it draws (copied at equal size, resized otherwise, never read past).
#include "tlmgui/enumbutton.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "framework/client/testclient.h"
#include "framework/graphics/blend.h"
#include "framework/graphics/imageresizer.h"
#include "support/realtime_watch.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::Click;
using fw::MouseState;
using fw::RGBA;
using testclient::HostCall;
using tlmgui::UIEnumButton;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr int kArtW = 40, kArtH = 20;

// Four state images of 40 x 20, each in its own colour with a lighter left
// half, half transparent in state 3 so that the blend shows.
struct StateArt {
    StateArt() {
        const RGBA colors[4] = {{200, 0, 0, 255}, {0, 200, 0, 255}, {0, 0, 200, 255}, {200, 200, 0, 128}};
        for (int s = 0; s < 4; ++s) {
            images[s] = fw::OwnedImage<RGBA>(kArtW, kArtH);
            for (int y = 0; y < kArtH; ++y)
                for (int x = 0; x < kArtW; ++x) {
                    RGBA c = colors[s];
                    if (x < kArtW / 2) c.r = std::uint8_t(c.r / 2 + 50);
                    images[s].at(x, y) = c;
                }
            refs[s] = images[s];
        }
    }
    fw::OwnedImage<RGBA> images[4];
    fw::ImageRef<const RGBA> refs[4];
};

// "Mode" of the test client is an integer 0..3 with default 1.
struct EnumButtonTest : ::testing::Test {
    EnumButtonTest() { client->setHostCommand(&host); }
    std::unique_ptr<testclient::TestClient> client = testclient::makeTestClient();
    testclient::FakeHost host;
    fw::IntegerParameter& mode = client->mode();
    StateArt art;
    fw::UIContext context;

    std::unique_ptr<UIEnumButton> button(int numImages = 4) {
        auto b = std::make_unique<UIEnumButton>(
            context, mode, std::span<const fw::ImageRef<const RGBA>>(art.refs, std::size_t(numImages)));
        b->setPosition(Box::rectangle(0, 0, kArtW, kArtH));
        return b;
    }
    static MouseState alt() {
        MouseState m;
        m.altPressed = true;
        return m;
    }
    float norm(int v) const { return float(mode.toNormalized(v)); }
};

// ---- Clicks ----

TEST_F(EnumButtonTest, AClickInAnAreaSelectsItsStateInOneGesture) {
    auto b = button();
    b->addClickableArea(2, Box{0, 0, 9, 9});
    EXPECT_EQ(b->onMouseClick(4, 4, 0, false, {}), Click::beginDrag);
    EXPECT_EQ(b->getState(), 2);
    EXPECT_EQ(host.calls, (std::vector<HostCall>{{HostCall::begin, testclient::kMode, 0.0f},
                                                 {HostCall::automate, testclient::kMode, norm(2)},
                                                 {HostCall::end, testclient::kMode, 0.0f}}));
}

TEST_F(EnumButtonTest, AClickOutsideEveryAreaStillBeginsADragAndChangesNothing) {
    auto b = button();
    b->addClickableArea(2, Box{0, 0, 9, 9});
    EXPECT_EQ(b->onMouseClick(30, 4, 0, false, {}), Click::beginDrag);
    EXPECT_EQ(b->getState(), 1);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(EnumButtonTest, AltClickRestoresTheDefaultWhateverAreaIsUnderThePointer) {
    auto b = button();
    b->addClickableArea(3, Box{0, 0, 39, 19});
    b->onMouseClick(5, 5, 0, false, {});
    ASSERT_EQ(b->getState(), 3);
    host.calls.clear();
    EXPECT_EQ(b->onMouseClick(5, 5, 0, false, alt()), Click::beginDrag);
    EXPECT_EQ(b->getState(), mode.defaultValue());
    EXPECT_EQ(host.calls, (std::vector<HostCall>{{HostCall::begin, testclient::kMode, 0.0f},
                                                 {HostCall::automate, testclient::kMode, norm(1)},
                                                 {HostCall::end, testclient::kMode, 0.0f}}));
}

TEST_F(EnumButtonTest, AreasIncludeBothEndsAndTheLaterOneWinsOnASharedEdge) {
    auto b = button();
    b->addClickableArea(0, Box{0, 0, 10, 19});
    b->addClickableArea(2, Box{10, 0, 20, 19});
    b->onMouseClick(10, 5, 0, false, {});
    EXPECT_EQ(b->getState(), 2);
    // Both matching areas were applied, in order.
    EXPECT_EQ(host.calls.size(), 6u);
    b->onMouseClick(9, 5, 0, false, {});
    EXPECT_EQ(b->getState(), 0);
    b->onMouseClick(20, 19, 0, false, {});
    EXPECT_EQ(b->getState(), 2);
    b->onMouseClick(21, 5, 0, false, {});  // beyond both: unchanged
    EXPECT_EQ(b->getState(), 2);
}

TEST_F(EnumButtonTest, AreasAreScaledToElementPixelsRoundingHalvesAwayFromZero) {
    auto b = button();
    b->addClickableArea(3, Box{0, 0, 5, 5});
    b->setScale(2.0f);  // 0..10 in pixels
    b->onMouseClick(11, 3, 0, false, {});
    EXPECT_EQ(b->getState(), 1);
    b->onMouseClick(10, 10, 0, false, {});
    EXPECT_EQ(b->getState(), 3);

    auto c = button();
    c->addClickableArea(0, Box{-5, 0, 5, 5});
    c->setScale(1.5f);  // -7.5 and 7.5 become -8 and 8
    c->onMouseClick(8, 0, 0, false, {});
    EXPECT_EQ(c->getState(), 0);
    mode.setFromHost(mode.toNormalized(2));
    c->onMouseClick(9, 0, 0, false, {});
    EXPECT_EQ(c->getState(), 2);
    c->onMouseClick(-8, 0, 0, false, {});
    EXPECT_EQ(c->getState(), 0);
}

TEST_F(EnumButtonTest, AStateOutsideTheRangeIsClamped) {
    auto b = button();
    b->addClickableArea(7, Box{0, 0, 5, 5});
    b->addClickableArea(-2, Box{30, 0, 35, 5});
    b->onMouseClick(1, 1, 0, false, {});
    EXPECT_EQ(b->getState(), 3);
    b->onMouseClick(31, 1, 0, false, {});
    EXPECT_EQ(b->getState(), 0);
}

TEST_F(EnumButtonTest, TheArtSizeFollowsTheScale) {
    auto b = button();
    EXPECT_EQ(b->w(), kArtW);
    EXPECT_EQ(b->h(), kArtH);
    b->setScale(3.0f);
    EXPECT_EQ(b->w(), 13);  // 40 / 3 truncated
    EXPECT_EQ(b->h(), 6);
    b->setScale(0.0f);  // ignored
    b->setScale(-1.0f);
    b->setScale(NAN);
    EXPECT_FLOAT_EQ(b->scale(), 3.0f);
}

// ---- Drawing ----

TEST_F(EnumButtonTest, AtTheArtSizeTheStateImageIsBlendedAsItIs) {
    auto b = button();
    for (int state : {0, 3}) {
        mode.setFromHost(mode.toNormalized(state));
        fw::OwnedImage<RGBA> layer = filledLayer(kArtW, kArtH);
        widgettest::paintAll(*b, layer);
        for (int y = 0; y < kArtH; ++y)
            for (int x = 0; x < kArtW; ++x)
                ASSERT_EQ(layer.at(x, y), fw::blendOverPixel(art.images[state].at(x, y), kBackground));
    }
}

TEST_F(EnumButtonTest, AtAnotherSizeTheImagesAreResizedWithTheSharpFilter) {
    auto b = button();
    b->setPosition(Box::rectangle(10, 5, 60, 30));
    mode.setFromHost(mode.toNormalized(2));
    fw::OwnedImage<RGBA> scaled(60, 30);
    fw::ImageResizer resizer;
    ASSERT_TRUE(resizer.resizeImageSRGBWithAlpha(art.refs[2], scaled, fw::ResizeFilter::magicKernelSharpBlend).ok());
    fw::OwnedImage<RGBA> layer = filledLayer(100, 50);
    widgettest::paint(*b, layer, {Box{0, 0, 40, 50}, Box{40, 0, 100, 50}});
    fw::OwnedImage<RGBA> want = filledLayer(100, 50);
    fw::blendOver(want.toRef().cropImageRef(Box::rectangle(10, 5, 60, 30)), scaled);
    EXPECT_EQ(widgettest::countDifferences(layer, want), 0);
}

TEST_F(EnumButtonTest, AValueBeyondTheImagesShowsTheLastImage) {
    auto b = button(2);  // the parameter reaches 3, the art only 1
    mode.setFromHost(1.0);
    fw::OwnedImage<RGBA> layer = filledLayer(kArtW, kArtH);
    widgettest::paintAll(*b, layer);
    EXPECT_EQ(layer.at(30, 10), art.images[1].at(30, 10));
}

TEST_F(EnumButtonTest, WithoutImagesNothingIsDrawn) {
    auto b = std::make_unique<UIEnumButton>(context, mode, std::span<const fw::ImageRef<const RGBA>>());
    b->setPosition(Box::rectangle(0, 0, 20, 20));
    EXPECT_EQ(b->w(), 0);
    fw::OwnedImage<RGBA> layer = filledLayer(20, 20);
    widgettest::paintAll(*b, layer);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);
}

TEST_F(EnumButtonTest, PaintingAllocatesNothing) {
    auto b = button();
    fw::OwnedImage<RGBA> layer = filledLayer(kArtW, kArtH);
    fw::Vec<Box> areas;
    areas.pushBack(layer.toRef().bounds());
    b->renderRaw(layer, areas);
    testsupport::RealtimeWatch watch;
    b->renderRaw(layer, areas);
    if (testsupport::RealtimeWatch::countsAllocations()) {
        EXPECT_EQ(watch.counts().allocations, 0);
    }
}

// ---- In an editor ----

TEST_F(EnumButtonTest, AClickInTheEditorSelectsAndRepaints) {
    widgettest::OpenedEditor o;
    auto* b = o.add(std::make_unique<UIEnumButton>(o.context(), mode,
                                                   std::span<const fw::ImageRef<const RGBA>>(art.refs, 4)),
                    Box::rectangle(100, 50, kArtW, kArtH));
    b->addClickableArea(0, Box{0, 0, 19, 19});
    b->addClickableArea(2, Box{20, 0, 39, 19});
    o.window->frame();
    EXPECT_EQ(o.shown(130, 60), art.images[1].at(30, 10));
    o.window->mouseDown(130, 60, fw::MouseButton::left);
    o.window->mouseUp(130, 60, fw::MouseButton::left);
    EXPECT_EQ(mode.value(), 2);
    o.window->frame();
    EXPECT_EQ(o.shown(130, 60), art.images[2].at(30, 10));
}

TEST_F(EnumButtonTest, ADestroyedButtonLeavesNoListenerBehind) {
    testclient::RecordingListener other("other");
    mode.addListener(&other);
    button().reset();
    mode.setFromHost(0.0);  // AddressSanitizer reports a dangling listener here
    EXPECT_EQ(other.count("changed"), 1);
    mode.removeListener(&other);
}

}  // namespace
