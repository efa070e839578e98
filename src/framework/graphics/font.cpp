#include "framework/graphics/font.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <tuple>

#include "framework/core/fatal.h"
#include "framework/graphics/utf8.h"

// The one translation unit compiling stb_truetype, with our allocator and
// assertion hooks; its functions are private to this file.
#define STBTT_STATIC
#define STB_TRUETYPE_IMPLEMENTATION
#define STBTT_malloc(size, user) ((void)(user), fw::checkedMalloc(size))
#define STBTT_free(block, user) ((void)(user), std::free(block))
#define STBTT_assert(condition) ((condition) ? (void)0 : fw::fatalError("stb_truetype: assertion failed: " #condition))
#if defined(__clang__)
#pragma clang diagnostic push
#pragma clang diagnostic ignored "-Wunused-function"
#elif defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#endif
#include <stb/stb_truetype.h>
#if defined(__clang__)
#pragma clang diagnostic pop
#elif defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace fw {

namespace {

struct GlyphKey {
    char32_t codePoint;
    float scale;
    float xShift;
    float yShift;
    bool operator<(const GlyphKey& o) const noexcept {
        return std::tie(codePoint, scale, xShift, yShift) < std::tie(o.codePoint, o.scale, o.xShift, o.yShift);
    }
};

struct GlyphBitmap {
    int width = 0;
    int height = 0;
    std::unique_ptr<std::uint8_t[]> coverage;  // pitch == width
};

// Pen coordinates beyond this are refused so that integer pixel positions never overflow.
constexpr float kMaxCoordinate = float(1 << 24);

}  // namespace

struct Font::Impl {
    stbtt_fontinfo info;
    int ascent = 0;
    int descent = 0;
    int lineGap = 0;
    std::map<GlyphKey, GlyphBitmap> glyphs;
};

Font::Font(const std::uint8_t* data, std::size_t size) : impl_(std::make_unique<Impl>()) {
    if (data == nullptr || size < 12) fatalError("font data is missing or too short");
    const int offset = stbtt_GetFontOffsetForIndex(data, 0);
    if (offset < 0 || !stbtt_InitFont(&impl_->info, data, offset)) fatalError("font data is not a usable TrueType font");
    stbtt_GetFontVMetrics(&impl_->info, &impl_->ascent, &impl_->descent, &impl_->lineGap);
    if (impl_->ascent - impl_->descent <= 0) fatalError("font has no vertical extent (hhea ascent <= descent)");
}

Font::~Font() = default;

int Font::ascent() const noexcept { return impl_->ascent; }
int Font::descent() const noexcept { return impl_->descent; }
int Font::lineGap() const noexcept { return impl_->lineGap; }

float Font::scaleForPixelSize(float fontSizePx) const noexcept {
    return fontSizePx / float(impl_->ascent - impl_->descent);
}

void Font::iterate(std::string_view text, float fontSizePx, float letterSpacing, float startX, float startY,
                   void* context, Sink sink) const noexcept {
    if (!std::isfinite(fontSizePx) || !std::isfinite(letterSpacing) || !std::isfinite(startX) ||
        !std::isfinite(startY) || fontSizePx <= 0 || fontSizePx > kMaxFontSize)
        return;
    const stbtt_fontinfo* info = &impl_->info;
    const float scale = scaleForPixelSize(fontSizePx);
    float penX = startX;
    const float penY = startY;
    const auto* p = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto* end = p + text.size();
    int previousGlyph = 0;
    for (int i = 0; p < end; ++i) {
        if (std::fabs(penX) > kMaxCoordinate || std::fabs(penY) > kMaxCoordinate) return;
        const char32_t cp = decodeUtf8(p, end);
        const int glyph = stbtt_FindGlyphIndex(info, int(cp));
        if (i > 0) penX += float(stbtt_GetGlyphKernAdvance(info, previousGlyph, glyph)) * scale;

        const float ix = std::floor(penX), iy = std::floor(penY);
        // Sub-pixel positions are quantised to eighths so that the cache stays small.
        const float xShift = std::round((penX - ix) * 8) / 8;
        const float yShift = std::round((penY - iy) * 8) / 8;

        CharacterPosition pos;
        pos.index = i;
        pos.codePoint = cp;
        pos.scale = scale;
        pos.xShift = xShift;
        pos.yShift = yShift;
        pos.glyphIndex = glyph;
        int x0, y0, x1, y1;
        if (!stbtt_IsGlyphEmpty(info, glyph) && stbtt_GetGlyphBox(info, glyph, &x0, &y0, &x1, &y1)) {
            pos.box = Box{int(std::floor(float(x0) * scale + xShift)), int(std::floor(-float(y1) * scale + yShift)),
                          int(std::ceil(float(x1) * scale + xShift)), int(std::ceil(-float(y0) * scale + yShift))};
        }
        pos.box = pos.box.translate(int(ix), int(iy));
        sink(context, pos);

        int advance, leftSideBearing;
        stbtt_GetGlyphHMetrics(info, glyph, &advance, &leftSideBearing);
        penX += float(advance) * scale + letterSpacing;
        previousGlyph = glyph;
    }
}

Box Font::measureText(std::string_view text, float fontSizePx, float letterSpacing) const noexcept {
    Box area;
    bool first = true;
    iterateCharacterPositions(text, fontSizePx, letterSpacing, 0.0f, 0.0f, [&](const CharacterPosition& p) {
        if (first) {
            area = p.box;
            first = false;
            return;
        }
        area.minX = std::min(area.minX, p.box.minX);
        area.minY = std::min(area.minY, p.box.minY);
        area.maxX = std::max(area.maxX, p.box.maxX);
        area.maxY = std::max(area.maxY, p.box.maxY);
    });
    return area;
}

float Font::getHeightOfx(float fontSizePx) const noexcept {
    const float scale = scaleForPixelSize(fontSizePx);
    const int glyph = stbtt_FindGlyphIndex(&impl_->info, 'x');
    int x0, y0, x1, y1;
    if (glyph != 0 && stbtt_GetGlyphBox(&impl_->info, glyph, &x0, &y0, &x1, &y1)) return float(y1) * scale;
    return float(impl_->ascent) * scale;
}

ImageRef<const L8> Font::glyphCoverage(const CharacterPosition& position) {
    std::lock_guard<UncheckedMutex> lock(mutex_);
    const GlyphKey key{position.codePoint, position.scale, position.xShift, position.yShift};
    auto it = impl_->glyphs.find(key);
    if (it == impl_->glyphs.end()) {
        GlyphBitmap bitmap;
        bitmap.width = std::max(position.box.width(), 0);
        bitmap.height = std::max(position.box.height(), 0);
        if (bitmap.width > 0 && bitmap.height > 0) {
            bitmap.coverage = std::make_unique<std::uint8_t[]>(std::size_t(bitmap.width) * std::size_t(bitmap.height));
            stbtt_MakeGlyphBitmapSubpixel(&impl_->info, bitmap.coverage.get(), bitmap.width, bitmap.height,
                                          bitmap.width, position.scale, position.scale, position.xShift,
                                          position.yShift, position.glyphIndex);
        }
        it = impl_->glyphs.emplace(key, std::move(bitmap)).first;
    }
    const GlyphBitmap& g = it->second;
    return ImageRef<const L8>{g.width, g.height, reinterpret_cast<const L8*>(g.coverage.get()), g.width};
}

void fillText(ImageRef<RGBA> surface, Font& font, std::string_view text, float fontSizePx, float letterSpacing,
              RGBA color, float x, float y, HorizontalAlignment horizontalAlignment,
              VerticalAlignment verticalAlignment) {
    if (surface.empty() || !std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > kMaxCoordinate ||
        std::fabs(y) > kMaxCoordinate)
        return;
    std::lock_guard<UncheckedMutex> lock(font.mutex());
    const Box area = font.measureText(text, fontSizePx, letterSpacing);
    int originX = int(std::floor(x));
    int originY = int(std::floor(y));
    if (horizontalAlignment == HorizontalAlignment::center) originX -= (area.minX + area.maxX) / 2;
    if (verticalAlignment == VerticalAlignment::center) originY -= (area.minY + area.maxY) / 2;

    // The pen starts at the fraction of (x, y) so that sub-pixel positions carry
    // over; boxes are then placed relative to the (centred) integer origin.
    font.iterateCharacterPositions(
        text, fontSizePx, letterSpacing, x - std::floor(x), y - std::floor(y), [&](const CharacterPosition& p) {
            if (p.box.empty()) return;
            const ImageRef<const L8> coverage = font.glyphCoverage(p);
            const Box placed = p.box.translate(originX, originY);
            const Box clipped = placed.intersection(surface.bounds());
            for (int py = clipped.minY; py < clipped.maxY; ++py) {
                const L8* src = coverage.scanline(py - placed.minY);
                RGBA* dst = surface.scanline(py);
                for (int px = clipped.minX; px < clipped.maxX; ++px) {
                    const int k = src[px - placed.minX].l;
                    RGBA& d = dst[px];
                    d.r = std::uint8_t((color.r * k + d.r * (255 - k) + 128) >> 8);
                    d.g = std::uint8_t((color.g * k + d.g * (255 - k) + 128) >> 8);
                    d.b = std::uint8_t((color.b * k + d.b * (255 - k) + 128) >> 8);
                    d.a = color.a;
                }
            }
        });
}

}  // namespace fw
