#include "framework/gui/bufferedelement.h"

#include <gtest/gtest.h>

#include "framework/gui/uicontext.h"

namespace {

using fw::Box;
using fw::ImageRef;
using fw::L16;
using fw::L8;
using fw::RGBA;
using fw::UIContext;
using fw::UIFlags;
using fw::Vec;

// Paints a colour at half opacity on its left half and nothing on its right half.
struct HalfPainter : fw::UIBufferedElementRaw {
    HalfPainter(UIContext& c) : UIBufferedElementRaw(c, UIFlags::drawsRaw) {}
    int paints = 0;
    RGBA color{200, 100, 0, 255};
    std::uint8_t opacity = 128;
    void onDrawBufferedRaw(ImageRef<RGBA> colorBuffer, ImageRef<L8> opacityBuffer) override {
        ++paints;
        EXPECT_EQ(colorBuffer.at(0, 0), (RGBA{0, 0, 0, 255}));  // starts opaque black
        EXPECT_EQ(opacityBuffer.at(0, 0).l, 0);
        for (int y = 0; y < colorBuffer.h; ++y)
            for (int x = 0; x < colorBuffer.w / 2; ++x) {
                colorBuffer.at(x, y) = color;
                opacityBuffer.at(x, y) = L8{opacity};
            }
    }
};

TEST(UIBufferedElementRaw, BlendsTheCacheWithExactRoundingAndRepaintsOnlyWhenDirty) {
    UIContext ctx;
    HalfPainter e(ctx);
    e.setPosition(Box{2, 2, 12, 6});
    fw::OwnedImage<RGBA> layer(20, 10);
    layer.fillAll(RGBA{100, 50, 255, 0});
    const Vec<Box> all{Box{0, 0, 20, 10}};
    e.renderRaw(layer, all);
    EXPECT_EQ(e.paints, 1);
    // (200*128 + 100*127 + 127) / 255 = 38427 / 255 = 150; (100*128 + 50*127 + 127) / 255 = 75;
    // (0*128 + 255*127 + 127) / 255 = 127; alpha (255*128 + 0 + 127) / 255 = 128.
    EXPECT_EQ(layer.at(2, 2), (RGBA{150, 75, 127, 128}));
    EXPECT_EQ(layer.at(6, 5), (RGBA{150, 75, 127, 128}));
    EXPECT_EQ(layer.at(7, 2), (RGBA{100, 50, 255, 0}));  // opacity 0: untouched
    EXPECT_EQ(layer.at(1, 2), (RGBA{100, 50, 255, 0}));  // outside the element

    // A repaint caused by a neighbour re-blends the cache without painting it.
    layer.fillAll(RGBA{100, 50, 255, 0});
    e.renderRaw(layer, all);
    EXPECT_EQ(e.paints, 1);
    EXPECT_EQ(layer.at(3, 3), (RGBA{150, 75, 127, 128}));

    // Marking itself dirty paints the cache again.
    e.color = RGBA{0, 0, 0, 0};
    e.opacity = 255;
    e.setDirtyWhole();
    e.renderRaw(layer, all);
    EXPECT_EQ(e.paints, 2);
    EXPECT_EQ(layer.at(3, 3), (RGBA{0, 0, 0, 0}));

    // So does a change of size.
    e.setPosition(Box{2, 2, 14, 6});
    e.renderRaw(layer, all);
    EXPECT_EQ(e.paints, 3);
}

TEST(UIBufferedElementRaw, AnElementCutOffAtTheLeftBlendsItsVisiblePart) {
    UIContext ctx;
    HalfPainter e(ctx);
    e.opacity = 255;
    e.setPosition(Box{-6, 0, 4, 2});  // columns 0..4 painted: layer columns -6..-2 are off-layer
    fw::OwnedImage<RGBA> layer(10, 2);
    layer.fillAll(RGBA{1, 1, 1, 1});
    e.renderRaw(layer, Vec<Box>{Box{0, 0, 10, 2}});
    // Element column 5 (layer column -1) is the first unpainted one, so the whole
    // visible part (layer 0..3 = element 6..9) stays untouched...
    EXPECT_EQ(layer.at(0, 0), (RGBA{1, 1, 1, 1}));
    // ...while a position showing element columns 0..4 blends them.
    e.setPosition(Box{-2, 0, 8, 2});
    e.renderRaw(layer, Vec<Box>{Box{0, 0, 10, 2}});
    EXPECT_EQ(layer.at(0, 0), e.color);   // element column 2
    EXPECT_EQ(layer.at(2, 1), e.color);   // element column 4
    EXPECT_EQ(layer.at(3, 1), (RGBA{1, 1, 1, 1}));  // element column 5
}

struct DepthPainter : fw::UIBufferedElementPBR {
    DepthPainter(UIContext& c) : UIBufferedElementPBR(c, UIFlags::drawsPBR) {}
    int paints = 0;
    void onDrawBufferedPBR(ImageRef<RGBA> diffuse, ImageRef<L16> depth, ImageRef<RGBA> material,
                           ImageRef<L8> opacity) override {
        ++paints;
        diffuse.at(0, 0) = RGBA{255, 255, 255, 255};
        depth.at(0, 0) = L16{60000};
        material.at(0, 0) = RGBA{10, 20, 30, 40};
        opacity.at(0, 0) = L8{51};
    }
};

TEST(UIBufferedElementPBR, BlendsAllThreeMapsWithTheSameRounding) {
    UIContext ctx;
    DepthPainter e(ctx);
    e.setPosition(Box{0, 0, 4, 4});
    fw::OwnedImage<RGBA> diffuse(4, 4), material(4, 4);
    fw::OwnedImage<L16> depth(4, 4);
    depth.fillAll(L16{1000});
    e.renderPBR(diffuse, depth, material, Vec<Box>{Box{0, 0, 4, 4}});
    EXPECT_EQ(e.paints, 1);
    // 255*51/255 = 51 exactly (+127 does not carry); depth (60000*51 + 1000*204 + 127) / 255 = 12800.
    EXPECT_EQ(diffuse.at(0, 0), (RGBA{51, 51, 51, 51}));
    EXPECT_EQ(depth.at(0, 0).l, 12800);
    // (10*51 + 127) / 255 = 2, (20*51 + 127) / 255 = 4, (30*51 + 127) / 255 = 6, (40*51 + 127) / 255 = 8.
    EXPECT_EQ(material.at(0, 0), (RGBA{2, 4, 6, 8}));
    EXPECT_EQ(depth.at(1, 0).l, 1000);
}

}  // namespace
