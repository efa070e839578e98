#pragma once
// UIParamLabel: a parameter's value as text ("50 %", "1000 ms"), drawn centred in
// the element's raw layer. The number keeps `decimals` digits after the point
// while the whole text stays within `maxDigits` digits (the sign counts as one);
// the separator and the parameter's unit follow it.
//
// The text is rebuilt by the listener, which may run on a host thread while a
// paint thread draws: a small lock covers the rebuild and the copy that
// onDrawRaw draws from. Lock order: the text lock may be held while a
// parameter's value lock is taken, never the other way round (parameters
// notify their listeners outside the value lock).
//
// Threads: construction, setters and destruction on the UI thread; onDrawRaw on
// the paint pool; onParameterChanged on whatever thread changed the parameter.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "framework/client/floatparameter.h"
#include "framework/client/parameterlistener.h"
#include "framework/core/uncheckedmutex.h"
#include "framework/graphics/color.h"
#include "framework/graphics/font.h"
#include "framework/gui/uielement.h"

namespace tlmgui {

class UIParamLabel : public fw::UIElement, public fw::IParameterListener {
public:
    static constexpr std::size_t kTextCapacity = 256;  // including the terminating zero
    static constexpr float kLetterSpacing = 0.5f;

    // UI thread. Registers with `param`; `param` and `font` must outlive the label.
    UIParamLabel(fw::UIContext& context, fw::FloatParameter& param, fw::Font& font, fw::RGBA textColor);
    // UI thread. Removes the listener from the parameter.
    ~UIParamLabel() override;

    // UI thread. Each rebuilds the text and marks the label dirty.
    void setTextSize(int pixels);
    void setDecimals(int decimals);
    void setMaxDigits(int maxDigits);
    // At most 63 bytes are kept; null means none.
    void setSeparator(const char* separator);
    void setTextColor(fw::RGBA color);

    // Any thread. Copies the current text, zero-terminated and cut to the
    // buffer, and returns its length.
    std::size_t copyText(std::span<char> out) const noexcept;
    // UI thread (allocates); for tools and tests.
    std::string text() const;

    // Any thread; rebuilds the text and posts a dirty rectangle.
    void onParameterChanged(fw::Parameter& sender) noexcept override;
    // UI thread; nothing.
    void onBeginParameterEdit(fw::Parameter& sender) noexcept override;
    void onEndParameterEdit(fw::Parameter& sender) noexcept override;
    void onBeginParameterHover(fw::Parameter& sender) noexcept override;
    void onEndParameterHover(fw::Parameter& sender) noexcept override;

    // Any thread. Digits of an integer as printed: 0 for 0, the sign counts.
    virtual int numDigits(int value) const noexcept;

    // Paint pool thread. Draws a copy of the text; allocates nothing (the font
    // caches a glyph the first time it is drawn at a size).
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;
    // UI thread; only for a label created with isAnimated (the editor never does).
    void onAnimate(double dt, double time) override;

protected:
    // Any thread, with the text lock held (rebuildText holds it). Formats the
    // text to show into `buffer` (kTextCapacity bytes) and returns its length.
    virtual std::size_t paramString(std::span<char, kTextCapacity> buffer) const noexcept;
    // The value text, "%.*f%s%s" of the value, the separator and the unit.
    std::size_t formatValue(std::span<char, kTextCapacity> buffer) const noexcept;

    // Any thread. text = paramString(), under the text lock.
    void rebuildText() noexcept;

    fw::FloatParameter& param() const noexcept { return param_; }

private:
    fw::FloatParameter& param_;
    fw::RGBA textColor_;
    fw::Font& font_;
    int textSize_ = 10;
    int decimals_ = 0;  // the constructor's choice; setDecimals changes it
    int maxDigits_ = 10;
    char separator_[64] = " ";
    mutable fw::UncheckedMutex textMutex_;
    std::size_t textLength_ = 0;
    char textBuffer_[kTextCapacity] = {};
};

}  // namespace tlmgui
