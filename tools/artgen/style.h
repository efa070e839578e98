#pragma once
// The look shared by every image: the palette, and the two neumorphic effects,
// a part raised from the surface (light from the top left, a dark shadow to the
// bottom right) and a part pressed into it (the same light seen from inside).
//
// Generator thread only.

#include "raster.h"

namespace artgen {

namespace palette {
constexpr Colour surface = rgb(225, 229, 236);     // the editor body
constexpr Colour surfaceLight = rgb(238, 241, 246);
constexpr Colour surfaceDark = rgb(207, 212, 221);
constexpr Colour shadow = rgb(151, 162, 184);      // neumorphic dark shadow
constexpr Colour highlight = rgb(255, 255, 255);   // neumorphic light side
constexpr Colour caption = rgb(72, 80, 98);        // caption text
constexpr Colour captionSoft = rgb(128, 136, 152);
constexpr Colour accent = rgb(51, 68, 129);        // the editor's value arcs
constexpr Colour accentLit = rgb(86, 124, 232);    // lit button text
constexpr Colour display = rgb(44, 49, 60);        // value readout recess
constexpr Colour valueText = rgb(151, 150, 152);   // the editor's value text
}  // namespace palette

// Strength and reach of a neumorphic effect, in pixels of the image drawn.
struct Depth {
    int offset = 4;         // light and shadow shift
    int blur = 4;           // box radius of the softening passes
    float shadow = 0.55f;   // dark side opacity
    float light = 0.9f;     // light side opacity
};

// Generator thread, like everything below. Shadows of a raised part with outline `shape` (drawn under the part; paint
// the part itself afterwards).
void dropShadows(Layer& layer, const Mask& shape, const Depth& depth);
// Inner shadows of a part pressed in with outline `shape` (drawn over its
// floor, which must be painted first).
void innerShadows(Layer& layer, const Mask& shape, const Depth& depth);
// The same with other colours for the dark and light side (dark displays).
void innerShadows(Layer& layer, const Mask& shape, const Depth& depth, Colour dark, Colour light);

// Margin a mask needs around its shape for dropShadows / innerShadows.
int effectMargin(const Depth& depth);

}  // namespace artgen
