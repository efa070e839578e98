#include "framework/flatwidgets/uifilmstripknob.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "framework/client/floatparameter.h"
#include "framework/client/integerparameter.h"
#include "framework/core/fatal.h"
#include "framework/graphics/blend.h"
#include "framework/gui/uicontext.h"

namespace fw {

namespace {
constexpr float kFineFactor = 0.1f;
}  // namespace

UIFilmstripKnob::UIFilmstripKnob(UIContext& context, Parameter& param, ImageRef<const RGBA> strip, int numFrames,
                                 float sensitivity)
    : UIFilmstripKnob(context, param, std::make_unique<FilmstripCache>(strip, numFrames), nullptr, sensitivity) {}

UIFilmstripKnob::UIFilmstripKnob(UIContext& context, Parameter& param, FilmstripCache& sharedFrames,
                                 float sensitivity)
    : UIFilmstripKnob(context, param, nullptr, &sharedFrames, sensitivity) {}

UIFilmstripKnob::UIFilmstripKnob(UIContext& context, Parameter& param, std::unique_ptr<FilmstripCache> ownedFrames,
                                 FilmstripCache* frames, float sensitivity)
    : UIElement(context, UIFlags::drawsRaw),
      ownedFrames_(std::move(ownedFrames)),
      frames_(frames != nullptr ? frames : ownedFrames_.get()),
      registered_(param),
      shown_(&param),
      sensitivity_(sensitivity) {
    registered_.addListener(this);
}

UIFilmstripKnob::~UIFilmstripKnob() { registered_.removeListener(this); }

void UIFilmstripKnob::reflow() {
    const Box p = position();
    if (handle_.frameWidth() == p.width() && handle_.frameHeight() == p.height()) return;
    // The new share first: when another knob already shows this size, its
    // frames are reused; the old size is freed if nobody else holds it.
    handle_ = frames_->acquire(p.width(), p.height());
}

Click UIFilmstripKnob::onMouseClick(int x, int y, int, bool isDoubleClick, MouseState mstate) {
    // The disc inscribed in the largest centred square.
    const Box p = position();
    const int w = p.width(), h = p.height();
    const int side = std::min(w, h);
    const int offset = (std::max(w, h) - side) / 2;
    const float centreOnSquare = float(side - 1) * 0.5f;
    const float cx = w > h ? float(offset) + centreOnSquare : centreOnSquare;
    const float cy = w > h ? centreOnSquare : float(offset) + centreOnSquare;
    if (distance(float(x), cx, float(y), cy) >= float(side) * 0.5f) return Click::notHandled;

    Parameter& param = parameter();
    if (mstate.altPressed || isDoubleClick) {
        param.beginParamEdit();
        writeDefault(param);
        param.endParamEdit();
    }
    dragValue_ = float(param.getNormalized());
    return Click::beginDrag;
}

void UIFilmstripKnob::onMouseMove(int, int, int, int, MouseState) {}

void UIFilmstripKnob::onBeginDrag() {
    editing_ = &parameter();
    editing_->beginParamEdit();
    setDirtyWhole(UILayer::fromFlags);
}

void UIFilmstripKnob::onMouseDrag(int, int y, int, int dy, MouseState mstate) {
    if (disabled_) return;
    // The gesture's parameter, even if a subclass switched the shown one meanwhile.
    Parameter& param = editing_ != nullptr ? *editing_ : parameter();
    const float old = dragValue_;
    float candidate;
    if (mstate.altPressed) {
        candidate = float(param.getNormalizedDefault());
    } else {
        const float factor = mstate.ctrlPressed || mstate.shiftPressed ? kFineFactor : 1.0f;
        const int height = std::max(position().height(), 1);
        candidate = old - float(dy) / float(height) * factor * sensitivity_;
    }

    // Still beyond the point where an end was reached: wait for the pointer.
    if (!ends_.step(float(y), old, candidate)) return;

    if (candidate == old) return;
    writeNormalized(param, double(candidate));
    dragValue_ = candidate;
}

void UIFilmstripKnob::onStopDrag() {
    if (editing_ != nullptr) editing_->endParamEdit();
    editing_ = nullptr;
    clearCrosspoints();
    setDirtyWhole(UILayer::fromFlags);
}

void UIFilmstripKnob::onMouseEnter() {
    hovering_ = &parameter();
    hovering_->beginParamHover();
}

void UIFilmstripKnob::onMouseExit() {
    // The end goes where the begin went.
    if (hovering_ != nullptr) hovering_->endParamHover();
    hovering_ = nullptr;
}

float UIFilmstripKnob::distance(float x1, float x2, float y1, float y2) {
    const float dx = x2 - x1, dy = y2 - y1;
    return std::sqrt(dx * dx + dy * dy);
}

void UIFilmstripKnob::setCurrentImage() {
    const double v = parameter().getNormalized();
    const double scaled = double(numFrames() - 1) * v;
    // std::round halves away from zero; NaN shows the first frame.
    const double rounded = std::isnan(scaled) ? 0.0 : std::round(scaled);
    shownFrame_ = int(std::clamp(rounded, 0.0, double(numFrames() - 1)));
    currentFrame_ = cacheImage(shownFrame_);
}

ImageRef<const RGBA> UIFilmstripKnob::cacheImage(int frame) { return frames_->frame(handle_, frame); }

void UIFilmstripKnob::onDrawRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& dirtyRects) {
    setCurrentImage();
    if (currentFrame_.empty()) return;
    const int ox = drawOriginX(), oy = drawOriginY();
    for (const Box& r : dirtyRects)
        blendOver(rawLayer.cropImageRef(r), currentFrame_.cropImageRef(r.translate(ox, oy)));
}

void UIFilmstripKnob::clearCrosspoints() {
    ends_.clear();
}

void UIFilmstripKnob::onParameterChanged(Parameter&) noexcept { setDirtyWhole(UILayer::fromFlags); }
void UIFilmstripKnob::onBeginParameterEdit(Parameter&) noexcept {}
void UIFilmstripKnob::onEndParameterEdit(Parameter&) noexcept {}
void UIFilmstripKnob::onBeginParameterHover(Parameter&) noexcept {}
void UIFilmstripKnob::onEndParameterHover(Parameter&) noexcept {}

void UIFilmstripKnob::writeNormalized(Parameter& param, double normalized) noexcept {
    if (auto* f = dynamic_cast<FloatParameter*>(&param)) return f->setFromGUINormalized(normalized);
    if (auto* i = dynamic_cast<IntegerParameter*>(&param)) return i->setFromGUINormalized(normalized);
    fatalError("UIFilmstripKnob: the parameter is neither a float nor an integer parameter");
}

void UIFilmstripKnob::writeDefault(Parameter& param) noexcept {
    if (auto* f = dynamic_cast<FloatParameter*>(&param)) return f->setFromGUI(f->defaultValue());
    if (auto* i = dynamic_cast<IntegerParameter*>(&param)) return i->setFromGUI(i->defaultValue());
    fatalError("UIFilmstripKnob: the parameter is neither a float nor an integer parameter");
}

}  // namespace fw
