#include "framework/flatwidgets/uiwindowresizer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/gui/testelements.h"
#include "widgettest.h"

namespace {

using fw::Box;
using fw::Click;
using fw::MouseButton;
using fw::RGBA;
using fw::UIWindowResizer;
using widgettest::opaque;
using widgettest::referenceOver;

// The editor's side of a context: a window of a given size whose valid sizes
// are multiples of 10, which grants or refuses resizes as told.
class FakeEditorHost final : public fw::IUIContextHost {
public:
    void contextDefaultSize(int* w, int* h) override { *w = 900, *h = 450; }
    void contextUISize(int* w, int* h) override { *w = width, *h = height; }
    void contextWindowSize(int* w, int* h) override { *w = width, *h = height; }
    bool contextRequestResize(int w, int h) override {
        requests.emplace_back(w, h);
        if (refuse) return false;
        width = w, height = h;
        return true;
    }
    void contextRequestScreenshot() override {}
    void contextNearestValidSize(int* w, int* h) override {
        *w = (*w + 5) / 10 * 10;
        *h = (*h + 5) / 10 * 10;
    }
    bool contextIsResizable() override { return resizable; }
    fw::ThreadPool* contextThreadPool() override { return nullptr; }

    int width = 900, height = 450;
    bool refuse = false;
    bool resizable = true;
    std::vector<std::pair<int, int>> requests;
};

struct Grip : ::testing::Test {
    FakeEditorHost host;
    fw::UIContext context{&host};
    UIWindowResizer grip{context};
    Grip() { grip.setPosition(Box{880, 430, 900, 450}); }
    void startDrag() {
        ASSERT_EQ(grip.onMouseClick(10, 10, 0, false, {}), Click::beginDrag);
        grip.onBeginDrag();
    }
    int drainDirty() {
        fw::Vec<Box> rects;
        context.rawDirtyRects.pullAllRectangles(rects);
        return int(rects.length());
    }
};

TEST_F(Grip, DragsAskForTheStartSizePlusTheDistanceDraggedSnappedToAValidSize) {
    startDrag();
    grip.onMouseDrag(0, 0, 3, 1, {});   // 903 x 451 snaps back to 900 x 450: no request
    EXPECT_TRUE(host.requests.empty());
    grip.onMouseDrag(0, 0, 3, 3, {});   // 906 x 454 -> 910 x 450
    grip.onMouseDrag(0, 0, 40, 22, {});  // 946 x 476 -> 950 x 480
    grip.onStopDrag();
    const std::vector<std::pair<int, int>> expected{{910, 450}, {950, 480}};
    EXPECT_EQ(host.requests, expected);
    EXPECT_EQ(grip.currentColor(), UIWindowResizer::kGripColor);
}

TEST_F(Grip, ARefusedResizeShowsTheRefusalColourForOnePointTwoSeconds) {
    host.refuse = true;
    startDrag();
    EXPECT_EQ(grip.currentColor(), UIWindowResizer::kGripDragColor);
    grip.onMouseDrag(0, 0, 50, 0, {});
    EXPECT_EQ(host.requests.size(), 1u);
    EXPECT_EQ(grip.currentColor(), UIWindowResizer::kGripRefusedColor);
    grip.onStopDrag();
    drainDirty();
    grip.animate(0.5, 0.5);
    grip.animate(0.5, 1.0);
    EXPECT_EQ(grip.currentColor(), UIWindowResizer::kGripRefusedColor);
    EXPECT_NEAR(grip.refusalTimeLeft(), 0.2, 1e-9);
    EXPECT_GT(drainDirty(), 0);  // every step of the countdown repaints
    grip.animate(0.5, 1.5);
    EXPECT_EQ(grip.refusalTimeLeft(), 0.0);
    EXPECT_EQ(grip.currentColor(), UIWindowResizer::kGripColor);
    drainDirty();
    grip.animate(0.5, 2.0);  // nothing left to count: no repaint
    EXPECT_EQ(drainDirty(), 0);
}

TEST_F(Grip, ColoursFollowHoverAndDrag) {
    EXPECT_EQ(grip.currentColor(), UIWindowResizer::kGripColor);
    grip.onMouseEnter();
    EXPECT_EQ(grip.currentColor(), UIWindowResizer::kGripHoverColor);
    startDrag();
    EXPECT_EQ(grip.currentColor(), UIWindowResizer::kGripDragColor);
    grip.onStopDrag();
    grip.onMouseExit();
    EXPECT_EQ(grip.currentColor(), UIWindowResizer::kGripColor);
}

TEST_F(Grip, AFixedSizeEditorsGripDoesNotTakeTheMouse) {
    EXPECT_TRUE(grip.contains(5, 5));
    host.resizable = false;
    EXPECT_FALSE(grip.contains(5, 5));
    EXPECT_FALSE(grip.contains(19, 19));
}

// ---- In an editor ----

TEST(GripInEditor, DraggingTheGripResizesTheWindowToTheNearestValidSize) {
    widgettest::OpenedEditor o;
    o.editor.addChild(std::make_unique<UIWindowResizer>(o.context()))->setPosition(Box{880, 430, 900, 450});
    o.window->mouseDown(890, 440, MouseButton::left);
    o.window->mouseMove(890, 440);
    o.window->mouseMove(890 + 230, 440 + 110);
    int w = 900 + 230, h = 450 + 110;
    o.editor.getNearestValidSize(&w, &h);
    EXPECT_NE(w, 900);
    EXPECT_EQ(o.window->width(), w);
    EXPECT_EQ(o.window->height(), h);
    o.window->mouseUp(890 + 230, 440 + 110, MouseButton::left);
}

TEST(GripInEditor, AFixedSizeEditorsGripLetsClicksThroughToTheElementBelow) {
    widgettest::OpenedEditor o(fw::SizeConstraints::makeDiscreteRatio(900, 450, {1.0f}));
    ASSERT_FALSE(o.editor.isResizeable());
    std::vector<std::string> log;
    auto below = std::make_unique<guitest::Probe>(o.context(), "below", &log);
    below->clickAnswer = Click::handled;
    o.editor.addChild(std::move(below))->setPosition(Box{860, 410, 900, 450});
    o.editor.addChild(std::make_unique<UIWindowResizer>(o.context()))->setPosition(Box{880, 430, 900, 450});
    o.window->mouseDown(890, 440, MouseButton::left);
    EXPECT_EQ(log, (std::vector<std::string>{"below.click", "below.focus"}));
    o.window->mouseUp(890, 440, MouseButton::left);
}

TEST(GripInEditor, TheStripesAreFilledInTheRestColourOverTheBackground) {
    widgettest::OpenedEditor o;
    o.editor.addChild(std::make_unique<UIWindowResizer>(o.context()))->setPosition(Box{880, 430, 900, 450});
    o.window->frame();
    const RGBA bg = guitest::TestEditor::kBackground;
    // (19, 19) lies wholly inside the corner triangle; (2, 2) and (10, 3) in no stripe.
    const RGBA inside = o.shown(899, 449);
    const RGBA expected = opaque(referenceOver(UIWindowResizer::kGripColor, bg));
    EXPECT_LE(std::abs(inside.r - expected.r), 1);
    EXPECT_LE(std::abs(inside.g - expected.g), 1);
    EXPECT_LE(std::abs(inside.b - expected.b), 1);
    EXPECT_EQ(o.shown(882, 432), bg);
    EXPECT_EQ(o.shown(890, 433), bg);
    // On the first stripe's middle, (10, 12): x + y = 22 lies between 20 and 24.
    EXPECT_NE(o.shown(890, 442), bg);
}

}  // namespace
