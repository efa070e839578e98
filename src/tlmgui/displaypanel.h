#pragma once
// DisplayPanel: an opaque solid-colour write over its dirty rectangles (the
// colour's alpha is written as is).
//
// Threads: construction on the UI thread; onDrawRaw on the paint pool.

#include <string>

#include "framework/graphics/color.h"
#include "framework/gui/uielement.h"

namespace tlmgui {

class DisplayPanel : public fw::UIElement {
public:
    // UI thread.
    DisplayPanel(fw::UIContext& context, fw::RGBA color);

    // UI thread. Panels show no text; kept for displays built on them.
    virtual void setText(const std::string& text);

    // Paint pool thread. Allocates nothing.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

private:
    fw::RGBA color_;
};

}  // namespace tlmgui
