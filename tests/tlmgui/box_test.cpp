// The two solid fills: the buffered box blends through its opacity mask (which
// this widget leaves at 0, so the layer shows through), the display panel
// writes its colour, alpha included, over its dirty rectangles only.
#include "tlmgui/box.h"

#include <gtest/gtest.h>

#include "tlmgui/displaypanel.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::RGBA;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr RGBA kFill{10, 200, 30, 100};

TEST(UIBox, KeepsTheLayerWhereItsOpacityIsZero) {
    fw::UIContext context;
    tlmgui::UIBox box(context, kFill);
    box.setPosition(Box::rectangle(1, 1, 3, 3));
    auto layer = filledLayer(6, 6);
    widgettest::paintAll(box, layer);
    // The opacity buffer starts at 0 and the box writes colour only.
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);
    EXPECT_EQ(box.color(), kFill);
}

TEST(UIBox, AZeroSizedBoxPaintsNothing) {
    fw::UIContext context;
    tlmgui::UIBox box(context, kFill);
    box.setPosition(Box::rectangle(1, 1, 0, 0));
    auto layer = filledLayer(4, 4);
    widgettest::paintAll(box, layer);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);
}

TEST(DisplayPanel, WritesItsColourOverTheDirtyRectanglesAsIs) {
    fw::UIContext context;
    tlmgui::DisplayPanel panel(context, kFill);
    panel.setPosition(Box::rectangle(0, 0, 6, 6));
    panel.setText("ignored");
    auto layer = filledLayer(6, 6);
    widgettest::paint(panel, layer, {Box::rectangle(1, 2, 3, 2)});
    EXPECT_EQ(layer.at(1, 2), kFill);  // not blended: the alpha of 100 is written
    EXPECT_EQ(layer.at(3, 3), kFill);
    EXPECT_EQ(layer.at(4, 3), kBackground);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 3 * 2);
}

}  // namespace
