#include "shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "assets/kestrin_font_vera_bold.h"

namespace artgen {

namespace {

float coverageFromDistance(float d) { return std::clamp(0.5f - d, 0.0f, 1.0f); }

template <typename Distance>
Mask fromDistance(fw::Box area, Distance&& distance) {
    Mask m(area);
    for (int y = area.minY; y < area.maxY; ++y)
        for (int x = area.minX; x < area.maxX; ++x)
            m.at(x, y) = coverageFromDistance(distance(float(x) + 0.5f, float(y) + 0.5f));
    return m;
}

}  // namespace

fw::Box boxAround(float cx, float cy, float r, int margin) {
    return fw::Box{int(std::floor(cx - r)) - margin, int(std::floor(cy - r)) - margin,
                   int(std::ceil(cx + r)) + margin, int(std::ceil(cy + r)) + margin};
}

Mask disc(fw::Box area, float cx, float cy, float r) {
    return fromDistance(area, [&](float x, float y) { return std::hypot(x - cx, y - cy) - r; });
}

Mask ring(fw::Box area, float cx, float cy, float r0, float r1) {
    const float mid = (r0 + r1) / 2, half = (r1 - r0) / 2;
    return fromDistance(area, [&](float x, float y) { return std::fabs(std::hypot(x - cx, y - cy) - mid) - half; });
}

Mask roundRect(fw::Box area, float x0, float y0, float x1, float y1, float radius) {
    const float cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    const float hx = (x1 - x0) / 2 - radius, hy = (y1 - y0) / 2 - radius;
    return fromDistance(area, [&](float x, float y) {
        const float qx = std::fabs(x - cx) - hx, qy = std::fabs(y - cy) - hy;
        const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
        return outside + std::min(std::max(qx, qy), 0.0f) - radius;
    });
}

Mask capsule(fw::Box area, float ax, float ay, float bx, float by, float halfWidth) {
    const float dx = bx - ax, dy = by - ay;
    const float len2 = std::max(dx * dx + dy * dy, 1e-6f);
    return fromDistance(area, [&](float x, float y) {
        const float t = std::clamp(((x - ax) * dx + (y - ay) * dy) / len2, 0.0f, 1.0f);
        return std::hypot(x - ax - t * dx, y - ay - t * dy) - halfWidth;
    });
}

Mask arcBand(fw::Box area, float cx, float cy, float r0, float r1, float a0, float a1) {
    constexpr float kTwoPi = 2 * std::numbers::pi_v<float>;
    const float mid = (r0 + r1) / 2, half = (r1 - r0) / 2;
    const float e0x = cx + mid * std::cos(a0), e0y = cy + mid * std::sin(a0);
    const float e1x = cx + mid * std::cos(a1), e1y = cy + mid * std::sin(a1);
    return fromDistance(area, [&](float x, float y) {
        float a = std::atan2(y - cy, x - cx);
        while (a < a0) a += kTwoPi;
        if (a <= a1) return std::fabs(std::hypot(x - cx, y - cy) - mid) - half;
        return std::min(std::hypot(x - e0x, y - e0y), std::hypot(x - e1x, y - e1y)) - half;
    });
}

TextWriter::TextWriter() : font_(assets::kVeraSansBold, assets::kVeraSansBoldSize) {}

float TextWriter::width(std::string_view text, float sizePx, float letterSpacing) const {
    return float(font_.measureText(text, sizePx, letterSpacing).width());
}

float TextWriter::capHeight(float sizePx) const {
    return float(-font_.measureText("H", sizePx, 0).minY);
}

void TextWriter::centred(Mask& mask, std::string_view text, float sizePx, float cx, float baseline,
                         float letterSpacing) {
    const fw::Box box = font_.measureText(text, sizePx, letterSpacing);
    leftAligned(mask, text, sizePx, cx - float(box.minX + box.maxX) / 2, baseline, letterSpacing);
}

void TextWriter::leftAligned(Mask& mask, std::string_view text, float sizePx, float x, float baseline,
                             float letterSpacing) {
    font_.iterateCharacterPositions(text, sizePx, letterSpacing, x, baseline, [&](const fw::CharacterPosition& p) {
        if (p.box.empty()) return;
        const fw::ImageRef<const fw::L8> glyph = font_.glyphCoverage(p);
        for (int gy = 0; gy < glyph.h; ++gy)
            for (int gx = 0; gx < glyph.w; ++gx) {
                const int px = p.box.minX + gx, py = p.box.minY + gy;
                if (!mask.area().contains(px, py)) continue;
                const float c = float(glyph.at(gx, gy).l) / 255.0f;
                mask.at(px, py) = std::max(mask.at(px, py), c);
            }
    });
}

}  // namespace artgen
