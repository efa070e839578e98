// The float label: "%4.2f unit" cut to its 10-byte buffer, the floor below -96
// shown as unsigned infinity, NaN and long units handled, and the text drawn
// centred like a parameter label.
#include "tlmgui/floatlabel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "assets/kestrin_font_vera_bold.h"
#include "tlmgui/widgettest.h"

namespace {

using fw::Box;
using fw::RGBA;
using tlmgui::FloatLabel;
using widgettest::filledLayer;
using widgettest::kBackground;

constexpr RGBA kWhite{255, 255, 255, 255};

fw::Font& editorFont() {
    static fw::Font font(assets::kVeraSansBold, assets::kVeraSansBoldSize);
    return font;
}

struct FloatLabelTest : ::testing::Test {
    fw::UIContext context;
    FloatLabel label{context, editorFont(), 11.0f, 0.5f, kWhite, "dB"};
};

TEST_F(FloatLabelTest, FormatsTwoDecimalsAndTheUnit) {
    EXPECT_EQ(label.text(), "");
    label.setFloat(0.5f);
    EXPECT_EQ(label.text(), "0.50 dB");
    label.setFloat(-3.256f);
    EXPECT_EQ(label.text(), "-3.26 dB");
}

TEST_F(FloatLabelTest, LongTextIsCutToNineCharacters) {
    label.setFloat(-95.5f);
    EXPECT_EQ(label.text(), "-95.50 dB");  // exactly nine
    label.setFloat(123456.0f);
    EXPECT_EQ(label.text(), "123456.00");
    FloatLabel longUnit(context, editorFont(), 11.0f, 0.5f, kWhite, "a very long unit name indeed");
    longUnit.setFloat(1.0f);
    EXPECT_EQ(longUnit.text(), "1.00 a ve");
}

// "%4.2f" pads "inf" and "nan" to the field width of 4.
TEST_F(FloatLabelTest, BelowTheFloorReadsInfinityWithoutASign) {
    label.setFloat(-96.0f);
    EXPECT_EQ(label.text(), "-96.00 dB");
    label.setFloat(-96.01f);
    EXPECT_EQ(label.text(), " inf dB");
    label.setFloat(-std::numeric_limits<float>::infinity());
    EXPECT_EQ(label.text(), " inf dB");
}

TEST_F(FloatLabelTest, NaNAndANullUnitAreShownAsText) {
    FloatLabel bare(context, editorFont(), 11.0f, 0.5f, kWhite, nullptr);
    bare.setFloat(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(bare.text(),  " nan ");
    bare.setFloat(2.0f);
    EXPECT_EQ(bare.text(), "2.00 ");
}

TEST_F(FloatLabelTest, DrawsTheTextCentredAsFillTextDoes) {
    label.setPosition(Box::rectangle(4, 2, 60, 16));
    label.setFloat(1.5f);
    auto got = filledLayer(70, 20);
    widgettest::paintAll(label, got);
    auto want = filledLayer(70, 20);
    fw::fillText(want.toRef().cropImageRef(Box::rectangle(4, 2, 60, 16)), editorFont(), "1.50 dB", 11.0f, 0.5f,
                 kWhite, 30.0f, 8.0f, fw::HorizontalAlignment::center, fw::VerticalAlignment::center);
    EXPECT_GT(widgettest::countDifferent(got, kBackground), 0);
    EXPECT_EQ(widgettest::countDifferences(got, want), 0);
}

TEST_F(FloatLabelTest, ABadTextSizeDrawsNothing) {
    FloatLabel bad(context, editorFont(), std::numeric_limits<float>::quiet_NaN(), 0.5f, kWhite, "dB");
    bad.setPosition(Box::rectangle(0, 0, 40, 16));
    bad.setFloat(1.0f);
    auto layer = filledLayer(40, 16);
    widgettest::paintAll(bad, layer);
    EXPECT_EQ(widgettest::countDifferent(layer, kBackground), 0);
}

}  // namespace
