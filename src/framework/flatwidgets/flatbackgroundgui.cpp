#include "framework/flatwidgets/flatbackgroundgui.h"

#include "framework/graphics/blend.h"
#include "framework/graphics/imageresizer.h"
#include "framework/graphics/pngdecode.h"

namespace fw {

FlatBackgroundGUI::FlatBackgroundGUI(const SizeConstraints& constraints, const char* artName,
                                     const std::uint8_t* png, std::size_t pngSize)
    : GUIGraphics(constraints, UIFlags::drawsRaw | UIFlags::isAnimated),
      backgroundArt_(loadEmbeddedPNG(artName, png, pngSize)) {
    // Everything of a flat editor is in the raw layer.
    disableLighting();
}

void FlatBackgroundGUI::onDrawRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& dirtyRects) {
    const Box p = position();
    const int w = p.width(), h = p.height();
    if (w <= 0 || h <= 0) return;
    const bool artSize = w == backgroundArt_.width() && h == backgroundArt_.height();
    if (artSize && scaledWidth_ != 0) {
        // Back at the art's own size: the art is drawn directly, the copy goes.
        scaledBackground_ = OwnedImage<RGBA>();
        scaledWidth_ = 0;
        scaledHeight_ = 0;
    }
    if (!artSize && (w != scaledWidth_ || h != scaledHeight_)) {
        // The one-time cache of a size change. The resizer's scratch lives only
        // for this call: a background is rescaled rarely, and the scratch of a
        // large editor is not worth keeping.
        scaledBackground_.size(w, h);
        ImageResizer resizer;
        const Status s = resizer.resizeImageSRGBNoAlpha(backgroundArt_, scaledBackground_,
                                                        ResizeFilter::magicKernelSharpBlend);
        if (!s) scaledBackground_.fillAll(RGBA{0, 0, 0, 255});  // empty art: black, never stale pixels
        scaledWidth_ = w;
        scaledHeight_ = h;
    }
    const ImageRef<const RGBA> source = artSize ? ImageRef<const RGBA>(backgroundArt_) : scaledBackground_;
    const int ox = drawOriginX(), oy = drawOriginY();
    for (const Box& r : dirtyRects) copyPixels(rawLayer.cropImageRef(r), source.cropImageRef(r.translate(ox, oy)));
}

}  // namespace fw
