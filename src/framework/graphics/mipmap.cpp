#include "framework/graphics/mipmap.h"

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "framework/core/fatal.h"

namespace fw {

namespace {

int floorDiv2(int v) noexcept { return v >> 1; }  // arithmetic shift rounds towards -inf
int ceilDiv2(int v) noexcept { return -((-v) >> 1); }

// Weights of the cubic builder along one axis, for offsets -1, 0, 1, 2.
constexpr int kCubicWeights[4] = {1, 3, 3, 1};

template <typename T, typename Fn>
void forEachPixel(ImageRef<T> dst, Box rect, Fn&& fn) noexcept {
    const Box r = rect.intersection(dst.bounds());
    for (int y = r.minY; y < r.maxY; ++y) {
        T* out = dst.scanline(y);
        for (int x = r.minX; x < r.maxX; ++x) out[x] = fn(x, y);
    }
}

std::uint8_t byte(int v) noexcept { return std::uint8_t(v); }

}  // namespace

void generateLevelBoxRGBA(ImageRef<const RGBA> src, ImageRef<RGBA> dst, Box dstRect) noexcept {
    forEachPixel(dst, dstRect, [&](int x, int y) {
        const RGBA* r0 = src.scanline(2 * y) + 2 * x;
        const RGBA* r1 = src.scanline(2 * y + 1) + 2 * x;
        return RGBA{byte((r0[0].r + r0[1].r + r1[0].r + r1[1].r + 2) >> 2),
                    byte((r0[0].g + r0[1].g + r1[0].g + r1[1].g + 2) >> 2),
                    byte((r0[0].b + r0[1].b + r1[0].b + r1[1].b + 2) >> 2),
                    byte((r0[0].a + r0[1].a + r1[0].a + r1[1].a + 2) >> 2)};
    });
}

namespace {

// premultiplied: store colour x average alpha / 255 instead of the straight colour.
template <bool premultiplied>
void generateLevelBoxAlphaCov(ImageRef<const RGBA> src, ImageRef<RGBA> dst, Box dstRect) noexcept {
    forEachPixel(dst, dstRect, [&](int x, int y) {
        const RGBA* r0 = src.scanline(2 * y) + 2 * x;
        const RGBA* r1 = src.scanline(2 * y + 1) + 2 * x;
        const RGBA p[4] = {r0[0], r0[1], r1[0], r1[1]};
        int alphaSum = 0, r = 0, g = 0, b = 0;
        for (const RGBA& q : p) {
            alphaSum += q.a;
            r += q.r * q.a;
            g += q.g * q.a;
            b += q.b * q.a;
        }
        if (alphaSum == 0) return RGBA{0, 0, 0, 0};
        const std::uint8_t alpha = byte((alphaSum + 2) >> 2);
        if constexpr (premultiplied) {
            // (sum(c a) / sum(a)) * (sum(a) / 4) / 255 == sum(c a) / 1020, rounded.
            return RGBA{byte((r + 510) / 1020), byte((g + 510) / 1020), byte((b + 510) / 1020), alpha};
        } else {
            const int half = alphaSum / 2;
            return RGBA{byte((r + half) / alphaSum), byte((g + half) / alphaSum), byte((b + half) / alphaSum), alpha};
        }
    });
}

// Sums the 4x4 neighbourhood of (2x, 2y), clamped to the source, with the
// (1 3 3 1) outer-product weights; `get` reads one component.
template <typename P, typename Get>
int cubicSum(ImageRef<const P> src, int x, int y, Get&& get) noexcept {
    int sum = 0;
    for (int j = 0; j < 4; ++j) {
        const P* row = src.scanline(std::clamp(2 * y - 1 + j, 0, src.h - 1));
        int rowSum = 0;
        for (int i = 0; i < 4; ++i) rowSum += kCubicWeights[i] * get(row[std::clamp(2 * x - 1 + i, 0, src.w - 1)]);
        sum += kCubicWeights[j] * rowSum;
    }
    return sum;
}

}  // namespace

void generateLevelBoxAlphaCovRGBA(ImageRef<const RGBA> src, ImageRef<RGBA> dst, Box dstRect) noexcept {
    generateLevelBoxAlphaCov<false>(src, dst, dstRect);
}

void generateLevelBoxAlphaCovIntoPremulRGBA(ImageRef<const RGBA> src, ImageRef<RGBA> dst, Box dstRect) noexcept {
    generateLevelBoxAlphaCov<true>(src, dst, dstRect);
}

void generateLevelCubicRGBA(ImageRef<const RGBA> src, ImageRef<RGBA> dst, Box dstRect) noexcept {
    forEachPixel(dst, dstRect, [&](int x, int y) {
        // The weights total 64: (sum + 32) >> 6 is sum / 64 rounded to nearest.
        return RGBA{byte((cubicSum(src, x, y, [](RGBA p) { return int(p.r); }) + 32) >> 6),
                    byte((cubicSum(src, x, y, [](RGBA p) { return int(p.g); }) + 32) >> 6),
                    byte((cubicSum(src, x, y, [](RGBA p) { return int(p.b); }) + 32) >> 6),
                    byte((cubicSum(src, x, y, [](RGBA p) { return int(p.a); }) + 32) >> 6)};
    });
}

void generateLevelBoxL16(ImageRef<const L16> src, ImageRef<L16> dst, Box dstRect) noexcept {
    forEachPixel(dst, dstRect, [&](int x, int y) {
        const L16* r0 = src.scanline(2 * y) + 2 * x;
        const L16* r1 = src.scanline(2 * y + 1) + 2 * x;
        return L16{std::uint16_t((r0[0].l + r0[1].l + r1[0].l + r1[1].l + 2) >> 2)};
    });
}

void generateLevelCubicL16(ImageRef<const L16> src, ImageRef<L16> dst, Box dstRect) noexcept {
    forEachPixel(dst, dstRect, [&](int x, int y) {
        return L16{std::uint16_t((cubicSum(src, x, y, [](L16 p) { return int(p.l); }) + 32) >> 6)};
    });
}

template <typename T>
void Mipmap<T>::size(int maxLevels, int width, int height, int border, int borderRight) {
    levels_.clearContents();
    int w = std::max(width, 0), h = std::max(height, 0);
    for (int i = 0; i < std::max(maxLevels, 1); ++i) {
        if (i > 0 && (w == 0 || h == 0)) break;
        levels_.emplaceBack();
        levels_.back().size(w, h, i == 0 ? border : 0, i == 0 ? borderRight : 0);
        w /= 2;
        h /= 2;
    }
}

template <typename T>
Box Mipmap<T>::generateNextLevel(MipFilter filter, Box changedInPrevious, int level) noexcept {
    if (level < 1 || level >= numLevels()) return Box{};
    const OwnedImage<T>& prev = levels_[std::size_t(level - 1)];
    OwnedImage<T>& cur = levels_[std::size_t(level)];
    const Box c = changedInPrevious.intersection(Box{0, 0, prev.width(), prev.height()});
    if (c.empty()) return Box{};
    Box rect;
    if (filter == MipFilter::cubic) {
        // Destination x reads source columns 2x-1 .. 2x+2.
        rect = Box{ceilDiv2(c.minX - 2), ceilDiv2(c.minY - 2), floorDiv2(c.maxX) + 1, floorDiv2(c.maxY) + 1};
    } else {
        rect = Box{floorDiv2(c.minX), floorDiv2(c.minY), ceilDiv2(c.maxX), ceilDiv2(c.maxY)};
    }
    rect = rect.intersection(Box{0, 0, cur.width(), cur.height()});
    ImageRef<const T> src = prev;
    ImageRef<T> dst = cur;
    if constexpr (std::is_same_v<T, RGBA>) {
        switch (filter) {
            case MipFilter::box: generateLevelBoxRGBA(src, dst, rect); break;
            case MipFilter::boxAlphaCoverage: generateLevelBoxAlphaCovRGBA(src, dst, rect); break;
            case MipFilter::boxAlphaCoveragePremultiplied: generateLevelBoxAlphaCovIntoPremulRGBA(src, dst, rect); break;
            case MipFilter::cubic: generateLevelCubicRGBA(src, dst, rect); break;
        }
    } else {
        switch (filter) {
            case MipFilter::box: generateLevelBoxL16(src, dst, rect); break;
            case MipFilter::cubic: generateLevelCubicL16(src, dst, rect); break;
            default: fatalError("Mipmap: alpha-coverage filters need an RGBA image");
        }
    }
    return rect;
}

template <typename T>
void Mipmap<T>::generateMipmaps(MipFilter filter, Box changedInLevel0) noexcept {
    Box changed = changedInLevel0;
    for (int i = 1; i < numLevels(); ++i) changed = generateNextLevel(filter, changed, i);
}

template class Mipmap<RGBA>;
template class Mipmap<L16>;

}  // namespace fw
