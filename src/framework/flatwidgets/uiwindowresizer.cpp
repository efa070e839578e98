#include "framework/flatwidgets/uiwindowresizer.h"

#include "framework/gui/uicontext.h"

namespace fw {

UIWindowResizer::UIWindowResizer(UIContext& context) : UIElement(context, UIFlags::drawsRaw | UIFlags::isAnimated) {}

bool UIWindowResizer::contains(int x, int y) {
    if (!context().isUIResizable()) return false;
    return UIElement::contains(x, y);
}

Click UIWindowResizer::onMouseClick(int, int, int, bool, MouseState) {
    setDirtyWhole(UILayer::fromFlags);
    context().getUISizeInPixelsLogical(&startWidth_, &startHeight_);
    dragX_ = 0;
    dragY_ = 0;
    return Click::beginDrag;
}

void UIWindowResizer::onBeginDrag() {
    dragged_ = true;
    setDirtyWhole(UILayer::fromFlags);
}

void UIWindowResizer::onMouseDrag(int, int, int dx, int dy, MouseState) {
    // Sums of the deltas, not the pointer position: the grip moves with the
    // window as it resizes, so local coordinates would jump.
    dragX_ += dx;
    dragY_ += dy;
    int w = startWidth_ + dragX_;
    int h = startHeight_ + dragY_;
    context().getUINearestValidSize(&w, &h);
    int currentW = 0, currentH = 0;
    context().getUISizeInPixelsLogical(&currentW, &currentH);
    if (w == currentW && h == currentH) return;
    if (!context().requestUIResize(w, h)) {
        refusalTimer_ = kRefusedDisplayTime;
        setDirtyWhole(UILayer::fromFlags);
    }
}

void UIWindowResizer::onStopDrag() {
    dragged_ = false;
    setDirtyWhole(UILayer::fromFlags);
}

void UIWindowResizer::onMouseEnter() {
    hovered_ = true;
    setDirtyWhole(UILayer::fromFlags);
}

void UIWindowResizer::onMouseExit() {
    hovered_ = false;
    setDirtyWhole(UILayer::fromFlags);
}

void UIWindowResizer::onAnimate(double dt, double) {
    if (refusalTimer_ <= 0.0) return;
    refusalTimer_ = dt >= refusalTimer_ ? 0.0 : refusalTimer_ - dt;
    setDirtyWhole(UILayer::fromFlags);
}

RGBA UIWindowResizer::currentColor() const noexcept {
    if (refusalTimer_ > 0.0) return kGripRefusedColor;
    if (dragged_) return kGripDragColor;
    if (hovered_) return kGripHoverColor;
    return kGripColor;
}

void UIWindowResizer::onDrawRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& dirtyRects) {
    const Box p = position();
    const float w = float(p.width()), h = float(p.height());
    const RGBA color = currentColor();
    for (const Box& r : dirtyRects) {
        canvas_.initialize(rawLayer.cropImageRef(r));
        // Element coordinates: the view starts at the rectangle, which itself is
        // offset when the element is cut off at the layer's edge.
        canvas_.translate(-float(r.minX + drawOriginX()), -float(r.minY + drawOriginY()));
        canvas_.fillStyle(color);
        canvas_.beginPath();
        canvas_.moveTo(0, h);
        canvas_.lineTo(w, 0);
        canvas_.lineTo(w, h / 5);
        canvas_.lineTo(w / 5, h);
        canvas_.closePath();
        canvas_.moveTo(2 * w / 5, h);
        canvas_.lineTo(w, 2 * h / 5);
        canvas_.lineTo(w, 3 * h / 5);
        canvas_.lineTo(3 * w / 5, h);
        canvas_.closePath();
        canvas_.moveTo(4 * w / 5, h);
        canvas_.lineTo(w, 4 * h / 5);
        canvas_.lineTo(w, h);
        canvas_.closePath();
        canvas_.fill();
    }
}

}  // namespace fw
