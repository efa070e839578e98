#include "kestrin/gui/kestrinparamlabel.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "kestrin/notevalues.h"

namespace kestrin {

// The base constructor formats with its own paramString (this object's
// override is not in force yet), so the text is built again once the note and
// sync parameters are known.
KestrinParamLabel::KestrinParamLabel(fw::UIContext& context, fw::FloatParameter& timeParam,
                                     fw::IntegerParameter& noteParam, fw::Font& font, fw::BoolParameter& syncParam,
                                     fw::RGBA textColor)
    : UIParamLabel(context, timeParam, font, kInitialTextColor), noteParam_(noteParam), syncParam_(syncParam) {
    noteParam_.addListener(&syncListener_);
    syncParam_.addListener(&syncListener_);
    rebuildText();
    setDirtyWhole();
    setTextSize(10);
    setTextColor(textColor);
}

KestrinParamLabel::~KestrinParamLabel() {
    noteParam_.removeListener(&syncListener_);
    syncParam_.removeListener(&syncListener_);
}

void KestrinParamLabel::onParameterChanged(fw::Parameter&) noexcept {
    rebuildText();
    setDirtyWhole();
}

void KestrinParamLabel::onAnimate(double, double) {
    rebuildText();
    setDirtyWhole();
}

void KestrinParamLabel::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    UIParamLabel::onDrawRaw(rawLayer, dirtyRects);
}

std::size_t KestrinParamLabel::paramString(std::span<char, kTextCapacity> buffer) const noexcept {
    // getNormalized reads the value under the parameter's lock.
    if (syncParam_.getNormalized() < 0.5) return formatValue(buffer);
    const int note = noteParam_.fromNormalized(noteParam_.getNormalized());
    const int n = std::snprintf(buffer.data(), buffer.size(), "%s", noteValueLabel(note));
    if (n < 0) {
        buffer[0] = '\0';
        return 0;
    }
    return std::min<std::size_t>(std::size_t(n), buffer.size() - 1);
}

}  // namespace kestrin
