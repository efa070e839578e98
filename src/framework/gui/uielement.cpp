#include "framework/gui/uielement.h"

#include <cstring>

#include "framework/core/fatal.h"
#include "framework/gui/boxlist.h"
#include "framework/gui/stablesort.h"
#include "framework/gui/uicontext.h"

namespace fw {

namespace {

Click checkedClick(Click c) noexcept {
    if (c != Click::handled && c != Click::beginDrag && c != Click::notHandled)
        fatalError("UIElement: onMouseClick returned a value outside Click");
    return c;
}

}  // namespace

UIElement::UIElement(UIContext& context, std::uint32_t flags) : flags_(flags), context_(context) {}

UIElement::~UIElement() {
    // Children go first, in child order, while this element is still whole.
    children_.clearContents();
}

Click UIElement::onMouseClick(int, int, int, bool, MouseState) { return Click::notHandled; }
bool UIElement::onMouseWheel(int, int, int, int, MouseState) { return false; }
void UIElement::onMouseMove(int, int, int, int, MouseState) {}
void UIElement::onMouseDrag(int, int, int, int, MouseState) {}
bool UIElement::onKeyDown(Key) { return false; }
bool UIElement::onKeyUp(Key) { return false; }
void UIElement::onAnimate(double, double) {}
void UIElement::onDrawRaw(ImageRef<RGBA>, const Vec<Box>&) {}

bool UIElement::contains(int x, int y) {
    // As unsigned, negative coordinates become huge and fall outside.
    const Box p = position();
    return unsigned(x) < unsigned(p.width()) && unsigned(y) < unsigned(p.height());
}

void UIElement::animate(double dt, double time) {
    if (isAnimated()) onAnimate(dt, time);
    for (auto& c : children_) c->animate(dt, time);
}

void UIElement::setDirtyWhole(UILayer layer) {
    const Box p = position();
    setDirty(Box{0, 0, p.width(), p.height()}, layer);
}

void UIElement::setDirty(const Box& rect, UILayer layer) {
    const Box p = position();  // may be stale when called from another thread
    const Box r = translateSaturated(rect, p.minX, p.minY);
    switch (layer) {
        case UILayer::bothLayers:
            context_.pbrDirtyRects.addRect(r);
            break;
        case UILayer::rawLayerOnly:
            context_.rawDirtyRects.addRect(r);
            break;
        case UILayer::fromFlags:
            if (drawsPBR()) context_.pbrDirtyRects.addRect(r);
            else if (drawsRaw()) context_.rawDirtyRects.addRect(r);
            break;
        default:
            fatalError("UIElement: setDirty with a value outside UILayer");
    }
}

void UIElement::onDrawPBR(ImageRef<RGBA> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA> materialMap,
                          const Vec<Box>& dirtyRects) {
    const RGBA dark{0x64, 0x64, 0x64, 0}, light{0x96, 0x96, 0x96, 0};
    const RGBA material{0x80, 0x19, 0x80, 0xFF};
    for (const Box& r : dirtyRects) {
        for (int y = r.minY; y < r.maxY; ++y) {
            RGBA* diffuse = diffuseMap.scanline(y);
            L16* depth = depthMap.scanline(y);
            RGBA* mat = materialMap.scanline(y);
            for (int x = r.minX; x < r.maxX; ++x) {
                diffuse[x] = ((x ^ y) & 8) ? dark : light;
                depth[x] = L16{15000};
                mat[x] = material;
            }
        }
    }
}

UIElement* UIElement::addChild(std::unique_ptr<UIElement> child) {
    UIElement* c = child.get();
    c->parent_ = this;
    children_.pushBack(std::move(child));
    c->recomputeVisibilityStatus(visibilityStatus_);
    return c;
}

void UIElement::setPosition(const Box& rect) {
    if (rect == position()) return;
    setDirtyWhole(UILayer::fromFlags);
    position_.store(rect);
    setDirtyWhole(UILayer::fromFlags);
    reflow();
}

void UIElement::setVisible(bool visible) {
    visible_ = visible;
    recomputeVisibilityStatus(parent_ ? parent_->visibilityStatus_ : true);
}

void UIElement::recomputeVisibilityStatus(bool parentVisible) {
    const bool status = visible_ && parentVisible;
    if (status == visibilityStatus_) return;
    visibilityStatus_ = status;
    setDirtyWhole(UILayer::fromFlags);
    for (auto& c : children_) c->recomputeVisibilityStatus(status);
}

void UIElement::setElementId(const char* id) noexcept {
    std::memset(elementId_, 0, sizeof elementId_);
    if (id) std::strncpy(elementId_, id, kElementIdCapacity - 1);
}

UIElement* UIElement::getElementById(const char* id) {
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, elementId_) == 0) return this;
    for (auto& c : children_)
        if (UIElement* found = c->getElementById(id)) return found;
    return nullptr;
}

void UIElement::rebuildZOrderedChildren() {
    zOrderedChildren_.clearContents();
    for (std::size_t i = children_.length(); i-- > 0;) zOrderedChildren_.pushBack(children_[i].get());
    // Highest zOrder first; among equals the last added (already first here).
    stableSort(zOrderedChildren_, context_.sortScratch,
               [](const UIElement* a, const UIElement* b) { return a->zOrder_ > b->zOrder_; });
}

bool UIElement::mouseClick(int x, int y, int button, bool isDoubleClick, MouseState mstate) {
    rebuildZOrderedChildren();
    std::size_t i = 0;
    const std::size_t n = zOrderedChildren_.length();
    for (; i < n && zOrderedChildren_[i]->zOrder_ >= zOrder_; ++i)
        if (zOrderedChildren_[i]->mouseClick(x, y, button, isDoubleClick, mstate)) return true;

    const Box p = position();
    if (visibilityStatus_ && contains(x - p.minX, y - p.minY)) {
        const Click click = checkedClick(onMouseClick(x - p.minX, y - p.minY, button, isDoubleClick, mstate));
        if (click == Click::notHandled) return false;
        if (click == Click::beginDrag) {
            if (context_.draggedElement) context_.draggedElement->onStopDrag();
            context_.draggedElement = this;
            onBeginDrag();
        }
        if (context_.focusedElement != this) {
            UIElement* previous = context_.focusedElement;
            context_.focusedElement = this;
            if (previous) previous->onFocusExit();
            onFocusEnter();
        }
        return true;
    }

    for (; i < n; ++i)
        if (zOrderedChildren_[i]->mouseClick(x, y, button, isDoubleClick, mstate)) return true;
    return false;
}

bool UIElement::mouseWheel(int x, int y, int wheelDeltaX, int wheelDeltaY, MouseState mstate) {
    rebuildZOrderedChildren();
    std::size_t i = 0;
    const std::size_t n = zOrderedChildren_.length();
    for (; i < n && zOrderedChildren_[i]->zOrder_ >= zOrder_; ++i)
        if (zOrderedChildren_[i]->mouseWheel(x, y, wheelDeltaX, wheelDeltaY, mstate)) return true;

    const Box p = position();
    if (visibilityStatus_ && contains(x - p.minX, y - p.minY) &&
        onMouseWheel(x - p.minX, y - p.minY, wheelDeltaX, wheelDeltaY, mstate))
        return true;

    for (; i < n; ++i)
        if (zOrderedChildren_[i]->mouseWheel(x, y, wheelDeltaX, wheelDeltaY, mstate)) return true;
    return false;
}

bool UIElement::mouseMove(int x, int y, int dx, int dy, MouseState mstate, bool alreadyFoundMouseOver) {
    rebuildZOrderedChildren();
    bool found = alreadyFoundMouseOver;
    std::size_t i = 0;
    const std::size_t n = zOrderedChildren_.length();
    for (; i < n && zOrderedChildren_[i]->zOrder_ >= zOrder_; ++i)
        found = zOrderedChildren_[i]->mouseMove(x, y, dx, dy, mstate, found) || found;

    const Box p = position();
    const int lx = x - p.minX, ly = y - p.minY;
    if (context_.draggedElement == this) onMouseDrag(lx, ly, dx, dy, mstate);

    if (visibilityStatus_ && contains(lx, ly)) {
        if (!found) {
            found = true;
            if (context_.hoveredElement != this) {
                if (context_.hoveredElement) context_.hoveredElement->onMouseExit();
                context_.hoveredElement = this;
                onMouseEnter();
            }
        }
        onMouseMove(lx, ly, dx, dy, mstate);
    }

    for (; i < n; ++i) found = zOrderedChildren_[i]->mouseMove(x, y, dx, dy, mstate, found) || found;
    return found;
}

bool UIElement::keyDown(Key key) {
    if (onKeyDown(key)) return true;
    for (auto& c : children_)
        if (c->keyDown(key)) return true;
    return false;
}

bool UIElement::keyUp(Key key) {
    if (onKeyUp(key)) return true;
    for (auto& c : children_)
        if (c->keyUp(key)) return true;
    return false;
}

void UIElement::getDrawLists(Vec<UIElement*>& rawList, Vec<UIElement*>& pbrList) {
    if (!visibilityStatus_) return;
    if (drawsRaw()) rawList.pushBack(this);
    if (drawsPBR()) pbrList.pushBack(this);
    for (auto& c : children_) c->getDrawLists(rawList, pbrList);
}

bool UIElement::prepareLocalRects(const Box& bounds, const Vec<Box>& areas, Box* visible) {
    const Box p = position();
    const Box v = p.intersection(bounds);
    if (v.empty()) return false;
    localRects_.clearContents();
    for (const Box& a : areas) {
        const Box r = a.intersection(v);
        if (!r.empty()) localRects_.pushBack(r.translate(-v.minX, -v.minY));
    }
    if (localRects_.empty()) return false;
    drawOriginX_ = v.minX - p.minX;
    drawOriginY_ = v.minY - p.minY;
    *visible = v;
    return true;
}

void UIElement::renderRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& areas) {
    Box v;
    if (!prepareLocalRects(rawLayer.bounds(), areas, &v)) return;
    onDrawRaw(rawLayer.cropImageRef(v), localRects_);
}

void UIElement::renderPBR(ImageRef<RGBA> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA> materialMap,
                          const Vec<Box>& areas) {
    Box v;
    if (!prepareLocalRects(diffuseMap.bounds(), areas, &v)) return;
    onDrawPBR(diffuseMap.cropImageRef(v), depthMap.cropImageRef(v), materialMap.cropImageRef(v), localRects_);
}

}  // namespace fw
