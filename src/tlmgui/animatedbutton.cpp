#include "tlmgui/animatedbutton.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "framework/graphics/blend.h"
#include "framework/graphics/imageresizer.h"
#include "framework/gui/uicontext.h"

namespace tlmgui {

void resizeArt(fw::UIContext& context, fw::ImageRef<const fw::RGBA> src, fw::OwnedImage<fw::RGBA>& dst, int w,
               int h) {
    dst.size(std::max(w, 0), std::max(h, 0));
    if (dst.toRef().empty()) return;
    if (src.w == w && src.h == h) {
        fw::copyPixels(dst, src);
        return;
    }
    const fw::Status s =
        context.globalImageResizer().resizeImageSRGBWithAlpha(src, dst, fw::ResizeFilter::magicKernelSharpBlend);
    if (!s.ok()) dst.fillAll(fw::RGBA{});
}

AnimatedButton::AnimatedButton(fw::UIContext& context, fw::ImageRef<const fw::RGBA> idle,
                               fw::ImageRef<const fw::RGBA> hover, fw::ImageRef<const fw::RGBA> press,
                               std::function<void()> action)
    : UIElement(context, fw::UIFlags::drawsRaw | fw::UIFlags::isAnimated),
      idle_(idle),
      hover_(hover),
      press_(press),
      action_(std::move(action)) {}

void AnimatedButton::clickAction() {
    if (action_) action_();
}

void AnimatedButton::reflow() {
    const fw::Box p = position();
    resizeArt(context(), idle_, idleScaled_, p.width(), p.height());
    resizeArt(context(), hover_, hoverScaled_, p.width(), p.height());
    resizeArt(context(), press_, pressScaled_, p.width(), p.height());
}

fw::Click AnimatedButton::onMouseClick(int, int, int, bool, fw::MouseState) {
    if (animating_) return fw::Click::notHandled;
    hovered_ = true;
    animating_ = true;
    pressTime_ = 0.0f;
    setDirtyWhole();
    return fw::Click::beginDrag;
}

void AnimatedButton::onMouseEnter() {
    hovered_ = true;
    setDirtyWhole();
}

void AnimatedButton::onMouseExit() {
    hovered_ = false;
    setDirtyWhole();
}

void AnimatedButton::onAnimate(double dt, double) {
    if (!animating_) return;
    // A bad frame time must not stall the press forever nor jump it backwards.
    const float step = std::isfinite(dt) && dt > 0.0 ? float(std::min(dt, 1.0) * 1000.0) : 0.0f;
    // The end is only tested on the way down: a zero-length frame right after
    // the click must not fire the action before the press has played.
    if (rising_) {
        pressTime_ += step;
        if (pressTime_ >= pressDuration_) rising_ = false;
    } else {
        pressTime_ -= step;
    }
    if (!rising_ && pressTime_ <= 0.0f) {
        animating_ = false;
        rising_ = true;
        pressTime_ = 0.0f;
        clickAction();
    }
    setDirtyWhole();
}

void AnimatedButton::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    const fw::ImageRef<const fw::RGBA> base = (hovered_ || animating_) ? hoverScaled_.toRef() : idleScaled_.toRef();
    const fw::ImageRef<const fw::RGBA> press = pressScaled_.toRef();
    const float fade = animating_ ? std::clamp(pressTime_ / pressDuration_, 0.0f, 1.0f) : 0.0f;
    for (const fw::Box& rect : dirtyRects) {
        if (rect.empty()) continue;
        const fw::Box inElement = rect.translate(drawOriginX(), drawOriginY());
        if (inElement.minX < 0 || inElement.minY < 0) continue;
        const fw::ImageRef<fw::RGBA> dst = rawLayer.cropImageRef(rect);
        const fw::ImageRef<const fw::RGBA> src = base.cropImageRef(inElement);
        if (src.w > 0 && src.h > 0) fw::blendOver(dst, src);
        if (fade <= 0.0f) continue;
        const fw::ImageRef<const fw::RGBA> over = press.cropImageRef(inElement);
        const int w = std::min(over.w, dst.w), h = std::min(over.h, dst.h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                fw::RGBA s = over.at(x, y);
                s.a = std::uint8_t(std::clamp(float(s.a) * fade, 0.0f, 255.0f));
                dst.at(x, y) = fw::blendOverPixel(s, dst.at(x, y));
            }
    }
}

}  // namespace tlmgui
