// PNG encoding: what is encoded decodes to the same pixels at every level, the
// same pixels always give the same bytes, and the level trades size for time.
#include "framework/graphics/pngencode.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "framework/graphics/pngdecode.h"

namespace {

using fw::OwnedImage;
using fw::RGBA;

// Smooth gradients with a little structure, like art, and some transparency.
OwnedImage<RGBA> picture(int w, int h) {
    OwnedImage<RGBA> img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.at(x, y) = RGBA{std::uint8_t(x * 255 / w), std::uint8_t(y * 255 / h), std::uint8_t((x * y) % 7 * 30),
                                std::uint8_t((x + y) % 3 == 0 ? 0 : 255 - x % 200)};
    return img;
}

TEST(PNGEncode, RoundTripsExactlyAtEveryLevel) {
    const OwnedImage<RGBA> img = picture(57, 31);
    for (int level : {0, 1, fw::kPNGFast, fw::kPNGSmallest}) {
        std::vector<std::uint8_t> file;
        ASSERT_TRUE(fw::encodePNG(img, file, level).ok());
        OwnedImage<RGBA> back;
        ASSERT_TRUE(fw::decodePNG(file.data(), file.size(), back).ok());
        ASSERT_EQ(back.width(), 57);
        ASSERT_EQ(back.height(), 31);
        for (int y = 0; y < 31; ++y)
            for (int x = 0; x < 57; ++x) ASSERT_EQ(back.at(x, y), img.at(x, y)) << level << ": " << x << "," << y;
    }
}

TEST(PNGEncode, SamePixelsGiveSameBytesAndLevelZeroStoresUncompressed) {
    const OwnedImage<RGBA> img = picture(64, 64);
    std::vector<std::uint8_t> a, b, stored;
    ASSERT_TRUE(fw::encodePNG(img, a).ok());
    ASSERT_TRUE(fw::encodePNG(img, b).ok());
    EXPECT_EQ(a, b);
    ASSERT_TRUE(fw::encodePNG(img, stored, 0).ok());
    // Level 0 keeps every row (4 bytes a pixel and a filter byte).
    EXPECT_GT(stored.size(), std::size_t(64 * (64 * 4 + 1)));
    EXPECT_LT(a.size(), stored.size() / 2);
}

TEST(PNGEncode, RefusesEmptyImagesAndUnwritablePaths) {
    std::vector<std::uint8_t> out{1, 2, 3};
    EXPECT_FALSE(fw::encodePNG(fw::ImageRef<const RGBA>{}, out).ok());
    EXPECT_EQ(out.size(), 3u);
    const OwnedImage<RGBA> img = picture(4, 4);
    EXPECT_FALSE(fw::writePNGFile("", img).ok());
    EXPECT_FALSE(fw::writePNGFile("/nonexistent-dir/x.png", img).ok());
    const std::string path = ::testing::TempDir() + "pngencode_test.png";
    ASSERT_TRUE(fw::writePNGFile(path.c_str(), img, fw::kPNGFast).ok());
    std::vector<std::uint8_t> expected;
    ASSERT_TRUE(fw::encodePNG(img, expected, fw::kPNGFast).ok());
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    std::vector<std::uint8_t> written(expected.size() + 16);
    written.resize(std::fread(written.data(), 1, written.size(), f));
    std::fclose(f);
    std::remove(path.c_str());
    EXPECT_EQ(written, expected);
}

}  // namespace
