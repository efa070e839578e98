#include "framework/gui/guigraphics.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "framework/core/fatal.h"
#include "framework/core/fpcontrol.h"
#include "framework/gui/boxlist.h"
#include "framework/gui/pbrcompositor.h"
#include "framework/gui/stablesort.h"

namespace fw {

namespace {

void checkPixelFormat(WindowPixelFormat pf) noexcept {
    if (int(pf) < 0 || int(pf) > 2) fatalError("GUIGraphics: window pixel format outside 0..2");
}

// Checked before anything else is built (the pool starts threads).
const SizeConstraints& validated(const SizeConstraints& c) noexcept {
    c.validate();
    return c;
}

RGBA opaqueBlack(WindowPixelFormat pf) noexcept {
    // Byte order A, R, G, B puts alpha in the first byte.
    return pf == WindowPixelFormat::ARGB8 ? RGBA{255, 0, 0, 0} : RGBA{0, 0, 0, 255};
}

void copyRect(ImageRef<const RGBA> src, int srcX, int srcY, ImageRef<RGBA> dst, const Box& dstRect) noexcept {
    const std::size_t bytes = std::size_t(dstRect.width()) * sizeof(RGBA);
    for (int y = dstRect.minY; y < dstRect.maxY; ++y)
        std::memcpy(dst.scanline(y) + dstRect.minX, src.scanline(srcY + y - dstRect.minY) + srcX, bytes);
}

void fillRect(ImageRef<RGBA> dst, const Box& rect, RGBA color) noexcept {
    for (int y = rect.minY; y < rect.maxY; ++y) std::fill_n(dst.scanline(y) + rect.minX, rect.width(), color);
}

}  // namespace

GUIGraphics::GUIGraphics(const SizeConstraints& constraints, std::uint32_t flags)
    : detail::GUIContextOwner(static_cast<IUIContextHost*>(this)),
      UIElement(*ownedContext, flags),
      constraints_(validated(constraints)),
      listener_(*this),
      windowWidth_(constraints.defaultWidth),
      windowHeight_(constraints.defaultHeight),
      uiWidth_(constraints.defaultWidth),
      uiHeight_(constraints.defaultHeight),
      threadPool_(0, kMaxPaintThreads) {
    ownedContext->setRootElement(this);
    uiRect_ = Box{0, 0, uiWidth_, uiHeight_};
}

GUIGraphics::~GUIGraphics() {
    // The window may call back while it goes away; close it while all is whole.
    window_.reset();
}

std::unique_ptr<ICompositor> GUIGraphics::buildCompositor(const CompositorCreationContext& context) {
    return std::make_unique<PBRCompositor>(context);
}

void GUIGraphics::onScreenshot(ImageRef<const RGBA>, WindowPixelFormat, Mipmap<RGBA>&, Mipmap<L16>&, Mipmap<RGBA>&) {}

// ---- IGraphics ----

void* GUIGraphics::openUI(void* parentWindow, void*, IClient* client, GraphicsBackend backend) {
    const int b = int(backend);
    if (b < 0 || b > 4) fatalError("GUIGraphics: graphics backend outside 0..4");
    window_.reset();  // opening again replaces the window
    client_ = client;
    closed_ = false;
    setPosition(Box{0, 0, uiWidth_, uiHeight_});
    setDirtyWhole(UILayer::bothLayers);
    if (backend != GraphicsBackend::autodetect && backend != GraphicsBackend::cocoa && backend != GraphicsBackend::x11)
        return nullptr;
    if (windowFactory_ == nullptr) return nullptr;
    window_ = windowFactory_->createWindow(WindowUsage::host, parentWindow, &listener_, windowWidth_, windowHeight_);
    return window_ ? window_->systemHandle() : nullptr;
}

void GUIGraphics::closeUI() {
    // A drag or hover cannot outlive the window that delivered it.
    stopDrag();
    handleMouseExited();
    window_.reset();
    client_ = nullptr;
    closed_ = true;
}

void GUIGraphics::getGUISize(int* width, int* height) {
    if (width) *width = windowWidth_;
    if (height) *height = windowHeight_;
}

bool GUIGraphics::isResizeable() { return constraints_.isResizable(); }

void GUIGraphics::getMaxSmallerValidSize(int* width, int* height) {
    if (width && height) constraints_.getMaxSmallerValidSize(width, height);
}

void GUIGraphics::getNearestValidSize(int* width, int* height) {
    if (width && height) constraints_.getNearestValidSize(width, height);
}

bool GUIGraphics::nativeWindowResize(int width, int height) {
    if (width == windowWidth_ && height == windowHeight_) return true;
    return window_ ? window_->requestResize(width, height, false) : false;
}

// ---- IUIContextHost ----

void GUIGraphics::contextDefaultSize(int* width, int* height) {
    if (width) *width = constraints_.defaultWidth;
    if (height) *height = constraints_.defaultHeight;
}

void GUIGraphics::contextUISize(int* width, int* height) {
    if (width) *width = uiWidth_;
    if (height) *height = uiHeight_;
}

void GUIGraphics::contextWindowSize(int* width, int* height) { getGUISize(width, height); }

bool GUIGraphics::contextRequestResize(int width, int height) {
    if (width == windowWidth_ && height == windowHeight_) return true;
    // The host first; a VST3 host resizes the view itself once it agreed.
    if (client_ && client_->requestResize(width, height) && client_->getPluginFormat() == PluginFormat::vst3)
        return true;
    return window_ ? window_->requestResize(width, height, false) : false;
}

void GUIGraphics::contextRequestScreenshot() { screenshotRequested_.exchange(1, std::memory_order_relaxed); }

void GUIGraphics::contextNearestValidSize(int* width, int* height) { getNearestValidSize(width, height); }

bool GUIGraphics::contextIsResizable() { return isResizeable(); }

// ---- Window-level entries ----

bool GUIGraphics::handleClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) {
    const bool taken = mouseClick(x - uiRect_.minX, y - uiRect_.minY, button, isDoubleClick, mstate);
    UIContext& c = context();
    if (!taken && c.focusedElement) {
        UIElement* previous = c.focusedElement;
        c.focusedElement = nullptr;
        previous->onFocusExit();
    }
    return taken;
}

void GUIGraphics::stopDrag() {
    UIContext& c = context();
    if (UIElement* dragged = c.draggedElement) {
        dragged->onStopDrag();
        c.draggedElement = nullptr;
    }
}

bool GUIGraphics::handleWheel(int x, int y, int dx, int dy, MouseState mstate) {
    const int rx = x - uiRect_.minX, ry = y - uiRect_.minY;
    if (UIElement* dragged = context().draggedElement) {
        const Box p = dragged->position();
        if (dragged->onMouseWheel(rx - p.minX, ry - p.minY, dx, dy, mstate)) return true;
    }
    return mouseWheel(rx, ry, dx, dy, mstate);
}

void GUIGraphics::handleMove(int x, int y, int dx, int dy, MouseState mstate) {
    const bool found = mouseMove(x - uiRect_.minX, y - uiRect_.minY, dx, dy, mstate, false);
    if (!found) handleMouseExited();
}

bool GUIGraphics::handleKeyDown(Key key) {
    if (UIElement* f = context().focusedElement)
        if (f->onKeyDown(key)) return true;
    return keyDown(key);
}

bool GUIGraphics::handleKeyUp(Key key) {
    if (UIElement* f = context().focusedElement)
        if (f->onKeyUp(key)) return true;
    return keyUp(key);
}

void GUIGraphics::handleMouseExited() {
    UIContext& c = context();
    if (UIElement* hovered = c.hoveredElement) {
        hovered->onMouseExit();
        c.hoveredElement = nullptr;
    }
}

MouseCursor GUIGraphics::currentCursor() {
    MouseCursor cursor = MouseCursor::arrow;
    const UIContext& c = context();
    if (c.hoveredElement) cursor = c.hoveredElement->cursorWhenMouseOver();
    if (c.draggedElement) cursor = c.draggedElement->cursorWhenDragged();
    return cursor;
}

// ---- The window listener: every entry under the audio floating-point state ----

bool GUIGraphics::Listener::onMouseClick(int x, int y, MouseButton button, bool isDoubleClick, MouseState mstate) {
    ScopedAudioFloatingPointState fp;
    return g_.acceptsEvents() && g_.handleClick(x, y, int(button), isDoubleClick, mstate);
}

bool GUIGraphics::Listener::onMouseRelease(int, int, MouseButton, MouseState) {
    ScopedAudioFloatingPointState fp;
    if (!g_.acceptsEvents()) return false;
    g_.stopDrag();
    return true;
}

bool GUIGraphics::Listener::onMouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState mstate) {
    ScopedAudioFloatingPointState fp;
    return g_.acceptsEvents() && g_.handleWheel(x, y, wheelDeltaX, wheelDeltaY, mstate);
}

void GUIGraphics::Listener::onMouseMove(int x, int y, int dx, int dy, MouseState mstate) {
    ScopedAudioFloatingPointState fp;
    if (g_.acceptsEvents()) g_.handleMove(x, y, dx, dy, mstate);
}

bool GUIGraphics::Listener::onKeyDown(Key key) {
    ScopedAudioFloatingPointState fp;
    return g_.acceptsEvents() && g_.handleKeyDown(key);
}

bool GUIGraphics::Listener::onKeyUp(Key key) {
    ScopedAudioFloatingPointState fp;
    return g_.acceptsEvents() && g_.handleKeyUp(key);
}

void GUIGraphics::Listener::onDraw(WindowPixelFormat pf) {
    ScopedAudioFloatingPointState fp;
    if (g_.acceptsEvents()) g_.doDraw(pf);
}

ImageRef<RGBA> GUIGraphics::Listener::onResized(int width, int height) {
    ScopedAudioFloatingPointState fp;
    if (g_.closed_) return ImageRef<RGBA>{};
    return g_.doResize(width, height);
}

void GUIGraphics::Listener::recomputeDirtyAreas() {
    ScopedAudioFloatingPointState fp;
    if (g_.acceptsEvents()) g_.recomputeDirtyAreas();
}

Box GUIGraphics::Listener::getDirtyRectangle() {
    ScopedAudioFloatingPointState fp;
    return g_.acceptsEvents() ? g_.getDirtyRectangle() : Box{};
}

void GUIGraphics::Listener::onMouseCaptureCancelled() {
    ScopedAudioFloatingPointState fp;
    if (g_.acceptsEvents()) g_.stopDrag();
}

void GUIGraphics::Listener::onMouseExitedWindow() {
    ScopedAudioFloatingPointState fp;
    if (g_.acceptsEvents()) g_.handleMouseExited();
}

void GUIGraphics::Listener::onHostClosedView() {
    ScopedAudioFloatingPointState fp;
    g_.closeUI();
}

void GUIGraphics::Listener::onAnimate(double dt, double time) {
    ScopedAudioFloatingPointState fp;
    if (g_.acceptsEvents()) g_.animate(dt, time);
}

MouseCursor GUIGraphics::Listener::getMouseCursor() {
    ScopedAudioFloatingPointState fp;
    return g_.acceptsEvents() ? g_.currentCursor() : MouseCursor::arrow;
}

// ---- Frame ----

void GUIGraphics::recomputeDirtyAreas() {
    UIContext& c = context();
    c.rawDirtyRects.pullAllRectangles(rawAreas_);
    c.pbrDirtyRects.pullAllRectangles(pbrAreas_);
    recomputePurelyDerivedRectangles();
}

void GUIGraphics::makeDisjoint(Vec<Box>& list) {
    scratchA_.clearContents();
    for (const Box& r : list) scratchA_.pushBack(r);
    list.clearContents();
    removeOverlappingAreas(scratchA_, list);
}

void GUIGraphics::recomputePurelyDerivedRectangles() {
    const Box ui{0, 0, uiWidth_, uiHeight_};
    for (Box& r : rawAreas_) r = r.intersection(ui);
    for (Box& r : pbrAreas_) r = r.intersection(ui);
    makeDisjoint(rawAreas_);
    makeDisjoint(pbrAreas_);

    // Lighting reads neighbours: a change relights its surroundings.
    grownAreas_.clearContents();
    for (const Box& r : pbrAreas_) grownAreas_.pushBack(r.grow(updateMargin_).intersection(ui));
    compositeAreas_.clearContents();
    for (const Box& r : grownAreas_) compositeAreas_.pushBack(r);
    makeDisjoint(compositeAreas_);

    paintAreas_.clearContents();
    for (const Box& r : grownAreas_) paintAreas_.pushBack(r);
    for (const Box& r : rawAreas_) paintAreas_.pushBack(r);
    makeDisjoint(paintAreas_);

    windowAreas_.clearContents();
    for (const Box& r : paintAreas_)
        windowAreas_.pushBack(r.translate(uiRect_.minX, uiRect_.minY).intersection(uiRect_));
    windowAreasDisjoint_.clearContents();
    for (const Box& r : windowAreas_) scratchB_.pushBack(r);
    removeOverlappingAreas(scratchB_, windowAreasDisjoint_);
    scratchB_.clearContents();

    if (repaintBorders_) clearWholeWindow_ = true;
}

Box GUIGraphics::getDirtyRectangle() const noexcept {
    if (repaintBorders_) return Box{0, 0, windowWidth_, windowHeight_};
    return boundingBox(windowAreasDisjoint_);
}

void GUIGraphics::recomputeDrawLists() {
    rawDrawList_.clearContents();
    pbrDrawList_.clearContents();
    getDrawLists(rawDrawList_, pbrDrawList_);
    const auto lowerZ = [](const UIElement* a, const UIElement* b) { return a->zOrder() < b->zOrder(); };
    stableSort(rawDrawList_, drawListScratch_, lowerZ);
    stableSort(pbrDrawList_, drawListScratch_, lowerZ);
}

void GUIGraphics::paintInBatches(const Vec<UIElement*>& list, bool lightingPass) {
    // Elements outside every area would paint nothing: leave them out of the
    // batches, so that a small dirty area wakes the pool for few elements.
    const Vec<Box>& areas = lightingPass ? pbrAreas_ : paintAreas_;
    touched_.clearContents();
    for (UIElement* e : list) {
        const Box p = e->position();
        bool hit = false;
        for (const Box& a : areas) hit = hit || a.intersects(p);
        if (hit) touched_.pushBack(e);
    }

    const auto alone = [lightingPass](const UIElement* e) {
        return lightingPass ? e->drawsAlonePBR() : e->drawsAloneRaw();
    };
    const ImageRef<RGBA> layer = layerBuffer_;
    ImageRef<RGBA> diffuse, material;
    ImageRef<L16> depth;
    if (lightingPass) {
        diffuse = diffuseMap_.level(0);
        material = materialMap_.level(0);
        depth = depthMap_.level(0);
    }
    const auto paintOne = [&](int i, int) {
        UIElement* e = batch_[std::size_t(i)];
        if (lightingPass) e->renderPBR(diffuse, depth, material, pbrAreas_);
        else e->renderRaw(layer, paintAreas_);
    };

    std::size_t start = 0;
    const std::size_t n = touched_.length();
    while (start < n) {
        // A batch: consecutive elements, none painted alone, no two overlapping.
        batch_.clearContents();
        batch_.pushBack(touched_[start]);
        std::size_t next = start + 1;
        if (!alone(touched_[start])) {
            for (; next < n; ++next) {
                UIElement* e = touched_[next];
                if (alone(e)) break;
                const Box p = e->position();
                bool overlaps = false;
                for (const UIElement* b : batch_) overlaps = overlaps || b->position().intersects(p);
                if (overlaps) break;
                batch_.pushBack(e);
            }
        }
        // Waking the pool costs more than painting a few small areas: a batch
        // with little to paint (a knob being dragged) runs on this thread.
        long long pixels = 0;
        for (const UIElement* e : batch_) {
            const Box p = e->position();
            for (const Box& a : areas) {
                const Box i = a.intersection(p);
                if (!i.empty()) pixels += (long long)i.width() * i.height();
            }
        }
        if (pixels < kInlinePaintPixels) {
            for (int i = 0; i < int(batch_.length()); ++i) paintOne(i, 0);
        } else {
            threadPool_.parallelFor(int(batch_.length()), paintOne);
        }
        start = next;
    }
}

void GUIGraphics::redrawElementsPBR() {
    if (lighting_ && !pbrAreas_.empty()) paintInBatches(pbrDrawList_, true);
}

void GUIGraphics::regenerateMipmaps() {
    for (const Box& r : pbrAreas_) {
        depthMap_.level(0).replicateBordersTouching(r);
        diffuseMap_.generateMipmaps(MipFilter::boxAlphaCoverage, r);
        depthMap_.generateMipmaps(MipFilter::cubic, r);
    }
}

void GUIGraphics::compositeGUI(ImageRef<RGBA> litBuffer) {
    compositeTiles_.clearContents();
    for (const Box& r : compositeAreas_) splitIntoTiles(r, kMaxTileSize, kMaxTileSize, compositeTiles_);
    if (!compositeTiles_.empty() && compositor_)
        compositor_->compositeTile(litBuffer, compositeTiles_, diffuseMap_, materialMap_, depthMap_, profiler());
}

void GUIGraphics::redrawElementsRaw() {
    if (!paintAreas_.empty()) paintInBatches(rawDrawList_, false);
}

void GUIGraphics::reorderComponents(WindowPixelFormat pf) {
    checkPixelFormat(pf);
    for (const Box& r : paintAreas_) {
        for (int y = r.minY; y < r.maxY; ++y) {
            RGBA* p = layerBuffer_.scanline(y);
            for (int x = r.minX; x < r.maxX; ++x) {
                const RGBA c = p[x];
                switch (pf) {
                    case WindowPixelFormat::BGRA8: p[x] = RGBA{c.b, c.g, c.r, 255}; break;
                    case WindowPixelFormat::ARGB8: p[x] = RGBA{255, c.r, c.g, c.b}; break;
                    default: p[x].a = 255; break;
                }
            }
        }
    }
}

void GUIGraphics::resizeContent(WindowPixelFormat pf) {
    checkPixelFormat(pf);
    const ImageRef<const RGBA> layer = layerBuffer_;
    if (clearWholeWindow_) {
        const RGBA black = opaqueBlack(pf);
        for (int y = 0; y < windowBuffer_.h; ++y) std::fill_n(windowBuffer_.scanline(y), windowBuffer_.w, black);
        repaintBorders_ = false;
        clearWholeWindow_ = false;
        if (!uiRect_.empty()) copyRect(layer, 0, 0, windowBuffer_, uiRect_);
        return;
    }
    for (const Box& r : windowAreasDisjoint_)
        copyRect(layer, r.minX - uiRect_.minX, r.minY - uiRect_.minY, windowBuffer_, r);
}

void GUIGraphics::doDraw(WindowPixelFormat pf) {
    checkPixelFormat(pf);
    recomputeDrawLists();
    if (lighting_) {
        redrawElementsPBR();
        if (!pbrAreas_.empty()) regenerateMipmaps();
        compositeGUI(litBuffer_);
        for (const Box& r : paintAreas_) copyRect(litBuffer_, r.minX, r.minY, layerBuffer_, r);
    } else {
        // What shows where no raw element paints, as an empty lit buffer would.
        for (const Box& r : paintAreas_) fillRect(layerBuffer_, r, RGBA{0, 0, 0, 255});
    }
    redrawElementsRaw();
    reorderComponents(pf);
    std::uint8_t expected = 1;
    if (screenshotRequested_.compare_exchange_strong(expected, 0, std::memory_order_relaxed))
        onScreenshot(layerBuffer_, pf, diffuseMap_, depthMap_, materialMap_);
    resizeContent(pf);
    rawAreas_.clearContents();
    pbrAreas_.clearContents();
}

void GUIGraphics::allocateWindowBuffer(int width, int height) {
    const long long pixels = (long long)width * (long long)height;
    if (pixels > kMaxWindowPixels) {
        char message[128];
        std::snprintf(message, sizeof message, "GUIGraphics: a %d x %d window buffer cannot be allocated", width,
                      height);
        fatalError(message);
    }
    windowStorage_.ensureCapacity(std::size_t(pixels) * sizeof(RGBA));
    windowBuffer_ = ImageRef<RGBA>{width, height, pixels ? reinterpret_cast<RGBA*>(windowStorage_.data()) : nullptr,
                                   std::ptrdiff_t(width) * std::ptrdiff_t(sizeof(RGBA))};
}

ImageRef<RGBA> GUIGraphics::doResize(int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    bool windowChanged = width != windowWidth_ || height != windowHeight_;
    windowWidth_ = width;
    windowHeight_ = height;

    int uiW = width, uiH = height;
    constraints_.getMaxSmallerValidSize(&uiW, &uiH);
    bool uiChanged = uiW != uiWidth_ || uiH != uiHeight_;
    uiWidth_ = uiW;
    uiHeight_ = uiH;
    if (firstResize_) {
        firstResize_ = false;
        windowChanged = uiChanged = true;
    }

    if (windowChanged) {
        // Centred where the window is larger, clipped at the right and bottom where it is smaller.
        const int ox = width >= uiW ? (width - uiW) / 2 : 0;
        const int oy = height >= uiH ? (height - uiH) / 2 : 0;
        uiRect_ = Box{ox, oy, ox + std::min(uiW, width), oy + std::min(uiH, height)};
        repaintBorders_ = true;
        if (uiChanged) pbrAreas_.pushBack(Box{0, 0, uiW, uiH});
        recomputePurelyDerivedRectangles();
    }

    setPosition(Box{0, 0, uiW, uiH});

    if (!lighting_) {
        if (uiChanged) layerBuffer_.size(uiW, uiH);
        allocateWindowBuffer(width, height);
        resizedOnce_ = true;
        return windowBuffer_;
    }
    if (!compositor_) {
        CompositorCreationContext creation;
        creation.threadPool = &threadPool_;
        compositor_ = buildCompositor(creation);
    }
    if (compositor_) compositor_->resizeBuffers(uiW, uiH, kMaxTileSize, kMaxTileSize);
    if (uiChanged) {
        diffuseMap_.size(5, uiW, uiH);
        depthMap_.size(4, uiW, uiH, 1);
        materialMap_.size(1, uiW, uiH);
        litBuffer_.size(uiW, uiH);
        layerBuffer_.size(uiW, uiH);
        // Resizing leaves the contents undefined; lighting reads all of the maps.
        for (int i = 0; i < diffuseMap_.numLevels(); ++i) diffuseMap_.level(i).fillAll(RGBA{});
        for (int i = 0; i < depthMap_.numLevels(); ++i) depthMap_.level(i).fillAll(L16{});
        materialMap_.level(0).fillAll(RGBA{});
        litBuffer_.fillAll(RGBA{0, 0, 0, 255});  // what shows if no compositor writes
    }
    allocateWindowBuffer(width, height);
    resizedOnce_ = true;
    return windowBuffer_;
}

}  // namespace fw
