#include "raster.h"

#include <algorithm>
#include <cmath>

namespace artgen {

Colour mix(Colour a, Colour b, float t) {
    return Colour{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

Mask::Mask(fw::Box area) : area_(area), v_(std::size_t(std::max(area.width(), 0)) * std::size_t(std::max(area.height(), 0)), 0.0f) {}

float Mask::get(int x, int y) const { return area_.contains(x, y) ? v_[index(x, y)] : 0.0f; }

Mask Mask::shifted(int dx, int dy) const {
    Mask m = *this;
    m.area_ = area_.translate(dx, dy);
    return m;
}

Mask Mask::inverted() const {
    Mask m = *this;
    for (float& v : m.v_) v = 1.0f - v;
    return m;
}

void Mask::multiply(const Mask& other) {
    for (int y = area_.minY; y < area_.maxY; ++y)
        for (int x = area_.minX; x < area_.maxX; ++x) at(x, y) *= other.get(x, y);
}

void Mask::unite(const Mask& other) {
    const fw::Box r = area_.intersection(other.area());
    for (int y = r.minY; y < r.maxY; ++y)
        for (int x = r.minX; x < r.maxX; ++x) at(x, y) = std::max(at(x, y), other.at(x, y));
}

void Mask::subtract(const Mask& other) {
    const fw::Box r = area_.intersection(other.area());
    for (int y = r.minY; y < r.maxY; ++y)
        for (int x = r.minX; x < r.maxX; ++x) at(x, y) *= 1.0f - other.at(x, y);
}

void Mask::scale(float k) {
    for (float& v : v_) v *= k;
}

namespace {

// One box pass over `n` samples `stride` apart, edges clamped; `tmp` holds a copy.
void boxPass(float* data, int n, std::ptrdiff_t stride, int radius, std::vector<float>& tmp) {
    tmp.resize(std::size_t(n));
    for (int i = 0; i < n; ++i) tmp[std::size_t(i)] = data[i * stride];
    const float norm = 1.0f / float(2 * radius + 1);
    // A double running sum keeps drift negligible across long rows.
    double sum = 0;
    for (int i = -radius; i <= radius; ++i) sum += tmp[std::size_t(std::clamp(i, 0, n - 1))];
    for (int i = 0; i < n; ++i) {
        data[i * stride] = float(sum) * norm;
        sum += tmp[std::size_t(std::min(i + radius + 1, n - 1))];
        sum -= tmp[std::size_t(std::max(i - radius, 0))];
    }
}

}  // namespace

void Mask::blur(int radius) {
    if (radius <= 0 || area_.empty()) return;
    const int w = area_.width(), h = area_.height();
    std::vector<float> tmp;
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y) boxPass(v_.data() + std::size_t(y) * std::size_t(w), w, 1, radius, tmp);
        for (int x = 0; x < w; ++x) boxPass(v_.data() + x, h, w, radius, tmp);
    }
}

Layer::Layer(fw::Box area) : area_(area), px_(std::size_t(std::max(area.width(), 0)) * std::size_t(std::max(area.height(), 0)) * 4, 0.0f) {}

void Layer::over(int x, int y, Colour c, float k) {
    float* p = &px_[(std::size_t(y - area_.minY) * std::size_t(area_.width()) + std::size_t(x - area_.minX)) * 4];
    const float a = std::clamp(c.a * k, 0.0f, 1.0f);
    p[0] = c.r * a + p[0] * (1 - a);
    p[1] = c.g * a + p[1] * (1 - a);
    p[2] = c.b * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
}

void Layer::fill(const Mask& mask, Colour colour, float opacity) {
    const fw::Box r = mask.area().intersection(area_);
    for (int y = r.minY; y < r.maxY; ++y)
        for (int x = r.minX; x < r.maxX; ++x) {
            const float k = mask.at(x, y) * opacity;
            if (k > 0) over(x, y, colour, k);
        }
}

void Layer::composite(const Layer& src, float opacity) {
    const fw::Box r = src.area().intersection(area_);
    for (int y = r.minY; y < r.maxY; ++y)
        for (int x = r.minX; x < r.maxX; ++x) {
            const float* s = &src.px_[(std::size_t(y - src.area_.minY) * std::size_t(src.area_.width()) +
                                       std::size_t(x - src.area_.minX)) * 4];
            float* d = &px_[(std::size_t(y - area_.minY) * std::size_t(area_.width()) + std::size_t(x - area_.minX)) * 4];
            const float a = s[3] * opacity;
            for (int c = 0; c < 3; ++c) d[c] = s[c] * opacity + d[c] * (1 - a);
            d[3] = a + d[3] * (1 - a);
        }
}

void Layer::clear(Colour colour) {
    for (std::size_t i = 0; i < px_.size(); i += 4) {
        px_[i] = colour.r;
        px_[i + 1] = colour.g;
        px_[i + 2] = colour.b;
        px_[i + 3] = 1;
    }
}

namespace {
std::uint8_t to8(float v) { return std::uint8_t(std::clamp(int(std::lround(v * 255.0f)), 0, 255)); }
}  // namespace

void Layer::writeTo(fw::ImageRef<fw::RGBA> dst, Colour transparentRgb) const {
    const int w = std::min(area_.width(), dst.w), h = std::min(area_.height(), dst.h);
    for (int y = 0; y < h; ++y) {
        fw::RGBA* row = dst.scanline(y);
        for (int x = 0; x < w; ++x) {
            const float* p = &px_[(std::size_t(y) * std::size_t(area_.width()) + std::size_t(x)) * 4];
            const std::uint8_t a = to8(p[3]);
            // The last traces of a soft shadow (alpha 1 in 255, reached only
            // where the box passes' square corners spread) are dropped, so
            // frames end in fully transparent edges.
            if (a <= 1) {
                row[x] = fw::RGBA{to8(transparentRgb.r), to8(transparentRgb.g), to8(transparentRgb.b), 0};
                continue;
            }
            const float inv = 1.0f / p[3];
            row[x] = fw::RGBA{to8(p[0] * inv), to8(p[1] * inv), to8(p[2] * inv), a};
        }
    }
}

fw::OwnedImage<fw::RGBA> Layer::toImage(Colour transparentRgb) const {
    fw::OwnedImage<fw::RGBA> image(area_.width(), area_.height());
    writeTo(image.toRef(), transparentRgb);
    return image;
}

}  // namespace artgen
