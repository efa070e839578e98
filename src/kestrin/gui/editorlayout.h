#pragma once
// Where the editor's widgets sit, in design units of the 900 x 450 editor
// (left, top, right, bottom; right and bottom exclusive). The editor scales
// these to its size; the art generator draws the recesses, captions and knob
// seats of the background around the same rectangles, so the two cannot drift.
//
// Header only, no dependencies beyond the rectangle type: any thread.

#include "framework/math/box.h"

namespace kestrin::layout {

inline constexpr int kDesignWidth = 900;
inline constexpr int kDesignHeight = 450;

// Widget numbers, in the order the editor creates them.
enum Widget : int {
    lengthKnobL = 1, feedbackKnobL, mixKnobL, lengthArcL, feedbackArcL, mixArcL,
    lengthKnobR, feedbackKnobR, mixKnobR, lengthArcR, feedbackArcR, mixArcR,
    lengthLabelL, lengthLabelR, feedbackLabelL, feedbackLabelR, mixLabelL, mixLabelR,
    syncSwitch,
    highpassArc, lowpassArc, driveArc, gainArc,
    highpassKnob, lowpassKnob, driveKnob, gainKnob,
    highpassLabel, lowpassLabel, driveLabel, gainLabel,
    widthSlider, widthLabel, upsampleButton,
    resizer,  // placed in pixels: the last 30 x 30 of the window
};
inline constexpr int kNumWidgets = resizer;

// Design rectangles by widget number (entry 0 and the resizer are empty).
inline constexpr fw::Box kRects[kNumWidgets + 1] = {
    {},
    {33, 162, 104, 233},   // 1 length L knob
    {183, 162, 254, 233},  // 2 feedback L knob
    {110, 289, 181, 360},  // 3 mix L knob
    {13, 142, 124, 253},   // 4 length L arc
    {163, 142, 274, 253},  // 5 feedback L arc
    {90, 269, 201, 380},   // 6 mix L arc
    {645, 162, 716, 233},  // 7 length R knob
    {795, 162, 866, 233},  // 8 feedback R knob
    {722, 289, 793, 360},  // 9 mix R knob
    {625, 142, 736, 253},  // 10 length R arc
    {775, 142, 886, 253},  // 11 feedback R arc
    {702, 269, 813, 380},  // 12 mix R arc
    {32, 120, 107, 141},   // 13 length L label
    {646, 120, 721, 141},  // 14 length R label
    {182, 120, 257, 141},  // 15 feedback L label
    {796, 120, 871, 141},  // 16 feedback R label
    {108, 382, 183, 403},  // 17 mix L label
    {722, 382, 797, 403},  // 18 mix R label
    {384, 120, 436, 156},  // 19 sync switch
    {322, 223, 410, 311},  // 20 highpass arc
    {417, 223, 505, 311},  // 21 lowpass arc
    {322, 345, 410, 433},  // 22 drive arc
    {417, 345, 505, 433},  // 23 gain arc
    {342, 243, 390, 291},  // 24 highpass knob
    {437, 243, 485, 291},  // 25 lowpass knob
    {342, 365, 390, 413},  // 26 drive knob
    {437, 365, 485, 413},  // 27 gain knob
    {331, 206, 400, 227},  // 28 highpass label
    {426, 206, 495, 227},  // 29 lowpass label
    {331, 327, 400, 348},  // 30 drive label
    {426, 327, 495, 348},  // 31 gain label
    {526, 222, 557, 479},  // 32 width slider (reaches below the editor)
    {504, 207, 579, 228},  // 33 width label
    {500, 116, 581, 180},  // 34 upsample button
    {},                    // 35 resizer
};

inline constexpr fw::Box rect(int widget) noexcept {
    return widget >= 1 && widget < kNumWidgets ? kRects[widget] : fw::Box{};
}

}  // namespace kestrin::layout
