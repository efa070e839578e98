#pragma once
// FlatBackgroundGUI: the base of a flat editor: a root that paints one picture
// (embedded PNG art) stretched over the whole UI, under image-based widgets.
// The art is rescaled on the first paint after a size change and then copied
// into each dirty rectangle as it is (it replaces what was below, alpha too).
// Subclasses place their widgets in reflow, which does nothing here. Nothing of
// a flat editor is lit, so the editor runs without lighting maps or compositor.
//
// Threads: onDrawRaw runs on the paint pool; everything else on the UI thread.

#include <cstddef>
#include <cstdint>

#include "framework/graphics/image.h"
#include "framework/gui/guigraphics.h"

namespace fw {

class FlatBackgroundGUI : public GUIGraphics {
public:
    // UI thread. Decodes the art; corrupt art is a fatal error naming `artName`.
    // The PNG bytes are only read here.
    FlatBackgroundGUI(const SizeConstraints& constraints, const char* artName, const std::uint8_t* png,
                      std::size_t pngSize);

    // UI thread.
    void reflow() override {}
    // Paint pool thread (never beside another element: the root covers them all).
    void onDrawRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& dirtyRects) override;

    // Any thread. The decoded art at its own size.
    const OwnedImage<RGBA>& backgroundArt() const noexcept { return backgroundArt_; }
    // UI thread, between frames. The art at the size of the last paint; empty
    // when that size is the art's own (the art is then copied directly).
    const OwnedImage<RGBA>& scaledBackground() const noexcept { return scaledBackground_; }

private:
    OwnedImage<RGBA> backgroundArt_;
    OwnedImage<RGBA> scaledBackground_;
    int scaledWidth_ = 0;   // the size scaledBackground_ was made for
    int scaledHeight_ = 0;
};

}  // namespace fw
