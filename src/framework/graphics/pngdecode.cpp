#include "framework/graphics/pngdecode.h"

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "framework/core/fatal.h"

namespace fw {

namespace {

// Film strips are tall (a knob strip of 260 frames of 142 pixels is 36920
// high), so a side may go up to what an image can hold; the pixel count limit
// refuses pictures whose buffer would be absurdly large before anything is
// allocated (larger than any art the editor carries).
constexpr png_uint_32 kMaxDimension = 65536;
constexpr std::uint64_t kMaxPixels = std::uint64_t(1) << 25;

}  // namespace

Status decodePNG(const std::uint8_t* data, std::size_t size, OwnedImage<RGBA>& out) {
    if (data == nullptr || size == 0) return Status::failure("PNG data is empty");
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < sizeof(kSignature) || std::memcmp(data, kSignature, sizeof(kSignature)) != 0)
        return Status::failure("data is not a PNG file (bad signature)");

    png_image image;
    std::memset(&image, 0, sizeof(image));
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size))
        return Status::failure("PNG header is corrupt or truncated");
    if (image.width == 0 || image.height == 0 || image.width > kMaxDimension || image.height > kMaxDimension ||
        std::uint64_t(image.width) * image.height > kMaxPixels) {
        png_image_free(&image);
        return Status::failure("PNG dimensions are out of range");
    }
    // 8-bit straight RGBA, whatever the file's colour type and depth.
    image.format = PNG_FORMAT_RGBA;

    OwnedImage<RGBA> decoded(int(image.width), int(image.height));
    if (!png_image_finish_read(&image, nullptr, decoded.pixels(), png_int_32(decoded.pitch()), nullptr)) {
        png_image_free(&image);
        return Status::failure("PNG pixel data is corrupt or truncated");
    }
    out = std::move(decoded);
    return Status::success();
}

OwnedImage<RGBA> loadEmbeddedPNG(const char* assetName, const std::uint8_t* data, std::size_t size) {
    OwnedImage<RGBA> image;
    const Status status = decodePNG(data, size, image);
    if (!status) {
        char message[256];
        std::snprintf(message, sizeof(message), "cannot decode embedded image \"%s\": %s",
                      assetName ? assetName : "(unnamed)", status.message());
        fatalError(message);
    }
    return image;
}

}  // namespace fw
