#pragma once
// Where the editor places its controls, in design units of the 900 x 450
// editor (left, top, right, bottom; right and bottom exclusive). The art is
// drawn at kPixelsPerUnit pixels per unit.

#include <array>

#include "kestrin/gui/editorlayout.h"

namespace artgen {

constexpr float kPixelsPerUnit = 2.0f;

struct Rect {
    float left, top, right, bottom;
    constexpr float centreX() const { return (left + right) / 2; }
    constexpr float centreY() const { return (top + bottom) / 2; }
    constexpr float width() const { return right - left; }
};

// The editor's own design rectangle of a widget.
constexpr Rect widgetRect(int widget) {
    const fw::Box b = kestrin::layout::rect(widget);
    return Rect{float(b.minX), float(b.minY), float(b.maxX), float(b.maxY)};
}

struct KnobPlace {
    const char* caption;
    Rect knob;
    Rect label;
    bool large;
};

// Left group, then the right group, then the four small knobs.
namespace place = kestrin::layout;
constexpr std::array<KnobPlace, 10> kKnobs{{
    {"Length", widgetRect(place::lengthKnobL), widgetRect(place::lengthLabelL), true},
    {"Feedback", widgetRect(place::feedbackKnobL), widgetRect(place::feedbackLabelL), true},
    {"Mix", widgetRect(place::mixKnobL), widgetRect(place::mixLabelL), true},
    {"Length", widgetRect(place::lengthKnobR), widgetRect(place::lengthLabelR), true},
    {"Feedback", widgetRect(place::feedbackKnobR), widgetRect(place::feedbackLabelR), true},
    {"Mix", widgetRect(place::mixKnobR), widgetRect(place::mixLabelR), true},
    {"Highpass", widgetRect(place::highpassKnob), widgetRect(place::highpassLabel), false},
    {"Lowpass", widgetRect(place::lowpassKnob), widgetRect(place::lowpassLabel), false},
    {"Drive", widgetRect(place::driveKnob), widgetRect(place::driveLabel), false},
    {"Gain", widgetRect(place::gainKnob), widgetRect(place::gainLabel), false},
}};

// The editor's value arcs: radii from the knob centre as fractions of half the
// ring square (111 units for large knobs, 88 for small ones).
constexpr float kLargeRingSquare = 111.0f;
constexpr float kSmallRingSquare = 88.0f;
constexpr float kLargeRingInner = 0.69f, kLargeRingOuter = 0.82f;
constexpr float kSmallRingInner = 0.60f, kSmallRingOuter = 0.73f;

constexpr Rect kSwitch = widgetRect(place::syncSwitch);
constexpr Rect kUpsample = widgetRect(place::upsampleButton);
constexpr Rect kSlider = widgetRect(place::widthSlider);
constexpr Rect kSliderLabel = widgetRect(place::widthLabel);

constexpr float kEditorWidth = float(kestrin::layout::kDesignWidth);
constexpr float kEditorHeight = float(kestrin::layout::kDesignHeight);

}  // namespace artgen
