// kestrin-artgen: draws the editor's art.
//   kestrin-artgen --out DIR                       writes every image into DIR
//   kestrin-artgen --preview FILE [--scale S]      writes the assembled editor (S: 0.5, 1 or 2)
//                  [--crop X,Y,W,H]                only that part of it (pixels at that scale)
//                  [--zoom N]                      each pixel as N x N, for a close look
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "art.h"
#include "framework/graphics/pngencode.h"
#include "preview.h"

namespace {

int usage() {
    std::fprintf(stderr,
                 "usage: kestrin-artgen --out DIR\n"
                 "       kestrin-artgen --preview FILE [--scale 0.5|1|2] [--crop X,Y,W,H] [--zoom N]\n");
    return 2;
}

int writeAll(const std::string& dir) {
    for (const artgen::NamedImage& image : artgen::drawAll()) {
        const std::string path = dir + "/" + image.fileName;
        const fw::Status st = fw::writePNGFile(path.c_str(), image.image, artgen::kArtPNGLevel);
        if (!st) {
            std::fprintf(stderr, "kestrin-artgen: cannot write %s: %s\n", path.c_str(), st.message());
            return 1;
        }
    }
    return 0;
}

int writePreview(const std::string& path, float scale, const fw::Box* crop, int zoom) {
    fw::OwnedImage<fw::RGBA> picture;
    fw::Status st = artgen::composePreview(scale, picture);
    if (st) {
        const fw::ImageRef<fw::RGBA> part = crop ? picture.toRef().cropImageRef(*crop) : picture.toRef();
        if (part.empty()) {
            st = fw::Status::failure("the crop lies outside the picture");
        } else {
            fw::OwnedImage<fw::RGBA> zoomed(part.w * zoom, part.h * zoom);
            for (int y = 0; y < zoomed.height(); ++y)
                for (int x = 0; x < zoomed.width(); ++x) zoomed.at(x, y) = part.at(x / zoom, y / zoom);
            st = fw::writePNGFile(path.c_str(), zoomed, fw::kPNGFast);
        }
    }
    if (!st) {
        std::fprintf(stderr, "kestrin-artgen: preview %s: %s\n", path.c_str(), st.message());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string out, preview;
    float scale = 2.0f;
    fw::Box crop;
    bool cropped = false;
    int zoom = 1;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (i + 1 >= argc) return usage();
        if (arg == "--out") {
            out = argv[++i];
        } else if (arg == "--preview") {
            preview = argv[++i];
        } else if (arg == "--scale") {
            const std::string_view s = argv[++i];
            if (s == "0.5") scale = 0.5f;
            else if (s == "1") scale = 1.0f;
            else if (s == "2") scale = 2.0f;
            else return usage();
        } else if (arg == "--zoom") {
            zoom = std::atoi(argv[++i]);
            if (zoom < 1 || zoom > 8) return usage();
        } else if (arg == "--crop") {
            int x = 0, y = 0, w = 0, h = 0;
            if (std::sscanf(argv[++i], "%d,%d,%d,%d", &x, &y, &w, &h) != 4 || w <= 0 || h <= 0) return usage();
            crop = fw::Box::rectangle(x, y, w, h);
            cropped = true;
        } else {
            return usage();
        }
    }
    if (out.empty() == preview.empty()) return usage();
    return out.empty() ? writePreview(preview, scale, cropped ? &crop : nullptr, zoom) : writeAll(out);
}
