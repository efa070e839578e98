#pragma once
// Helpers for the widget tests: layers filled with a background, painting an
// element into a layer through the element's own render walk, pixel
// comparisons, and an editor opened in an off-screen window.

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <memory>

#include "framework/graphics/image.h"
#include "framework/gui/testeditor.h"
#include "framework/gui/uicontext.h"
#include "framework/gui/uielement.h"
#include "framework/window/offscreenwindow.h"

namespace widgettest {

using fw::Box;
using fw::ImageRef;
using fw::OwnedImage;
using fw::RGBA;

inline constexpr RGBA kBackground{40, 80, 120, 255};

inline OwnedImage<RGBA> filledLayer(int w, int h, RGBA fill = kBackground) {
    OwnedImage<RGBA> img(w, h);
    img.fillAll(fill);
    return img;
}

// Paints `element` over `areas` (root coordinates) of `layer`, as the render
// pipeline's raw pass does.
inline void paint(fw::UIElement& element, ImageRef<RGBA> layer, std::initializer_list<Box> areas) {
    fw::Vec<Box> list;
    for (const Box& b : areas) list.pushBack(b);
    element.renderRaw(layer, list);
}
inline void paintAll(fw::UIElement& element, ImageRef<RGBA> layer) { paint(element, layer, {layer.bounds()}); }

// Pixels that differ between two images of the same size.
inline int countDifferences(ImageRef<const RGBA> a, ImageRef<const RGBA> b) {
    EXPECT_EQ(a.w, b.w);
    EXPECT_EQ(a.h, b.h);
    int n = 0;
    for (int y = 0; y < std::min(a.h, b.h); ++y)
        for (int x = 0; x < std::min(a.w, b.w); ++x)
            if (!(a.at(x, y) == b.at(x, y))) ++n;
    return n;
}
inline int countDifferent(ImageRef<const RGBA> img, RGBA from) {
    int n = 0;
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            if (!(img.at(x, y) == from)) ++n;
    return n;
}

// An editor of 900 x 450 that paints kBackground, opened in an off-screen window.
struct OpenedEditor {
    OpenedEditor() {
        editor.setWindowFactory(&factory);
        editor.openUI(nullptr, nullptr, nullptr, fw::GraphicsBackend::cocoa);
        window = factory.lastWindow();
    }
    ~OpenedEditor() { editor.closeUI(); }
    template <typename T>
    T* add(std::unique_ptr<T> element, Box position) {
        T* e = editor.addChild(std::move(element));
        e->setPosition(position);
        return e;
    }
    fw::UIContext& context() { return editor.context(); }
    RGBA shown(int x, int y) const { return window->screen().at(x, y); }

    fw::OffscreenWindowFactory factory;
    guitest::TestEditor editor;
    fw::OffscreenWindow* window = nullptr;
};

static_assert(guitest::TestEditor::kBackground == kBackground);

}  // namespace widgettest
