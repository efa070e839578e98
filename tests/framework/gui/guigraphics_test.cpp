#include "framework/gui/guigraphics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/core/fpcontrol.h"
#include "framework/window/offscreenwindow.h"
#include "support/realtime_watch.h"
#include "testeditor.h"
#include "testelements.h"

namespace {

using fw::Box;
using fw::Click;
using fw::GraphicsBackend;
using fw::Key;
using fw::MouseButton;
using fw::MouseCursor;
using fw::MouseState;
using fw::OffscreenWindow;
using fw::RGBA;
using fw::UIFlags;
using fw::UILayer;
using fw::Vec;
using fw::WindowPixelFormat;
using guitest::Solid;
using guitest::TestEditor;

constexpr RGBA kBlack{0, 0, 0, 255};
constexpr RGBA kBg = TestEditor::kBackground;

// An editor opened in an off-screen window of the given pixel format.
struct Opened {
    explicit Opened(WindowPixelFormat pf = WindowPixelFormat::RGBA8) : factory(pf) {
        editor.setWindowFactory(&factory);
        handle = editor.openUI(nullptr, nullptr, nullptr, GraphicsBackend::cocoa);
        window = factory.lastWindow();
    }
    Solid* addSolid(Box pos, RGBA color, int z = 0, std::uint32_t flags = UIFlags::drawsRaw) {
        Solid* s = editor.addChild(std::make_unique<Solid>(editor.context(), color, flags));
        s->setZOrder(z);
        s->setPosition(pos);
        return s;
    }
    fw::OffscreenWindowFactory factory;
    TestEditor editor;
    void* handle = nullptr;
    OffscreenWindow* window = nullptr;
};

// Pixel (x, y) of what the window shows.
RGBA shown(const OffscreenWindow& w, int x, int y) { return w.screen().at(x, y); }

// ---- Opening and the first frame ----

TEST(GUIGraphicsFrame, OpeningShowsTheWholeEditorInTheFirstFrame) {
    Opened o;
    ASSERT_NE(o.window, nullptr);
    EXPECT_EQ(o.handle, o.window->systemHandle());
    EXPECT_EQ(o.editor.window(), o.window);
    o.addSolid(Box{100, 100, 200, 150}, RGBA{200, 10, 10, 255});
    EXPECT_EQ(o.window->tick(), (Box{0, 0, 900, 450}));
    o.window->paint();
    EXPECT_EQ(shown(*o.window, 0, 0), kBg);
    EXPECT_EQ(shown(*o.window, 150, 120), (RGBA{200, 10, 10, 255}));
    EXPECT_EQ(shown(*o.window, 899, 449), kBg);
    // Nothing dirty: nothing to invalidate.
    EXPECT_TRUE(o.window->tick().empty());
}

TEST(GUIGraphicsFrame, OnlyTheDirtyAreaIsInvalidatedAndCopied) {
    Opened o;
    Solid* s = o.addSolid(Box{100, 100, 200, 150}, RGBA{200, 10, 10, 255});
    o.window->frame();
    const int paintsBefore = s->paints.load();
    s->setColor(RGBA{1, 2, 3, 255});
    EXPECT_EQ(o.window->tick(), (Box{100, 100, 200, 150}));
    EXPECT_EQ(o.editor.compositeAreas().length(), 0u);  // raw-only: no compositing
    o.window->paint();
    EXPECT_EQ(s->paints.load(), paintsBefore + 1);
    EXPECT_EQ(shown(*o.window, 199, 149), (RGBA{1, 2, 3, 255}));
    EXPECT_EQ(shown(*o.window, 200, 150), kBg);
}

TEST(GUIGraphicsFrame, BothLayersRecompositeTheAreaGrownByTheMargin) {
    Opened o;
    Solid* s = o.addSolid(Box{100, 100, 200, 150}, RGBA{200, 10, 10, 255});
    o.window->frame();
    s->setDirty(Box{0, 0, 10, 10}, UILayer::bothLayers);
    o.window->tick();
    const Box grown{80, 80, 130, 130};
    ASSERT_EQ(o.editor.compositeAreas().length(), 1u);
    EXPECT_EQ(o.editor.compositeAreas()[0], grown);
    ASSERT_EQ(o.editor.paintAreas().length(), 1u);
    EXPECT_EQ(o.editor.paintAreas()[0], grown);
    EXPECT_EQ(o.editor.getDirtyRectangle(), grown);

    // At a corner the grown area is clipped to the UI; a smaller margin grows less.
    o.window->paint();
    o.editor.setUpdateMargin(5);
    o.editor.setDirty(Box{0, 0, 10, 10}, UILayer::bothLayers);
    o.window->tick();
    EXPECT_EQ(o.editor.compositeAreas()[0], (Box{0, 0, 15, 15}));
}

TEST(GUIGraphicsFrame, LightingElementsArePaintedCompositedAndShown) {
    // A root that paints nothing itself shows the lit layers as they are.
    fw::OffscreenWindowFactory factory;
    fw::GUIGraphics editor(guitest::editorSizes(), UIFlags::drawsRaw);
    editor.setWindowFactory(&factory);
    auto* lit = editor.addChild(std::make_unique<fw::UIElement>(editor.context(), UIFlags::drawsPBR));
    lit->setPosition(Box{100, 100, 200, 160});
    editor.openUI(nullptr, nullptr, nullptr, GraphicsBackend::cocoa);
    OffscreenWindow& w = *factory.lastWindow();
    w.frame();
    const RGBA inside = shown(w, 150, 130);
    EXPECT_EQ(inside.a, 255);
    EXPECT_NE(inside, kBlack);                  // the grey test pattern, lit
    EXPECT_EQ(shown(w, 500, 300), kBlack);      // empty lighting layers light nothing

    // A lighting element marking itself dirty recomposites its surroundings.
    lit->setDirtyWhole();
    w.tick();
    ASSERT_EQ(editor.compositeAreas().length(), 1u);
    EXPECT_EQ(editor.compositeAreas()[0], (Box{80, 80, 220, 180}));
}

TEST(GUIGraphicsFrame, OverlappingRawAndLightingAreasArePaintedOnce) {
    Opened o;
    o.addSolid(Box{0, 0, 300, 300}, RGBA{9, 9, 9, 255});
    o.window->frame();
    o.editor.setDirty(Box{50, 50, 100, 100}, UILayer::bothLayers);
    o.editor.setDirty(Box{60, 60, 200, 120}, UILayer::rawLayerOnly);
    o.window->tick();
    const Vec<Box>& areas = o.editor.paintAreas();
    long long area = 0;
    for (std::size_t i = 0; i < areas.length(); ++i) {
        area += (long long)areas[i].width() * areas[i].height();
        for (std::size_t j = i + 1; j < areas.length(); ++j) EXPECT_FALSE(areas[i].intersects(areas[j]));
    }
    // Union of (30,30)-(120,120) and (60,60)-(200,120): 90*90 + 80*60.
    EXPECT_EQ(area, 90 * 90 + 80 * 60);
}

// ---- Window sizes ----

TEST(GUIGraphicsResize, LargerWindowCentresTheLargestUIWithBlackBorders) {
    Opened o;
    o.window->frame();
    ASSERT_TRUE(o.window->requestResize(2000, 1000, false));
    EXPECT_EQ(o.editor.uiWidth(), 1800);
    EXPECT_EQ(o.editor.uiRectInWindow(), (Box{100, 50, 1900, 950}));
    // The first frame after a resize reports the whole window.
    EXPECT_EQ(o.window->tick(), (Box{0, 0, 2000, 1000}));
    o.window->paint();
    EXPECT_EQ(shown(*o.window, 99, 500), kBlack);
    EXPECT_EQ(shown(*o.window, 100, 50), kBg);
    EXPECT_EQ(shown(*o.window, 1899, 949), kBg);
    EXPECT_EQ(shown(*o.window, 1900, 500), kBlack);
    EXPECT_EQ(shown(*o.window, 1000, 999), kBlack);
    EXPECT_TRUE(o.window->tick().empty());
}

TEST(GUIGraphicsResize, SquareWindowHoldsTheDefaultSizeWithUnevenBorders) {
    Opened o;
    o.window->requestResize(1000, 1000, false);
    EXPECT_EQ(o.editor.uiWidth(), 900);
    EXPECT_EQ(o.editor.uiHeight(), 450);
    EXPECT_EQ(o.editor.uiRectInWindow(), (Box{50, 275, 950, 725}));
    o.window->frame();
    EXPECT_EQ(shown(*o.window, 49, 300), kBlack);
    EXPECT_EQ(shown(*o.window, 50, 275), kBg);
    EXPECT_EQ(shown(*o.window, 500, 274), kBlack);
    EXPECT_EQ(shown(*o.window, 500, 725), kBlack);
}

TEST(GUIGraphicsResize, SmallWindowShowsTheSmallestUIClipped) {
    Opened o;
    o.addSolid(Box{390, 190, 450, 225}, RGBA{7, 7, 7, 255});
    o.window->requestResize(400, 200, false);
    EXPECT_EQ(o.editor.uiWidth(), 450);
    EXPECT_EQ(o.editor.uiHeight(), 225);
    EXPECT_EQ(o.editor.uiRectInWindow(), (Box{0, 0, 400, 200}));
    o.window->frame();
    EXPECT_EQ(shown(*o.window, 0, 0), kBg);
    EXPECT_EQ(shown(*o.window, 399, 199), (RGBA{7, 7, 7, 255}));
    // Dirt beyond the visible part of the UI never reaches past the window.
    o.editor.setDirty(Box{0, 0, 450, 225});
    EXPECT_EQ(o.window->tick(), (Box{0, 0, 400, 200}));
}

TEST(GUIGraphicsResize, WindowBufferHasTheWindowSizeAndAPitchOfFourBytesAPixel) {
    TestEditor editor;
    const fw::ImageRef<RGBA> b = editor.windowListener().onResized(1001, 7);
    EXPECT_EQ(b.w, 1001);
    EXPECT_EQ(b.h, 7);
    EXPECT_EQ(b.pitch, 1001 * 4);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(b.pixels) % 16, 0u);
}

TEST(GUIGraphicsResize, TinyWindowsAreSurvived) {
    for (int side : {0, 1}) {
        Opened o;
        o.addSolid(Box{0, 0, 50, 50}, RGBA{1, 1, 1, 255});
        o.window->requestResize(side, side, false);
        o.editor.setDirty(Box{-1000, -1000, 1000000, 1000000});
        o.window->frame();
        o.window->frame();
        EXPECT_EQ(o.editor.uiWidth(), 450);
        if (side == 1) {
            EXPECT_EQ(shown(*o.window, 0, 0), (RGBA{1, 1, 1, 255}));
        }
    }
}

TEST(GUIGraphicsResizeDeathTest, AnUnallocatableWindowBufferIsAClearFatalError) {
    TestEditor editor;
    EXPECT_DEATH(editor.windowListener().onResized(100000, 100000),
                 "a 100000 x 100000 window buffer cannot be allocated");
}

TEST(GUIGraphicsResize, NativeResizeGoesToTheWindowUnlessTheSizeIsCurrent) {
    Opened o;
    EXPECT_TRUE(o.editor.nativeWindowResize(900, 450));
    EXPECT_TRUE(o.editor.nativeWindowResize(1350, 675));
    EXPECT_EQ(o.window->width(), 1350);
    EXPECT_EQ(o.editor.uiWidth(), 1350);
    o.editor.closeUI();
    EXPECT_FALSE(o.editor.nativeWindowResize(900, 450));
}

TEST(GUIGraphicsContext, AnswersSizesFromTheRulesTheUIAndTheWindow) {
    Opened o;
    o.window->requestResize(1000, 1000, false);
    fw::IUIContext& ctx = o.editor.context();
    int w = 0, h = 0;
    ctx.getDefaultUISizeInPixels(&w, &h);
    EXPECT_EQ((Box{0, 0, w, h}), (Box{0, 0, 900, 450}));
    ctx.getUISizeInPixelsUser(&w, &h);
    EXPECT_EQ((Box{0, 0, w, h}), (Box{0, 0, 900, 450}));
    ctx.getUISizeInPixelsPhysical(&w, &h);
    EXPECT_EQ((Box{0, 0, w, h}), (Box{0, 0, 1000, 1000}));
    o.editor.getGUISize(&w, &h);
    EXPECT_EQ((Box{0, 0, w, h}), (Box{0, 0, 1000, 1000}));
    w = 1000;
    h = 500;
    ctx.getUINearestValidSize(&w, &h);
    EXPECT_EQ((Box{0, 0, w, h}), (Box{0, 0, 900, 450}));
    EXPECT_TRUE(ctx.isUIResizable());
    ASSERT_NE(ctx.globalThreadPool(), nullptr);
    EXPECT_LE(ctx.globalThreadPool()->numThreads(), 3);
    EXPECT_EQ(ctx.getRootElement(), &o.editor);
    EXPECT_EQ(ctx.getElementById("__ROOT__"), &o.editor);
}

// ---- Resize requests from the UI ----

struct FakeClient final : fw::IClient {
    bool agree = false;
    fw::PluginFormat format = fw::PluginFormat::auv2;
    int requests = 0;
    bool requestResize(int, int) noexcept override {
        ++requests;
        return agree;
    }
    fw::DAW getDAW() noexcept override { return fw::DAW::unknown; }
    fw::PluginFormat getPluginFormat() noexcept override { return format; }
};

TEST(GUIGraphicsResize, RequestsAskTheHostFirstThenTheWindow) {
    fw::OffscreenWindowFactory factory;
    TestEditor editor;
    editor.setWindowFactory(&factory);
    FakeClient client;
    editor.openUI(nullptr, nullptr, &client, GraphicsBackend::autodetect);
    fw::IUIContext& ctx = editor.context();

    EXPECT_TRUE(ctx.requestUIResize(900, 450));
    EXPECT_EQ(client.requests, 0);

    // Host refuses: the window resizes itself.
    EXPECT_TRUE(ctx.requestUIResize(1125, 563));
    EXPECT_EQ(client.requests, 1);
    EXPECT_EQ(factory.lastWindow()->width(), 1125);

    // A VST3 host that agreed resizes the view itself.
    client.agree = true;
    client.format = fw::PluginFormat::vst3;
    EXPECT_TRUE(ctx.requestUIResize(450, 225));
    EXPECT_EQ(factory.lastWindow()->width(), 1125);

    // Another format that agreed still needs the window to follow.
    client.format = fw::PluginFormat::auv2;
    EXPECT_TRUE(ctx.requestUIResize(450, 225));
    EXPECT_EQ(factory.lastWindow()->width(), 450);

    editor.closeUI();
    client.agree = false;
    EXPECT_FALSE(ctx.requestUIResize(900, 450));
}

// ---- Pixel formats ----

TEST(GUIGraphicsFormats, EachWindowFormatGetsItsByteOrderAndOpaqueBlack) {
    const RGBA c{10, 20, 30, 77};
    struct Case {
        WindowPixelFormat pf;
        RGBA pixel, black;
    };
    const Case cases[] = {
        {WindowPixelFormat::BGRA8, RGBA{30, 20, 10, 255}, RGBA{0, 0, 0, 255}},
        {WindowPixelFormat::ARGB8, RGBA{255, 10, 20, 30}, RGBA{255, 0, 0, 0}},
        {WindowPixelFormat::RGBA8, RGBA{10, 20, 30, 255}, RGBA{0, 0, 0, 255}},
    };
    for (const Case& k : cases) {
        Opened o(k.pf);
        o.addSolid(Box{0, 0, 10, 10}, c);
        o.window->requestResize(1000, 500, false);  // UI 900 x 450 at (50, 25)
        o.window->frame();
        EXPECT_EQ(shown(*o.window, 50, 25), k.pixel) << int(k.pf);
        EXPECT_EQ(shown(*o.window, 0, 0), k.black) << int(k.pf);
    }
}

TEST(GUIGraphicsDeathTest, ValuesOutsideTheirEnumerationsStopTheProgram) {
    Opened o;
    o.window->tick();
    EXPECT_DEATH(o.editor.windowListener().onDraw(WindowPixelFormat(3)), "window pixel format outside 0..2");
    TestEditor editor;
    EXPECT_DEATH(editor.openUI(nullptr, nullptr, nullptr, GraphicsBackend(5)), "graphics backend outside 0..4");
    fw::SizeConstraints bad = guitest::editorSizes();
    bad.kind = -1;
    EXPECT_DEATH(TestEditor{bad}, "kind outside 0..3");
}

TEST(GUIGraphicsBackends, OnlyBackendsWithAWindowOpenOne) {
    fw::OffscreenWindowFactory factory;
    TestEditor editor;
    editor.setWindowFactory(&factory);
    for (GraphicsBackend b : {GraphicsBackend::win32, GraphicsBackend::carbon})
        EXPECT_EQ(editor.openUI(nullptr, nullptr, nullptr, b), nullptr);
    EXPECT_EQ(factory.windowsCreated(), 0);
    EXPECT_NE(editor.openUI(nullptr, nullptr, nullptr, GraphicsBackend::autodetect), nullptr);
    EXPECT_EQ(factory.windowsCreated(), 1);
    // An X11 UI asks for x11 and gets its window from the factory it set.
    EXPECT_NE(editor.openUI(nullptr, nullptr, nullptr, GraphicsBackend::x11), nullptr);
    EXPECT_EQ(factory.windowsCreated(), 2);
}

// ---- Bad rectangles ----

TEST(GUIGraphicsBadInput, EnormousInvertedAndFarAwayRectanglesStayInsideTheBuffers) {
    Opened o;
    Solid* s = o.addSolid(Box{10, 10, 20, 20}, RGBA{3, 3, 3, 255});
    o.window->requestResize(1000, 600, false);
    o.window->frame();
    s->setDirty(Box{INT_MIN, INT_MIN, INT_MAX, INT_MAX});
    s->setDirty(Box{50, 50, -50, -50});
    s->setDirty(Box{100000, 100000, 100010, 100010}, UILayer::bothLayers);
    o.editor.setDirty(Box{-500, -500, 5, 5}, UILayer::bothLayers);
    const Box r = o.window->tick();
    EXPECT_TRUE(Box(o.editor.uiRectInWindow()).contains(r));
    o.window->paint();
    EXPECT_EQ(shown(*o.window, 0, 0), kBlack);
    EXPECT_EQ(shown(*o.window, 60, 85), (RGBA{3, 3, 3, 255}));
}

TEST(GUIGraphicsBadInput, EventsBeforeTheFirstResizeAndAfterCloseAreIgnored) {
    TestEditor editor;
    std::vector<std::string> log;
    auto* p = editor.addChild(std::make_unique<guitest::Probe>(editor.context(), "p", &log));
    p->setPosition(Box{0, 0, 100, 100});
    p->clickAnswer = Click::beginDrag;
    fw::IWindowListener& l = editor.windowListener();
    EXPECT_FALSE(l.onMouseClick(5, 5, MouseButton::left, false, MouseState{}));
    l.onMouseMove(5, 5, 0, 0, MouseState{});
    EXPECT_FALSE(l.onKeyDown(Key::a));
    l.onDraw(WindowPixelFormat::RGBA8);
    EXPECT_TRUE(l.getDirtyRectangle().empty());
    EXPECT_TRUE(log.empty());

    fw::OffscreenWindowFactory factory;
    editor.setWindowFactory(&factory);
    editor.openUI(nullptr, nullptr, nullptr, GraphicsBackend::cocoa);
    EXPECT_TRUE(l.onMouseClick(5, 5, MouseButton::left, false, MouseState{}));
    EXPECT_EQ(editor.context().draggedElement, p);
    editor.closeUI();
    EXPECT_EQ(editor.context().draggedElement, nullptr);  // closing ends the drag
    log.clear();
    EXPECT_FALSE(l.onMouseClick(5, 5, MouseButton::left, false, MouseState{}));
    l.onAnimate(0.016, 1.0);
    l.recomputeDirtyAreas();
    l.onDraw(WindowPixelFormat::RGBA8);
    EXPECT_TRUE(l.onResized(800, 400).empty());
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(editor.windowWidth(), 900);

    // Opening again brings it back.
    editor.openUI(nullptr, nullptr, nullptr, GraphicsBackend::cocoa);
    EXPECT_TRUE(l.onMouseClick(5, 5, MouseButton::left, false, MouseState{}));
}

// ---- Window-level entries ----

TEST(GUIGraphicsEvents, ClickingEmptySpaceRemovesTheFocus) {
    Opened o;
    std::vector<std::string> log;
    auto* p = o.editor.addChild(std::make_unique<guitest::Probe>(o.editor.context(), "p", &log));
    p->setPosition(Box{10, 10, 50, 50});
    p->clickAnswer = Click::handled;
    EXPECT_TRUE(o.window->mouseDown(20, 20, MouseButton::left));
    EXPECT_EQ(o.editor.context().focusedElement, p);
    EXPECT_FALSE(o.window->mouseDown(300, 300, MouseButton::left));
    EXPECT_EQ(o.editor.context().focusedElement, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"p.click", "p.focus", "p.unfocus"}));
}

TEST(GUIGraphicsEvents, DragLeavesTheElementUntilReleaseWithUIOffsetRemoved) {
    Opened o;
    o.window->requestResize(1000, 500, false);  // UI at (50, 25)
    std::vector<std::string> log;
    auto* p = o.editor.addChild(std::make_unique<guitest::Probe>(o.editor.context(), "p", &log));
    p->setPosition(Box{10, 10, 50, 50});
    p->clickAnswer = Click::beginDrag;
    p->setCursorWhenDragged(MouseCursor::verticalResize);
    p->setCursorWhenMouseOver(MouseCursor::linkSelect);

    EXPECT_TRUE(o.window->mouseDown(50 + 20, 25 + 20, MouseButton::left));
    EXPECT_EQ(p->lastX, 10);
    o.window->mouseMove(50 + 20, 25 + 20);
    EXPECT_EQ(o.window->currentCursor(), MouseCursor::verticalResize);
    o.window->mouseMove(0, 0);  // far outside the element and the UI
    EXPECT_EQ(p->lastX, -50 - 10);
    EXPECT_EQ(p->lastY, -25 - 10);
    EXPECT_TRUE(o.window->mouseUp(0, 0, MouseButton::left));
    EXPECT_EQ(o.editor.context().draggedElement, nullptr);
    log.clear();
    o.window->mouseMove(5, 5);
    EXPECT_EQ(log, (std::vector<std::string>{}));  // no drag any more
    o.window->mouseMove(50 + 30, 25 + 30);
    EXPECT_EQ(o.window->currentCursor(), MouseCursor::linkSelect);
    o.window->mouseMove(5, 5);  // over nothing: hover ends
    EXPECT_EQ(o.editor.context().hoveredElement, nullptr);
    EXPECT_EQ(o.window->currentCursor(), MouseCursor::arrow);
}

TEST(GUIGraphicsEvents, CaptureLossStopsTheDragAndLeavingTheWindowEndsHover) {
    Opened o;
    std::vector<std::string> log;
    auto* p = o.editor.addChild(std::make_unique<guitest::Probe>(o.editor.context(), "p", &log));
    p->setPosition(Box{10, 10, 50, 50});
    p->clickAnswer = Click::beginDrag;
    o.window->mouseDown(20, 20, MouseButton::left);
    o.window->captureLost();
    EXPECT_EQ(o.editor.context().draggedElement, nullptr);
    o.window->mouseMove(20, 20);
    o.window->mouseExited();
    EXPECT_EQ(o.editor.context().hoveredElement, nullptr);
    EXPECT_EQ(log, (std::vector<std::string>{"p.click", "p.beginDrag", "p.focus", "p.stopDrag", "p.enter", "p.move",
                                             "p.exit"}));
}

TEST(GUIGraphicsEvents, WheelAndKeysGoToTheDraggedAndFocusedElementFirst) {
    Opened o;
    std::vector<std::string> log;
    auto* a = o.editor.addChild(std::make_unique<guitest::Probe>(o.editor.context(), "a", &log));
    auto* b = o.editor.addChild(std::make_unique<guitest::Probe>(o.editor.context(), "b", &log));
    a->setPosition(Box{0, 0, 10, 10});
    b->setPosition(Box{100, 100, 110, 110});
    a->clickAnswer = Click::beginDrag;
    a->wheelAnswer = true;
    a->keyAnswer = true;
    o.window->mouseDown(5, 5, MouseButton::left);
    log.clear();
    EXPECT_TRUE(o.window->mouseWheel(105, 105, 0.0f, -3.5f));
    EXPECT_EQ(log, (std::vector<std::string>{"a.wheel"}));
    EXPECT_EQ(a->lastX, 105);
    EXPECT_FALSE(o.window->mouseWheel(105, 105, 0.0f, 0.0f));  // no movement, no event
    log.clear();
    EXPECT_TRUE(o.window->keyDown(Key::up));
    EXPECT_EQ(log, (std::vector<std::string>{"a.keyDown"}));
    a->keyAnswer = false;
    log.clear();
    EXPECT_FALSE(o.window->keyUp(Key::up));
    // Offered to the focused element, then the tree walk (which offers it again).
    EXPECT_EQ(log, (std::vector<std::string>{"a.keyUp", "a.keyUp", "b.keyUp"}));
}

TEST(GUIGraphicsEvents, EveryWindowEntryRunsUnderTheAudioFloatingPointState) {
    struct FPProbe : fw::UIElement {
        using UIElement::UIElement;
        std::uint32_t seenMXCSR = 0;
        fw::Click onMouseClick(int, int, int, bool, MouseState) override {
            seenMXCSR = fw::getSSEControlState() & 0xFFC0;  // control bits, not the flags
            return Click::handled;
        }
        void onAnimate(double, double) override { seenMXCSR = fw::getSSEControlState() & 0xFFC0; }
    };
    Opened o;
    auto* p = o.editor.addChild(std::make_unique<FPProbe>(o.editor.context(), UIFlags::isAnimated));
    p->setPosition(Box{0, 0, 10, 10});
    const std::uint32_t saved = fw::getSSEControlState();
    fw::setSSEControlState(0x1F80);  // the default: no flush-to-zero
    o.window->mouseDown(1, 1, MouseButton::left);
    EXPECT_EQ(p->seenMXCSR, fw::kAudioMXCSR & 0xFFC0);
    EXPECT_EQ(fw::getSSEControlState() & 0xFFC0, 0x1F80u);
    p->seenMXCSR = 0;
    o.window->tick();
    EXPECT_EQ(p->seenMXCSR, fw::kAudioMXCSR & 0xFFC0);
    EXPECT_EQ(fw::getSSEControlState() & 0xFFC0, 0x1F80u);
    fw::setSSEControlState(saved);
}

TEST(GUIGraphicsFrame, ScreenshotRequestsReachTheHookOnce) {
    Opened o;
    o.editor.context().requestUIScreenshot();
    o.window->frame();
    o.editor.setDirty(Box{0, 0, 5, 5});
    o.window->frame();
    EXPECT_EQ(o.editor.screenshots, 1);
}

// ---- Batching ----

std::atomic<int> gSequence{0};

// Records when (in a global sequence) and on which thread it was painted; can
// wait for a partner to start, which proves that the two run at the same time.
struct Recorder : fw::UIElement {
    Recorder(fw::UIContext& c, std::uint32_t flags) : UIElement(c, flags) {}
    std::atomic<int> start{-1}, end{-1};
    Recorder* partner = nullptr;
    int holdMs = 0;  // painting takes this long, so that co-batched elements overlap in time
    void onDrawRaw(fw::ImageRef<RGBA>, const Vec<Box>&) override {
        start.store(gSequence.fetch_add(1));
        if (holdMs) std::this_thread::sleep_for(std::chrono::milliseconds(holdMs));
        if (partner) {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
            while (partner->start.load() < 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        }
        end.store(gSequence.fetch_add(1));
    }
};

struct BatchFixture {
    Opened o;
    Recorder* add(Box pos, int z, std::uint32_t flags = UIFlags::drawsRaw) {
        Recorder* r = o.editor.addChild(std::make_unique<Recorder>(o.editor.context(), flags));
        r->setZOrder(z);
        r->setPosition(pos);
        return r;
    }
};

bool before(const Recorder& a, const Recorder& b) { return a.end.load() < b.start.load(); }

TEST(GUIGraphicsBatching, OverlappingElementsArePaintedApartLowerZFirst) {
    BatchFixture f;
    Recorder* top = f.add(Box{0, 0, 50, 50}, 2);  // added first, but above
    Recorder* bottom = f.add(Box{40, 40, 90, 90}, 1);
    // Sharing a batch would let the top start while the bottom is still painting.
    bottom->holdMs = 30;
    f.o.window->frame();
    EXPECT_TRUE(before(*bottom, *top));
}

TEST(GUIGraphicsBatching, DisjointElementsShareABatchAndRunTogether) {
    BatchFixture f;
    if (f.o.editor.threadPool().numThreads() < 2) GTEST_SKIP() << "one paint thread";
    // Together above the inline limit: 2 x 300 x 250 pixels.
    Recorder* a = f.add(Box{0, 0, 300, 250}, 1);
    Recorder* b = f.add(Box{310, 0, 610, 250}, 1);
    a->partner = b;
    b->partner = a;
    f.o.window->frame();
    // Each waited for the other to start before it ended.
    EXPECT_LT(a->start.load(), b->end.load());
    EXPECT_LT(b->start.load(), a->end.load());
}

// Small batches stay on the UI thread: waking the pool would cost more.
TEST(GUIGraphicsBatching, ABatchWithLittleToPaintRunsOnTheUIThread) {
    struct ThreadRecorder : fw::UIElement {
        using UIElement::UIElement;
        std::thread::id paintedOn;
        void onDrawRaw(fw::ImageRef<RGBA>, const Vec<Box>&) override { paintedOn = std::this_thread::get_id(); }
    };
    BatchFixture f;
    auto* a = f.o.editor.addChild(std::make_unique<ThreadRecorder>(f.o.editor.context(), UIFlags::drawsRaw));
    auto* b = f.o.editor.addChild(std::make_unique<ThreadRecorder>(f.o.editor.context(), UIFlags::drawsRaw));
    a->setPosition(Box{0, 0, 100, 100});
    b->setPosition(Box{200, 0, 300, 100});
    ASSERT_LT(2 * 100 * 100, fw::GUIGraphics::kInlinePaintPixels);
    f.o.window->frame();
    EXPECT_EQ(a->paintedOn, std::this_thread::get_id());
    EXPECT_EQ(b->paintedOn, std::this_thread::get_id());
}

TEST(GUIGraphicsBatching, DrawAloneElementsNeverShareABatch) {
    BatchFixture f;
    Recorder* a = f.add(Box{0, 0, 50, 50}, 1);
    Recorder* alone = f.add(Box{60, 0, 110, 50}, 1, UIFlags::drawsRaw | UIFlags::drawAloneRaw);
    Recorder* c = f.add(Box{120, 0, 170, 50}, 1);
    // Sharing a batch would make each wait for its partner and overlap in time.
    alone->partner = a;
    c->partner = alone;
    f.o.window->frame();
    EXPECT_TRUE(before(*a, *alone));
    EXPECT_TRUE(before(*alone, *c));
    // The drawAlonePBR flag does not affect the raw pass.
    Recorder* d = f.add(Box{0, 100, 300, 400}, 1, UIFlags::drawsRaw | UIFlags::drawAlonePBR);
    Recorder* e = f.add(Box{310, 100, 610, 400}, 1);
    if (f.o.editor.threadPool().numThreads() >= 2) {
        d->partner = e;
        e->partner = d;
        f.o.editor.setDirty(Box{0, 100, 610, 400});
        f.o.window->frame();
        EXPECT_LT(d->start.load(), e->end.load());
        EXPECT_LT(e->start.load(), d->end.load());
    }
}

// ---- Allocation ----

TEST(GUIGraphicsRealtime, AWarmFrameAllocatesNothing) {
    if (!testsupport::RealtimeWatch::countsAllocations()) GTEST_SKIP() << "allocations are not counted here";
    Opened o;
    std::vector<Solid*> solids;
    for (int i = 0; i < 35; ++i)
        solids.push_back(o.addSolid(Box::rectangle(20 + (i % 7) * 120, 20 + (i / 7) * 80, 100, 60),
                                    RGBA{std::uint8_t(i), 0, 0, 255}));
    const auto oneFrame = [&](int i) {
        solids[std::size_t(i) % solids.size()]->setColor(RGBA{std::uint8_t(i), 1, 2, 255});
        o.editor.setDirty(Box{i % 50, 0, 142 + i % 50, 142}, UILayer::bothLayers);
        o.window->mouseMove(100 + i, 100);
        o.window->frame();
    };
    for (int i = 0; i < 40; ++i) oneFrame(i);
    testsupport::RealtimeWatch watch;
    for (int i = 0; i < 40; ++i) oneFrame(i);
    EXPECT_EQ(watch.counts().allocations, 0);
}

}  // namespace

namespace {

// An editor without lighting shows exactly what the same editor with lighting
// shows when only raw elements paint, and never builds a compositor.
TEST(GUIGraphicsWithoutLighting, ShowsTheRawLayerAloneAndBuildsNoCompositor) {
    struct Unlit : guitest::TestEditor {
        Unlit() { disableLighting(); }
    };
    // A root that paints nothing where the children do not: those pixels are
    // the opaque black an unlit frame shows.
    struct Bare : fw::GUIGraphics {
        explicit Bare(bool lit) : GUIGraphics(guitest::editorSizes(), UIFlags::drawsRaw | UIFlags::isAnimated) {
            if (!lit) disableLighting();
        }
    };
    for (bool lit : {true, false}) {
        Bare editor(lit);
        fw::OffscreenWindowFactory factory;
        editor.setWindowFactory(&factory);
        editor.addChild(std::make_unique<guitest::Solid>(editor.context(), RGBA{200, 10, 10, 255}))
            ->setPosition(Box{10, 10, 60, 40});
        editor.openUI(nullptr, nullptr, nullptr, GraphicsBackend::cocoa);
        OffscreenWindow& w = *factory.lastWindow();
        w.frame();
        EXPECT_EQ(editor.lightingEnabled(), lit);
        EXPECT_EQ(editor.compositor() != nullptr, lit);
        EXPECT_EQ(w.screen().at(20, 20), (RGBA{200, 10, 10, 255})) << lit;
        EXPECT_EQ(w.screen().at(500, 300), (RGBA{0, 0, 0, 255})) << lit;
        // Resizing keeps working without the lighting buffers.
        ASSERT_TRUE(w.requestResize(1800, 900, false));
        w.frame();
        EXPECT_EQ(w.screen().at(1000, 800), (RGBA{0, 0, 0, 255})) << lit;
        editor.closeUI();
    }
    Unlit unlit;
    EXPECT_FALSE(unlit.lightingEnabled());
}

}  // namespace
