#include "kestrin/gui/flatslider.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "framework/graphics/blend.h"

namespace kestrin {

UIFilmstripSlider::UIFilmstripSlider(fw::UIContext& context, fw::FloatParameter& param,
                                     fw::ImageRef<const fw::RGBA> filmstrip, int numFrames, float sensitivity,
                                     bool framesSideBySide)
    : UIElement(context, fw::UIFlags::drawsRaw),
      param_(param),
      filmstrip_(filmstrip),
      numFrames_(numFrames),
      sensitivity_(sensitivity),
      ends_{std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::quiet_NaN()},
      framesSideBySide_(framesSideBySide) {
    param_.addListener(this);
    // A frame spans the strip's full height when the frames lie side by side,
    // its full width when they are stacked. A strip too small for its frame
    // count (integer division gives 0) leaves both sizes 0: nothing is drawn.
    if (numFrames_ >= 1 && !filmstrip_.empty()) {
        const int w = framesSideBySide_ ? filmstrip_.w / numFrames_ : filmstrip_.w;
        const int h = framesSideBySide_ ? filmstrip_.h : filmstrip_.h / numFrames_;
        if (w > 0 && h > 0) {
            sourceFrameWidth_ = w;
            sourceFrameHeight_ = h;
            frameCache_.reserve(std::size_t(numFrames_));
            for (int i = 0; i < numFrames_; ++i) frameCache_.emplaceBack();
            frameCached_.resize(std::size_t(numFrames_));
        }
    }
}

UIFilmstripSlider::~UIFilmstripSlider() { param_.removeListener(this); }

void UIFilmstripSlider::onParameterChanged(fw::Parameter&) noexcept { setDirtyWhole(); }
void UIFilmstripSlider::onBeginParameterEdit(fw::Parameter&) noexcept {}
void UIFilmstripSlider::onEndParameterEdit(fw::Parameter&) noexcept {}
void UIFilmstripSlider::onBeginParameterHover(fw::Parameter&) noexcept {}
void UIFilmstripSlider::onEndParameterHover(fw::Parameter&) noexcept {}

void UIFilmstripSlider::clearCrosspoints() noexcept {
    ends_.clear();
}

void UIFilmstripSlider::reflow() {
    if (!usable()) return;
    const fw::Box p = position();
    const int w = std::max(p.width(), 0), h = std::max(p.height(), 0);
    // At the strip's own frame size the frames are drawn straight from the
    // strip: no copy is kept.
    const bool direct = w == sourceFrameWidth_ && h == sourceFrameHeight_;
    if (direct == drawsFromStrip_ && (direct || (frameCache_[0].width() == w && frameCache_[0].height() == h)))
        return;
    drawsFromStrip_ = direct;
    for (fw::OwnedImage<fw::RGBA>& frame : frameCache_) {
        if (direct)
            frame = fw::OwnedImage<fw::RGBA>();
        else
            frame.size(w, h);
    }
    std::fill(frameCached_.begin(), frameCached_.end(), std::uint8_t(0));
}

bool UIFilmstripSlider::isFrameCached(int frame) const noexcept {
    if (!usable() || frame < 0 || frame >= numFrames_) return false;
    return frameCached_[std::size_t(frame)] != 0;
}

fw::ImageRef<const fw::RGBA> UIFilmstripSlider::sourceFrame(int frame) const noexcept {
    const fw::Box source =
        framesSideBySide_
            ? fw::Box::rectangle(frame * sourceFrameWidth_, 0, sourceFrameWidth_, sourceFrameHeight_)
            : fw::Box::rectangle(0, frame * sourceFrameHeight_, sourceFrameWidth_, sourceFrameHeight_);
    return filmstrip_.cropImageRef(source);
}

void UIFilmstripSlider::cacheImage(int frame) noexcept {
    if (!usable() || frame < 0 || frame >= numFrames_) return;
    if (frameCached_[std::size_t(frame)] != 0) return;
    frameCached_[std::size_t(frame)] = 1;
    fw::OwnedImage<fw::RGBA>& dst = frameCache_[std::size_t(frame)];
    if (dst.toRef().empty()) return;
    const fw::ImageRef<const fw::RGBA> src = sourceFrame(frame);
    if (src.w == dst.width() && src.h == dst.height()) {
        fw::copyPixels(dst, src);
        return;
    }
    const fw::Status s = resizer_.resizeImageSRGBWithAlpha(src, dst, fw::ResizeFilter::magicKernelSharpBlend);
    // A frame that cannot be resized shows as nothing, not as stale memory.
    if (!s.ok()) dst.fillAll(fw::RGBA{});
}

int UIFilmstripSlider::currentFrame() const noexcept {
    if (numFrames_ < 1) return 0;
    const float n = float(param_.getNormalized());
    const float f = std::round(float(numFrames_ - 1) * n);  // halves away from zero
    // Outside the int range (or NaN) counts as the lowest int, which clamps to 0.
    const int i = (f >= -2147483648.0f && f < 2147483648.0f) ? int(f) : std::numeric_limits<int>::min();
    return std::clamp(i, 0, numFrames_ - 1);
}

void UIFilmstripSlider::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    if (!usable()) return;
    const int frame = currentFrame();
    fw::ImageRef<const fw::RGBA> image;
    if (drawsFromStrip_) {
        image = sourceFrame(frame);
    } else {
        cacheImage(frame);
        image = frameCache_[std::size_t(frame)];
    }
    for (const fw::Box& rect : dirtyRects) {
        if (rect.empty()) continue;
        // Both crops clip and blendOver takes the overlap, so a cache smaller
        // than the element (before the first reflow) never reads past it.
        const fw::ImageRef<const fw::RGBA> src = image.cropImageRef(rect.translate(drawOriginX(), drawOriginY()));
        if (src.w <= 0 || src.h <= 0) continue;
        fw::blendOver(rawLayer.cropImageRef(rect), src);
    }
}

fw::Click UIFilmstripSlider::onMouseClick(int, int, int, bool isDoubleClick, fw::MouseState mstate) {
    if (mstate.altPressed || isDoubleClick) {
        param_.beginParamEdit();
        param_.setFromGUI(param_.defaultValue());
        param_.endParamEdit();
    }
    return fw::Click::beginDrag;
}

void UIFilmstripSlider::onBeginDrag() {
    param_.beginParamEdit();
    setDirtyWhole();
}

void UIFilmstripSlider::onStopDrag() {
    param_.endParamEdit();
    setDirtyWhole();
}

void UIFilmstripSlider::onMouseDrag(int x, int y, int dx, int dy, fw::MouseState mstate) {
    if (disabled_) return;
    const fw::Box p = position();
    const float displacement = dragHorizontally_ ? -float(dx) : float(dy);
    const float c = dragHorizontally_ ? -float(x) : float(y);
    const int extent = dragHorizontally_ ? p.width() : p.height();
    if (extent <= 0) return;  // nothing to measure the drag against
    const float fine = (mstate.ctrlPressed || mstate.shiftPressed) ? 0.1f : 1.0f;
    const double oldValue = param_.getNormalized();
    double newValue = mstate.altPressed
                          ? param_.getNormalizedDefault()
                          : oldValue - double(displacement / float(extent) * fine * sensitivity_);
    // While the pointer is still beyond the point where the value hit an end,
    // the value stays there (the NaN crosspoints of a new slider mean none yet).
    if (!ends_.step(c, oldValue, newValue)) return;
    if (newValue != oldValue) param_.setFromGUINormalized(newValue);
    setDirtyWhole();
}

}  // namespace kestrin
