#include "framework/gui/uielement.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/gui/uicontext.h"
#include "testelements.h"

namespace {

using fw::Box;
using fw::Click;
using fw::Key;
using fw::MouseState;
using fw::RGBA;
using fw::UIContext;
using fw::UIElement;
using fw::UIFlags;
using fw::UILayer;
using fw::Vec;
using guitest::Probe;
using Log = std::vector<std::string>;

std::vector<Box> pull(fw::DirtyRectList& list) {
    Vec<Box> out;
    list.pullAllRectangles(out);
    return std::vector<Box>(out.begin(), out.end());
}

// A root covering 100 x 100 with probes added under it.
struct Tree {
    UIContext ctx;
    Log log;
    Probe root{ctx, "root", &log};
    Tree() {
        ctx.setRootElement(&root);
        root.setPosition(Box{0, 0, 100, 100});
    }
    Probe* add(UIElement& parent, const char* name, Box pos, int z = 0, std::uint32_t flags = UIFlags::drawsRaw) {
        Probe* p = parent.addChild(std::make_unique<Probe>(ctx, name, &log, flags));
        p->setZOrder(z);
        p->setPosition(pos);
        return p;
    }
    void clearDirty() {
        pull(ctx.rawDirtyRects);
        pull(ctx.pbrDirtyRects);
    }
};

// ---- Hit-testing and walks ----

TEST(UIElementHitTest, EqualZOrderGivesClickAndHoverToTheLaterChildAndMovesToBoth) {
    Tree t;
    Probe* a = t.add(t.root, "a", Box{10, 10, 60, 60});
    Probe* b = t.add(t.root, "b", Box{30, 30, 80, 80});
    b->clickAnswer = Click::handled;
    a->clickAnswer = Click::handled;
    EXPECT_TRUE(t.root.mouseClick(40, 40, 0, false, MouseState{}));
    EXPECT_EQ(t.log, (Log{"b.click", "b.focus"}));
    EXPECT_EQ(b->lastX, 10);  // local coordinates
    EXPECT_EQ(t.ctx.focusedElement, b);

    t.log.clear();
    EXPECT_TRUE(t.root.mouseMove(40, 40, 0, 0, MouseState{}, false));
    EXPECT_EQ(t.ctx.hoveredElement, b);
    EXPECT_EQ(t.log, (Log{"b.enter", "b.move", "a.move", "root.move"}));
}

TEST(UIElementHitTest, ChildrenAreTriedByDecreasingZThenLastAddedFirst) {
    Tree t;
    const int z[5] = {1, 0, 1, 2, 0};
    const char* names[5] = {"c0", "c1", "c2", "c3", "c4"};
    for (int i = 0; i < 5; ++i) t.add(t.root, names[i], Box{0, 0, 50, 50}, z[i]);
    EXPECT_FALSE(t.root.mouseClick(5, 5, 0, false, MouseState{}));
    // z 2: c3; z 1: c2 then c0; z 0: c4 then c1; then the root itself.
    EXPECT_EQ(t.log, (Log{"c3.click", "c2.click", "c0.click", "c4.click", "c1.click", "root.click"}));
}

TEST(UIElementHitTest, LowerZChildIsTriedOnlyAfterItsParentDeclined) {
    Tree t;
    Probe* parent = t.add(t.root, "p", Box{0, 0, 50, 50});
    Probe* low = t.add(*parent, "low", Box{40, 40, 80, 80}, -1);
    low->clickAnswer = Click::handled;

    // Inside the parent: the parent answers notHandled, which ends its subtree.
    EXPECT_FALSE(t.root.mouseClick(45, 45, 0, false, MouseState{}));
    EXPECT_EQ(t.log, (Log{"p.click", "root.click"}));

    // Outside the parent but inside the low child.
    t.log.clear();
    EXPECT_TRUE(t.root.mouseClick(60, 60, 0, false, MouseState{}));
    EXPECT_EQ(t.log, (Log{"low.click", "low.focus"}));

    // An invisible parent lets its lower child be tried at once.
    t.log.clear();
    parent->setVisible(false);
    low->setVisible(true);
    EXPECT_FALSE(low->visibilityStatus());
    EXPECT_FALSE(t.root.mouseClick(45, 45, 0, false, MouseState{}));
    EXPECT_EQ(t.log, (Log{"root.click"}));  // the child follows its parent's status
}

TEST(UIElementHitTest, BeginDragStopsThePreviousDragAndMovesDeliverDragsOutside) {
    Tree t;
    Probe* a = t.add(t.root, "a", Box{10, 10, 20, 20});
    Probe* b = t.add(t.root, "b", Box{50, 50, 60, 60});
    a->clickAnswer = b->clickAnswer = Click::beginDrag;
    EXPECT_TRUE(t.root.mouseClick(15, 15, 0, false, MouseState{}));
    EXPECT_TRUE(t.root.mouseClick(55, 55, 0, false, MouseState{}));
    EXPECT_EQ(t.log, (Log{"a.click", "a.beginDrag", "a.focus", "b.click", "a.stopDrag", "b.beginDrag", "a.unfocus",
                          "b.focus"}));
    EXPECT_EQ(t.ctx.draggedElement, b);

    t.log.clear();
    t.root.mouseMove(5, 95, -50, 40, MouseState{}, false);
    EXPECT_EQ(t.log, (Log{"b.drag", "root.enter", "root.move"}));
    EXPECT_EQ(b->lastX, 5 - 50);
    EXPECT_EQ(b->lastY, 95 - 50);
}

TEST(UIElementHitTest, ContainsRejectsNegativeAndOutOfSizeCoordinates) {
    Tree t;
    Probe* a = t.add(t.root, "a", Box{10, 10, 20, 30});
    EXPECT_TRUE(a->contains(0, 0));
    EXPECT_TRUE(a->contains(9, 19));
    EXPECT_FALSE(a->contains(-1, 5));
    EXPECT_FALSE(a->contains(10, 5));
    EXPECT_FALSE(a->contains(5, 20));
}

TEST(UIElementWalks, WheelFallsThroughToLowerElementsUntilConsumed) {
    Tree t;
    Probe* under = t.add(t.root, "under", Box{0, 0, 50, 50});
    Probe* over = t.add(t.root, "over", Box{0, 0, 50, 50}, 1);
    under->wheelAnswer = true;
    EXPECT_TRUE(t.root.mouseWheel(5, 5, 0, 1, MouseState{}));
    EXPECT_EQ(t.log, (Log{"over.wheel", "under.wheel"}));
    over->wheelAnswer = true;
    t.log.clear();
    EXPECT_TRUE(t.root.mouseWheel(5, 5, 0, 1, MouseState{}));
    EXPECT_EQ(t.log, (Log{"over.wheel"}));
}

TEST(UIElementWalks, KeysGoInChildOrderRegardlessOfZAndVisibility) {
    Tree t;
    Probe* first = t.add(t.root, "first", Box{0, 0, 10, 10}, -5);
    Probe* second = t.add(t.root, "second", Box{0, 0, 10, 10}, 5);
    first->setVisible(false);
    second->keyAnswer = true;
    EXPECT_TRUE(t.root.keyDown(Key::enter));
    EXPECT_EQ(t.log, (Log{"root.keyDown", "first.keyDown", "second.keyDown"}));
    t.log.clear();
    second->keyAnswer = false;
    EXPECT_FALSE(t.root.keyUp(Key::a));
    EXPECT_EQ(t.log, (Log{"root.keyUp", "first.keyUp", "second.keyUp"}));
}

TEST(UIElementWalks, AnimationReachesEveryAnimatedElementWhateverItsParent) {
    Tree t;
    Probe* still = t.add(t.root, "still", Box{0, 0, 10, 10});
    t.add(*still, "moving", Box{0, 0, 5, 5}, 0, UIFlags::drawsRaw | UIFlags::isAnimated);
    still->setVisible(false);
    t.root.animate(0.016, 1.0);
    EXPECT_EQ(t.log, (Log{"moving.animate"}));
}

// ---- Dirty marking, visibility, lookup ----

TEST(UIElementDirty, LayersGoToTheirListsTranslatedToRootCoordinates) {
    Tree t;
    Probe* raw = t.add(t.root, "raw", Box{10, 20, 30, 40});
    Probe* pbr = t.add(t.root, "pbr", Box{50, 50, 60, 60}, 0, UIFlags::drawsPBR | UIFlags::drawsRaw);
    Probe* none = t.add(t.root, "none", Box{70, 70, 80, 80}, 0, 0);
    t.clearDirty();

    raw->setDirty(Box{1, 2, 3, 4});
    pbr->setDirty(Box{0, 0, 2, 2});
    none->setDirty(Box{0, 0, 2, 2});
    EXPECT_EQ(pull(t.ctx.rawDirtyRects), (std::vector<Box>{Box{11, 22, 13, 24}}));
    EXPECT_EQ(pull(t.ctx.pbrDirtyRects), (std::vector<Box>{Box{50, 50, 52, 52}}));

    raw->setDirtyWhole(UILayer::bothLayers);
    pbr->setDirty(Box{0, 0, 1, 1}, UILayer::rawLayerOnly);
    EXPECT_EQ(pull(t.ctx.pbrDirtyRects), (std::vector<Box>{Box{10, 20, 30, 40}}));
    EXPECT_EQ(pull(t.ctx.rawDirtyRects), (std::vector<Box>{Box{50, 50, 51, 51}}));
}

TEST(UIElementDirty, MovingMarksOldAndNewAreasAndReflows) {
    struct Reflowing : UIElement {
        using UIElement::UIElement;
        int reflows = 0;
        void reflow() override { ++reflows; }
    };
    Tree t;
    auto* e = t.root.addChild(std::make_unique<Reflowing>(t.ctx, UIFlags::drawsRaw));
    e->setPosition(Box{0, 0, 10, 10});
    t.clearDirty();
    e->setPosition(Box{0, 0, 10, 10});
    EXPECT_EQ(t.ctx.rawDirtyRects.numRects(), 0);
    e->setPosition(Box{20, 0, 30, 10});
    EXPECT_EQ(pull(t.ctx.rawDirtyRects), (std::vector<Box>{Box{0, 0, 10, 10}, Box{20, 0, 30, 10}}));
    EXPECT_EQ(e->reflows, 2);
}

TEST(UIElementVisibility, HidingAParentHidesItsSubtreeAndMarksEachChangedElement) {
    Tree t;
    Probe* parent = t.add(t.root, "p", Box{0, 0, 50, 50});
    Probe* child = t.add(*parent, "c", Box{5, 5, 10, 10});
    Probe* hiddenAlready = t.add(*parent, "h", Box{20, 20, 30, 30});
    hiddenAlready->setVisible(false);
    t.clearDirty();

    parent->setVisible(false);
    EXPECT_FALSE(child->visibilityStatus());
    // The child's area lies inside the parent's, so the list keeps the parent's.
    EXPECT_EQ(pull(t.ctx.rawDirtyRects), (std::vector<Box>{Box{0, 0, 50, 50}}));

    Vec<UIElement*> raw, pbr;
    t.root.getDrawLists(raw, pbr);
    ASSERT_EQ(raw.length(), 1u);
    EXPECT_EQ(raw[0], &t.root);

    parent->setVisible(true);
    EXPECT_TRUE(child->visibilityStatus());
    EXPECT_FALSE(hiddenAlready->visibilityStatus());
    raw.clearContents();
    t.root.getDrawLists(raw, pbr);
    EXPECT_EQ(raw.length(), 3u);  // root, parent, child
}

TEST(UIElementVisibility, EveryElementWhoseStatusFlipsIsMarkedDirty) {
    Tree t;
    Probe* parent = t.add(t.root, "p", Box{0, 0, 10, 10}, 0, 0);  // paints nothing, posts nothing
    t.add(*parent, "c1", Box{20, 0, 30, 10});
    t.add(*parent, "c2", Box{40, 0, 50, 10});
    t.clearDirty();
    parent->setVisible(false);
    EXPECT_EQ(pull(t.ctx.rawDirtyRects), (std::vector<Box>{Box{20, 0, 30, 10}, Box{40, 0, 50, 10}}));
    parent->setVisible(false);  // no change, no marks
    EXPECT_EQ(t.ctx.rawDirtyRects.numRects(), 0);
}

TEST(UIElementLookup, FindsIdsDepthFirstAndTheRootByItsReservedName) {
    Tree t;
    Probe* a = t.add(t.root, "a", Box{});
    Probe* a1 = t.add(*a, "a1", Box{});
    Probe* b = t.add(t.root, "b", Box{});
    a1->setElementId("knob");
    b->setElementId("knob");
    EXPECT_EQ(t.ctx.getElementById("knob"), a1);
    EXPECT_EQ(t.ctx.getElementById("__ROOT__"), &t.root);
    EXPECT_EQ(t.ctx.getElementById(nullptr), nullptr);
    EXPECT_EQ(t.ctx.getElementById("kno"), nullptr);
    EXPECT_EQ(t.ctx.getElementById(""), &t.root);  // every id starts empty
    const std::string longId(100, 'x');
    b->setElementId(longId.c_str());
    EXPECT_EQ(std::string(b->elementId()), std::string(63, 'x'));
}

TEST(UIContextTest, UserPointerSlotsAndStandaloneAnswers) {
    UIContext ctx;
    int v = 0;
    ctx.setUserPointer(15, &v);
    EXPECT_EQ(ctx.getUserPointer(15), &v);
    EXPECT_EQ(ctx.getUserPointer(0), nullptr);
    EXPECT_FALSE(ctx.requestUIResize(10, 10));
    EXPECT_EQ(ctx.globalThreadPool(), nullptr);
    EXPECT_DEATH(ctx.setUserPointer(16, &v), "user pointer slot outside 0..15");
}

// ---- Painting ----

struct RecordingPainter : UIElement {
    using UIElement::UIElement;
    int calls = 0;
    int viewW = 0, viewH = 0;
    RGBA* viewPixels = nullptr;
    std::vector<Box> rects;
    void onDrawRaw(fw::ImageRef<RGBA> layer, const Vec<Box>& dirty) override {
        ++calls;
        viewW = layer.w;
        viewH = layer.h;
        viewPixels = layer.pixels;
        rects.assign(dirty.begin(), dirty.end());
    }
};

TEST(UIElementRender, RawPaintingIsClippedToTheLayerAndTheElement) {
    UIContext ctx;
    RecordingPainter e(ctx, UIFlags::drawsRaw);
    e.setPosition(Box{-5, 10, 15, 40});
    fw::OwnedImage<RGBA> layer(20, 30);
    const Vec<Box> areas{Box{0, 0, 100, 12}, Box{50, 50, 60, 60}, Box{-100, 35, 3, 1000}};
    e.renderRaw(layer, areas);
    ASSERT_EQ(e.calls, 1);
    // Visible part: (0, 10)-(15, 30).
    EXPECT_EQ(e.viewW, 15);
    EXPECT_EQ(e.viewH, 20);
    EXPECT_EQ(e.viewPixels, &layer.at(0, 10));
    EXPECT_EQ(e.rects, (std::vector<Box>{Box{0, 0, 15, 2}}));  // the third area lies below the layer

    const Vec<Box> outside{Box{40, 0, 50, 5}};
    e.renderRaw(layer, outside);
    EXPECT_EQ(e.calls, 1);  // nothing to paint: not called
}

TEST(UIElementRender, DefaultLightingPatternIsAnEightPixelCheckerboard) {
    UIContext ctx;
    UIElement e(ctx, UIFlags::drawsPBR);
    e.setPosition(Box{3, 3, 40, 20});
    fw::OwnedImage<RGBA> diffuse(40, 20), material(40, 20);
    fw::OwnedImage<fw::L16> depth(40, 20);
    e.renderPBR(diffuse, depth, material, Vec<Box>{Box{0, 0, 40, 20}});
    const RGBA light{0x96, 0x96, 0x96, 0}, dark{0x64, 0x64, 0x64, 0};
    // Squares of 8 local pixels: local (0..7, 0..7) light, (8..15, 0..7) dark,
    // (8..15, 8..15) light again.
    EXPECT_EQ(diffuse.at(3, 3), light);
    EXPECT_EQ(diffuse.at(3 + 7, 3 + 7), light);
    EXPECT_EQ(diffuse.at(3 + 8, 3), dark);
    EXPECT_EQ(diffuse.at(3, 3 + 8), dark);
    EXPECT_EQ(diffuse.at(3 + 9, 3 + 9), light);
    EXPECT_EQ(diffuse.at(2, 3), RGBA{});  // outside the element
    EXPECT_EQ(depth.at(3, 3).l, 15000);
    EXPECT_EQ(material.at(39, 19), (RGBA{0x80, 0x19, 0x80, 0xFF}));
}

TEST(UIElementDeathTest, ValuesOutsideTheEnumerationsStopTheProgram) {
    UIContext ctx;
    Log log;
    Probe root(ctx, "root", &log);
    root.setPosition(Box{0, 0, 10, 10});
    root.clickAnswer = Click(7);
    EXPECT_DEATH(root.mouseClick(1, 1, 0, false, MouseState{}), "onMouseClick returned a value outside Click");
    EXPECT_DEATH(root.setDirtyWhole(UILayer(3)), "setDirty with a value outside UILayer");
}

}  // namespace
