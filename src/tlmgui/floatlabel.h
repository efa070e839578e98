#pragma once
// FloatLabel: a number with a unit ("0.50 dB"), centred in the element. The
// text is formatted into a 10-byte buffer, so long numbers are cut; values
// below -96 read "inf" (the meter's floor shows as silence without a sign).
//
// Threads: construction and setFloat on the UI thread; onDrawRaw on the paint
// pool. A small lock covers the text, which setFloat rewrites while a paint
// may be drawing it.

#include <cstddef>
#include <span>
#include <string>

#include "framework/core/uncheckedmutex.h"
#include "framework/graphics/color.h"
#include "framework/graphics/font.h"
#include "framework/gui/uielement.h"

namespace tlmgui {

class FloatLabel : public fw::UIElement {
public:
    static constexpr std::size_t kFormatBytes = 10;  // including the terminating zero
    static constexpr std::size_t kUnitCapacity = 16;  // including the terminating zero

    // UI thread. `font` must outlive the label; `unit` is copied (at most 15
    // bytes; null means none). A text size or spacing that is not finite is 0.
    FloatLabel(fw::UIContext& context, fw::Font& font, float textSize, float letterSpacing, fw::RGBA textColor,
               const char* unit);

    // UI thread. Formats "%4.2f %s" of `value` and the unit, marks dirty.
    virtual void setFloat(float value);

    // UI thread (allocates); for tools and tests.
    std::string text() const;

    // Paint pool thread. Draws a copy of the text; allocates nothing.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

private:
    fw::Font& font_;
    float textSize_;
    float letterSpacing_;
    fw::RGBA textColor_;
    char unit_[kUnitCapacity] = {};
    mutable fw::UncheckedMutex textMutex_;
    char text_[kFormatBytes] = {};
};

}  // namespace tlmgui
