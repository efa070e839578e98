#include "tlmgui/epiccompdisplay.h"

#include <algorithm>
#include <cmath>

#include "framework/graphics/blend.h"
#include "tlmgui/draw.h"

namespace tlmgui {

EpicCompDisplay::EpicCompDisplay(fw::UIContext& context, fw::Parameter& thresholdDb, fw::Parameter& knee,
                                 fw::Parameter& ratio)
    : UIElement(context, fw::UIFlags::drawsRaw), threshold_(thresholdDb), knee_(knee), ratio_(ratio) {
    threshold_.addListener(this);
    knee_.addListener(this);
    ratio_.addListener(this);
}

EpicCompDisplay::~EpicCompDisplay() {
    threshold_.removeListener(this);
    knee_.removeListener(this);
    ratio_.removeListener(this);
}

void EpicCompDisplay::onParameterChanged(fw::Parameter&) noexcept { setDirtyWhole(); }
void EpicCompDisplay::onBeginParameterEdit(fw::Parameter&) noexcept {}
void EpicCompDisplay::onEndParameterEdit(fw::Parameter&) noexcept {}
void EpicCompDisplay::onBeginParameterHover(fw::Parameter&) noexcept {}
void EpicCompDisplay::onEndParameterHover(fw::Parameter&) noexcept {}

void EpicCompDisplay::setInput(float x) {
    input_.store(std::isnan(x) ? x : std::clamp(x, 0.0f, 1.0f), std::memory_order_relaxed);
    setDirtyWhole();
}

EpicCompDisplay::Geometry EpicCompDisplay::geometry(int w, int h) const noexcept {
    Geometry g{};
    const long double db = threshold_.plainValue();
    // Above 0 dB the point would leave the element; NaN puts it at the corner too.
    const long double t = std::isnan(db) ? 1.0L : std::clamp(std::pow(10.0L, db / 20.0L), 0.0L, 1.0L);
    g.thresholdX = int(std::roundf(float((w - 1) * t)));
    g.thresholdY = int(std::roundf(float((h - 1) - t * (h - 1))));
    const double kneeN = knee_.getNormalized();
    const double kneeFrac = std::isnan(kneeN) ? 0.0 : std::clamp(kneeN, 0.0, 1.0);
    g.kneeHalfWidth = int(double(w) * kneeFrac) / 2;
    const double ratio = ratio_.plainValue();
    g.slope = (std::isnan(ratio) || ratio < 1.0) ? 1.0f : float(1.0 / ratio);
    const float in = input();
    g.inputX = std::isnan(in) ? -1 : int(std::roundf(float(w - 1) * in));
    return g;
}

float EpicCompDisplay::curveY(const Geometry& g, int w, int h, float x) noexcept {
    // Rows per column of the diagonal; a one-pixel side counts as flat.
    const float unit = w > 1 ? float(h - 1) / float(w - 1) : 0.0f;
    if (x <= float(g.thresholdX)) return float(h - 1) - x * unit;
    return float(g.thresholdY) - (x - float(g.thresholdX)) * unit * g.slope;
}

void EpicCompDisplay::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>&) {
    if (rawLayer.empty()) return;
    const fw::Box p = position();
    const int w = p.width(), h = p.height();
    if (w <= 0 || h <= 0) return;
    const Geometry g = geometry(w, h);
    const int ox = drawOriginX(), oy = drawOriginY();
    const int kneeStart = g.thresholdX - g.kneeHalfWidth;
    const int kneeEnd = g.thresholdX + g.kneeHalfWidth;
    // The straight parts, column by column: the tint under the curve left of
    // the input column, then the curve's pixel in white.
    for (int x = 0; x < w; ++x) {
        if (g.kneeHalfWidth > 0 && x >= kneeStart && x < kneeEnd) continue;
        const int vx = x - ox;
        if (vx < 0 || vx >= rawLayer.w) continue;
        const int y = int(std::roundf(curveY(g, w, h, float(x))));
        if (x < g.inputX)
            for (int vy = std::max(y + 1 - oy, 0); vy < rawLayer.h; ++vy)
                rawLayer.at(vx, vy) = fw::blendOverPixel(kFillColor, rawLayer.at(vx, vy));
        const int vy = y - oy;
        if (vy >= 0 && vy < rawLayer.h) rawLayer.at(vx, vy) = kLineColor;
    }
    if (g.kneeHalfWidth > 0) {
        const int y0 = int(std::roundf(curveY(g, w, h, float(kneeStart))));
        const int y2 = int(std::roundf(curveY(g, w, h, float(kneeEnd))));
        quadCurveFilled(rawLayer, kneeStart - ox, y0 - oy, g.thresholdX - ox, g.thresholdY - oy, kneeEnd - ox,
                        y2 - oy, kKneeColor, kFillColor, g.inputX < 0 ? kneeStart - ox - 1 : g.inputX - ox);
    }
}

}  // namespace tlmgui
