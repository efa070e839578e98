#pragma once
// Font: a TrueType font read from memory (the bytes are borrowed and must outlive
// it), its vertical metrics, and a cache of rendered glyph coverage bitmaps keyed
// by (code point, scale, eighth-pixel x shift, eighth-pixel y shift). Glyphs are
// rasterised once per key and kept until the font is destroyed.
//
// Metrics and text iteration only read the font and may run on any thread. The
// cache is shared: fetching a glyph takes the font's mutex (fillText holds it for
// the whole call), so one font serialises its painters and different fonts do
// not contend.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "framework/core/uncheckedmutex.h"
#include "framework/graphics/image.h"
#include "framework/math/box.h"

namespace fw {

enum class HorizontalAlignment : int { left = 0, center = 1 };
enum class VerticalAlignment : int { baseline = 0, center = 1 };

// One character as laid out by iterateCharacterPositions.
struct CharacterPosition {
    int index = 0;          // 0-based position in the decoded text
    char32_t codePoint = 0;
    Box box;                // ink box in pixels (y down, baseline at the pen's y); empty for a space
    float scale = 0;        // pixels per font unit
    float xShift = 0;       // sub-pixel pen offset in pixels, a multiple of 1/8
    float yShift = 0;
    int glyphIndex = 0;
};

class Font {
public:
    // UI thread; allocates. A font that cannot be initialised (null, empty or
    // unparsable data) is a fatal program error: fonts are part of the program.
    Font(const std::uint8_t* data, std::size_t size);
    ~Font();
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;

    // From the hhea table, font units.
    int ascent() const noexcept;
    int descent() const noexcept;
    int lineGap() const noexcept;

    // Pixels per font unit for a pixel size: size / (ascent - descent).
    float scaleForPixelSize(float fontSizePx) const noexcept;

    // Any thread. Lays out UTF-8 text from the pen (startX, startY) and calls
    // callback(const CharacterPosition&) for every code point. Kerning between
    // neighbours and `letterSpacing` pixels are added to each advance. Does
    // nothing for non-finite or absurd arguments (see kMaxFontSize).
    template <typename Callback>
    void iterateCharacterPositions(std::string_view text, float fontSizePx, float letterSpacing, float startX,
                                   float startY, Callback&& callback) const noexcept {
        iterate(text, fontSizePx, letterSpacing, startX, startY, &callback,
                [](void* c, const CharacterPosition& p) { (*static_cast<Callback*>(c))(p); });
    }

    // Any thread. The area covered by the text laid out from (0, 0): the union
    // of the ink boxes, where a glyph without outline contributes its pen point.
    // Empty Box{} for empty text.
    Box measureText(std::string_view text, float fontSizePx, float letterSpacing) const noexcept;

    // Any thread. Height of a lower-case x above the baseline in pixels; the
    // ascent when the font has no "x".
    float getHeightOfx(float fontSizePx) const noexcept;

    // Any thread (takes the mutex). The coverage bitmap of a laid-out character,
    // rendered on first use; its size is the character's box size. Valid until
    // the font is destroyed.
    ImageRef<const L8> glyphCoverage(const CharacterPosition& position);

    // The lock serialising users of the glyph cache.
    UncheckedMutex& mutex() noexcept { return mutex_; }

    // Sizes above this (pixels) are refused: their glyph bitmaps would be huge.
    static constexpr float kMaxFontSize = 1024.0f;

private:
    using Sink = void (*)(void*, const CharacterPosition&);
    void iterate(std::string_view text, float fontSizePx, float letterSpacing, float startX, float startY,
                 void* context, Sink sink) const noexcept;

    struct Impl;
    std::unique_ptr<Impl> impl_;
    UncheckedMutex mutex_;
};

// Paint threads. Draws text in one colour. The pen starts at (x, y) (baseline);
// with HorizontalAlignment::center the measured box is centred on x, with
// VerticalAlignment::center on y. Inside every glyph box each of R, G, B becomes
// (color * K + dst * (255 - K) + 128) >> 8 with K the glyph coverage, and alpha
// becomes color.a, even where K is 0. Holds the font's mutex for the call;
// allocates only when a glyph is rendered for the first time.
void fillText(ImageRef<RGBA> surface, Font& font, std::string_view text, float fontSizePx, float letterSpacing,
              RGBA color, float x, float y, HorizontalAlignment horizontalAlignment = HorizontalAlignment::left,
              VerticalAlignment verticalAlignment = VerticalAlignment::baseline);

}  // namespace fw
