#include "tlmgui/bitmap.h"

#include "framework/graphics/blend.h"

namespace tlmgui {

void blendUnscaled(int originX, int originY, fw::ImageRef<fw::RGBA> rawLayer,
                   const fw::Vec<fw::Box>& dirtyRects, fw::ImageRef<const fw::RGBA> image) noexcept {
    if (image.w <= 0 || image.h <= 0) return;
    for (const fw::Box& rect : dirtyRects) {
        if (rect.empty()) continue;
        const fw::Box inElement = rect.translate(originX, originY);
        // A rectangle left of or above the element would shift the crop; skip it.
        if (inElement.minX < 0 || inElement.minY < 0) continue;
        const fw::ImageRef<const fw::RGBA> src = image.cropImageRef(inElement);
        const fw::ImageRef<fw::RGBA> dst = rawLayer.cropImageRef(rect);
        if (src.w <= 0 || src.h <= 0) continue;
        fw::blendOver(dst, src);
    }
}

UIBitmap::UIBitmap(fw::UIContext& context, fw::ImageRef<const fw::RGBA> image)
    : UIElement(context, fw::UIFlags::drawsRaw), image_(image) {}

void UIBitmap::onDrawRaw(fw::ImageRef<fw::RGBA> rawLayer, const fw::Vec<fw::Box>& dirtyRects) {
    blendUnscaled(drawOriginX(), drawOriginY(), rawLayer, dirtyRects, image_);
}

}  // namespace tlmgui
