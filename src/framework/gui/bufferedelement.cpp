#include "framework/gui/bufferedelement.h"

namespace fw {

namespace {

// (b o + l (255 - o) + 127) / 255, integer division.
template <typename V>
V blend(V buffer, V layer, unsigned o) noexcept {
    return V((unsigned(buffer) * o + unsigned(layer) * (255u - o) + 127u) / 255u);
}

RGBA blend(RGBA b, RGBA l, unsigned o) noexcept {
    return RGBA{blend(b.r, l.r, o), blend(b.g, l.g, o), blend(b.b, l.b, o), blend(b.a, l.a, o)};
}

L16 blend(L16 b, L16 l, unsigned o) noexcept {
    return L16{std::uint16_t((std::uint32_t(b.l) * o + std::uint32_t(l.l) * (255u - o) + 127u) / 255u)};
}

// Blends `src` (element coordinates) into `dst` (layer view, whose pixel 0,0
// is element pixel (ox, oy)) over `rects` (layer view coordinates).
template <typename T>
void blendRects(ImageRef<T> dst, const OwnedImage<T>& src, const OwnedImage<L8>& opacity, int ox, int oy,
                const Vec<Box>& rects) noexcept {
    for (const Box& r : rects) {
        for (int y = r.minY; y < r.maxY; ++y) {
            T* out = dst.scanline(y);
            const T* in = src.scanline(y + oy) + ox;
            const L8* op = opacity.scanline(y + oy) + ox;
            for (int x = r.minX; x < r.maxX; ++x) {
                const unsigned o = op[x].l;
                if (o != 0) out[x] = blend(in[x], out[x], o);
            }
        }
    }
}

template <typename T>
bool resizeIfNeeded(OwnedImage<T>& image, int w, int h) {
    if (image.width() == w && image.height() == h) return false;
    image.size(w, h);
    return true;
}

}  // namespace

void UIBufferedElementRaw::setDirty(const Box& rect, UILayer layer) {
    mustBeRedrawn_.store(true, std::memory_order_release);
    UIElement::setDirty(rect, layer);
}

void UIBufferedElementRaw::setDirtyWhole(UILayer layer) {
    mustBeRedrawn_.store(true, std::memory_order_release);
    UIElement::setDirtyWhole(layer);
}

void UIBufferedElementRaw::onDrawRaw(ImageRef<RGBA> rawLayer, const Vec<Box>& dirtyRects) {
    const Box p = position();
    const int w = p.width(), h = p.height();
    bool redraw = resizeIfNeeded(colorBuffer_, w, h);
    redraw = resizeIfNeeded(opacityBuffer_, w, h) || redraw;
    redraw = mustBeRedrawn_.exchange(false, std::memory_order_acquire) || redraw;
    if (redraw) {
        colorBuffer_.fillAll(RGBA{0, 0, 0, 255});
        opacityBuffer_.fillAll(L8{0});
        onDrawBufferedRaw(colorBuffer_, opacityBuffer_);
    }
    blendRects(rawLayer, colorBuffer_, opacityBuffer_, drawOriginX(), drawOriginY(), dirtyRects);
}

void UIBufferedElementPBR::setDirty(const Box& rect, UILayer layer) {
    mustBeRedrawn_.store(true, std::memory_order_release);
    UIElement::setDirty(rect, layer);
}

void UIBufferedElementPBR::setDirtyWhole(UILayer layer) {
    mustBeRedrawn_.store(true, std::memory_order_release);
    UIElement::setDirtyWhole(layer);
}

void UIBufferedElementPBR::onDrawPBR(ImageRef<RGBA> diffuseMap, ImageRef<L16> depthMap, ImageRef<RGBA> materialMap,
                                     const Vec<Box>& dirtyRects) {
    const Box p = position();
    const int w = p.width(), h = p.height();
    bool redraw = resizeIfNeeded(diffuseBuffer_, w, h);
    redraw = resizeIfNeeded(depthBuffer_, w, h) || redraw;
    redraw = resizeIfNeeded(materialBuffer_, w, h) || redraw;
    redraw = resizeIfNeeded(opacityBuffer_, w, h) || redraw;
    redraw = mustBeRedrawn_.exchange(false, std::memory_order_acquire) || redraw;
    if (redraw) {
        diffuseBuffer_.fillAll(RGBA{0, 0, 0, 255});
        depthBuffer_.fillAll(L16{0});
        materialBuffer_.fillAll(RGBA{});
        opacityBuffer_.fillAll(L8{0});
        onDrawBufferedPBR(diffuseBuffer_, depthBuffer_, materialBuffer_, opacityBuffer_);
    }
    const int ox = drawOriginX(), oy = drawOriginY();
    blendRects(diffuseMap, diffuseBuffer_, opacityBuffer_, ox, oy, dirtyRects);
    blendRects(depthMap, depthBuffer_, opacityBuffer_, ox, oy, dirtyRects);
    blendRects(materialMap, materialBuffer_, opacityBuffer_, ox, oy, dirtyRects);
}

}  // namespace fw
