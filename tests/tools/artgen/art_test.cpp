// The embedded editor art: every image decodes at its size and frame layout,
// frames end in transparent edges, knob pointers point where the value says,
// the slider handle, switch thumb and pressed button move where they should,
// the readouts are dark enough for the editor's grey text, and the generator
// draws the very bytes that were embedded, on every run.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "art.h"
#include "assets/kestrin_art.h"
#include "framework/graphics/pngdecode.h"
#include "framework/graphics/pngencode.h"
#include "layout.h"

namespace {

using fw::Box;
using fw::OwnedImage;
using fw::RGBA;

OwnedImage<RGBA> decode(const unsigned char* data, std::size_t size) {
    OwnedImage<RGBA> img;
    const fw::Status st = fw::decodePNG(data, size, img);
    EXPECT_TRUE(st.ok()) << st.message();
    return img;
}

fw::ImageRef<const RGBA> part(const OwnedImage<RGBA>& img, Box box) {
    return fw::ImageRef<const RGBA>(img).cropImageRef(box);
}

// Every pixel on the outermost rows and columns of `view` is fully transparent.
::testing::AssertionResult edgesTransparent(fw::ImageRef<const RGBA> view) {
    auto check = [&](int x, int y) { return view.at(x, y).a == 0; };
    for (int x = 0; x < view.w; ++x)
        for (int y : {0, view.h - 1})
            if (!check(x, y))
                return ::testing::AssertionFailure() << "alpha " << int(view.at(x, y).a) << " at " << x << "," << y;
    for (int y = 0; y < view.h; ++y)
        for (int x : {0, view.w - 1})
            if (!check(x, y))
                return ::testing::AssertionFailure() << "alpha " << int(view.at(x, y).a) << " at " << x << "," << y;
    return ::testing::AssertionSuccess();
}

bool samePixels(fw::ImageRef<const RGBA> a, fw::ImageRef<const RGBA> b) {
    if (a.w != b.w || a.h != b.h) return false;
    for (int y = 0; y < a.h; ++y)
        for (int x = 0; x < a.w; ++x)
            if (!(a.at(x, y) == b.at(x, y))) return false;
    return true;
}

// The accent blue of pointers and lit parts: clearly bluer than it is red.
bool isAccent(RGBA p) { return p.a > 128 && int(p.b) - int(p.r) > 50; }

// WCAG relative luminance of an sRGB colour, and the contrast ratio of two.
double channelLinear(int c) {
    const double v = c / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}
double luminance(RGBA p) {
    return 0.2126 * channelLinear(p.r) + 0.7152 * channelLinear(p.g) + 0.0722 * channelLinear(p.b);
}
double contrast(RGBA a, RGBA b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

struct Embedded {
    const unsigned char* data;
    std::size_t size;
    const char* fileName;
};
const std::array<Embedded, 10> kEmbedded{{
    {assets::kArtBackground, assets::kArtBackgroundSize, "background-neumorphic.png"},
    {assets::kArtKnobLarge, assets::kArtKnobLargeSize, "knob-large.png"},
    {assets::kArtKnobSmall, assets::kArtKnobSmallSize, "knob-small.png"},
    {assets::kArtSwitchOff, assets::kArtSwitchOffSize, "switch-off.png"},
    {assets::kArtSwitchOn, assets::kArtSwitchOnSize, "switch-on.png"},
    {assets::kArtSlider, assets::kArtSliderSize, "slider.png"},
    {assets::kArtUpsample0, assets::kArtUpsample0Size, "upsample-0.png"},
    {assets::kArtUpsample1, assets::kArtUpsample1Size, "upsample-1.png"},
    {assets::kArtUpsample2, assets::kArtUpsample2Size, "upsample-2.png"},
    {assets::kArtUpsample3, assets::kArtUpsample3Size, "upsample-3.png"},
}};

TEST(EmbeddedArt, EveryImageDecodesAtItsSize) {
    const std::array<std::pair<int, int>, 10> sizes{{{1800, 900},
                                                     {142, 142 * 260},
                                                     {64, 64 * 260},
                                                     {104, 70},
                                                     {104, 70},
                                                     {62 * 62, 514},
                                                     {162, 129},
                                                     {162, 129},
                                                     {162, 129},
                                                     {162, 129}}};
    for (std::size_t i = 0; i < kEmbedded.size(); ++i) {
        const OwnedImage<RGBA> img = decode(kEmbedded[i].data, kEmbedded[i].size);
        EXPECT_EQ(img.width(), sizes[i].first) << kEmbedded[i].fileName;
        EXPECT_EQ(img.height(), sizes[i].second) << kEmbedded[i].fileName;
    }
}

TEST(EmbeddedArt, BackgroundIsOpaqueWithAPlainResizeCorner) {
    const OwnedImage<RGBA> bg = decode(assets::kArtBackground, assets::kArtBackgroundSize);
    ASSERT_EQ(bg.width(), 1800);
    for (int y = 0; y < bg.height(); ++y)
        for (int x = 0; x < bg.width(); ++x) ASSERT_EQ(bg.at(x, y).a, 255) << x << "," << y;
    // The editor's grip goes in the bottom-right 30 x 30 pixels of the window,
    // 60 x 60 here at twice the size: that corner is an even surface.
    int lo = 255, hi = 0;
    for (int y = 900 - 60; y < 900; ++y)
        for (int x = 1800 - 60; x < 1800; ++x) {
            lo = std::min({lo, int(bg.at(x, y).r), int(bg.at(x, y).g), int(bg.at(x, y).b)});
            hi = std::max({hi, int(bg.at(x, y).r), int(bg.at(x, y).g), int(bg.at(x, y).b)});
        }
    const RGBA c = bg.at(1800 - 30, 900 - 30);
    int spread = 0;
    for (int y = 900 - 60; y < 900; ++y)
        for (int x = 1800 - 60; x < 1800; ++x)
            spread = std::max({spread, std::abs(int(bg.at(x, y).r) - c.r), std::abs(int(bg.at(x, y).g) - c.g),
                               std::abs(int(bg.at(x, y).b) - c.b)});
    EXPECT_LE(spread, 3);
}

TEST(EmbeddedArt, ReadoutsAreDarkEnoughForTheValueText) {
    const OwnedImage<RGBA> bg = decode(assets::kArtBackground, assets::kArtBackgroundSize);
    const RGBA text{151, 150, 152, 255};
    std::vector<artgen::Rect> labels;
    for (const artgen::KnobPlace& k : artgen::kKnobs) labels.push_back(k.label);
    labels.push_back(artgen::kSliderLabel);
    for (const artgen::Rect& r : labels) {
        // The text's band: the middle half of the readout, its whole width but the corners.
        for (int y = int(r.top * 2 + (r.bottom - r.top) / 2); y < int(r.bottom * 2 - (r.bottom - r.top) / 2); ++y)
            for (int x = int(r.left * 2 + 8); x < int(r.right * 2 - 8); ++x)
                // 4.5:1 is the usual floor for small body text.
                ASSERT_GE(contrast(bg.at(x, y), text), 4.5)
                    << "readout at " << r.left << "," << r.top << ", pixel " << x << "," << y;
    }
}

TEST(EmbeddedArt, ValueArcTracksContrastWithTheArcColour) {
    const OwnedImage<RGBA> bg = decode(assets::kArtBackground, assets::kArtBackgroundSize);
    const RGBA arc{51, 68, 129, 255};
    for (const artgen::KnobPlace& k : artgen::kKnobs) {
        const float half = (k.large ? artgen::kLargeRingSquare : artgen::kSmallRingSquare);  // 2 px per unit
        const float r = half * ((k.large ? artgen::kLargeRingInner + artgen::kLargeRingOuter
                                         : artgen::kSmallRingInner + artgen::kSmallRingOuter) /
                                2);
        const float cx = (k.knob.left + k.knob.right), cy = (k.knob.top + k.knob.bottom);
        // Along the middle of the arc's band, over its whole travel.
        for (int s = 0; s <= 64; ++s) {
            const float a = artgen::knobAngle(float(s) / 64);
            const RGBA p = bg.at(int(cx + r * std::cos(a)), int(cy + r * std::sin(a)));
            ASSERT_GE(contrast(p, arc), 4.5) << k.caption << " at " << s;
        }
    }
}

void checkKnobStrip(const OwnedImage<RGBA>& strip, int f) {
    ASSERT_EQ(strip.width(), f);
    ASSERT_EQ(strip.height(), f * artgen::kKnobFrames);
    auto frame = [&](int i) { return part(strip, Box{0, i * f, f, (i + 1) * f}); };
    for (int i = 0; i < artgen::kKnobFrames; ++i) {
        ASSERT_TRUE(edgesTransparent(frame(i))) << "frame " << i;
        if (i > 0) {
            ASSERT_FALSE(samePixels(frame(i), frame(i - 1))) << "frame " << i;
        }
    }
    // The pointer is the only accent-coloured part; its centroid lies on its axis.
    for (int i : {0, 1, 64, 129, 130, 194, 258, 259}) {
        const fw::ImageRef<const RGBA> v = frame(i);
        double sx = 0, sy = 0;
        int n = 0;
        for (int y = 0; y < f; ++y)
            for (int x = 0; x < f; ++x)
                if (isAccent(v.at(x, y))) sx += x + 0.5, sy += y + 0.5, ++n;
        ASSERT_GT(n, 10) << "frame " << i;
        const double angle = std::atan2(sy / n - f / 2.0, sx / n - f / 2.0);
        const double expected = artgen::knobAngle(float(i) / float(artgen::kKnobFrames - 1));
        double diff = std::remainder(angle - expected, 2 * std::numbers::pi);
        EXPECT_NEAR(diff, 0.0, 0.03) << "frame " << i;
        // And it lies well inside the body, away from the centre.
        const double dist = std::hypot(sx / n - f / 2.0, sy / n - f / 2.0);
        EXPECT_GT(dist, 0.2 * f / 2);
        EXPECT_LT(dist, 0.7 * f / 2);
    }
}

TEST(EmbeddedArt, KnobFramesPointAtTheirValuesInsideTransparentEdges) {
    checkKnobStrip(decode(assets::kArtKnobLarge, assets::kArtKnobLargeSize), 142);
    checkKnobStrip(decode(assets::kArtKnobSmall, assets::kArtKnobSmallSize), 64);
}

TEST(EmbeddedArt, KnobBodyFillsMostOfItsFrame) {
    struct Strip {
        const unsigned char* data;
        std::size_t size;
        int f;
    };
    for (const Strip& k : {Strip{assets::kArtKnobLarge, assets::kArtKnobLargeSize, 142},
                           Strip{assets::kArtKnobSmall, assets::kArtKnobSmallSize, 64}}) {
        const OwnedImage<RGBA> strip = decode(k.data, k.size);
        const int f = k.f;
        // Opaque from the centre out along the horizontal to at least 0.75 of the half frame.
        const int c = f / 2;
        int x = c;
        while (x < f && strip.at(x, c).a == 255) ++x;
        EXPECT_GE(x - c, int(0.75 * c)) << f;
        EXPECT_LE(x - c, int(0.9 * c)) << f;
    }
}

TEST(EmbeddedArt, SwitchThumbSitsLeftWhenOffAndRightWhenOn) {
    const OwnedImage<RGBA> off = decode(assets::kArtSwitchOff, assets::kArtSwitchOffSize);
    const OwnedImage<RGBA> on = decode(assets::kArtSwitchOn, assets::kArtSwitchOnSize);
    EXPECT_TRUE(edgesTransparent(off));
    EXPECT_TRUE(edgesTransparent(on));
    // The thumb is the only bright, opaque part.
    auto thumbX = [](const OwnedImage<RGBA>& img) {
        double sx = 0;
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const RGBA p = img.at(x, y);
                if (p.a == 255 && p.r > 232 && p.g > 232 && p.b > 232) sx += x + 0.5, ++n;
            }
        return n > 0 ? sx / n : -1.0;
    };
    const double half = artgen::kSwitchWidth / 2.0;
    EXPECT_GT(thumbX(off), 0.0);
    EXPECT_LT(thumbX(off), half);
    EXPECT_GT(thumbX(on), half);
}

TEST(EmbeddedArt, SliderHandleRisesWithTheFrameInsideTheVisiblePart) {
    const OwnedImage<RGBA> s = decode(assets::kArtSlider, assets::kArtSliderSize);
    ASSERT_EQ(s.width(), 62 * 62);
    const int w = artgen::kSliderFrameWidth;
    // The editor shows rows above 450 - 222 design units, twice that in pixels,
    // and its readout covers the top 6 units.
    const int visibleBottom = (450 - 222) * 2;
    const int labelBottom = 6 * 2;
    double previous = 1e9;
    for (int i = 0; i < artgen::kSliderFrames; ++i) {
        const fw::ImageRef<const RGBA> f = part(s, Box{i * w, 0, (i + 1) * w, s.height()});
        ASSERT_TRUE(edgesTransparent(f)) << "frame " << i;
        // Off the groove's axis only the handle is opaque.
        const int x = w / 2 + 12;
        int top = -1, bottom = -1;
        for (int y = 0; y < f.h; ++y)
            if (f.at(x, y).a == 255) {
                if (top < 0) top = y;
                bottom = y;
            }
        ASSERT_GE(top, 0) << "frame " << i;
        EXPECT_GT(top, labelBottom) << "frame " << i;
        EXPECT_LT(bottom, visibleBottom) << "frame " << i;
        const double centre = (top + bottom) / 2.0;
        EXPECT_LT(centre, previous) << "frame " << i;
        previous = centre;
        // Nothing is drawn where the editor does not show it.
        for (int y = visibleBottom; y < f.h; ++y)
            for (int xx = 0; xx < w; ++xx) ASSERT_EQ(f.at(xx, y).a, 0) << "frame " << i;
    }
}

TEST(EmbeddedArt, UpsampleStatesDifferExactlyInTheirPressedCells) {
    std::array<OwnedImage<RGBA>, 4> states;
    for (int i = 0; i < 4; ++i) {
        states[std::size_t(i)] = decode(kEmbedded[std::size_t(6 + i)].data, kEmbedded[std::size_t(6 + i)].size);
        ASSERT_TRUE(edgesTransparent(states[std::size_t(i)])) << i;
    }
    const int sx = artgen::kUpsampleSplitX, sy = artgen::kUpsampleSplitY;
    const std::array<Box, 4> cells{Box{0, 0, sx, sy}, Box{sx, 0, 162, sy}, Box{0, sy, sx, 129}, Box{sx, sy, 162, 129}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            if (i == j) continue;
            for (int c = 0; c < 4; ++c) {
                const bool same = samePixels(part(states[std::size_t(i)], cells[std::size_t(c)]),
                                             part(states[std::size_t(j)], cells[std::size_t(c)]));
                EXPECT_EQ(same, c != i && c != j) << "states " << i << " and " << j << ", cell " << c;
            }
        }
    // Only the pressed cell's legend is lit.
    for (int i = 0; i < 4; ++i)
        for (int c = 0; c < 4; ++c) {
            const fw::ImageRef<const RGBA> v = part(states[std::size_t(i)], cells[std::size_t(c)]);
            int lit = 0;
            for (int y = 0; y < v.h; ++y)
                for (int x = 0; x < v.w; ++x) lit += isAccent(v.at(x, y));
            if (c == i) {
                EXPECT_GT(lit, 20) << "state " << i;
            } else {
                EXPECT_EQ(lit, 0) << "state " << i << ", cell " << c;
            }
        }
}

TEST(Generator, DrawsTheEmbeddedBytesOnEveryRun) {
    const std::vector<artgen::NamedImage> first = artgen::drawAll();
    const std::vector<artgen::NamedImage> second = artgen::drawAll();
    ASSERT_EQ(first.size(), kEmbedded.size());
    ASSERT_EQ(second.size(), kEmbedded.size());
    std::vector<std::uint8_t> a, b;
    for (std::size_t i = 0; i < first.size(); ++i) {
        EXPECT_EQ(first[i].fileName, kEmbedded[i].fileName);
        ASSERT_TRUE(fw::encodePNG(first[i].image, a, artgen::kArtPNGLevel).ok());
        ASSERT_TRUE(fw::encodePNG(second[i].image, b, artgen::kArtPNGLevel).ok());
        EXPECT_EQ(a, b) << first[i].fileName;
        const std::vector<std::uint8_t> embedded(kEmbedded[i].data, kEmbedded[i].data + kEmbedded[i].size);
        EXPECT_EQ(a, embedded) << first[i].fileName;
    }
}

}  // namespace
