#pragma once
// The editor's art, drawn from code: every image the editor shows, at twice the
// 900 x 450 design size, as straight 8-bit RGBA. Each function draws its image
// from scratch and returns the same pixels on every call.
//
// Generator thread only (the tool and the tests); everything allocates.

#include <string>
#include <vector>

#include "framework/graphics/image.h"
#include "framework/graphics/pngencode.h"

namespace artgen {

// Knob strips: kKnobFrames square frames stacked top to bottom; frame i shows
// the value i / (kKnobFrames - 1).
constexpr int kKnobFrames = 260;
constexpr int kLargeKnobFrame = 142;
constexpr int kSmallKnobFrame = 64;
// The pointer's direction for a value 0..1: radians from +x, clockwise on
// screen, 3 pi / 4 (down left) through 3 pi / 2 (up) to 9 pi / 4 (down right).
// Any thread.
float knobAngle(float value);
// Generator thread. The strip for kLargeKnobFrame or kSmallKnobFrame frames.
fw::OwnedImage<fw::RGBA> drawKnobStrip(int framePx);

// The two-position switch, thumb left (off) or right (on).
constexpr int kSwitchWidth = 104;
constexpr int kSwitchHeight = 70;
// Generator thread.
fw::OwnedImage<fw::RGBA> drawSwitch(bool on);

// The vertical slider: kSliderFrames frames side by side, frame i with the
// handle at value i / (kSliderFrames - 1), 0 lowest.
constexpr int kSliderFrames = 62;
constexpr int kSliderFrameWidth = 62;
constexpr int kSliderHeight = 514;
// Vertical centre of the handle (pixels from the frame top) for a value 0..1.
// Any thread.
float sliderHandleCentre(float value);
// Generator thread.
fw::OwnedImage<fw::RGBA> drawSlider();

// The 2 x 2 oversampling selector with cell `pressed` (0 top left, 1 top
// right, 2 bottom left, 3 bottom right) pressed in.
constexpr int kUpsampleWidth = 162;
constexpr int kUpsampleHeight = 129;
constexpr int kUpsampleSplitX = 80;
constexpr int kUpsampleSplitY = 64;
// Generator thread.
fw::OwnedImage<fw::RGBA> drawUpsample(int pressed);

// The whole editor background, opaque.
constexpr int kBackgroundWidth = 1800;
constexpr int kBackgroundHeight = 900;
// Generator thread.
fw::OwnedImage<fw::RGBA> drawBackground();

// The art's files are deflated at this level: level 9 takes seconds on the
// knob strips for files barely smaller.
constexpr int kArtPNGLevel = fw::kPNGFast;

// Every image with the file name it is written under.
struct NamedImage {
    std::string fileName;
    fw::OwnedImage<fw::RGBA> image;
};
// Generator thread. In the order background, large knob, small knob, switch
// off, switch on, slider, selector states 0 to 3.
std::vector<NamedImage> drawAll();

}  // namespace artgen
