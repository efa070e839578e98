#include "framework/graphics/image.h"

#include <gtest/gtest.h>

#include "support/realtime_watch.h"

namespace {

using fw::Box;
using fw::ImageRef;
using fw::L16;
using fw::OwnedImage;
using fw::RGBA;

TEST(OwnedImage, PitchWithoutMarginsIsWidthTimesPixelSize) {
    OwnedImage<RGBA> rgba(13, 5);
    EXPECT_EQ(rgba.pitch(), 13 * 4);
    OwnedImage<L16> depth(7, 3);
    EXPECT_EQ(depth.pitch(), 7 * 2);
}

TEST(OwnedImage, MarginsWidenTheRowButTheViewIsTheInnerArea) {
    OwnedImage<L16> img(10, 4, 2, 3);
    EXPECT_EQ(img.pitch(), (10 + 2 * 2 + 3) * 2);
    const ImageRef<L16> view = img.toRef();
    EXPECT_EQ(view.w, 10);
    EXPECT_EQ(view.h, 4);
    // Every margin pixel is addressable around the inner area.
    img.fillAll(L16{7});
    img.at(-2, -2) = L16{1};
    img.at(10 + 2 + 3 - 1, 4 + 2 - 1) = L16{2};
    EXPECT_EQ(view.at(0, 0).l, 7);
    EXPECT_EQ(img.at(-2, -2).l, 1);
}

TEST(OwnedImage, NewImageIsZeroedAndNegativeSizesAreEmpty) {
    OwnedImage<RGBA> img(3, 3, 1);
    for (int y = -1; y < 4; ++y)
        for (int x = -1; x < 4; ++x) EXPECT_EQ(img.at(x, y), (RGBA{}));
    OwnedImage<RGBA> none(-4, 10);
    EXPECT_EQ(none.width(), 0);
    EXPECT_TRUE(none.toRef().empty());
}

TEST(OwnedImage, ResizingWithinTheAllocationDoesNotAllocate) {
    OwnedImage<RGBA> img(64, 64);
    testsupport::RealtimeWatch watch;
    img.size(32, 16);
    img.size(64, 64);
    EXPECT_EQ(watch.counts().allocations, 0);
    EXPECT_EQ(img.pitch(), 64 * 4);
}

TEST(OwnedImage, AbsurdDimensionsAreAFatalProgramError) {
    OwnedImage<RGBA> img;
    EXPECT_DEATH(img.size(1 << 20, 1 << 20), "image dimensions out of range");
}

TEST(OwnedImage, MovedFromImageIsEmpty) {
    OwnedImage<RGBA> a(4, 4);
    a.at(1, 1) = RGBA{1, 2, 3, 4};
    OwnedImage<RGBA> b = std::move(a);
    EXPECT_EQ(b.at(1, 1), (RGBA{1, 2, 3, 4}));
    EXPECT_EQ(a.width(), 0);
    EXPECT_EQ(a.pixels(), nullptr);
}

TEST(ImageRef, CropKeepsPitchAndMovesToTheTopLeft) {
    OwnedImage<RGBA> img(8, 6);
    img.at(3, 2) = RGBA{9, 9, 9, 9};
    const ImageRef<RGBA> sub = img.toRef().cropImageRef(Box{3, 2, 7, 5});
    EXPECT_EQ(sub.w, 4);
    EXPECT_EQ(sub.h, 3);
    EXPECT_EQ(sub.pitch, img.pitch());
    EXPECT_EQ(sub.at(0, 0), (RGBA{9, 9, 9, 9}));
}

TEST(ImageRef, CropIsClippedToTheView) {
    OwnedImage<RGBA> img(8, 6);
    const ImageRef<RGBA> sub = img.toRef().cropImageRef(Box{-5, 4, 100, 100});
    EXPECT_EQ(sub.w, 8);
    EXPECT_EQ(sub.h, 2);
    EXPECT_EQ(sub.pixels, img.scanline(4));
    EXPECT_TRUE(img.toRef().cropImageRef(Box{20, 20, 30, 30}).empty());
}

// A 4x3 image with a 2-pixel border whose inner pixel (x, y) holds 10 * y + x.
OwnedImage<L16> numberedWithBorder() {
    OwnedImage<L16> img(4, 3, 2);
    img.fillAll(L16{999});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) img.at(x, y) = L16{std::uint16_t(10 * y + x)};
    return img;
}

TEST(OwnedImage, ReplicateBordersCopiesNearestEdgePixelsBesideTheRectangle) {
    OwnedImage<L16> img = numberedWithBorder();
    img.replicateBordersTouching(Box{0, 1, 2, 3});  // touches left and bottom
    EXPECT_EQ(img.at(-1, 1).l, 10);
    EXPECT_EQ(img.at(-2, 2).l, 20);
    EXPECT_EQ(img.at(1, 3).l, 21);
    EXPECT_EQ(img.at(1, 4).l, 21);
    EXPECT_EQ(img.at(-2, 4).l, 20);  // corner, since both sides are touched
    // Margins not next to the rectangle are left alone.
    EXPECT_EQ(img.at(-1, 0).l, 999);
    EXPECT_EQ(img.at(4, 1).l, 999);
    EXPECT_EQ(img.at(3, 3).l, 999);
    EXPECT_EQ(img.at(0, -1).l, 999);
}

TEST(OwnedImage, ReplicateBordersOfWholeImageFillsEveryMarginPixel) {
    OwnedImage<L16> img = numberedWithBorder();
    img.replicateBordersTouching(Box{-10, -10, 50, 50});
    for (int y = -2; y < 5; ++y)
        for (int x = -2; x < 6; ++x)
            EXPECT_EQ(img.at(x, y).l, 10 * std::clamp(y, 0, 2) + std::clamp(x, 0, 3)) << x << "," << y;
}

TEST(OwnedImage, ReplicateBordersIgnoresRectanglesAwayFromTheEdges) {
    OwnedImage<L16> img = numberedWithBorder();
    img.replicateBordersTouching(Box{1, 1, 3, 2});
    for (int x = -2; x < 6; ++x) EXPECT_EQ(img.at(x, -1).l, 999);
    EXPECT_EQ(img.at(-1, 1).l, 999);
}

}  // namespace
