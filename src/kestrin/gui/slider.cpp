#include "kestrin/gui/slider.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "framework/graphics/blend.h"

namespace kestrin {

namespace {

// A parameter value made safe to compute with: NaN reads as 0, the rest clamped.
double safeNormalized(double v) noexcept { return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0); }

}  // namespace

// ---- UISlider ----

UISlider::UISlider(fw::UIContext& context, fw::FloatParameter& param)
    : UIElement(context, fw::UIFlags::drawsRaw), param_(param) {
    param_.addListener(this);
    updateFillTop();
}

UISlider::~UISlider() { param_.removeListener(this); }

int UISlider::fillTopFor(double normalized, int height) noexcept {
    const double n = safeNormalized(normalized);
    const float h = float(std::max(height, 0));
    const int top = int(std::roundf(kTopMargin * h));
    const int bottom = int(std::roundf(kBottomMargin * h));
    const int byValue = int(std::lround((1.0 - n) * double(height - bottom - 1)));
    return std::max(top, byValue);
}

void UISlider::updateFillTop() noexcept {
    fillTop_.store(fillTopFor(param_.getNormalized(), position().height()), std::memory_order_relaxed);
}

void UISlider::onParameterChanged(fw::Parameter&) noexcept {
    updateFillTop();
    setDirtyWhole();
}
void UISlider::onBeginParameterEdit(fw::Parameter&) noexcept {}
void UISlider::onEndParameterEdit(fw::Parameter&) noexcept {}
void UISlider::onBeginParameterHover(fw::Parameter&) noexcept {}
void UISlider::onEndParameterHover(fw::Parameter&) noexcept {}

void UISlider::reflow() {
    updateFillTop();
    setDirtyWhole();
}

void UISlider::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    const fw::Box p = position();
    const float w = float(p.width()), h = float(p.height());
    if (w <= 0.0f || h <= 0.0f) return;
    const float left = std::trunc(kBarLeft * w) - 1.0f;
    const float top = float(fillTop());
    const float bottom = h - std::roundf(kBottomMargin * h);
    if (bottom <= top) return;
    for (const fw::Box& rect : dirtyRects) {
        const fw::ImageRef<fw::RGBA> part = rawLayer.cropImageRef(rect);
        if (part.empty()) continue;
        canvas_.initialize(part);
        // Element coordinates to the part's.
        canvas_.translate(-float(drawOriginX() + rect.minX), -float(drawOriginY() + rect.minY));
        // The gradient spans the fill itself, so the colours run from its top
        // whatever the value.
        fw::CanvasGradient* g = canvas_.createLinearGradient(0.0f, top, 0.0f, bottom);
        g->addColorStop(0.0f, kTopColor);
        g->addColorStop(1.0f, kBottomColor);
        canvas_.fillStyle(g);
        canvas_.fillRect(left, top, kBarWidth * w, bottom - top);
    }
}

// ---- UISliderHandle ----

UISliderHandle::UISliderHandle(fw::UIContext& context, fw::FloatParameter& param,
                               fw::ImageRef<const fw::RGBA> handleImage, float sensitivity)
    : UIBufferedElementRaw(context, fw::UIFlags::drawsRaw),
      param_(param),
      handleImage_(handleImage),
      sensitivity_(std::isfinite(sensitivity) ? sensitivity : 1.0f),
      ends_{std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::quiet_NaN()} {
    param_.addListener(this);
}

UISliderHandle::~UISliderHandle() { param_.removeListener(this); }

void UISliderHandle::updateCenterY() noexcept {
    const double n = safeNormalized(param_.getNormalized());
    const int travel = travelLength_.load(std::memory_order_relaxed);
    const int half = halfHandleHeight_.load(std::memory_order_relaxed);
    centerY_.store(int(std::roundf(float((1.0 - n) * double(travel)))) + half, std::memory_order_relaxed);
}

void UISliderHandle::onParameterChanged(fw::Parameter&) noexcept {
    updateCenterY();
    setDirtyWhole();
}
void UISliderHandle::onBeginParameterEdit(fw::Parameter&) noexcept {}
void UISliderHandle::onEndParameterEdit(fw::Parameter&) noexcept {}
void UISliderHandle::onBeginParameterHover(fw::Parameter&) noexcept {}
void UISliderHandle::onEndParameterHover(fw::Parameter&) noexcept {}

void UISliderHandle::reflow() {
    const int half = std::max(handleImage_.h, 0) / 2;
    halfHandleHeight_.store(half, std::memory_order_relaxed);
    // The handle's centre moves from half its height below the top to half
    // above the bottom; a handle taller than the element does not move.
    travelLength_.store(std::max(position().height() - 2 * half, 0), std::memory_order_relaxed);
    updateCenterY();
    setDirtyWhole();
}

void UISliderHandle::onDrawBufferedRaw(fw::ImageRef<fw::RGBA> colorBuffer, fw::ImageRef<fw::L8> opacityBuffer) {
    const fw::ImageRef<const fw::RGBA> img = handleImage_;
    if (img.w <= 0 || img.h <= 0) return;
    const int firstRow = centerY() - halfHandleHeight_.load(std::memory_order_relaxed);
    const int w = std::min({img.w, colorBuffer.w, opacityBuffer.w});
    for (int r = 0; r < img.h; ++r) {
        const int y = firstRow + r;
        if (y < 0 || y >= colorBuffer.h || y >= opacityBuffer.h) continue;
        for (int x = 0; x < w; ++x) {
            const fw::RGBA s = img.at(x, r);
            colorBuffer.at(x, y) = fw::blendOverPixel(s, colorBuffer.at(x, y));
            opacityBuffer.at(x, y) = fw::L8{s.a};
        }
    }
}

fw::Click UISliderHandle::onMouseClick(int, int, int, bool isDoubleClick, fw::MouseState mstate) {
    if (mstate.altPressed || isDoubleClick) {
        param_.beginParamEdit();
        param_.setFromGUI(param_.defaultValue());
        param_.endParamEdit();
    }
    return fw::Click::beginDrag;
}

void UISliderHandle::onBeginDrag() {
    param_.beginParamEdit();
    setDirtyWhole();
}

void UISliderHandle::onStopDrag() {
    param_.endParamEdit();
    setDirtyWhole();
}

void UISliderHandle::onMouseDrag(int, int y, int, int dy, fw::MouseState mstate) {
    const int extent = position().height();
    if (extent <= 0) return;  // nothing to measure the drag against
    const float c = float(y);
    const float fine = (mstate.ctrlPressed || mstate.shiftPressed) ? 0.1f : 1.0f;
    const double oldValue = param_.getNormalized();
    double newValue = mstate.altPressed ? param_.getNormalizedDefault()
                                        : oldValue - double(float(dy) / float(extent) * fine * sensitivity_);
    // While the pointer is still beyond the point where the value hit an end,
    // the value stays there (the NaN crosspoints of a new slider mean none yet).
    if (!ends_.step(c, oldValue, newValue)) return;
    if (newValue != oldValue) param_.setFromGUINormalized(newValue);
    setDirtyWhole();
}

}  // namespace kestrin
