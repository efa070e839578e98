#include "framework/flatwidgets/uiimageswitch.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "widgettest.h"

namespace {

using fw::Box;
using fw::MouseButton;
using fw::OwnedImage;
using fw::RGBA;
using fw::UIImageSwitch;
using testclient::HostCall;
using widgettest::opaque;
using widgettest::referenceOver;
using widgettest::referenceResize;
using widgettest::samePixels;

constexpr RGBA kBg = guitest::TestEditor::kBackground;
const Box kSwitchBox{200, 200, 240, 220};  // the images' own size

// Two 40 x 20 images told apart by their green channel, alpha sweeping across.
OwnedImage<RGBA> makeImage(std::uint8_t green) {
    OwnedImage<RGBA> img(40, 20);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x)
            img.at(x, y) = RGBA{std::uint8_t(x * 6), green, std::uint8_t(y * 12), std::uint8_t(x * 6 + y)};
    return img;
}

struct Switch : ::testing::Test {
    widgettest::OpenedEditor o;
    OwnedImage<RGBA> on = makeImage(200);
    OwnedImage<RGBA> off = makeImage(30);
    fw::BoolParameter& sync = o.client->sync();  // default off
    UIImageSwitch* sw = add(kSwitchBox);

    UIImageSwitch* add(Box where) {
        auto* s = o.editor.addChild(std::make_unique<UIImageSwitch>(o.context(), sync, on, off));
        s->setPosition(where);
        return s;
    }
    bool showsImage(const OwnedImage<RGBA>& img) {
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 40; ++x)
                if (!(o.shown(kSwitchBox.minX + x, kSwitchBox.minY + y) == opaque(referenceOver(img.at(x, y), kBg))))
                    return false;
        return true;
    }
};

TEST_F(Switch, APressTogglesAtOnceAndTheReleaseDoesNothing) {
    o.window->mouseDown(210, 210, MouseButton::left);
    EXPECT_TRUE(sync.value());
    const std::vector<HostCall> gesture{
        {HostCall::begin, 3, 0.0f}, {HostCall::automate, 3, 1.0f}, {HostCall::end, 3, 0.0f}};
    EXPECT_EQ(o.host.calls, gesture);
    o.window->mouseMove(215, 212);
    o.window->mouseUp(215, 212, MouseButton::left);
    EXPECT_TRUE(sync.value());
    EXPECT_EQ(o.host.calls.size(), 3u);
    o.window->mouseDown(210, 210, MouseButton::left);
    EXPECT_FALSE(sync.value());
    o.window->mouseUp(210, 210, MouseButton::left);
}

TEST_F(Switch, AltPressSetsTheDefault) {
    sync.setFromHost(1.0);
    fw::MouseState alt;
    alt.altPressed = true;
    for (int i = 0; i < 2; ++i) {  // the default, not a toggle: twice gives the same
        o.window->mouseDown(210, 210, MouseButton::left, false, alt);
        o.window->mouseUp(210, 210, MouseButton::left, alt);
        EXPECT_FALSE(sync.value());
    }
}

TEST_F(Switch, ShowsTheImageOfTheStateBlendedOverTheBackground) {
    o.window->frame();
    EXPECT_TRUE(showsImage(off));
    sync.setFromHost(1.0);
    o.window->frame();
    EXPECT_TRUE(showsImage(on));
}

TEST_F(Switch, AtAnotherSizeBothImagesAreResampledWithAlphaWeightingTheColours) {
    UIImageSwitch* big = add(Box{300, 300, 360, 330});
    EXPECT_TRUE(samePixels(big->scaledImageWhenOn(), referenceResize(on, 60, 30, 3)));
    EXPECT_TRUE(samePixels(big->scaledImageWhenOff(), referenceResize(off, 60, 30, 3)));
    EXPECT_EQ(big->imageWidth(), 40);
    big->setPosition(Box{300, 300, 340, 320});  // back to the images' size: a plain copy
    EXPECT_TRUE(samePixels(big->scaledImageWhenOn(), on));
}

TEST_F(Switch, HoverIsReportedToTheParametersListenersAndRepaints) {
    testclient::RecordingListener listener("watcher");
    sync.addListener(&listener);
    o.window->frame();
    o.window->mouseMove(210, 210);
    EXPECT_EQ(o.window->tick(), kSwitchBox);
    o.window->paint();
    o.window->mouseMove(10, 10);
    EXPECT_EQ(o.window->tick(), kSwitchBox);
    EXPECT_EQ(listener.events, (std::vector<std::string>{"hover", "unhover"}));
    sync.removeListener(&listener);
}

TEST_F(Switch, AHostChangeOnlyMarksTheSwitchDirty) {
    o.window->frame();
    const int draws = o.window->drawCount();
    std::thread host([&] { sync.setFromHost(1.0); });
    host.join();
    EXPECT_EQ(o.window->drawCount(), draws);
    EXPECT_EQ(o.window->tick(), kSwitchBox);
}

TEST(SwitchLifetime, ADestroyedSwitchLeavesNoListenerBehind) {
    auto client = testclient::makeTestClient();
    fw::UIContext context;
    const OwnedImage<RGBA> img = makeImage(1);
    std::make_unique<UIImageSwitch>(context, client->sync(), img, img).reset();
    client->sync().setFromHost(1.0);  // a dangling listener would be called here
    fw::Vec<Box> rects;
    context.rawDirtyRects.pullAllRectangles(rects);
    EXPECT_TRUE(rects.empty());
}

}  // namespace
