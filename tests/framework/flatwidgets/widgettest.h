#pragma once
// Shared pieces of the flat widget tests: art made in the test, plain reference
// implementations of the blend and of the resize calls, and an editor opened
// in an off-screen window with a client whose host records every call.

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "framework/client/testclient.h"
#include "framework/graphics/image.h"
#include "framework/graphics/imageresizer.h"
#include "framework/gui/testeditor.h"
#include "framework/window/offscreenwindow.h"

namespace widgettest {

using fw::Box;
using fw::ImageRef;
using fw::OwnedImage;
using fw::RGBA;

// A strip of `frames` frames of w x h stacked vertically. Every pixel differs
// with the frame, the position and the channel, and alpha sweeps the whole range,
// so a wrong frame, offset or blend shows.
inline OwnedImage<RGBA> makeStrip(int w, int h, int frames) {
    OwnedImage<RGBA> strip(w, h * frames);
    for (int f = 0; f < frames; ++f)
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                strip.at(x, f * h + y) = RGBA{std::uint8_t(f * 37 + x * 3), std::uint8_t(y * 5 + f),
                                              std::uint8_t(x * y + 11 * f), std::uint8_t((x * 7 + y * 13 + f) % 256)};
    return strip;
}

// The straight-alpha over blend as written: each channel, alpha included,
// (src * a + dst * (255 - a)) / 255 rounded down.
inline RGBA referenceOver(RGBA s, RGBA d) {
    const unsigned a = s.a;
    auto ch = [a](unsigned sc, unsigned dc) { return std::uint8_t((sc * a + dc * (255 - a)) / 255); };
    return RGBA{ch(s.r, d.r), ch(s.g, d.g), ch(s.b, d.b), ch(s.a, d.a)};
}

// `src` rescaled to w x h with the resampler the widgets are meant to use.
// A pixel as a window shows it (the window drops the layer's alpha).
inline RGBA opaque(RGBA c) { return RGBA{c.r, c.g, c.b, 255}; }

inline OwnedImage<RGBA> referenceResize(ImageRef<const RGBA> src, int w, int h, int alphaChannel) {
    OwnedImage<RGBA> out(w, h);
    fw::ImageResizer resizer;
    EXPECT_TRUE(resizer.resizeImageSRGB(src, out, alphaChannel, fw::ResizeFilter::magicKernelSharpBlend).ok());
    return out;
}

inline bool samePixels(ImageRef<const RGBA> a, ImageRef<const RGBA> b) {
    if (a.w != b.w || a.h != b.h) return false;
    for (int y = 0; y < a.h; ++y)
        for (int x = 0; x < a.w; ++x)
            if (!(a.at(x, y) == b.at(x, y))) return false;
    return true;
}

// The test editor (a plain background colour) opened in an off-screen window at
// its default 900 x 450, and a client whose parameters report to a FakeHost.
struct OpenedEditor {
    explicit OpenedEditor(fw::SizeConstraints sizes = guitest::editorSizes()) : editor(sizes) {
        client->setHostCommand(&host);
        editor.setWindowFactory(&factory);
        editor.openUI(nullptr, nullptr, nullptr, fw::GraphicsBackend::cocoa);
        window = factory.lastWindow();
    }
    fw::UIContext& context() { return editor.context(); }
    // What the window shows: the raw layer made opaque.
    RGBA shown(int x, int y) const { return window->screen().at(x, y); }

    // Declared first so that the widgets (owned by the editor) go before the
    // parameters they listen to.
    std::unique_ptr<testclient::TestClient> client = testclient::makeTestClient();
    testclient::FakeHost host;
    fw::OffscreenWindowFactory factory;
    guitest::TestEditor editor;
    fw::OffscreenWindow* window = nullptr;
};

}  // namespace widgettest
