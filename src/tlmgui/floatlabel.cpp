#include "tlmgui/floatlabel.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <mutex>
#include <string_view>

#include "tlmgui/labeltext.h"

namespace tlmgui {

FloatLabel::FloatLabel(fw::UIContext& context, fw::Font& font, float textSize, float letterSpacing,
                       fw::RGBA textColor, const char* unit)
    : UIElement(context, fw::UIFlags::drawsRaw),
      font_(font),
      textSize_(std::isfinite(textSize) ? textSize : 0.0f),
      letterSpacing_(std::isfinite(letterSpacing) ? letterSpacing : 0.0f),
      textColor_(textColor) {
    if (unit) std::snprintf(unit_, sizeof unit_, "%s", unit);
}

void FloatLabel::setFloat(float value) {
    // The meter's floor: shown as infinity without a sign.
    if (value < -96.0f) value = std::numeric_limits<float>::infinity();
    // Formatted in full, then cut to the label's buffer: the cut is the
    // label's behaviour, not a truncation warning to silence.
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%4.2f %s", double(value), unit_);
    {
        std::lock_guard<fw::UncheckedMutex> lock(textMutex_);
        std::memcpy(text_, buffer, kFormatBytes - 1);
        text_[kFormatBytes - 1] = '\0';
    }
    setDirtyWhole();
}

std::string FloatLabel::text() const {
    std::lock_guard<fw::UncheckedMutex> lock(textMutex_);
    return std::string(text_);
}

void FloatLabel::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    char copy[kFormatBytes];
    {
        std::lock_guard<fw::UncheckedMutex> lock(textMutex_);
        std::memcpy(copy, text_, sizeof copy);
    }
    const std::string_view text(copy, ::strnlen(copy, sizeof copy));
    if (text.empty() || !(textSize_ > 0.0f)) return;
    const fw::Box p = position();
    fillTextCentred(rawLayer, dirtyRects, font_, text, textSize_, letterSpacing_, textColor_,
                    float(p.width()) * 0.5f - float(drawOriginX()), float(p.height()) * 0.5f - float(drawOriginY()));
}

}  // namespace tlmgui
