// Using the editor with the mouse, through the window listener exactly as a
// native window delivers events: every control is dragged, clicked or reset,
// and the result is observed in the parameters and in the host calls the
// client receives (begin, automate, end, in order).

#include <gtest/gtest.h>

#include <cmath>

#include "editortestsupport.h"
#include "framework/client/boolparameter.h"

namespace {

using namespace editortest;

struct Control {
    int widget;
    int param;
};
// Every knob and the parameter it edits with "Sync" off.
constexpr Control kKnobs[] = {{1, 0},  {2, 2},  {3, 3},  {7, 4},   {8, 6},  {9, 7},
                              {24, 9}, {25, 10}, {26, 11}, {27, 12}};

class EditorInteraction : public ::testing::Test {
protected:
    FakeHost host;
    EditorSession s{900, &host};

    int height(int widget) { return s.editor().widget(widget)->position().height(); }
    void setNormalized(int index, double v) {
        s.client().param(index)->setFromHost(v);
        s.frame();
    }
};

TEST_F(EditorInteraction, DraggingEachKnobUpRaisesItsParameterInOneGesture) {
    for (const Control& k : kKnobs) {
        setNormalized(k.param, 0.3);
        host.calls.clear();
        const double before = normalized(s, k.param);
        drag(s, centre(s, k.widget), 0, -20);
        // 20 pixels up move the value by 20 / height x sensitivity 0.25 (an
        // integer parameter lands on its nearest step).
        const double expected = before + 20.0 / height(k.widget) * 0.25;
        EXPECT_NEAR(normalized(s, k.param), expected, 1e-4) << "widget " << k.widget;
        EXPECT_GT(normalized(s, k.param), before) << "widget " << k.widget;
        EXPECT_TRUE(wellFormedGestures(host, k.param)) << "widget " << k.widget;
        ASSERT_FALSE(host.calls.empty());
        EXPECT_EQ(host.calls.front().kind, HostCall::begin);
        EXPECT_EQ(host.calls.back().kind, HostCall::end);
        EXPECT_NEAR(host.calls[host.calls.size() - 2].value, normalized(s, k.param), 1e-6);
    }
}

TEST_F(EditorInteraction, FineAdjustmentMovesTenTimesLess) {
    for (fw::MouseState mods : {fw::MouseState{.ctrlPressed = true}, fw::MouseState{.shiftPressed = true}}) {
        setNormalized(2, 0.5);
        drag(s, centre(s, 2), 0, -40, mods);
        const double fine = normalized(s, 2) - 0.5;
        setNormalized(2, 0.5);
        drag(s, centre(s, 2), 0, -40);
        const double coarse = normalized(s, 2) - 0.5;
        EXPECT_NEAR(fine * 10, coarse, 1e-4);
        EXPECT_GT(fine, 0);
    }
}

TEST_F(EditorInteraction, DragPastTheTopHoldsUntilThePointerComesBack) {
    setNormalized(2, 0.9);
    fw::OffscreenWindow& w = s.window();
    const Point c = centre(s, 2);
    w.mouseMove(c.x, c.y);
    w.mouseDown(c.x, c.y, fw::MouseButton::left, false, held());
    // 0.1 of travel needs 0.1 / 0.25 x 71 = 28.4 pixels; go 100 past that.
    for (int y = c.y; y >= c.y - 128; y -= 4) w.mouseMove(c.x, y, held());
    EXPECT_DOUBLE_EQ(normalized(s, 2), 1.0);
    // Coming back down 40 pixels is still above the point where 1 was reached.
    for (int y = c.y - 128; y <= c.y - 88; y += 4) w.mouseMove(c.x, y, held());
    EXPECT_DOUBLE_EQ(normalized(s, 2), 1.0);
    // Below it, the value follows again.
    for (int y = c.y - 88; y <= c.y; y += 4) w.mouseMove(c.x, y, held());
    EXPECT_LT(normalized(s, 2), 1.0);
    w.mouseUp(c.x, c.y, fw::MouseButton::left);
}

TEST_F(EditorInteraction, DragPastTheBottomHoldsUntilThePointerComesBack) {
    setNormalized(3, 0.1);
    fw::OffscreenWindow& w = s.window();
    const Point c = centre(s, 3);
    w.mouseMove(c.x, c.y);
    w.mouseDown(c.x, c.y, fw::MouseButton::left, false, held());
    for (int y = c.y; y <= c.y + 120; y += 4) w.mouseMove(c.x, y, held());
    EXPECT_DOUBLE_EQ(normalized(s, 3), 0.0);
    for (int y = c.y + 120; y >= c.y + 80; y -= 4) w.mouseMove(c.x, y, held());
    EXPECT_DOUBLE_EQ(normalized(s, 3), 0.0);
    for (int y = c.y + 80; y >= c.y; y -= 4) w.mouseMove(c.x, y, held());
    EXPECT_GT(normalized(s, 3), 0.0);
    w.mouseUp(c.x, c.y, fw::MouseButton::left);
}

TEST_F(EditorInteraction, DoubleClickAndAltClickResetToTheDefaultAsOneGesture) {
    for (bool useAlt : {false, true}) {
        for (const Control& k : kKnobs) {
            fw::Parameter* p = s.client().param(k.param);
            setNormalized(k.param, p->getNormalizedDefault() < 0.5 ? 0.9 : 0.1);
            host.calls.clear();
            fw::MouseState mods;
            mods.altPressed = useAlt;
            click(s, centre(s, k.widget), mods, !useAlt);
            EXPECT_NEAR(p->getNormalized(), p->getNormalizedDefault(), 1e-6) << k.widget;
            // The reset is one gesture; the drag that follows it is another.
            ASSERT_GE(host.calls.size(), 3u) << k.widget;
            EXPECT_EQ(host.calls[0].kind, HostCall::begin);
            EXPECT_EQ(host.calls[1].kind, HostCall::automate);
            EXPECT_NEAR(host.calls[1].value, p->getNormalizedDefault(), 1e-6);
            EXPECT_EQ(host.calls[2].kind, HostCall::end);
            EXPECT_TRUE(wellFormedGestures(host, k.param, false)) << k.widget;
        }
    }
}

TEST_F(EditorInteraction, KnobCornersOutsideTheDiscDoNothing) {
    setNormalized(2, 0.5);
    host.calls.clear();
    const fw::Box b = s.editor().widget(2)->position();
    drag(s, Point{b.minX + 1, b.minY + 1}, 0, -30);
    EXPECT_DOUBLE_EQ(normalized(s, 2), 0.5);
    EXPECT_TRUE(host.calls.empty());
}

TEST_F(EditorInteraction, TheLengthKnobsEditNoteValuesWhileSyncIsOn) {
    setNormalized(8, 1.0);
    for (const Control& k : {Control{1, 1}, Control{7, 5}}) {
        setNormalized(k.param, 0.0);
        host.calls.clear();
        const double delayBefore = normalized(s, k.param - 1);
        drag(s, centre(s, k.widget), 0, -40);
        EXPECT_GT(plain(s, k.param), 0) << k.widget;
        EXPECT_DOUBLE_EQ(normalized(s, k.param - 1), delayBefore);
        EXPECT_TRUE(wellFormedGestures(host, k.param)) << k.widget;
    }
}

TEST_F(EditorInteraction, TheSwitchTogglesOnPress) {
    const bool before = plain(s, 8) != 0;
    fw::OffscreenWindow& w = s.window();
    const Point c = centre(s, 19);
    host.calls.clear();
    w.mouseMove(c.x, c.y);
    w.mouseDown(c.x, c.y, fw::MouseButton::left, false, held());
    EXPECT_EQ(plain(s, 8) != 0, !before);  // before the release
    w.mouseUp(c.x, c.y, fw::MouseButton::left);
    EXPECT_EQ(plain(s, 8) != 0, !before);
    EXPECT_EQ(kindsFor(host, 8), (std::vector<HostCall::Kind>{HostCall::begin, HostCall::automate, HostCall::end}));
    click(s, c);
    EXPECT_EQ(plain(s, 8) != 0, before);
}

TEST_F(EditorInteraction, EveryUpsampleCellAndSplitLineSelectsItsState) {
    // At 1x the button is 81 x 64 pixels; the cells split at x = 40 and y = 32,
    // and a click on a split line selects the later state.
    const fw::Box b = s.editor().widget(34)->position();
    struct Case {
        int x, y, state;
    };
    for (const Case& c : {Case{10, 10, 0}, Case{60, 10, 1}, Case{10, 50, 2}, Case{60, 50, 3}, Case{40, 10, 1},
                          Case{10, 32, 2}, Case{40, 32, 3}, Case{39, 31, 0}, Case{0, 0, 0}, Case{80, 63, 3}}) {
        setNormalized(15, c.state == 0 ? 1.0 : 0.0);
        host.calls.clear();
        click(s, Point{b.minX + c.x, b.minY + c.y});
        EXPECT_EQ(int(plain(s, 15)), c.state) << c.x << "," << c.y;
        EXPECT_TRUE(wellFormedGestures(host, 15)) << c.x << "," << c.y;
    }
    // Alt restores the default (1x) wherever the click lands.
    setNormalized(15, 1.0);
    click(s, Point{b.minX + 60, b.minY + 50}, fw::MouseState{.altPressed = true});
    EXPECT_DOUBLE_EQ(normalized(s, 15), s.client().param(15)->getNormalizedDefault());
}

TEST_F(EditorInteraction, UpsampleCellsFollowTheScale) {
    ASSERT_TRUE(s.resize(1800));
    const fw::Box b = s.editor().widget(34)->position();
    ASSERT_EQ(b.width(), 162);
    setNormalized(15, 1.0);
    click(s, Point{b.minX + 79, b.minY + 63});
    EXPECT_EQ(int(plain(s, 15)), 0);
    click(s, Point{b.minX + 80, b.minY + 64});
    EXPECT_EQ(int(plain(s, 15)), 3);
    click(s, Point{b.minX + 81, b.minY + 10});
    EXPECT_EQ(int(plain(s, 15)), 1);
}

TEST_F(EditorInteraction, TheWidthSliderFollowsVerticalDrags) {
    setNormalized(13, 0.5);
    host.calls.clear();
    // The visible part of the slider: its top 228 of 257 pixels.
    const Point at{centre(s, 32).x, 330};
    drag(s, at, 0, -40);
    const double up = normalized(s, 13) - 0.5;
    EXPECT_NEAR(up, 40.0 / 257.0 * 0.7, 1e-5);
    EXPECT_TRUE(wellFormedGestures(host, 13));
    // Shift: ten times less.
    setNormalized(13, 0.5);
    drag(s, at, 0, -40, fw::MouseState{.shiftPressed = true});
    EXPECT_NEAR((normalized(s, 13) - 0.5) * 10, up, 1e-4);
    // Past the bottom and back.
    setNormalized(13, 0.1);
    fw::OffscreenWindow& w = s.window();
    w.mouseMove(at.x, at.y);
    w.mouseDown(at.x, at.y, fw::MouseButton::left, false, held());
    for (int y = at.y; y <= at.y + 100; y += 5) w.mouseMove(at.x, y, held());
    EXPECT_DOUBLE_EQ(normalized(s, 13), 0.0);
    for (int y = at.y + 100; y >= at.y + 70; y -= 5) w.mouseMove(at.x, y, held());
    EXPECT_DOUBLE_EQ(normalized(s, 13), 0.0);
    for (int y = at.y + 70; y >= at.y + 20; y -= 5) w.mouseMove(at.x, y, held());
    EXPECT_GT(normalized(s, 13), 0.0);
    w.mouseUp(at.x, at.y + 20, fw::MouseButton::left);
    // Double click resets.
    click(s, at, {}, true);
    EXPECT_NEAR(normalized(s, 13), s.client().param(13)->getNormalizedDefault(), 1e-6);
}

TEST_F(EditorInteraction, TheGripResizesToTheNearestSize) {
    fw::OffscreenWindow& w = s.window();
    // From the bottom-right corner, drag by (+460, +230): 1360 x 680 snaps to 1350 x 675.
    drag(s, Point{895, 445}, 460, 230);
    EXPECT_EQ(w.width(), 1350);
    EXPECT_EQ(w.height(), 675);
    EXPECT_EQ(s.editor().widget(35)->position(), (fw::Box{1320, 645, 1350, 675}));
    EXPECT_EQ(s.editor().widget(1)->position(), (fw::Box{50, 243, 156, 350}));  // 33 x 1.5 = 49.5 -> 50
    // Back down past the smallest size.
    drag(s, Point{1345, 670}, -2000, -1000);
    EXPECT_EQ(w.width(), 450);
    EXPECT_EQ(w.height(), 225);
}

TEST_F(EditorInteraction, HoveringASmallKnobTellsItsParameter) {
    // The small knobs lie above their arcs; the large ones lie below theirs,
    // and hover goes only to the topmost element.
    testclient::RecordingListener highpass("highpass"), feedback("feedback");
    s.client().param(9)->addListener(&highpass);
    s.client().param(2)->addListener(&feedback);
    const Point c = centre(s, 24);
    s.window().mouseMove(c.x, c.y);
    s.window().mouseMove(c.x + 1, c.y);
    EXPECT_EQ(highpass.count("hover"), 1);
    s.window().mouseMove(450, 20);
    EXPECT_EQ(highpass.count("unhover"), 1);
    const Point f = centre(s, 2);
    s.window().mouseMove(f.x, f.y);
    EXPECT_EQ(feedback.count("hover"), 0);
    s.client().param(9)->removeListener(&highpass);
    s.client().param(2)->removeListener(&feedback);
}

}  // namespace
