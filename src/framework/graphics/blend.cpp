#include "framework/graphics/blend.h"

#include <algorithm>
#include <cstring>

namespace fw {

void blendOver(ImageRef<RGBA> dst, ImageRef<const RGBA> src) noexcept {
    if (dst.pixels == nullptr || src.pixels == nullptr) return;
    const int w = std::min(dst.w, src.w);
    const int h = std::min(dst.h, src.h);
    for (int y = 0; y < h; ++y) {
        RGBA* d = dst.scanline(y);
        const RGBA* s = src.scanline(y);
        for (int x = 0; x < w; ++x) {
            const RGBA sp = s[x];
            // Fully transparent and fully opaque pixels are the common case in art.
            if (sp.a == 0) continue;
            d[x] = sp.a == 255 ? sp : blendOverPixel(sp, d[x]);
        }
    }
}

void copyPixels(ImageRef<RGBA> dst, ImageRef<const RGBA> src) noexcept {
    if (dst.pixels == nullptr || src.pixels == nullptr) return;
    const int w = std::min(dst.w, src.w);
    const int h = std::min(dst.h, src.h);
    if (w <= 0) return;
    for (int y = 0; y < h; ++y) std::memcpy(dst.scanline(y), src.scanline(y), std::size_t(w) * sizeof(RGBA));
}

}  // namespace fw
