#pragma once
// An editor with the plug-in's size rules whose root paints a plain background,
// and solid elements, for the render pipeline tests and benchmarks.

#include <atomic>
#include <cstdint>

#include "framework/gui/guigraphics.h"

namespace guitest {

inline fw::SizeConstraints editorSizes() {
    return fw::SizeConstraints::makeDiscreteRatio(900, 450, {0.5f, 0.75f, 1.0f, 1.25f, 1.5f, 1.75f, 2.0f});
}

inline void fillRects(fw::ImageRef<fw::RGBA> layer, const fw::Vec<fw::Box>& rects, fw::RGBA c) {
    for (const fw::Box& r : rects)
        for (int y = r.minY; y < r.maxY; ++y)
            for (int x = r.minX; x < r.maxX; ++x) layer.at(x, y) = c;
}

inline std::uint32_t pack(fw::RGBA c) {
    return std::uint32_t(c.r) | std::uint32_t(c.g) << 8 | std::uint32_t(c.b) << 16 | std::uint32_t(c.a) << 24;
}
inline fw::RGBA unpack(std::uint32_t v) {
    return fw::RGBA{std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
}

// Paints its colour (which any thread may change) over its dirty rectangles.
class Solid : public fw::UIElement {
public:
    Solid(fw::UIContext& c, fw::RGBA color, std::uint32_t flags = fw::UIFlags::drawsRaw)
        : UIElement(c, flags), color_(pack(color)) {}
    // Any thread.
    void setColor(fw::RGBA c) {
        color_.store(pack(c), std::memory_order_relaxed);
        setDirtyWhole();
    }
    fw::RGBA color() const { return unpack(color_.load(std::memory_order_relaxed)); }
    void onDrawRaw(fw::ImageRef<fw::RGBA> layer, const fw::Vec<fw::Box>& rects) override {
        paints.fetch_add(1, std::memory_order_relaxed);
        fillRects(layer, rects, color());
    }
    std::atomic<int> paints{0};

private:
    std::atomic<std::uint32_t> color_;
};

class TestEditor : public fw::GUIGraphics {
public:
    static constexpr fw::RGBA kBackground{40, 80, 120, 255};
    explicit TestEditor(fw::SizeConstraints c = editorSizes())
        : GUIGraphics(c, fw::UIFlags::drawsRaw | fw::UIFlags::isAnimated) {}
    void onDrawRaw(fw::ImageRef<fw::RGBA> layer, const fw::Vec<fw::Box>& rects) override {
        fillRects(layer, rects, kBackground);
    }
    void onScreenshot(fw::ImageRef<const fw::RGBA>, fw::WindowPixelFormat, fw::Mipmap<fw::RGBA>&,
                      fw::Mipmap<fw::L16>&, fw::Mipmap<fw::RGBA>&) override {
        ++screenshots;
    }
    int screenshots = 0;
};

}  // namespace guitest
