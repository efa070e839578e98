#pragma once
// UIBox: a buffered solid-colour fill; its colour's alpha stays in the colour
// buffer, the opacity mask being the base's.
//
// Threads: construction on the UI thread; painting on the paint pool.

#include "framework/graphics/color.h"
#include "framework/gui/bufferedelement.h"

namespace tlmgui {

class UIBox : public fw::UIBufferedElementRaw {
public:
    // UI thread.
    UIBox(fw::UIContext& context, fw::RGBA color);

    // Any thread. The fill colour.
    fw::RGBA color() const noexcept { return color_; }

protected:
    // Paint pool thread. Every pixel of the colour buffer becomes the colour.
    void onDrawBufferedRaw(fw::ImageRef<fw::RGBA> colorBuffer, fw::ImageRef<fw::L8> opacityBuffer) override;

private:
    fw::RGBA color_;
};

}  // namespace tlmgui
