// The bitmap: its image blended unscaled from the element's corner, clipped to
// the dirty rectangles, and nothing drawn for an empty image.
#include "tlmgui/bitmap.h"

#include <gtest/gtest.h>

#include "framework/graphics/blend.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::RGBA;
using tlmgui::UIBitmap;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr RGBA kHalfRed{200, 0, 0, 128};

TEST(UIBitmap, BlendsItsImageOverTheLayer) {
    fw::UIContext context;
    auto art = filledLayer(3, 2, kHalfRed);
    UIBitmap bitmap(context, art);
    bitmap.setPosition(Box::rectangle(1, 1, 5, 5));
    auto layer = filledLayer(8, 8);
    widgettest::paintAll(bitmap, layer);
    // 128/255 of red over the background, channel by channel.
    const RGBA want = fw::blendOverPixel(kHalfRed, kBackground);
    EXPECT_EQ(want.r, std::uint8_t((200 * 128 + 40 * 127) / 255));
    EXPECT_EQ(layer.at(1, 1), want);
    EXPECT_EQ(layer.at(3, 2), want);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 3 * 2);
}

TEST(UIBitmap, PaintsOnlyInsideTheDirtyRectangles) {
    fw::UIContext context;
    auto art = filledLayer(4, 4, RGBA{0, 255, 0, 255});
    UIBitmap bitmap(context, art);
    bitmap.setPosition(Box::rectangle(0, 0, 4, 4));
    auto layer = filledLayer(4, 4);
    widgettest::paint(bitmap, layer, {Box::rectangle(2, 2, 2, 2)});
    EXPECT_EQ(layer.at(1, 1), kBackground);
    EXPECT_EQ(layer.at(2, 2), (RGBA{0, 255, 0, 255}));
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 4);
}

TEST(UIBitmap, AnEmptyImageOrElementDrawsNothing) {
    fw::UIContext context;
    UIBitmap empty(context, fw::ImageRef<const RGBA>{});
    empty.setPosition(Box::rectangle(0, 0, 4, 4));
    auto layer = filledLayer(4, 4);
    widgettest::paintAll(empty, layer);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);

    auto art = filledLayer(4, 4, RGBA{0, 255, 0, 255});
    UIBitmap zero(context, art);
    zero.setPosition(Box::rectangle(2, 2, 0, 0));
    widgettest::paintAll(zero, layer);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);
}

}  // namespace
