#include "tlmgui/paramlabel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>

#include "tlmgui/labeltext.h"

namespace tlmgui {

namespace {

// Truncation towards zero that cannot overflow: values beyond the int range
// saturate, NaN counts as 0.
int truncateToInt(float v) noexcept {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0f) return std::numeric_limits<int>::max();
    if (v <= -2147483648.0f) return std::numeric_limits<int>::min();
    return int(v);
}

}  // namespace

UIParamLabel::UIParamLabel(fw::UIContext& context, fw::FloatParameter& param, fw::Font& font, fw::RGBA textColor)
    : UIElement(context, fw::UIFlags::drawsRaw), param_(param), textColor_(textColor), font_(font) {
    param_.addListener(this);
    rebuildText();
    setDirtyWhole();
}

UIParamLabel::~UIParamLabel() { param_.removeListener(this); }

void UIParamLabel::setTextSize(int pixels) {
    textSize_ = pixels;
    setDirtyWhole();
}

void UIParamLabel::setDecimals(int decimals) {
    {
        // The listener may be formatting with it at this moment.
        std::lock_guard<fw::UncheckedMutex> lock(textMutex_);
        decimals_ = decimals;
    }
    rebuildText();
    setDirtyWhole();
}

void UIParamLabel::setMaxDigits(int maxDigits) {
    {
        std::lock_guard<fw::UncheckedMutex> lock(textMutex_);
        maxDigits_ = maxDigits;
    }
    rebuildText();
    setDirtyWhole();
}

void UIParamLabel::setSeparator(const char* separator) {
    {
        // The listener may format with the separator at this moment.
        std::lock_guard<fw::UncheckedMutex> lock(textMutex_);
        std::snprintf(separator_, sizeof separator_, "%s", separator != nullptr ? separator : "");
    }
    rebuildText();
    setDirtyWhole();
}

void UIParamLabel::setTextColor(fw::RGBA color) {
    textColor_ = color;
    setDirtyWhole();
}

std::size_t UIParamLabel::copyText(std::span<char> out) const noexcept {
    if (out.empty()) return 0;
    std::lock_guard<fw::UncheckedMutex> lock(textMutex_);
    const std::size_t n = std::min(textLength_, out.size() - 1);
    std::memcpy(out.data(), textBuffer_, n);
    out[n] = '\0';
    return n;
}

std::string UIParamLabel::text() const {
    char copy[kTextCapacity];
    const std::size_t n = copyText(copy);
    return std::string(copy, n);
}

void UIParamLabel::onParameterChanged(fw::Parameter&) noexcept {
    rebuildText();
    setDirtyWhole();
}
void UIParamLabel::onBeginParameterEdit(fw::Parameter&) noexcept {}
void UIParamLabel::onEndParameterEdit(fw::Parameter&) noexcept {}
void UIParamLabel::onBeginParameterHover(fw::Parameter&) noexcept {}
void UIParamLabel::onEndParameterHover(fw::Parameter&) noexcept {}

void UIParamLabel::onAnimate(double, double) {
    rebuildText();
    setDirtyWhole();
}

int UIParamLabel::numDigits(int value) const noexcept {
    if (value == 0) return 0;
    // In 64 bits so that the lowest int has a magnitude.
    long long magnitude = std::llabs(static_cast<long long>(value));
    int digits = 0;
    while (magnitude > 0) {
        magnitude /= 10;
        ++digits;
    }
    return value < 0 ? digits + 1 : digits;
}

std::size_t UIParamLabel::paramString(std::span<char, kTextCapacity> buffer) const noexcept {
    return formatValue(buffer);
}

std::size_t UIParamLabel::formatValue(std::span<char, kTextCapacity> buffer) const noexcept {
    const std::string& unit = param_.label();
    // The value field is exchanged under the parameter's lock; an atomic load
    // sees one whole written value.
    const float v = float(param_.value());
    const int d = numDigits(truncateToInt(v));
    // Kept in 64 bits: the setters accept any int.
    const long long wanted = static_cast<long long>(d) + decimals_;
    long long precision = wanted < maxDigits_ ? decimals_ : std::max<long long>(maxDigits_ - d, 0);
    // printf takes an int precision; a negative one would mean "default".
    precision = std::clamp<long long>(precision, 0, kTextCapacity);
    // snprintf cuts the text to the buffer; n is the length it wanted.
    const int n = std::snprintf(buffer.data(), buffer.size(), "%.*f%s%s", int(precision), double(v), separator_,
                                unit.c_str());
    if (n < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return std::min<std::size_t>(std::size_t(n), buffer.size() - 1);
}

void UIParamLabel::rebuildText() noexcept {
    // Held while formatting so that the last rebuild, which reads the newest
    // value, is the one that stays.
    std::lock_guard<fw::UncheckedMutex> lock(textMutex_);
    textLength_ = paramString(std::span<char, kTextCapacity>(textBuffer_));
}

void UIParamLabel::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    // Drawn from a copy so that the lock is not held across the font's own lock.
    char copy[kTextCapacity];
    const std::size_t n = copyText(copy);
    const std::string_view text(copy, n);
    const fw::Box p = position();
    fillTextCentred(rawLayer, dirtyRects, font_, text, float(textSize_), kLetterSpacing, textColor_,
                    float(p.width()) * 0.5f - float(drawOriginX()), float(p.height()) * 0.5f - float(drawOriginY()));
}

}  // namespace tlmgui
