#include "tlmgui/knobtrail.h"

#include <algorithm>
#include <limits>

#include "framework/graphics/draw.h"

namespace tlmgui {

namespace {

// The offsets are relative to straight up in the sector fill's convention.
constexpr long double kThreeHalvesPi = 4.71238898038468985769396507491925432L;

float offsetAngle(float offset) noexcept { return float(static_cast<long double>(offset) + kThreeHalvesPi); }

}  // namespace

UIKnobTrail::UIKnobTrail(fw::UIContext& context, fw::Parameter& param)
    : UIElement(context, fw::UIFlags::drawsRaw | fw::UIFlags::isAnimated), param_(&param) {
    param.addListener(this);
    clearCrosspoints();
}

UIKnobTrail::~UIKnobTrail() { shownParameter().removeListener(this); }

void UIKnobTrail::setCenterScale(float scale) {
    centerScale_ = scale;
    setDirtyWhole();
}

void UIKnobTrail::setInnerRadius(float radius) {
    innerRadius_ = radius;
    setDirtyWhole();
}

void UIKnobTrail::setOuterRadius(float radius) {
    outerRadius_ = radius;
    setDirtyWhole();
}

void UIKnobTrail::setTrailColor(fw::RGBA color) {
    trailColor_ = color;
    setDirtyWhole();
}

void UIKnobTrail::setDisabledColor(fw::RGBA color) {
    disabledColor_ = color;
    setDirtyWhole();
}

void UIKnobTrail::setOffset(float x, float y) {
    offsetX_ = x;
    offsetY_ = y;
    setDirtyWhole();
}

void UIKnobTrail::onParameterChanged(fw::Parameter&) noexcept { setDirtyWhole(); }
void UIKnobTrail::onBeginParameterEdit(fw::Parameter&) noexcept {}
void UIKnobTrail::onEndParameterEdit(fw::Parameter&) noexcept {}
void UIKnobTrail::onBeginParameterHover(fw::Parameter&) noexcept {}
void UIKnobTrail::onEndParameterHover(fw::Parameter&) noexcept {}

void UIKnobTrail::setDisabled(bool disabled) {
    disabled_.store(disabled, std::memory_order_relaxed);
    setDirtyWhole();
}

float UIKnobTrail::getMinAngle() const noexcept { return offsetAngle(minAngleOffset_); }
float UIKnobTrail::getMaxAngle() const noexcept { return offsetAngle(maxAngleOffset_); }
float UIKnobTrail::getBaseAngle() const noexcept { return offsetAngle(baseAngleOffset_); }

float UIKnobTrail::getValueAngle() const noexcept {
    const double n = shownParameter().getNormalized();
    const double lo = getMinAngle(), hi = getMaxAngle();
    return float(lo * (1.0 - n) + hi * n);
}

void UIKnobTrail::clearCrosspoints() noexcept {
    lowCrosspoint_ = std::numeric_limits<float>::infinity();
    highCrosspoint_ = -std::numeric_limits<float>::infinity();
}

fw::Click UIKnobTrail::onMouseClick(int, int, int, bool, fw::MouseState) { return fw::Click::notHandled; }
void UIKnobTrail::onMouseMove(int, int, int, int, fw::MouseState) {}
void UIKnobTrail::onMouseDrag(int, int, int, int, fw::MouseState) {}

void UIKnobTrail::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    const fw::Box p = position();
    const int w = p.width(), h = p.height();
    // The largest centred square.
    const int side = std::min(w, h);
    const int squareX = w > h ? (w - h) / 2 : 0;
    const int squareY = w > h ? 0 : (h - w) / 2;
    const float r = float(side) * 0.5f;
    const float cx = float(squareX + (squareX + side) - 1) * 0.5f + offsetX_ * centerScale_ * r;
    const float cy = float(squareY + (squareY + side) - 1) * 0.5f + offsetY_ * centerScale_ * r;
    const float a0 = getBaseAngle();
    const float a1 = getValueAngle();
    const fw::RGBA color = isDisabled() ? disabledColor_ : trailColor_;
    // The layer view starts at the element's drawOrigin; each rectangle gets the
    // centre in its own coordinates.
    for (const fw::Box& rect : dirtyRects) {
        const fw::ImageRef<fw::RGBA> part = rawLayer.cropImageRef(rect);
        if (part.empty()) continue;
        const float x = cx - float(drawOriginX() + rect.minX);
        const float y = cy - float(drawOriginY() + rect.minY);
        fw::aaFillSector(part, x, y, innerRadius_ * r, outerRadius_ * r, a0, a1, color);
    }
}

}  // namespace tlmgui
