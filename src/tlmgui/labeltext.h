#pragma once
// Text centred on a point of a widget, drawn into each of its dirty
// rectangles: the labels' common way of painting their text.

#include <string_view>

#include "framework/core/vec.h"
#include "framework/graphics/font.h"
#include "framework/graphics/image.h"
#include "framework/math/box.h"

namespace tlmgui {

// Paint pool thread. Draws `text` centred both ways on (x, y), given in the
// coordinates of `rawLayer` (the widget's view), clipped to every rectangle of
// `dirtyRects`. Allocates only when a glyph is rendered for the first time.
void fillTextCentred(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects, fw::Font& font,
                     std::string_view text, float size, float letterSpacing, fw::RGBA color, float x, float y);

}  // namespace tlmgui
