#pragma once
// Where the editor places its controls, in design units of the 900 x 450
// editor (left, top, right, bottom; right and bottom exclusive). The art is
// drawn at kPixelsPerUnit pixels per unit.

#include <array>

namespace artgen {

constexpr float kPixelsPerUnit = 2.0f;

struct Rect {
    float left, top, right, bottom;
    constexpr float centreX() const { return (left + right) / 2; }
    constexpr float centreY() const { return (top + bottom) / 2; }
    constexpr float width() const { return right - left; }
};

struct KnobPlace {
    const char* caption;
    Rect knob;
    Rect label;
    bool large;
};

// Left group, then the right group, then the four small knobs.
constexpr std::array<KnobPlace, 10> kKnobs{{
    {"Length", {33, 162, 104, 233}, {32, 120, 107, 141}, true},
    {"Feedback", {183, 162, 254, 233}, {182, 120, 257, 141}, true},
    {"Mix", {110, 289, 181, 360}, {108, 382, 183, 403}, true},
    {"Length", {645, 162, 716, 233}, {646, 120, 721, 141}, true},
    {"Feedback", {795, 162, 866, 233}, {796, 120, 871, 141}, true},
    {"Mix", {722, 289, 793, 360}, {722, 382, 797, 403}, true},
    {"Highpass", {342, 243, 390, 291}, {331, 206, 400, 227}, false},
    {"Lowpass", {437, 243, 485, 291}, {426, 206, 495, 227}, false},
    {"Drive", {342, 365, 390, 413}, {331, 327, 400, 348}, false},
    {"Gain", {437, 365, 485, 413}, {426, 327, 495, 348}, false},
}};

// The editor's value arcs: radii from the knob centre as fractions of half the
// ring square (111 units for large knobs, 88 for small ones).
constexpr float kLargeRingSquare = 111.0f;
constexpr float kSmallRingSquare = 88.0f;
constexpr float kLargeRingInner = 0.69f, kLargeRingOuter = 0.82f;
constexpr float kSmallRingInner = 0.60f, kSmallRingOuter = 0.73f;

constexpr Rect kSwitch{384, 120, 436, 156};
constexpr Rect kUpsample{500, 116, 581, 180};
constexpr Rect kSlider{526, 222, 557, 479};
constexpr Rect kSliderLabel{504, 207, 579, 228};

constexpr float kEditorWidth = 900.0f;
constexpr float kEditorHeight = 450.0f;

}  // namespace artgen
