#pragma once
// UIBufferedElementRaw and UIBufferedElementPBR: bases for widgets that change
// rarely but are painted often (an overlapping element repaints them). The
// widget paints into private buffers of its own size with an opacity mask, and
// only when it marked itself dirty or its size changed; every other repaint
// re-blends the cached pixels into the layer:
//     layer = (buffer x opacity + layer x (255 - opacity) + 127) / 255
// for every channel, alpha included (and for depth).

#include <atomic>

#include "framework/graphics/image.h"
#include "framework/gui/uielement.h"

namespace fw {

class UIBufferedElementRaw : public UIElement {
public:
    // UI thread.
    UIBufferedElementRaw(UIContext& context, std::uint32_t flags) : UIElement(context, flags) {}

    // Any thread; only posts a dirty rectangle and asks for the buffers to be painted again.
    void setDirty(const Box& rect, UILayer layer = UILayer::fromFlags) override;
    void setDirtyWhole(UILayer layer = UILayer::fromFlags) override;

    // Paint pool thread. Paints the buffers when needed, then blends them.
    void onDrawRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& dirtyRects) override;

protected:
    // Paint pool thread. Paint the whole element: `colorBuffer` starts opaque
    // black, `opacityBuffer` 0 (fully transparent); both are the element's size.
    virtual void onDrawBufferedRaw(ImageRef<RGBA> colorBuffer, ImageRef<L8> opacityBuffer) = 0;

private:
    OwnedImage<RGBA> colorBuffer_;
    OwnedImage<L8> opacityBuffer_;
    // Set (release) before the dirty rectangle is posted, taken (acquire) by the
    // paint that follows, so that a repaint never misses the request.
    std::atomic<bool> mustBeRedrawn_{true};
};

class UIBufferedElementPBR : public UIElement {
public:
    // UI thread.
    UIBufferedElementPBR(UIContext& context, std::uint32_t flags) : UIElement(context, flags) {}

    // Any thread; only posts a dirty rectangle and asks for the buffers to be painted again.
    void setDirty(const Box& rect, UILayer layer = UILayer::fromFlags) override;
    void setDirtyWhole(UILayer layer = UILayer::fromFlags) override;

    // Paint pool thread.
    void onDrawPBR(ImageRef<RGBA> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA> materialMap,
                   const Vec<Box>& dirtyRects) override;

protected:
    // Paint pool thread. Buffers start as diffuse opaque black, depth 0,
    // material 0 and opacity 0.
    virtual void onDrawBufferedPBR(ImageRef<RGBA> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA> materialMap,
                                   ImageRef<L8> opacityBuffer) = 0;

private:
    OwnedImage<RGBA> diffuseBuffer_;
    OwnedImage<L16> depthBuffer_;
    OwnedImage<RGBA> materialBuffer_;
    OwnedImage<L8> opacityBuffer_;
    std::atomic<bool> mustBeRedrawn_{true};
};

}  // namespace fw
