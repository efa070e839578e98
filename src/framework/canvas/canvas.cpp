#include "framework/canvas/canvas.h"

#include <climits>
#include <cmath>

#include "framework/core/fatal.h"

namespace fw {

namespace {

// Pixels to 24.8 fixed point; out of range (or NaN) becomes the lowest integer.
std::int32_t toFixed(float v) noexcept {
    const double s = double(v) * 256.0;
    if (!(s >= double(INT_MIN) && s <= double(INT_MAX))) return INT_MIN;
    return std::int32_t(std::lround(s));
}

}  // namespace

void Canvas::initialize(ImageRef<RGBA> view) {
    view_ = view.empty() ? ImageRef<RGBA>{} : view;
    current_ = Transform{};
    stack_.clearContents();
    rasterizer_.initialise(view_.w, view_.h);
    gradientsInUse_ = 0;
    fillStyle(RGBA{0, 0, 0, 255});
}

void Canvas::translate(float x, float y) noexcept {
    current_.e += current_.a * x + current_.c * y;
    current_.f += current_.b * x + current_.d * y;
}

void Canvas::scale(float x, float y) noexcept {
    current_.a *= x;
    current_.b *= x;
    current_.c *= y;
    current_.d *= y;
}

void Canvas::save() { stack_.pushBack(current_); }

void Canvas::restore() noexcept {
    if (stack_.empty()) return;
    current_ = stack_.back();
    stack_.popBack();
}

void Canvas::transformPoint(float x, float y, float& ox, float& oy) const noexcept {
    ox = current_.a * x + current_.c * y + current_.e;
    oy = current_.b * x + current_.d * y + current_.f;
}

void Canvas::fillStyle(RGBA color) noexcept {
    style_ = Style::color;
    styleGradient_ = nullptr;
    colorBlit_.init(view_, color);
}

void Canvas::fillStyle(CanvasGradient* gradient) noexcept {
    if (gradient == nullptr) fatalError("Canvas::fillStyle: null gradient");
    switch (gradient->kind) {
        case CanvasGradientKind::linear: style_ = Style::linear; break;
        case CanvasGradientKind::elliptical: style_ = Style::elliptical; break;
        default: fatalError("Canvas::fillStyle: unsupported gradient kind");
    }
    styleGradient_ = gradient;
    transformPoint(gradient->x0, gradient->y0, gx0_, gy0_);
    transformPoint(gradient->x1, gradient->y1, gx1_, gy1_);
}

CanvasGradient* Canvas::newOrReuseGradient() {
    if (gradientsInUse_ == gradients_.size()) gradients_.pushBack(std::make_unique<CanvasGradient>());
    CanvasGradient* g = gradients_[gradientsInUse_++].get();
    g->reset();
    return g;
}

CanvasGradient* Canvas::createLinearGradient(float x0, float y0, float x1, float y1) {
    CanvasGradient* g = newOrReuseGradient();
    g->kind = CanvasGradientKind::linear;
    g->x0 = x0;
    g->y0 = y0;
    g->x1 = x1;
    g->y1 = y1;
    return g;
}

CanvasGradient* Canvas::createEllipticalGradient(float x0, float y0, float x1, float y1, float ratio) {
    CanvasGradient* g = createLinearGradient(x0, y0, x1, y1);
    g->kind = CanvasGradientKind::elliptical;
    g->ratio = ratio;
    return g;
}

void Canvas::beginPath() noexcept { rasterizer_.reset(); }

void Canvas::moveTo(float x, float y) noexcept {
    float px, py;
    transformPoint(x, y, px, py);
    rasterizer_.intMoveTo(toFixed(px), toFixed(py));
}

void Canvas::lineTo(float x, float y) noexcept {
    float px, py;
    transformPoint(x, y, px, py);
    rasterizer_.intLineTo(toFixed(px), toFixed(py));
}

void Canvas::closePath() noexcept { rasterizer_.closePath(); }

void Canvas::fill(WindingRule rule) noexcept {
    IBlitter* blitter = &colorBlit_;
    if (style_ == Style::linear) {
        linearBlit_.init(view_, styleGradient_->gradient.lookupTable(), gx0_, gy0_, gx1_, gy1_);
        blitter = &linearBlit_;
    } else if (style_ == Style::elliptical) {
        ellipticalBlit_.init(view_, styleGradient_->gradient.lookupTable(), gx0_, gy0_, gx1_, gy1_,
                             styleGradient_->ratio);
        blitter = &ellipticalBlit_;
    }
    rasterizer_.rasterize(rule, *blitter);
}

void Canvas::fillRect(float x, float y, float width, float height) noexcept {
    beginPath();
    moveTo(x, y);
    lineTo(x + width, y);
    lineTo(x + width, y + height);
    lineTo(x, y + height);
    closePath();
    fill();
}

}  // namespace fw
