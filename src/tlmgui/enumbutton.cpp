#include "tlmgui/enumbutton.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "framework/graphics/blend.h"
#include "framework/graphics/imageresizer.h"
#include "framework/gui/uicontext.h"

namespace tlmgui {

namespace {

// A float to int, saturating (out-of-range conversions are undefined).
int saturateToInt(double v) noexcept {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int>::min();
    return int(v);
}

}  // namespace

UIEnumButton::UIEnumButton(fw::UIContext& context, fw::IntegerParameter& param,
                           std::span<const fw::ImageRef<const fw::RGBA>> stateImages)
    : UIElement(context, fw::UIFlags::drawsRaw), param_(param) {
    param_.addListener(this);
    stateImages_.reserve(stateImages.size());
    for (const fw::ImageRef<const fw::RGBA>& image : stateImages) {
        stateImages_.pushBack(image);
        scaledImages_.emplaceBack();
    }
    if (!stateImages_.empty()) {
        imageWidth_ = std::max(stateImages_[0].w, 0);
        imageHeight_ = std::max(stateImages_[0].h, 0);
    }
}

UIEnumButton::~UIEnumButton() { param_.removeListener(this); }

void UIEnumButton::setScale(float scale) {
    if (!std::isfinite(scale) || scale <= 0.0f) return;
    areaScale_ = scale;
}

int UIEnumButton::getState() const noexcept { return param_.value(); }

void UIEnumButton::addClickableArea(int state, fw::Box area) { clickableAreas_.pushBack(ClickableArea{state, area}); }

int UIEnumButton::w() const noexcept { return saturateToInt(float(imageWidth_) / areaScale_); }
int UIEnumButton::h() const noexcept { return saturateToInt(float(imageHeight_) / areaScale_); }

void UIEnumButton::onParameterChanged(fw::Parameter&) noexcept { setDirtyWhole(); }
void UIEnumButton::onBeginParameterEdit(fw::Parameter&) noexcept {}
void UIEnumButton::onEndParameterEdit(fw::Parameter&) noexcept {}
void UIEnumButton::onBeginParameterHover(fw::Parameter&) noexcept {}
void UIEnumButton::onEndParameterHover(fw::Parameter&) noexcept {}

void UIEnumButton::reflow() {
    const fw::Box p = position();
    const int w = std::max(p.width(), 0), h = std::max(p.height(), 0);
    for (std::size_t i = 0; i < stateImages_.length(); ++i) {
        const fw::ImageRef<const fw::RGBA> src = stateImages_[i];
        fw::OwnedImage<fw::RGBA>& dst = scaledImages_[i];
        dst.size(w, h);
        if (dst.toRef().empty()) continue;
        if (src.w == w && src.h == h) {
            fw::copyPixels(dst, src);
            continue;
        }
        const fw::Status s = context().globalImageResizer().resizeImageSRGBWithAlpha(
            src, dst, fw::ResizeFilter::magicKernelSharpBlend);
        // Unusable art (an empty image, say) shows as nothing rather than as
        // whatever the buffer held.
        if (!s.ok()) dst.fillAll(fw::RGBA{});
    }
}

int UIEnumButton::scaled(int coordinate) const noexcept {
    return saturateToInt(std::round(float(coordinate) * areaScale_));
}

void UIEnumButton::select(int state) noexcept {
    param_.beginParamEdit();
    param_.setFromGUI(state);  // clamps to [min, max]
    param_.endParamEdit();
}

fw::Click UIEnumButton::onMouseClick(int x, int y, int, bool, fw::MouseState mstate) {
    if (mstate.altPressed) {
        select(param_.defaultValue());
        return fw::Click::beginDrag;
    }
    // Every match is applied in order: on a shared edge the later area wins.
    for (const ClickableArea& entry : clickableAreas_) {
        const fw::Box& a = entry.area;
        if (scaled(a.minX) <= x && x <= scaled(a.maxX) && scaled(a.minY) <= y && y <= scaled(a.maxY)) {
            select(entry.state);
            setDirtyWhole();
        }
    }
    return fw::Click::beginDrag;
}

void UIEnumButton::onMouseMove(int, int, int, int, fw::MouseState) {}
void UIEnumButton::onMouseDrag(int, int, int, int, fw::MouseState) {}
void UIEnumButton::onMouseEnter() { setDirtyWhole(); }
void UIEnumButton::onMouseExit() { setDirtyWhole(); }

void UIEnumButton::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    if (scaledImages_.empty()) return;
    // A value outside the images (a parameter wider than the art) shows the
    // nearest state instead of reading past the array.
    const int state = std::clamp(getState(), 0, int(scaledImages_.length()) - 1);
    const fw::ImageRef<const fw::RGBA> image = scaledImages_[std::size_t(state)];
    for (const fw::Box& rect : dirtyRects) {
        if (rect.empty()) continue;
        const fw::Box inElement = rect.translate(drawOriginX(), drawOriginY());
        // Both crops clip, and blendOver takes the smaller overlap, so an image
        // smaller than the element (before the first reflow) is only partly drawn.
        const fw::ImageRef<const fw::RGBA> src = image.cropImageRef(inElement);
        const fw::ImageRef<fw::RGBA> dst = rawLayer.cropImageRef(rect);
        if (src.w <= 0 || src.h <= 0 || inElement.minX < 0 || inElement.minY < 0) continue;
        fw::blendOver(dst, src);
    }
}

}  // namespace tlmgui
