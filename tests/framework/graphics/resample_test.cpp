// The resampler against its contract, and cross-checked against Debian's
// stb_image_resize (version 1) for the filters both have.
#include "framework/graphics/resample.h"

#include <gtest/gtest.h>
#include <stb/stb_image_resize.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "framework/core/vec.h"

#include "framework/graphics/imageresizer.h"
#include "framework/graphics/srgb.h"
#include "support/realtime_watch.h"

namespace {

using fw::ImageRef;
using fw::OwnedImage;
using fw::ResizeFilter;
using fw::RGBA;

OwnedImage<RGBA> randomImage(int w, int h, unsigned seed, bool randomAlpha) {
    OwnedImage<RGBA> img(w, h);
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.at(x, y) = RGBA{std::uint8_t(byte(rng)), std::uint8_t(byte(rng)), std::uint8_t(byte(rng)),
                                std::uint8_t(randomAlpha ? byte(rng) : 255)};
    return img;
}

struct CrossCheckCase {
    int inW, inH, outW, outH;
};

struct Difference {
    int maxDiff = 0;
    double fraction = 0;
};

// Resizes with both resamplers and compares the bytes.
Difference compareWithStb(const OwnedImage<RGBA>& input, int outW, int outH, int filter, int alpha,
                          fw::ResizeColorspace colorspace) {
    OwnedImage<RGBA> ours(outW, outH), theirs(outW, outH);
    fw::ResampleRequest r;
    r.input = reinterpret_cast<const std::uint8_t*>(input.pixels());
    r.inputWidth = input.width();
    r.inputHeight = input.height();
    r.inputStride = input.pitch();
    r.output = reinterpret_cast<std::uint8_t*>(ours.pixels());
    r.outputWidth = outW;
    r.outputHeight = outH;
    r.outputStride = ours.pitch();
    r.alphaChannel = alpha;
    r.filter = ResizeFilter(filter);
    r.colorspace = colorspace;
    fw::Vec<std::uint8_t, 16> scratch(fw::resampleScratchSize(r));
    EXPECT_TRUE(fw::resampleUint8(r, scratch.data(), scratch.size()).ok());
    EXPECT_TRUE(stbir_resize_uint8_generic(
        reinterpret_cast<const unsigned char*>(input.pixels()), input.width(), input.height(), int(input.pitch()),
        reinterpret_cast<unsigned char*>(theirs.pixels()), outW, outH, int(theirs.pitch()), 4, alpha, 0,
        STBIR_EDGE_CLAMP, stbir_filter(filter),
        colorspace == fw::ResizeColorspace::srgb ? STBIR_COLORSPACE_SRGB : STBIR_COLORSPACE_LINEAR, nullptr));
    Difference d;
    int differing = 0;
    for (int y = 0; y < outH; ++y) {
        const auto* a = reinterpret_cast<const std::uint8_t*>(ours.scanline(y));
        const auto* b = reinterpret_cast<const std::uint8_t*>(theirs.scanline(y));
        for (int i = 0; i < outW * 4; ++i) {
            const int diff = std::abs(int(a[i]) - int(b[i]));
            d.maxDiff = std::max(d.maxDiff, diff);
            differing += diff != 0;
        }
    }
    d.fraction = double(differing) / (outW * outH * 4);
    return d;
}

const CrossCheckCase kCrossCheckCases[] = {{37, 23, 71, 50}, {142, 142, 71, 71}, {142, 142, 106, 106},
                                           {142, 142, 53, 53}, {89, 61, 30, 17}, {20, 40, 47, 13},
                                           {64, 64, 64, 64}};

// stb's own consistency check aborts for its triangle filter at a 3 : 4 reduction
// (its triangle support does not widen when shrinking); ours simply normalises.
bool stbRefuses(const CrossCheckCase& c, int filter) { return filter == 2 && c.inW == 142 && c.outW == 106; }

// Runs check(difference, description) for every case, filter 0 to 5 and both alpha modes.
template <typename Check>
void crossCheckAll(fw::ResizeColorspace colorspace, Check&& check) {
    for (const CrossCheckCase& c : kCrossCheckCases) {
        const OwnedImage<RGBA> input = randomImage(c.inW, c.inH, unsigned(c.inW * 7 + c.outH), true);
        for (int filter = 0; filter <= 5; ++filter)
            for (int alpha : {-1, 3}) {
                if (stbRefuses(c, filter)) continue;
                const std::string what = std::to_string(c.inW) + "x" + std::to_string(c.inH) + " -> " +
                                         std::to_string(c.outW) + "x" + std::to_string(c.outH) + " filter " +
                                         std::to_string(filter) + " alpha " + std::to_string(alpha);
                check(compareWithStb(input, c.outW, c.outH, filter, alpha, colorspace), what);
            }
    }
}

TEST(Resample, FilterWeightsAndSumsMatchStbImageResizeBitForBit) {
    // In the linear colour space both sides convert bytes the same way, so any
    // difference would come from the filter weights or the order of the sums.
    crossCheckAll(fw::ResizeColorspace::linear,
                  [](const Difference& d, const std::string& what) { EXPECT_EQ(d.maxDiff, 0) << what; });
}

TEST(Resample, SrgbResultsMatchStbImageResizeWithinItsFastEncoder) {
    // stb converts back to sRGB with a fast table that is sometimes one code
    // off; ours rounds exactly. Nothing else may differ.
    crossCheckAll(fw::ResizeColorspace::srgb, [](const Difference& d, const std::string& what) {
        EXPECT_LE(d.maxDiff, 1) << what;
        EXPECT_LT(d.fraction, 0.03) << what;
    });
}

TEST(ResizeFilterKernel, SharpBlendFollowsItsDefinition) {
    // k = 0.86 m + 0.14 q with m the 2013 sharp kernel and q the quadratic B-spline,
    // evaluated by hand at the piece boundaries.
    const auto k = [](float x) { return fw::resizeFilterKernel(ResizeFilter::magicKernelSharpBlend, x, 1.0f); };
    EXPECT_NEAR(k(0.0f), 0.86 * 17.0 / 16 + 0.14 * 0.75, 1e-6);
    EXPECT_NEAR(k(0.5f), 0.86 * 0.625 + 0.14 * 0.5, 1e-6);
    EXPECT_NEAR(k(-1.0f), 0.14 * 0.125, 1e-6);
    EXPECT_NEAR(k(2.0f), 0.86 * -0.03125, 1e-6);
    EXPECT_NEAR(k(0.25f), 0.86 * (17.0 / 16 - 7.0 / 4 * 0.0625) + 0.14 * (0.75 - 0.0625), 1e-6);
    EXPECT_EQ(k(2.5f), 0.0f);
    EXPECT_EQ(k(-3.0f), 0.0f);
    EXPECT_EQ(fw::resizeFilterSupport(ResizeFilter::magicKernelSharpBlend, 1.0f), 3.0f);
}

TEST(ResizeFilterKernel, InterpolatingAndSmoothingKernelsSumToOneAtAnyPhase) {
    // Kernels built to reproduce flat areas weigh the integer taps around any
    // point to 1; this catches a wrong coefficient in any piece.
    for (int f = 1; f < fw::kResizeFilterCount; ++f) {
        const ResizeFilter filter = ResizeFilter(f);
        const bool isLanczos = f >= 6 && f <= 9;
        for (float phase : {0.0f, 0.13f, 0.5f, 0.77f}) {
            double sum = 0;
            for (int n = -6; n <= 6; ++n) sum += fw::resizeFilterKernel(filter, phase + float(n), 1.0f);
            EXPECT_NEAR(sum, 1.0, isLanczos ? 0.03 : 1e-5) << "filter " << f << " phase " << phase;
        }
    }
}

TEST(ResizeFilterKernel, BoxIsATrapezoidWhoseSlopesFollowTheScale) {
    // Flat top of half-width (1 - scale) / 2, falling to 0 at (1 + scale) / 2.
    const auto box = [](float x, float scale) { return fw::resizeFilterKernel(ResizeFilter::box, x, scale); };
    EXPECT_EQ(box(0.2f, 0.5f), 1.0f);
    EXPECT_NEAR(box(-0.5f, 0.5f), 0.5f, 1e-6);
    EXPECT_EQ(box(0.8f, 0.5f), 0.0f);
    EXPECT_EQ(fw::resizeFilterSupport(ResizeFilter::box, 0.5f), 0.75f);
    EXPECT_EQ(box(0.499f, 0.0f), 1.0f);  // a true box as the scale vanishes
    EXPECT_EQ(box(0.501f, 0.0f), 0.0f);
}

TEST(Resample, FlatImageStaysFlatForEveryFilterAndScale) {
    fw::ImageResizer resizer;
    OwnedImage<RGBA> input(31, 17);
    input.fillAll(RGBA{12, 130, 250, 77});
    for (int f = 0; f < fw::kResizeFilterCount; ++f) {
        for (int outW : {7, 31, 95}) {
            for (int alpha : {-1, 3}) {
                OwnedImage<RGBA> out(outW, 40);
                ASSERT_TRUE(resizer.resizeImageSRGB(input, out, alpha, ResizeFilter(f)).ok());
                for (int y = 0; y < out.height(); ++y)
                    for (int x = 0; x < outW; ++x)
                        ASSERT_EQ(out.at(x, y), (RGBA{12, 130, 250, 77}))
                            << "filter " << f << " width " << outW << " alpha " << alpha << " at " << x << "," << y;
            }
        }
    }
}

TEST(Resample, AlphaIndexThreeKeepsTransparentColourOut) {
    OwnedImage<RGBA> input(2, 1);
    input.at(0, 0) = RGBA{255, 0, 0, 255};
    input.at(1, 0) = RGBA{0, 255, 0, 0};  // invisible green
    OwnedImage<RGBA> out(1, 1);
    fw::ImageResizer resizer;
    ASSERT_TRUE(resizer.resizeImageSRGBWithAlpha(input, out, ResizeFilter::box).ok());
    EXPECT_EQ(out.at(0, 0), (RGBA{255, 0, 0, 128}));  // alpha filtered linearly: 127.5 rounds up
    ASSERT_TRUE(resizer.resizeImageSRGBNoAlpha(input, out, ResizeFilter::box).ok());
    // As colour channels, the halves mix in linear light and alpha goes through sRGB too.
    const std::uint8_t half = fw::linearToSrgb8(0.5f);
    EXPECT_EQ(out.at(0, 0), (RGBA{half, half, 0, half}));
}

TEST(Resample, AlphaIndexThreeKeepsColourOfFullyTransparentAreas) {
    OwnedImage<RGBA> input(4, 4);
    input.fillAll(RGBA{40, 80, 160, 0});
    OwnedImage<RGBA> out(2, 2);
    fw::ImageResizer resizer;
    ASSERT_TRUE(resizer.resizeImageSRGBWithAlpha(input, out, ResizeFilter::magicKernelSharpBlend).ok());
    EXPECT_EQ(out.at(1, 1), (RGBA{40, 80, 160, 0}));
}

TEST(Resample, ReadsOnlyInsideASourceSubView) {
    OwnedImage<RGBA> big(40, 40);
    big.fillAll(RGBA{255, 0, 255, 255});
    const ImageRef<RGBA> frame = big.toRef().cropImageRef(fw::Box{10, 10, 30, 30});
    for (int y = 0; y < frame.h; ++y)
        for (int x = 0; x < frame.w; ++x) frame.at(x, y) = RGBA{0, 100, 0, 255};
    OwnedImage<RGBA> out(13, 13);
    fw::ImageResizer resizer;
    ASSERT_TRUE(resizer.resizeImageSRGBNoAlpha(frame, out, ResizeFilter::lanczos4).ok());
    for (int y = 0; y < 13; ++y)
        for (int x = 0; x < 13; ++x) ASSERT_EQ(out.at(x, y), (RGBA{0, 100, 0, 255}));
}

class ResampleRejects : public ::testing::Test {
protected:
    void SetUp() override {
        in.size(8, 8);
        in.fillAll(RGBA{1, 1, 1, 1});
        out.size(4, 4);
        out.fillAll(RGBA{9, 9, 9, 9});
        request.input = reinterpret_cast<const std::uint8_t*>(in.pixels());
        request.inputWidth = request.inputHeight = 8;
        request.inputStride = in.pitch();
        request.output = reinterpret_cast<std::uint8_t*>(out.pixels());
        request.outputWidth = request.outputHeight = 4;
        request.outputStride = out.pitch();
    }
    void expectRejected() {
        alignas(16) static std::uint8_t scratch[1 << 16];
        const fw::Status s = fw::resampleUint8(request, scratch, sizeof(scratch));
        EXPECT_FALSE(s.ok());
        EXPECT_STRNE(s.message(), "");
        EXPECT_EQ(out.at(3, 3), (RGBA{9, 9, 9, 9}));
    }
    OwnedImage<RGBA> in, out;
    fw::ResampleRequest request;
};

TEST_F(ResampleRejects, NullPointers) {
    request.input = nullptr;
    expectRejected();
}
TEST_F(ResampleRejects, EmptyImages) {
    request.outputHeight = 0;
    expectRejected();
}
TEST_F(ResampleRejects, StrideShorterThanARow) {
    request.inputStride = 8 * 4 - 1;
    expectRejected();
}
TEST_F(ResampleRejects, BadChannelAlphaFlagOrFilter) {
    request.channels = 5;
    expectRejected();
    SetUp();
    request.alphaChannel = 4;
    expectRejected();
    SetUp();
    request.flags = 1 << 5;
    expectRejected();
    SetUp();
    request.filter = ResizeFilter(fw::kResizeFilterCount);
    expectRejected();
    SetUp();
    request.colorspace = fw::ResizeColorspace(7);
    expectRejected();
}
TEST_F(ResampleRejects, ScratchTooSmall) {
    alignas(16) std::uint8_t tiny[64];
    EXPECT_FALSE(fw::resampleUint8(request, tiny, sizeof(tiny)).ok());
    EXPECT_EQ(out.at(0, 0), (RGBA{9, 9, 9, 9}));
}

TEST(ImageResizer, ScratchGrowsButNeverShrinksAndWarmCallsDoNotAllocate) {
    fw::ImageResizer resizer;
    const OwnedImage<RGBA> art = randomImage(142, 142, 1, false);
    OwnedImage<RGBA> big(284, 284), small(35, 35);
    ASSERT_TRUE(resizer.resizeImageSRGBNoAlpha(art, big, ResizeFilter::magicKernelSharpBlend).ok());
    const std::size_t grown = resizer.scratchCapacity();
    EXPECT_GT(grown, 0u);
    testsupport::RealtimeWatch watch;
    ASSERT_TRUE(resizer.resizeImageSRGBNoAlpha(art, small, ResizeFilter::magicKernelSharpBlend).ok());
    ASSERT_TRUE(resizer.resizeImageSRGBNoAlpha(art, big, ResizeFilter::magicKernelSharpBlend).ok());
    EXPECT_EQ(watch.counts().allocations, 0);
    EXPECT_EQ(resizer.scratchCapacity(), grown);
}

TEST(SRGB, EveryCodeSurvivesTheRoundTripThroughLinearLight) {
    for (int v = 0; v < 256; ++v) EXPECT_EQ(fw::linearToSrgb8(fw::srgbToLinear(std::uint8_t(v))), v);
}

TEST(SRGB, EncodingIsMonotonicAndClampsOutOfRangeValues) {
    int previous = 0;
    for (int i = 0; i <= 100000; ++i) {
        const int code = fw::linearToSrgb8(float(i) / 100000.0f);
        ASSERT_GE(code, previous);
        previous = code;
    }
    EXPECT_EQ(fw::linearToSrgb8(-1.0f), 0);
    EXPECT_EQ(fw::linearToSrgb8(std::nanf("")), 0);
    EXPECT_EQ(fw::linearToSrgb8(7.0f), 255);
    // The curve itself: ((128 / 255 + 0.055) / 1.055) ^ 2.4 and 0.04045 / 12.92-ish at the toe.
    EXPECT_NEAR(fw::srgbToLinear(128), 0.2158605, 1e-6);
    EXPECT_NEAR(fw::srgbToLinear(10), 10 / 255.0 / 12.92, 1e-7);
}

}  // namespace
