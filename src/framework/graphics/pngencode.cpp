#include "framework/graphics/pngencode.h"

#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace fw {

namespace {

void appendToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

}  // namespace

Status encodePNG(ImageRef<const RGBA> image, std::vector<std::uint8_t>& out, int level) {
    if (image.pixels == nullptr || image.w <= 0 || image.h <= 0) return Status::failure("image to encode is empty");
    std::vector<std::uint8_t> bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return Status::failure("libpng could not start an encoder");
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return Status::failure("libpng could not start an encoder");
    }
    // Row pointers are prepared before the jump point so nothing with a
    // destructor is created between setjmp and the calls that may jump.
    std::unique_ptr<png_bytep[]> rows(new png_bytep[std::size_t(image.h)]);
    for (int y = 0; y < image.h; ++y)
        rows[std::size_t(y)] = reinterpret_cast<png_bytep>(const_cast<RGBA*>(image.scanline(y)));
    // libpng reports errors by longjmp back here.
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return Status::failure("libpng failed while encoding");
    }
    png_set_write_fn(png, &bytes, appendToVector, flushNothing);
    png_set_IHDR(png, info, png_uint_32(image.w), png_uint_32(image.h), 8, PNG_COLOR_TYPE_RGB_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, std::clamp(level, 0, 9));
    png_set_rows(png, info, rows.get());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    out = std::move(bytes);
    return Status::success();
}

Status writePNGFile(const char* path, ImageRef<const RGBA> image, int level) {
    if (path == nullptr || *path == '\0') return Status::failure("no output path given");
    std::vector<std::uint8_t> bytes;
    if (Status s = encodePNG(image, bytes, level); !s) return s;
    std::FILE* f = std::fopen(path, "wb");
    if (f == nullptr) return Status::failure("cannot open the output file for writing");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed) return Status::failure("cannot write the output file");
    return Status::success();
}

}  // namespace fw
