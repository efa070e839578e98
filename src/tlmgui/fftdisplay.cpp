#include "tlmgui/fftdisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace tlmgui {

namespace {

// NaN counts as 0; everything else is held to 0..1.
float clampUnit(float v) noexcept { return std::isnan(v) ? 0.0f : std::clamp(v, 0.0f, 1.0f); }

// Rows filled by a level: truncate(size x level) of a clamped level.
int filledRows(int size, float level) noexcept { return int(float(size) * clampUnit(level)); }

}  // namespace

// ---- FFTDisplay ----

FFTDisplay::FFTDisplay(fw::UIContext& context, fw::Parameter* followed)
    : UIElement(context, fw::UIFlags::drawsRaw), followedParam_(followed) {
    if (followedParam_ != nullptr) followedParam_->addListener(this);
}

FFTDisplay::~FFTDisplay() {
    if (followedParam_ != nullptr) followedParam_->removeListener(this);
}

void FFTDisplay::initialize(int width, int height, fw::RGBA color) {
    barWidth_.store(std::max(width, 0), std::memory_order_relaxed);
    barHeight_.store(std::max(height, 0), std::memory_order_relaxed);
    barColor_.store(color);
    setDirtyWhole();
}

void FFTDisplay::setValues(std::span<const float> values) {
    const std::size_t n = std::min<std::size_t>(values.size(), kNumBars);
    for (std::size_t i = 0; i < n; ++i) values_[i].store(values[i], std::memory_order_relaxed);
    setDirtyWhole();
}

void FFTDisplay::setValue(int index, float value) {
    if (index < 0 || index >= kNumBars) return;
    values_[index].store(value, std::memory_order_relaxed);
    setDirtyWhole();
}

void FFTDisplay::update() {
    if (followedParam_ == nullptr || !followParam_.load(std::memory_order_relaxed)) return;
    values_[0].store(float(followedParam_->plainValue()), std::memory_order_relaxed);
}

void FFTDisplay::setBackColor(fw::RGBA color) {
    backColor_.store(color);
    setDirtyWhole();
}

float FFTDisplay::value(int index) const noexcept {
    if (index < 0 || index >= kNumBars) return 0.0f;
    return values_[index].load(std::memory_order_relaxed);
}

void FFTDisplay::onParameterChanged(fw::Parameter&) noexcept { setDirtyWhole(); }
void FFTDisplay::onBeginParameterEdit(fw::Parameter&) noexcept {}
void FFTDisplay::onEndParameterEdit(fw::Parameter&) noexcept {}
void FFTDisplay::onBeginParameterHover(fw::Parameter&) noexcept {}
void FFTDisplay::onEndParameterHover(fw::Parameter&) noexcept {}

void FFTDisplay::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>&) {
    update();
    const int bw = barWidth_.load(std::memory_order_relaxed);
    const int bh = barHeight_.load(std::memory_order_relaxed);
    const fw::RGBA bar = barColor_.load();
    const fw::RGBA back = backColor_.load();
    // The layer view starts at the element's (ox, oy).
    const int ox = drawOriginX(), oy = drawOriginY();
    const int xEnd = std::min(bw - ox, rawLayer.w);
    const int yEnd = std::min(bh - oy, rawLayer.h);
    if (rawLayer.empty() || xEnd <= 0 || yEnd <= 0) return;
    const float barSpan = float(bw) * 0.125f;  // bw >= 1 here, so never 0
    for (int vx = 0; vx < xEnd; ++vx) {
        // Narrower than eight pixels the quotient runs past the last bar.
        const int k = std::min(int(float(vx + ox) / barSpan), kNumBars - 1);
        const int firstLit = bh - filledRows(bh, values_[k].load(std::memory_order_relaxed));
        for (int vy = 0; vy < yEnd; ++vy) rawLayer.at(vx, vy) = (vy + oy < firstLit) ? back : bar;
    }
}

// ---- SingleDisplay ----

SingleDisplay::SingleDisplay(fw::UIContext& context, fw::ImageRef<const fw::RGBA> mask)
    : UIBufferedElementRaw(context, fw::UIFlags::drawsRaw), mask_(mask) {}

void SingleDisplay::initialize(int width, int height, fw::RGBA color) {
    barWidth_.store(std::max(width, 0), std::memory_order_relaxed);
    barHeight_.store(std::max(height, 0), std::memory_order_relaxed);
    mainColor_.store(color);
    const auto darker = [](std::uint8_t c) { return std::uint8_t(c > 100 ? c - 100 : 0); };
    derivedColor_.store(fw::RGBA{darker(color.r), darker(color.g), darker(color.b), color.a});
    setDirtyWhole();
}

void SingleDisplay::setValue(float level, float reductionDb) {
    level_.store(clampUnit(level), std::memory_order_relaxed);
    reductionDb_.store(std::isnan(reductionDb) ? 0.0f : reductionDb, std::memory_order_relaxed);
    setDirtyWhole();
}

const char* SingleDisplay::greductionString() noexcept {
    text_[0] = '\0';
    if (level_.load(std::memory_order_relaxed) != 0.0f) {
        // snprintf cuts the text to the buffer: "-12db" becomes "-12d".
        const float db = std::fabs(reductionDb_.load(std::memory_order_relaxed));
        std::snprintf(text_, sizeof text_, "-%.0fdb", double(std::min(db, 1e6f)));
    }
    return text_;
}

void SingleDisplay::onBeginParameterHover(fw::Parameter&) noexcept {}
void SingleDisplay::onEndParameterHover(fw::Parameter&) noexcept {}

int SingleDisplay::markerRow(int height) const noexcept {
    if (height <= 0) return 0;
    const float db = reductionDb_.load(std::memory_order_relaxed);
    return int(float(height - 1) * clampUnit(db / kMarkerRangeDb));
}

void SingleDisplay::onDrawBufferedRaw(fw::ImageRef<fw::RGBA> colorBuffer, fw::ImageRef<fw::L8> opacityBuffer) {
    const int w = std::min({barWidth_.load(std::memory_order_relaxed), colorBuffer.w, opacityBuffer.w});
    const int h = std::min({barHeight_.load(std::memory_order_relaxed), colorBuffer.h, opacityBuffer.h});
    if (w <= 0 || h <= 0) return;
    const fw::RGBA mainC = mainColor(), edgeC = derivedColor();
    const int firstLit = h - filledRows(h, level_.load(std::memory_order_relaxed));
    // Distance from the centre in half pixels, 0 at the centre, w - 1 at the edges.
    const int maxDist = w - 1;
    const auto shade = [&](std::uint8_t a, std::uint8_t b, int dist) {
        return std::uint8_t(maxDist == 0 ? a : (a * (maxDist - dist) + b * dist) / maxDist);
    };
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            fw::RGBA c = kUnlitColor;
            if (y >= firstLit) {
                const int dist = std::abs(2 * x - maxDist);
                c = fw::RGBA{shade(mainC.r, edgeC.r, dist), shade(mainC.g, edgeC.g, dist),
                             shade(mainC.b, edgeC.b, dist), mainC.a};
            }
            const bool inMask = x < mask_.w && y < mask_.h && mask_.pixels != nullptr;
            colorBuffer.at(x, y) = c;
            opacityBuffer.at(x, y).l = inMask ? mask_.at(x, y).a : 0;
        }
    // The marker: a full row, and one pixel above and below it at both edges.
    const int row = markerRow(h);
    const auto mark = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        colorBuffer.at(x, y) = kMarkerColor;
        opacityBuffer.at(x, y).l = 255;
    };
    for (int x = 0; x < w; ++x) mark(x, row);
    for (int dy : {-1, 1}) {
        mark(0, row + dy);
        mark(w - 1, row + dy);
    }
}

}  // namespace tlmgui
