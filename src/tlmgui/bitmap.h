#pragma once
// UIBitmap: a static image, blended unscaled from the element's top-left corner.
//
// Threads: construction on the UI thread; onDrawRaw on the paint pool.

#include "framework/graphics/image.h"
#include "framework/gui/uielement.h"

namespace tlmgui {

class UIBitmap : public fw::UIElement {
public:
    // UI thread. The image is borrowed and must outlive the element; an empty
    // view draws nothing.
    UIBitmap(fw::UIContext& context, fw::ImageRef<const fw::RGBA> image);

    // Paint pool thread. Blends the image into each dirty rectangle; allocates nothing.
    void onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) override;

    // Any thread. The image shown.
    fw::ImageRef<const fw::RGBA> image() const noexcept { return image_; }

private:
    fw::ImageRef<const fw::RGBA> image_;
};

// Any thread. Blends `image`, unscaled with its corner at the layer's
// (-originX, -originY), into each dirty rectangle of `rawLayer`; only the
// overlap is touched.
void blendUnscaled(int originX, int originY, fw::ImageRef<fw::RGBA> rawLayer,
                   const fw::Vec<fw::Box>& dirtyRects, fw::ImageRef<const fw::RGBA> image) noexcept;

}  // namespace tlmgui
