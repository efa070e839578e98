// The mapping of Cocoa's event values onto the editor's: keys, mouse state,
// wheel steps, positions, the flipped invalidation rectangle and cursors.

#include "framework/window/cocoaevents.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using fw::Key;
using fw::MouseCursor;
namespace cocoa = fw::cocoa;

TEST(CocoaKeys, NamedKeysComeFromTheirKeyCodesWhateverTheCharacter) {
    EXPECT_EQ(cocoa::keyFromEvent(126, u'x'), Key::up);
    EXPECT_EQ(cocoa::keyFromEvent(125, 0), Key::down);
    EXPECT_EQ(cocoa::keyFromEvent(123, 0), Key::left);
    EXPECT_EQ(cocoa::keyFromEvent(124, 0), Key::right);
    EXPECT_EQ(cocoa::keyFromEvent(51, 0x7F), Key::backspace);
    EXPECT_EQ(cocoa::keyFromEvent(36, u'\r'), Key::enter);
    EXPECT_EQ(cocoa::keyFromEvent(53, 0x1B), Key::escape);
    EXPECT_EQ(cocoa::keyFromEvent(117, 0xF728), Key::suppr);
}

TEST(CocoaKeys, KeypadDigitsSkipTheGapAt90) {
    const unsigned short codes[10] = {82, 83, 84, 85, 86, 87, 88, 89, 91, 92};
    for (int d = 0; d < 10; ++d) EXPECT_EQ(cocoa::keyFromEvent(codes[d], 0), Key(int(Key::digit0) + d)) << d;
    EXPECT_EQ(cocoa::keyFromEvent(90, 0), Key::unsupported);
}

TEST(CocoaKeys, OtherKeysGoByTheirFirstCharacter) {
    // Row digits and letters have key codes of their own that mean nothing here.
    for (char c = '0'; c <= '9'; ++c) EXPECT_EQ(cocoa::keyFromEvent(29, char16_t(c)), Key(int(Key::digit0) + (c - '0')));
    for (char c = 'a'; c <= 'z'; ++c) EXPECT_EQ(cocoa::keyFromEvent(0, char16_t(c)), Key(int(Key::a) + (c - 'a')));
    for (char c = 'A'; c <= 'Z'; ++c) EXPECT_EQ(cocoa::keyFromEvent(0, char16_t(c)), Key(int(Key::A) + (c - 'A')));
    EXPECT_EQ(cocoa::keyFromEvent(49, u' '), Key::unsupported);
    EXPECT_EQ(cocoa::keyFromEvent(0xFFFF, 0), Key::unsupported);        // no character at all
    EXPECT_EQ(cocoa::keyFromEvent(0, u'\u00E9'), Key::unsupported);     // é
    EXPECT_EQ(cocoa::keyFromEvent(0, char16_t(0x0161)), Key::unsupported);  // wraps to 'a' if truncated
}

TEST(CocoaMouse, StateTakesThreeButtonsAndThreeModifiersOnly) {
    const fw::MouseState none = cocoa::mouseStateFrom(0, 0);
    EXPECT_FALSE(none.leftButtonDown || none.rightButtonDown || none.middleButtonDown || none.ctrlPressed ||
                 none.shiftPressed || none.altPressed);
    const fw::MouseState all = cocoa::mouseStateFrom(~0ul, ~0ul);
    EXPECT_TRUE(all.leftButtonDown && all.rightButtonDown && all.middleButtonDown && all.ctrlPressed &&
                all.shiftPressed && all.altPressed);
    EXPECT_FALSE(all.x1ButtonDown || all.x2ButtonDown);  // never reported
    const fw::MouseState right = cocoa::mouseStateFrom(2, 0x100000 /* Command */ | 0x20000 /* Shift */);
    EXPECT_TRUE(right.rightButtonDown);
    EXPECT_FALSE(right.leftButtonDown || right.middleButtonDown);
    EXPECT_TRUE(right.shiftPressed);
    EXPECT_FALSE(right.ctrlPressed || right.altPressed);
    EXPECT_TRUE(cocoa::mouseStateFrom(4, 0x40000).middleButtonDown);
    EXPECT_TRUE(cocoa::mouseStateFrom(4, 0x40000).ctrlPressed);
    EXPECT_TRUE(cocoa::mouseStateFrom(0, 0x80000).altPressed);
}

TEST(CocoaMouse, WheelDeltasOfAnySizeAreSingleSteps) {
    for (double d : {1e-9, 0.1, 1.0, 3.5, 1e300, std::numeric_limits<double>::infinity()})
        EXPECT_EQ(cocoa::wheelStep(d), 1) << d;
    for (double d : {-1e-9, -0.1, -1.0, -1e300, -std::numeric_limits<double>::infinity()})
        EXPECT_EQ(cocoa::wheelStep(d), -1) << d;
    EXPECT_EQ(cocoa::wheelStep(0.0), 0);
    EXPECT_EQ(cocoa::wheelStep(-0.0), 0);
    EXPECT_EQ(cocoa::wheelStep(std::nan("")), 0);
}

TEST(CocoaMouse, PositionIsTruncatedFlippedAndOffset) {
    EXPECT_EQ(cocoa::bufferPointFromView(10.0, 440.0, 450).x, 8);
    EXPECT_EQ(cocoa::bufferPointFromView(10.0, 440.0, 450).y, 7);
    // Truncation, not rounding, toward zero on both sides.
    EXPECT_EQ(cocoa::bufferPointFromView(10.9, 440.9, 450).x, 8);
    EXPECT_EQ(cocoa::bufferPointFromView(10.9, 440.9, 450).y, 7);
    EXPECT_EQ(cocoa::bufferPointFromView(-0.5, 0.5, 450).x, -2);
    EXPECT_EQ(cocoa::bufferPointFromView(-0.5, 0.5, 450).y, 447);
    // Far outside (a drag beyond the screen) and garbage stay finite numbers.
    const cocoa::ViewPoint far = cocoa::bufferPointFromView(1e30, -1e30, 450);
    EXPECT_GT(far.x, 100000);
    EXPECT_GT(far.y, 100000);
    const cocoa::ViewPoint nan = cocoa::bufferPointFromView(std::nan(""), std::nan(""), 450);
    EXPECT_EQ(nan.x, -2);
    EXPECT_EQ(nan.y, 447);
}

TEST(CocoaDrawing, DirtyRectangleIsMirroredIntoTheBottomUpView) {
    // Rows 10..30 of a 450-high buffer are rows 420..440 counted from the bottom.
    const cocoa::FlippedRect r = cocoa::flipToView(5, 10, 25, 30, 450);
    EXPECT_EQ(r.x, 5);
    EXPECT_EQ(r.y, 420);
    EXPECT_EQ(r.width, 20);
    EXPECT_EQ(r.height, 20);
    const cocoa::FlippedRect whole = cocoa::flipToView(0, 0, 900, 450, 450);
    EXPECT_EQ(whole.y, 0);
    EXPECT_EQ(whole.height, 450);
}

TEST(CocoaCursors, EachShapeHasItsCursorAndUnknownShapesShowTheArrow) {
    EXPECT_EQ(std::string(cocoa::cursorSelectorFor(MouseCursor::arrow)), "arrowCursor");
    EXPECT_EQ(std::string(cocoa::cursorSelectorFor(MouseCursor::linkSelect)), "pointingHandCursor");
    EXPECT_EQ(std::string(cocoa::cursorSelectorFor(MouseCursor::drag)), "openHandCursor");
    EXPECT_EQ(std::string(cocoa::cursorSelectorFor(MouseCursor::move)), "crosshairCursor");
    EXPECT_EQ(std::string(cocoa::cursorSelectorFor(MouseCursor::cross)), "crosshairCursor");
    EXPECT_EQ(std::string(cocoa::cursorSelectorFor(MouseCursor::verticalResize)), "resizeUpDownCursor");
    EXPECT_EQ(std::string(cocoa::cursorSelectorFor(MouseCursor::horizontalResize)), "resizeLeftRightCursor");
    EXPECT_EQ(cocoa::cursorSelectorFor(MouseCursor::none), nullptr);
    EXPECT_EQ(std::string(cocoa::cursorSelectorFor(MouseCursor(8))), "arrowCursor");
    EXPECT_EQ(std::string(cocoa::cursorSelectorFor(MouseCursor(-3))), "arrowCursor");
}

}  // namespace
