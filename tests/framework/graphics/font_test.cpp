// Font metrics, layout and text drawing with the editor's font (Bitstream Vera
// Sans Bold, embedded at build time). Layout and glyph pixels are checked
// against Debian's compiled stb_truetype used directly.
#include "framework/graphics/font.h"

#include <gtest/gtest.h>
#include <stb/stb_truetype.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "assets/kestrin_font_vera_bold.h"
#include "framework/graphics/utf8.h"
#include "goldenimage.h"
#include "support/realtime_watch.h"

namespace {

using fw::Box;
using fw::CharacterPosition;
using fw::Font;
using fw::HorizontalAlignment;
using fw::OwnedImage;
using fw::RGBA;
using fw::VerticalAlignment;

const std::uint8_t* fontData() { return assets::kVeraSansBold; }
std::size_t fontSize() { return assets::kVeraSansBoldSize; }

std::uint16_t be16(const std::uint8_t* p) { return std::uint16_t((p[0] << 8) | p[1]); }
std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
void putBE16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v >> 8);
    p[1] = std::uint8_t(v);
}

// Offset of a table in the font file, from the table directory.
std::uint32_t tableOffset(const std::uint8_t* font, const char tag[5]) {
    const int numTables = be16(font + 4);
    for (int i = 0; i < numTables; ++i) {
        const std::uint8_t* rec = font + 12 + 16 * i;
        if (std::memcmp(rec, tag, 4) == 0) return be32(rec + 8);
    }
    return 0;
}

Font& editorFont() {
    static Font font(fontData(), fontSize());
    return font;
}

OwnedImage<RGBA> blank(int w, int h, RGBA fill = RGBA{}) {
    OwnedImage<RGBA> img(w, h);
    img.fillAll(fill);
    return img;
}

std::vector<CharacterPosition> layout(std::string_view text, float size, float spacing, float x = 0, float y = 0) {
    std::vector<CharacterPosition> out;
    editorFont().iterateCharacterPositions(text, size, spacing, x, y,
                                           [&](const CharacterPosition& p) { out.push_back(p); });
    return out;
}

TEST(Font, VerticalMetricsComeFromTheHheaTable) {
    const std::uint32_t hhea = tableOffset(fontData(), "hhea");
    ASSERT_NE(hhea, 0u);
    EXPECT_EQ(editorFont().ascent(), std::int16_t(be16(fontData() + hhea + 4)));
    EXPECT_EQ(editorFont().descent(), std::int16_t(be16(fontData() + hhea + 6)));
    EXPECT_EQ(editorFont().lineGap(), std::int16_t(be16(fontData() + hhea + 8)));
    EXPECT_FLOAT_EQ(editorFont().scaleForPixelSize(10.0f),
                    10.0f / float(editorFont().ascent() - editorFont().descent()));
}

TEST(Font, HeightOfxIsTheTopOfTheGlyphBox) {
    stbtt_fontinfo info;
    ASSERT_TRUE(stbtt_InitFont(&info, fontData(), 0));
    int x0, y0, x1, y1;
    ASSERT_TRUE(stbtt_GetCodepointBox(&info, 'x', &x0, &y0, &x1, &y1));
    EXPECT_FLOAT_EQ(editorFont().getHeightOfx(20.0f), float(y1) * editorFont().scaleForPixelSize(20.0f));
}

// A copy of the font whose character maps send "x" to the missing glyph.
std::vector<std::uint8_t> fontWithoutX() {
    std::vector<std::uint8_t> f(fontData(), fontData() + fontSize());
    std::uint8_t* base = f.data();
    const std::uint32_t cmap = tableOffset(base, "cmap");
    const int numSubtables = be16(base + cmap + 2);
    for (int i = 0; i < numSubtables; ++i) {
        std::uint8_t* sub = base + cmap + be32(base + cmap + 4 + 8 * i + 4);
        const int format = be16(sub);
        if (format == 0) {
            sub[6 + 'x'] = 0;
        } else if (format == 4) {
            const int segX2 = be16(sub + 6);
            std::uint8_t* ends = sub + 14;
            std::uint8_t* starts = ends + segX2 + 2;
            std::uint8_t* deltas = starts + segX2;
            std::uint8_t* rangeOffsets = deltas + segX2;
            for (int s = 0; s < segX2; s += 2) {
                if (be16(starts + s) <= 'x' && 'x' <= be16(ends + s)) {
                    const int ro = be16(rangeOffsets + s);
                    if (ro == 0)
                        putBE16(deltas + s, std::uint16_t(-int('x')));
                    else
                        putBE16(rangeOffsets + s + ro + 2 * ('x' - be16(starts + s)), 0);
                }
            }
        }
    }
    return f;
}

TEST(Font, HeightOfxFallsBackToTheAscentWithoutAnxGlyph) {
    const std::vector<std::uint8_t> patched = fontWithoutX();
    stbtt_fontinfo info;
    ASSERT_TRUE(stbtt_InitFont(&info, patched.data(), 0));
    ASSERT_EQ(stbtt_FindGlyphIndex(&info, 'x'), 0);
    Font font(patched.data(), patched.size());
    EXPECT_FLOAT_EQ(font.getHeightOfx(12.0f), float(font.ascent()) * font.scaleForPixelSize(12.0f));
}

TEST(Font, UnusableFontDataIsFatal) {
    const std::uint8_t junk[64] = {1, 2, 3};
    EXPECT_DEATH(Font(junk, sizeof(junk)), "not a usable TrueType font");
    EXPECT_DEATH(Font(nullptr, 0), "font data is missing");
}

// Layout rebuilt with stb_truetype directly: kerning and advance in font units
// times the scale, eighth-pixel shifts, sub-pixel glyph boxes.
struct ExpectedGlyph {
    int codePoint;
    int penX, penY;  // integer pen
    float xShift, yShift;
    int x0, y0, x1, y1;  // box relative to the integer pen
};
std::vector<ExpectedGlyph> referenceLayout(const std::string& ascii, float size, float spacing, float x, float y) {
    stbtt_fontinfo info;
    EXPECT_TRUE(stbtt_InitFont(&info, fontData(), 0));
    int ascent, descent, gap;
    stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);
    const float scale = size / float(ascent - descent);
    std::vector<ExpectedGlyph> out;
    float pen = x;
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        const int cp = ascii[i];
        if (i > 0) pen += float(stbtt_GetCodepointKernAdvance(&info, ascii[i - 1], cp)) * scale;
        ExpectedGlyph g{cp, int(std::floor(pen)), int(std::floor(y)), 0, 0, 0, 0, 0, 0};
        g.xShift = std::round((pen - std::floor(pen)) * 8) / 8;
        g.yShift = std::round((y - std::floor(y)) * 8) / 8;
        stbtt_GetCodepointBitmapBoxSubpixel(&info, cp, scale, scale, g.xShift, g.yShift, &g.x0, &g.y0, &g.x1, &g.y1);
        out.push_back(g);
        int advance, bearing;
        stbtt_GetCodepointHMetrics(&info, cp, &advance, &bearing);
        pen += float(advance) * scale + spacing;
    }
    return out;
}

TEST(Font, LayoutFollowsKerningAdvancesAndEighthPixelShifts) {
    const std::string text = "AVATAR Wave 1/16";
    const auto expected = referenceLayout(text, 13.0f, 0.5f, 3.3f, 7.6f);
    const auto actual = layout(text, 13.0f, 0.5f, 3.3f, 7.6f);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < actual.size(); ++i) {
        const ExpectedGlyph& e = expected[i];
        EXPECT_EQ(actual[i].index, int(i));
        EXPECT_EQ(actual[i].codePoint, char32_t(e.codePoint));
        EXPECT_EQ(actual[i].xShift, e.xShift) << i;
        EXPECT_EQ(actual[i].yShift, e.yShift) << i;
        if (e.codePoint == ' ') {
            EXPECT_EQ(actual[i].box, (Box{e.penX, e.penY, e.penX, e.penY})) << "space sits at the pen";
        } else {
            EXPECT_EQ(actual[i].box, (Box{e.x0, e.y0, e.x1, e.y1}).translate(e.penX, e.penY)) << i;
        }
    }
}

TEST(Font, MeasureTextIncludesPenPositionsOfGlyphsWithoutOutline) {
    const Box a = editorFont().measureText("A", 20.0f, 0.0f);
    const Box aSpace = editorFont().measureText("A ", 20.0f, 0.0f);
    const auto glyphs = layout("A ", 20.0f, 0.0f);
    EXPECT_EQ(a, glyphs[0].box);
    EXPECT_EQ(aSpace.maxX, std::max(glyphs[0].box.maxX, glyphs[1].box.maxX));
    EXPECT_GT(editorFont().measureText("A   ", 20.0f, 0.0f).maxX, a.maxX);
    // Text above the baseline has negative y.
    EXPECT_LT(a.minY, 0);
    EXPECT_TRUE(editorFont().measureText("", 20.0f, 0.0f).empty());
}

TEST(Font, MalformedUtf8LaysOutAsReplacementCharacters) {
    const auto glyphs = layout("a\xFF" "b\xE2\x82", 10.0f, 0.0f);
    ASSERT_EQ(glyphs.size(), 4u);
    EXPECT_EQ(glyphs[1].codePoint, fw::kReplacementCharacter);
    EXPECT_EQ(glyphs[2].codePoint, U'b');
    EXPECT_EQ(glyphs[3].codePoint, fw::kReplacementCharacter);
}

TEST(Font, FuzzedTextIteratesSafely) {
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> byte(0, 255), length(0, 40);
    OwnedImage<RGBA> img = blank(64, 24);
    for (int round = 0; round < 300; ++round) {
        std::string s(std::size_t(length(rng)), '\0');
        for (char& c : s) c = char(byte(rng));
        int expectedIndex = 0;
        editorFont().iterateCharacterPositions(s, 11.0f, 0.5f, 0.0f, 0.0f, [&](const CharacterPosition& p) {
            EXPECT_EQ(p.index, expectedIndex++);
            EXPECT_LE(p.codePoint, 0x10FFFFu);
        });
        EXPECT_LE(expectedIndex, int(s.size()));
        fw::fillText(img, editorFont(), s, 11.0f, 0.5f, RGBA{255, 255, 255, 255}, 32, 12,
                     HorizontalAlignment::center, VerticalAlignment::center);
    }
}

TEST(Font, AbsurdSizesAndPositionsLayOutNothing) {
    EXPECT_TRUE(layout("abc", -4.0f, 0.0f).empty());
    EXPECT_TRUE(layout("abc", std::nanf(""), 0.0f).empty());
    EXPECT_TRUE(layout("abc", 5000.0f, 0.0f).empty());
    EXPECT_TRUE(layout("abc", 10.0f, 0.0f, INFINITY).empty());
}

// Draws the reference layout with stb's own glyph bitmaps and the text blend.
void referenceFillText(OwnedImage<RGBA>& img, const std::string& ascii, float size, float spacing, RGBA c, int ox,
                       int oy, float startX, float startY) {
    stbtt_fontinfo info;
    ASSERT_TRUE(stbtt_InitFont(&info, fontData(), 0));
    int ascent, descent, gap;
    stbtt_GetFontVMetrics(&info, &ascent, &descent, &gap);
    const float scale = size / float(ascent - descent);
    for (const ExpectedGlyph& g : referenceLayout(ascii, size, spacing, startX, startY)) {
        const int w = g.x1 - g.x0, h = g.y1 - g.y0;
        if (w <= 0 || h <= 0) continue;
        std::vector<unsigned char> cov(std::size_t(w * h));
        stbtt_MakeCodepointBitmapSubpixel(&info, cov.data(), w, h, w, scale, scale, g.xShift, g.yShift, g.codePoint);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int px = ox + g.penX + g.x0 + x, py = oy + g.penY + g.y0 + y;
                if (px < 0 || py < 0 || px >= img.width() || py >= img.height()) continue;
                const int k = cov[std::size_t(y * w + x)];
                RGBA& d = img.at(px, py);
                d.r = std::uint8_t((c.r * k + d.r * (255 - k) + 128) >> 8);
                d.g = std::uint8_t((c.g * k + d.g * (255 - k) + 128) >> 8);
                d.b = std::uint8_t((c.b * k + d.b * (255 - k) + 128) >> 8);
                d.a = c.a;
            }
    }
}

TEST(FillText, MatchesStbTruetypeGlyphsBlendedAtThePen) {
    const RGBA color{151, 150, 152, 255};
    OwnedImage<RGBA> actual = blank(120, 30, RGBA{30, 60, 90, 200});
    OwnedImage<RGBA> expected = blank(120, 30, RGBA{30, 60, 90, 200});
    fw::fillText(actual, editorFont(), "1000 ms AV", 14.0f, 0.5f, color, 4.3f, 20.6f);
    referenceFillText(expected, "1000 ms AV", 14.0f, 0.5f, color, 4, 20, 0.3f, 0.6f);
    EXPECT_TRUE(testsupport::matchesGolden("filltext-label", actual, expected));
}

TEST(FillText, GlyphBoxesOverTransparencyBecomeTheTextAlphaEvenWhereEmpty) {
    OwnedImage<RGBA> img = blank(80, 30);
    const RGBA color{220, 220, 220, 200};
    fw::fillText(img, editorFont(), "Lo", 16.0f, 0.0f, color, 10, 20);
    const auto glyphs = layout("Lo", 16.0f, 0.0f, 10, 20);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            const bool inBox = glyphs[0].box.contains(x, y) || glyphs[1].box.contains(x, y);
            ASSERT_EQ(img.at(x, y).a, inBox ? 200 : 0) << x << "," << y;
        }
    // The top-right corner of the L's box holds no ink but is still opaque-ish.
    const Box l = glyphs[0].box;
    EXPECT_EQ(img.at(l.maxX - 1, l.minY), (RGBA{0, 0, 0, 200}));
}

Box inkedArea(const OwnedImage<RGBA>& img) {
    Box area;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.at(x, y).a != 0) area = area.expand(Box{x, y, x + 1, y + 1});
    return area;
}

TEST(FillText, CentringUsesTheMeasuredBox) {
    OwnedImage<RGBA> img = blank(100, 40);
    fw::fillText(img, editorFont(), "50 %", 10.0f, 0.5f, RGBA{255, 255, 255, 255}, 50.0f, 20.0f,
                 HorizontalAlignment::center, VerticalAlignment::center);
    const Box ink = inkedArea(img);
    EXPECT_NEAR((ink.minX + ink.maxX) / 2.0, 50.0, 1.0);
    EXPECT_NEAR((ink.minY + ink.maxY) / 2.0, 20.0, 1.0);
    // Trailing spaces count: the same word moves left when followed by spaces.
    OwnedImage<RGBA> spaced = blank(100, 40);
    fw::fillText(spaced, editorFont(), "50 %   ", 10.0f, 0.5f, RGBA{255, 255, 255, 255}, 50.0f, 20.0f,
                 HorizontalAlignment::center, VerticalAlignment::center);
    EXPECT_LT(inkedArea(spaced).minX, ink.minX);
}

TEST(FillText, ClipsToTheViewAndLeavesTheRestAlone) {
    OwnedImage<RGBA> big = blank(60, 40, RGBA{1, 2, 3, 4});
    const auto view = big.toRef().cropImageRef(Box{20, 10, 40, 30});
    fw::fillText(view, editorFont(), "WWWWW", 24.0f, 0.0f, RGBA{255, 0, 0, 255}, -8, 18);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            if (!Box{20, 10, 40, 30}.contains(x, y)) {
                ASSERT_EQ(big.at(x, y), (RGBA{1, 2, 3, 4}));
            }
    int drawn = 0;
    for (int y = 10; y < 30; ++y)
        for (int x = 20; x < 40; ++x) drawn += big.at(x, y).a == 255;
    EXPECT_GT(drawn, 20);
}

TEST(FillText, NonFinitePositionDrawsNothing) {
    OwnedImage<RGBA> img = blank(40, 20);
    fw::fillText(img, editorFont(), "abc", 10.0f, 0.0f, RGBA{255, 255, 255, 255}, std::nanf(""), 10);
    fw::fillText(img, editorFont(), "abc", 10.0f, 0.0f, RGBA{255, 255, 255, 255}, 10, -INFINITY);
    EXPECT_TRUE(inkedArea(img).empty());
}

TEST(FillText, CachedGlyphsDrawWithoutAllocating) {
    Font font(fontData(), fontSize());
    OwnedImage<RGBA> img = blank(100, 30);
    fw::fillText(img, font, "18000 Hz", 10.0f, 0.5f, RGBA{151, 150, 152, 255}, 50, 15, HorizontalAlignment::center,
                 VerticalAlignment::center);
    const auto first = testsupport::imageChecksum(img);
    img.fillAll(RGBA{});
    testsupport::RealtimeWatch watch;
    fw::fillText(img, font, "18000 Hz", 10.0f, 0.5f, RGBA{151, 150, 152, 255}, 50, 15, HorizontalAlignment::center,
                 VerticalAlignment::center);
    EXPECT_EQ(watch.counts().allocations, 0);
    EXPECT_EQ(testsupport::imageChecksum(img), first);
}

TEST(FillText, PaintersSharingAFontGetTheSamePixelsAsOneAlone) {
    Font font(fontData(), fontSize());
    const std::string texts[] = {"1/16", "1 & 1/2", "Delay 250 ms", "-5 dB", "Width 100 %"};
    auto paint = [&](OwnedImage<RGBA>& img, int seed) {
        img.fillAll(RGBA{});
        for (int i = 0; i < 40; ++i) {
            const float size = 8.0f + float((i + seed) % 9);
            fw::fillText(img, font, texts[(i + seed) % 5], size, 0.5f, RGBA{255, 255, 255, 255},
                         10.0f + float(i % 7) * 0.125f, 10.0f + float(i % 3) * 9.3f);
        }
    };
    OwnedImage<RGBA> a(120, 40), b(120, 40), refA(120, 40), refB(120, 40);
    std::thread t1([&] { paint(a, 0); });
    std::thread t2([&] { paint(b, 3); });
    t1.join();
    t2.join();
    paint(refA, 0);
    paint(refB, 3);
    EXPECT_EQ(testsupport::imageChecksum(a), testsupport::imageChecksum(refA));
    EXPECT_EQ(testsupport::imageChecksum(b), testsupport::imageChecksum(refB));
}

}  // namespace
