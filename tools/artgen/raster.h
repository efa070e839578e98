#pragma once
// Float raster for the art generator: coverage masks and premultiplied RGBA
// layers, each placed at an origin in a shared pixel space so that shadows and
// shapes can be moved and combined by changing origins instead of copying.
// Arithmetic is plain float in a fixed order (no threads), so a picture is the
// same bytes on every run. Pixel (x, y) covers [x, x + 1) x [y, y + 1); its
// centre is at (x + 0.5, y + 0.5).
//
// Generator thread only (the tool is single-threaded); everything allocates.

#include <vector>

#include "framework/graphics/image.h"
#include "framework/math/box.h"

namespace artgen {

// Straight colour, components 0..1 in sRGB values.
struct Colour {
    float r = 0, g = 0, b = 0, a = 1;
};
constexpr Colour rgb(int r, int g, int b, float a = 1.0f) {
    return Colour{float(r) / 255.0f, float(g) / 255.0f, float(b) / 255.0f, a};
}
Colour mix(Colour a, Colour b, float t);

// Coverage 0..1 over `area` (global pixel coordinates); 0 outside it.
// Generator thread, all members.
class Mask {
public:
    explicit Mask(fw::Box area);
    const fw::Box& area() const { return area_; }
    float get(int x, int y) const;  // 0 outside the area
    float& at(int x, int y) { return v_[index(x, y)]; }
    float at(int x, int y) const { return v_[index(x, y)]; }
    // The same mask moved by whole pixels.
    Mask shifted(int dx, int dy) const;
    // 1 - coverage inside the area (the area's outside stays 0).
    Mask inverted() const;
    // Pixel-wise product with another mask (0 where `other` has no area).
    void multiply(const Mask& other);
    // Pixel-wise max with another mask, within this mask's area.
    void unite(const Mask& other);
    // Removes `other` from this mask: v *= 1 - other.
    void subtract(const Mask& other);
    void scale(float k);
    // Three box passes of radius `radius` in each direction (close to a
    // Gaussian of sigma ~ radius), edges clamped. Radius 0 does nothing.
    void blur(int radius);

private:
    std::size_t index(int x, int y) const {
        return std::size_t(y - area_.minY) * std::size_t(area_.width()) + std::size_t(x - area_.minX);
    }
    fw::Box area_;
    std::vector<float> v_;
};

// Premultiplied RGBA over `area`, initially transparent. Generator thread,
// all members.
class Layer {
public:
    explicit Layer(fw::Box area);
    const fw::Box& area() const { return area_; }

    // Source-over of `colour` with coverage `mask` x `opacity`.
    void fill(const Mask& mask, Colour colour, float opacity = 1.0f);
    // Source-over with a colour computed per pixel from its centre.
    template <typename Shader>
    void fillShaded(const Mask& mask, Shader&& shader, float opacity = 1.0f) {
        const fw::Box r = mask.area().intersection(area_);
        for (int y = r.minY; y < r.maxY; ++y)
            for (int x = r.minX; x < r.maxX; ++x) {
                const float k = mask.at(x, y) * opacity;
                if (k > 0) over(x, y, shader(float(x) + 0.5f, float(y) + 0.5f), k);
            }
    }
    // Source-over of another layer.
    void composite(const Layer& src, float opacity = 1.0f);
    // Fills the whole area with an opaque colour.
    void clear(Colour colour);

    // Straight 8-bit RGBA of the whole area. Pixels whose alpha rounds to 0
    // or 1 become fully transparent with `transparentRgb`'s colour, so filters
    // that treat alpha as a plain channel do not pull black into soft edges.
    fw::OwnedImage<fw::RGBA> toImage(Colour transparentRgb) const;
    // Writes the area into `dst` with the area's top-left at dst (0, 0).
    void writeTo(fw::ImageRef<fw::RGBA> dst, Colour transparentRgb) const;

private:
    void over(int x, int y, Colour c, float k);
    fw::Box area_;
    std::vector<float> px_;  // r g b a, premultiplied
};

}  // namespace artgen
