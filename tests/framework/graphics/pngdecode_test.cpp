#include "framework/graphics/pngdecode.h"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <vector>

namespace {

using fw::OwnedImage;
using fw::RGBA;

// Encodes pixels with libpng's writer (the decoder under test only reads).
std::vector<std::uint8_t> encode(const void* pixels, int w, int h, png_uint_32 format, int bytesPerPixel) {
    png_image img;
    std::memset(&img, 0, sizeof(img));
    img.version = PNG_IMAGE_VERSION;
    img.width = png_uint_32(w);
    img.height = png_uint_32(h);
    img.format = format;
    png_alloc_size_t size = 0;
    EXPECT_TRUE(png_image_write_get_memory_size(img, size, 0, pixels, w * bytesPerPixel, nullptr));
    std::vector<std::uint8_t> out(size);
    EXPECT_TRUE(png_image_write_to_memory(&img, out.data(), &size, 0, pixels, w * bytesPerPixel, nullptr));
    out.resize(size);
    return out;
}

std::vector<RGBA> testPattern(int w, int h) {
    std::vector<RGBA> p(std::size_t(w * h));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p[std::size_t(y * w + x)] = RGBA{std::uint8_t(x * 17), std::uint8_t(y * 29), std::uint8_t(x ^ y),
                                              std::uint8_t(255 - x * 3)};
    return p;
}

TEST(PNGDecode, DecodesStraightRGBAExactly) {
    const auto pattern = testPattern(23, 11);
    const auto file = encode(pattern.data(), 23, 11, PNG_FORMAT_RGBA, 4);
    OwnedImage<RGBA> img;
    ASSERT_TRUE(fw::decodePNG(file.data(), file.size(), img).ok());
    ASSERT_EQ(img.width(), 23);
    ASSERT_EQ(img.height(), 11);
    EXPECT_EQ(img.pitch(), 23 * 4);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 23; ++x) EXPECT_EQ(img.at(x, y), pattern[std::size_t(y * 23 + x)]);
}

TEST(PNGDecode, GreyscaleBecomesOpaqueRGBA) {
    const std::uint8_t grey[6] = {0, 50, 100, 150, 200, 255};
    const auto file = encode(grey, 3, 2, PNG_FORMAT_GRAY, 1);
    OwnedImage<RGBA> img;
    ASSERT_TRUE(fw::decodePNG(file.data(), file.size(), img).ok());
    EXPECT_EQ(img.at(1, 0), (RGBA{50, 50, 50, 255}));
    EXPECT_EQ(img.at(2, 1), (RGBA{255, 255, 255, 255}));
}

TEST(PNGDecode, DecodesTallFilmStrips) {
    // A knob strip: 260 frames of 142 pixels stacked, far taller than wide.
    const int h = 260 * 142;
    std::vector<RGBA> strip(std::size_t(2 * h));
    for (int y = 0; y < h; ++y) strip[std::size_t(2 * y + 1)] = RGBA{std::uint8_t(y), 0, 0, 255};
    const auto file = encode(strip.data(), 2, h, PNG_FORMAT_RGBA, 4);
    OwnedImage<RGBA> img;
    ASSERT_TRUE(fw::decodePNG(file.data(), file.size(), img).ok());
    ASSERT_EQ(img.height(), h);
    EXPECT_EQ(img.at(1, h - 1), (RGBA{std::uint8_t(h - 1), 0, 0, 255}));
    EXPECT_EQ(img.at(0, h - 1), (RGBA{}));
}

class PNGDecodeFailure : public ::testing::Test {
protected:
    void SetUp() override {
        const auto pattern = testPattern(16, 16);
        file = encode(pattern.data(), 16, 16, PNG_FORMAT_RGBA, 4);
        previous.size(2, 2);
        previous.fillAll(RGBA{1, 2, 3, 4});
    }
    void expectFailureKeepingImage(const std::uint8_t* data, std::size_t size) {
        const fw::Status s = fw::decodePNG(data, size, previous);
        EXPECT_FALSE(s.ok());
        EXPECT_STRNE(s.message(), "");
        ASSERT_EQ(previous.width(), 2);
        EXPECT_EQ(previous.at(1, 1), (RGBA{1, 2, 3, 4}));
    }
    std::vector<std::uint8_t> file;
    OwnedImage<RGBA> previous;
};

TEST_F(PNGDecodeFailure, RejectsNullAndEmptyData) {
    expectFailureKeepingImage(nullptr, 100);
    expectFailureKeepingImage(file.data(), 0);
}

TEST_F(PNGDecodeFailure, RejectsDataWithoutSignature) {
    file[1] = 'X';
    expectFailureKeepingImage(file.data(), file.size());
}

TEST_F(PNGDecodeFailure, RejectsTruncatedFiles) {
    for (std::size_t cut : {std::size_t(8), std::size_t(30), file.size() / 2, file.size() - 13})
        expectFailureKeepingImage(file.data(), cut);
}

TEST_F(PNGDecodeFailure, RejectsCorruptPixelData) {
    // Damage the compressed stream in the middle of the file; the chunk's CRC no longer matches.
    for (std::size_t i = file.size() / 2; i < file.size() / 2 + 8; ++i) file[i] ^= 0x5A;
    expectFailureKeepingImage(file.data(), file.size());
}

TEST_F(PNGDecodeFailure, RejectsPicturesTooLargeToHold) {
    // Only the header is read: the sizes are patched into IHDR (width at byte
    // 16, height at 20, CRC at 29) and its CRC recomputed.
    auto withSize = [&](std::uint32_t w, std::uint32_t h) {
        std::vector<std::uint8_t> f = file;
        for (int i = 0; i < 4; ++i) {
            f[std::size_t(16 + i)] = std::uint8_t(w >> (24 - 8 * i));
            f[std::size_t(20 + i)] = std::uint8_t(h >> (24 - 8 * i));
        }
        const std::uint32_t crc = std::uint32_t(::crc32(0, f.data() + 12, 17));
        for (int i = 0; i < 4; ++i) f[std::size_t(29 + i)] = std::uint8_t(crc >> (24 - 8 * i));
        return f;
    };
    const auto tooTall = withSize(1, 65537);
    expectFailureKeepingImage(tooTall.data(), tooTall.size());
    const auto tooMany = withSize(8192, 8192);  // each side fine, 64 M pixels in all
    expectFailureKeepingImage(tooMany.data(), tooMany.size());
}

TEST(PNGDecode, CorruptEmbeddedArtIsFatalAndNamesTheAsset) {
    const std::uint8_t junk[16] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_DEATH(fw::loadEmbeddedPNG("knob-large.png", junk, sizeof(junk)),
                 "cannot decode embedded image \"knob-large.png\"");
}

}  // namespace
