#include "tlmgui/debugwindow.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <utility>

#include "framework/graphics/draw.h"

namespace tlmgui {

namespace {

constexpr float kLetterSpacing = 0.0f;
constexpr int kMarginX = 4;
// Baseline of the first parameter line, under the title.
constexpr int kFirstLineY = DebugWindow::kTitleSize + 12;

}  // namespace

DebugWindow::DebugWindow(fw::UIContext& context, fw::Font& font, std::uint8_t backgroundAlpha, int buttonSize)
    : UIElement(context, fw::UIFlags::drawsRaw),
      backgroundAlpha_(backgroundAlpha),
      buttonSize_(std::max(buttonSize, 0)),
      font_(font) {}

DebugWindow::~DebugWindow() {
    // A parameter added twice holds two entries; each removal takes one.
    for (fw::Parameter* p : watched_) p->removeListener(this);
}

std::size_t DebugWindow::paramString(fw::Parameter& p, std::span<char> out) const noexcept {
    if (out.empty()) return 0;
    char display[kDisplayTextCapacity] = {};
    p.toDisplayN(display, kDisplayTextCapacity);
    display[kDisplayTextCapacity - 1] = '\0';
    const int n = std::snprintf(out.data(), out.size(), "%s %s", display, p.label().c_str());
    if (n < 0) {
        out[0] = '\0';
        return 0;
    }
    return std::min<std::size_t>(std::size_t(n), out.size() - 1);
}

void DebugWindow::addParameter(fw::Parameter& p, std::string caption) {
    watched_.push_back(&p);
    captions_.push_back(std::move(caption));
    p.addListener(this);
    setDirtyWhole();
}

void DebugWindow::drawMinimizeButton(fw::ImageRef<fw::RGBA> layer, int ox, int oy) noexcept {
    const int w = position().width();
    const int x1 = w - buttonSize_ - ox;
    fw::fillRectFloat(layer, x1, -oy, x1 + buttonSize_, buttonSize_ - oy, kTextColor);
}

void DebugWindow::onParameterChanged(fw::Parameter&) noexcept { setDirtyWhole(); }
void DebugWindow::onBeginParameterEdit(fw::Parameter&) noexcept {}
void DebugWindow::onEndParameterEdit(fw::Parameter&) noexcept {}
void DebugWindow::onBeginParameterHover(fw::Parameter&) noexcept {}
void DebugWindow::onEndParameterHover(fw::Parameter&) noexcept {}

fw::Click DebugWindow::onMouseClick(int x, int y, int, bool, fw::MouseState) {
    const int w = position().width();
    if (x >= w - buttonSize_ && x < w && y >= 0 && y < buttonSize_)
        minimized_.store(!minimized(), std::memory_order_relaxed);
    setDirtyWhole();
    return fw::Click::beginDrag;
}

void DebugWindow::onAnimate(double, double) {}

void DebugWindow::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    const bool isMinimized = minimized();
    const float alpha = float(backgroundAlpha_) / 255.0f;
    const fw::RGBA titleColor{kTextColor.r, kTextColor.g, kTextColor.b, backgroundAlpha_};
    const int w = position().width();
    for (const fw::Box& rect : dirtyRects) {
        const fw::ImageRef<fw::RGBA> part = rawLayer.cropImageRef(rect);
        if (part.empty()) continue;
        // The part's pixel 0,0 in element coordinates.
        const int ox = drawOriginX() + rect.minX, oy = drawOriginY() + rect.minY;
        if (isMinimized) {
            drawMinimizeButton(part, ox, oy);
            continue;
        }
        fw::fillRectFloat(part, 0, 0, part.w, part.h, fw::RGBA{0, 0, 0, 255}, alpha);
        fw::fillText(part, font_, kTitle, float(kTitleSize), kLetterSpacing, titleColor, float(w) * 0.5f - float(ox),
                     float(kTitleSize - oy), fw::HorizontalAlignment::center);
        char value[kTextCapacity];
        for (std::size_t i = 0; i < watched_.size(); ++i) {
            const float y = float(kFirstLineY + int(i) * kLineSpacing - oy);
            fw::fillText(part, font_, captions_[i], float(kLineSize), kLetterSpacing, kTextColor,
                         float(kMarginX - ox), y);
            const std::size_t n = paramString(*watched_[i], value);
            fw::fillText(part, font_, std::string_view(value, n), float(kLineSize), kLetterSpacing, kTextColor,
                         float(w / 2 - ox), y);
        }
        // Last: a title wider than the window would otherwise cover it.
        drawMinimizeButton(part, ox, oy);
    }
}

}  // namespace tlmgui
