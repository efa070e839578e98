#include "goldenimage.h"

#include <png.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

std::uint64_t imageChecksum(fw::ImageRef<const fw::RGBA> image) {
    // FNV-1a over the size and the pixels row by row (padding excluded).
    std::uint64_t h = 1469598103934665603ull;
    auto add = [&h](std::uint8_t byte) {
        h ^= byte;
        h *= 1099511628211ull;
    };
    for (int v : {image.w, image.h})
        for (int i = 0; i < 4; ++i) add(std::uint8_t(v >> (8 * i)));
    for (int y = 0; y < image.h; ++y) {
        const auto* row = reinterpret_cast<const std::uint8_t*>(image.scanline(y));
        for (int i = 0; i < image.w * 4; ++i) add(row[i]);
    }
    return h;
}

bool writePNG(const char* path, fw::ImageRef<const fw::RGBA> image) {
    png_image png;
    std::memset(&png, 0, sizeof(png));
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.w);
    png.height = png_uint_32(image.h);
    png.format = PNG_FORMAT_RGBA;
    return png_image_write_to_file(&png, path, 0, image.pixels, png_int_32(image.pitch), nullptr) != 0;
}

::testing::AssertionResult matchesGolden(const char* name, fw::ImageRef<const fw::RGBA> actual,
                                         fw::ImageRef<const fw::RGBA> expected) {
    if (imageChecksum(actual) == imageChecksum(expected)) return ::testing::AssertionSuccess();
    const std::string base = (std::filesystem::current_path() / name).string();
    const std::string actualPath = base + "-actual.png", expectedPath = base + "-expected.png";
    const std::string diffPath = base + "-difference.png";
    bool written = writePNG(actualPath.c_str(), actual) && writePNG(expectedPath.c_str(), expected);
    auto failure = ::testing::AssertionFailure() << "image \"" << name << "\" differs from the expected one";
    if (actual.w != expected.w || actual.h != expected.h) {
        failure << " in size (" << actual.w << " x " << actual.h << " instead of " << expected.w << " x "
                << expected.h << ")";
    } else {
        // Each channel's absolute difference, amplified eight times so that
        // one-step differences show; opaque so the picture reads on any viewer.
        std::vector<fw::RGBA> diff(std::size_t(actual.w) * std::size_t(actual.h));
        long long differing = 0;
        for (int y = 0; y < actual.h; ++y) {
            for (int x = 0; x < actual.w; ++x) {
                const fw::RGBA a = actual.at(x, y), e = expected.at(x, y);
                auto d = [](int u, int v) { return std::uint8_t(std::min(255, 8 * std::abs(u - v))); };
                fw::RGBA& out = diff[std::size_t(y) * std::size_t(actual.w) + std::size_t(x)];
                out = fw::RGBA{d(a.r, e.r), d(a.g, e.g), d(a.b, e.b), 255};
                if (a.a != e.a) out.r = out.g = out.b = 255;
                if (!(a == e)) ++differing;
            }
        }
        failure << " in " << differing << " pixels";
        const fw::ImageRef<const fw::RGBA> diffView{actual.w, actual.h, diff.data(),
                                                     std::ptrdiff_t(actual.w) * 4};
        written = written && writePNG(diffPath.c_str(), diffView);
    }
    if (written)
        failure << "; see " << actualPath << ", " << expectedPath << " and " << diffPath;
    else
        failure << " (could not write PNGs to " << base << "-*.png)";
    return failure;
}

}  // namespace testsupport
