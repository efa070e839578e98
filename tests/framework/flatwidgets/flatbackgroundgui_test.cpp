#include "framework/flatwidgets/flatbackgroundgui.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "framework/graphics/pngencode.h"
#include "framework/window/offscreenwindow.h"
#include "widgettest.h"

namespace {

using fw::Box;
using fw::FlatBackgroundGUI;
using fw::OwnedImage;
using fw::RGBA;
using widgettest::opaque;
using widgettest::referenceResize;
using widgettest::samePixels;

constexpr int kArtW = 200, kArtH = 100;

// Art with a different value in every channel of every pixel, alpha not opaque.
OwnedImage<RGBA> makeArt() {
    OwnedImage<RGBA> art(kArtW, kArtH);
    for (int y = 0; y < kArtH; ++y)
        for (int x = 0; x < kArtW; ++x)
            art.at(x, y) = RGBA{std::uint8_t(x), std::uint8_t(y * 2), std::uint8_t(x ^ y), std::uint8_t(60 + y)};
    return art;
}

std::vector<std::uint8_t> encode(const OwnedImage<RGBA>& art) {
    std::vector<std::uint8_t> png;
    EXPECT_TRUE(fw::encodePNG(art, png).ok());
    return png;
}

fw::SizeConstraints artSizes() { return fw::SizeConstraints::makeDiscreteRatio(kArtW, kArtH, {0.5f, 1.0f, 2.0f}); }

struct Background : ::testing::Test {
    OwnedImage<RGBA> art = makeArt();
    std::vector<std::uint8_t> png = encode(art);
    FlatBackgroundGUI editor{artSizes(), "test-background.png", png.data(), png.size()};
    fw::OffscreenWindowFactory factory;
    fw::OffscreenWindow* window = nullptr;

    void open() {
        editor.setWindowFactory(&factory);
        editor.openUI(nullptr, nullptr, nullptr, fw::GraphicsBackend::cocoa);
        window = factory.lastWindow();
    }
    bool screenShows(fw::ImageRef<const RGBA> expected) {
        for (int y = 0; y < expected.h; ++y)
            for (int x = 0; x < expected.w; ++x)
                if (!(window->screen().at(x, y) == opaque(expected.at(x, y)))) return false;
        return true;
    }
};

TEST_F(Background, DecodesTheArtAndIsAnAnimatedRawRoot) {
    EXPECT_TRUE(samePixels(editor.backgroundArt(), art));
    EXPECT_TRUE(editor.drawsRaw());
    EXPECT_TRUE(editor.isAnimated());
    EXPECT_FALSE(editor.drawsPBR());
}

TEST_F(Background, AtTheArtsSizeTheArtIsShownAsItIsWithoutACopy) {
    open();
    window->frame();
    EXPECT_TRUE(screenShows(art));
    EXPECT_EQ(editor.scaledBackground().width(), 0);
}

TEST_F(Background, AtAnotherSizeTheArtIsResampledOnTheFirstPaint) {
    open();
    window->frame();
    ASSERT_TRUE(window->requestResize(400, 200, false));
    window->frame();
    const OwnedImage<RGBA> expected = referenceResize(art, 400, 200, -1);
    EXPECT_EQ(editor.scaledBackground().width(), 400);
    EXPECT_TRUE(screenShows(expected));
    ASSERT_TRUE(window->requestResize(kArtW, kArtH, false));
    window->frame();
    EXPECT_TRUE(screenShows(art));
    EXPECT_EQ(editor.scaledBackground().width(), 0);  // the copy is dropped at the art's size
}

TEST_F(Background, DirtyRectanglesAreCopiedNotBlended) {
    editor.setPosition(Box{0, 0, kArtW, kArtH});
    OwnedImage<RGBA> layer(kArtW, kArtH);
    const RGBA below{1, 2, 3, 4};
    layer.fillAll(below);
    fw::Vec<Box> rects;
    rects.pushBack(Box{10, 20, 50, 60});
    rects.pushBack(Box{150, 0, 200, 10});
    editor.onDrawRaw(layer, rects);
    for (int y = 0; y < kArtH; ++y)
        for (int x = 0; x < kArtW; ++x) {
            const bool dirty = rects[0].contains(x, y) || rects[1].contains(x, y);
            ASSERT_EQ(layer.at(x, y), dirty ? art.at(x, y) : below) << x << ", " << y;
        }
}

TEST_F(Background, ReflowLeavesTheChildrenWhereTheyWere) {
    auto* child = editor.addChild(std::make_unique<fw::UIElement>(editor.context(), fw::UIFlags::drawsRaw));
    child->setPosition(Box{5, 5, 25, 25});
    open();
    ASSERT_TRUE(window->requestResize(400, 200, false));
    EXPECT_EQ(child->position(), (Box{5, 5, 25, 25}));
}

TEST(BackgroundDeath, CorruptArtIsFatalAndNamesTheAsset) {
    const std::uint8_t junk[] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a, 1, 2, 3, 4, 5};
    EXPECT_DEATH(FlatBackgroundGUI(artSizes(), "background-neumorphic.png", junk, sizeof(junk)),
                 "background-neumorphic\\.png");
}

}  // namespace
