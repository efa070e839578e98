#include "framework/gui/pbrpasses.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace fw {

namespace {

// One pixel of height is 1024 depth units (65536 would be 64 pixels).
constexpr int kDepthPerPixel = 1024;
constexpr float kHeightPerDepth = 1.0f / kDepthPerPixel;
constexpr float kInv255 = 1.0f / 255.0f;

Vec3<float> normalised(Vec3<float> v) noexcept {
    const float len2 = v.dot(v);
    if (!(len2 > 0.0f)) return Vec3<float>{0.0f, 0.0f, 1.0f};
    return v * (1.0f / std::sqrt(len2));
}

float depthAt(ImageRef<const L16> depth, int x, int y) noexcept {
    x = std::clamp(x, 0, depth.w - 1);
    y = std::clamp(y, 0, depth.h - 1);
    return float(depth.at(x, y).l);
}

ImageRef<const L16> level(const Mipmap<L16>* m, int i) noexcept {
    const int l = std::min(i, m->numLevels() - 1);
    return m->level(l);
}

Vec3<float> colorOf(RGBA c) noexcept { return {c.r * kInv255, c.g * kInv255, c.b * kInv255}; }

// Visits every pixel of the tile: f(imageX, imageY, localX, localY).
template <typename F>
void forTile(const Box& tile, F&& f) noexcept {
    for (int y = tile.minY; y < tile.maxY; ++y)
        for (int x = tile.minX; x < tile.maxX; ++x) f(x, y, x - tile.minX, y - tile.minY);
}

void addLight(RGBf& acc, Vec3<float> l) noexcept {
    acc.r += l.x;
    acc.g += l.y;
    acc.b += l.z;
}

Vec3<float> normalAt(const PassBuffers& b, int threadIndex, int lx, int ly) noexcept {
    const RGBAf n = b.normals[threadIndex].at(lx, ly);
    return {n.r, n.g, n.b};
}

Vec3<float> modulate(Vec3<float> a, Vec3<float> b) noexcept { return {a.x * b.x, a.y * b.y, a.z * b.z}; }

}  // namespace

void PassComputeNormal::render(int threadIndex, const Box& tile, const PassBuffers& b) noexcept {
    const OwnedImage<L16>& level0 = b.depthMap->level(0);
    const ImageRef<const L16> depth = level0;
    // With a margin (replicated edges) the neighbours can be read without clamping.
    const bool margin = level0.border() >= 1;
    OwnedImage<RGBAf>& normals = b.normals[threadIndex];
    OwnedImage<RGBf>& acc = b.accumulatedLight[threadIndex];
    forTile(tile, [&](int x, int y, int lx, int ly) {
        float left, right, up, down;
        if (margin) {
            const L16* row = depth.scanline(y);
            left = row[x - 1].l;
            right = row[x + 1].l;
            up = depth.scanline(y - 1)[x].l;
            down = depth.scanline(y + 1)[x].l;
        } else {
            left = depthAt(depth, x - 1, y);
            right = depthAt(depth, x + 1, y);
            up = depthAt(depth, x, y - 1);
            down = depthAt(depth, x, y + 1);
        }
        const float dx = (right - left) * 0.5f * kHeightPerDepth;
        const float dy = (down - up) * 0.5f * kHeightPerDepth;
        const Vec3<float> n = normalised({-dx, -dy, 1.0f});
        normals.at(lx, ly) = RGBAf{n.x, n.y, n.z, 0.0f};
        acc.at(lx, ly) = RGBf{};
    });
}

void PassAmbientOcclusion::render(int threadIndex, const Box& tile, const PassBuffers& b) noexcept {
    const ImageRef<const L16> depth = b.depthMap->level(0);
    const ImageRef<const L16> blurred = level(b.depthMap, 2);
    const int shift = std::min(2, b.depthMap->numLevels() - 1);
    const ImageRef<const RGBA> diffuse = b.diffuseMap->level(0);
    OwnedImage<RGBf>& acc = b.accumulatedLight[threadIndex];
    OwnedImage<L32f>& occ = b.occlusion[threadIndex];
    forTile(tile, [&](int x, int y, int lx, int ly) {
        const float above = (depthAt(blurred, x >> shift, y >> shift) - depthAt(depth, x, y)) * kHeightPerDepth;
        const float o = std::clamp(1.0f - std::max(above, 0.0f) * 0.1f, 0.0f, 1.0f);
        occ.at(lx, ly) = L32f{o};
        addLight(acc.at(lx, ly), colorOf(diffuse.at(x, y)) * (ambient_ * o));
    });
}

void PassObliqueShadowLight::render(int threadIndex, const Box& tile, const PassBuffers& b) noexcept {
    const ImageRef<const L16> depth = b.depthMap->level(0);
    const ImageRef<const RGBA> diffuse = b.diffuseMap->level(0);
    OwnedImage<RGBf>& acc = b.accumulatedLight[threadIndex];
    const Vec3<float> toLight = normalised({-1.0f, -1.0f, 1.0f});
    // Along the diagonal the ray rises sqrt(2) x (1 / sqrt(2)) = 1 pixel of
    // height per pixel step, so step k is blocked by a neighbour more than
    // k x 1024 depth units higher.
    constexpr int kSteps = 8;
    forTile(tile, [&](int x, int y, int lx, int ly) {
        const int d = depth.at(x, y).l;
        bool lit = true;
        if (x >= kSteps && y >= kSteps) {
            // Lit when no step stands higher: max over k of (depth_k - k x 1024) <= d.
            const auto* here = reinterpret_cast<const std::uint8_t*>(&depth.at(x, y));
            const std::ptrdiff_t diagonal = depth.pitch + std::ptrdiff_t(sizeof(L16));
            int highest = INT_MIN;
            for (int k = 1; k <= kSteps; ++k)
                highest = std::max(highest, reinterpret_cast<const L16*>(here - k * diagonal)->l - k * kDepthPerPixel);
            lit = highest <= d;
        } else {
            for (int k = 1; k <= kSteps && lit; ++k)
                lit = depthAt(depth, x - k, y - k) <= float(d + k * kDepthPerPixel);
        }
        if (!lit) return;
        const float lambert = std::max(0.0f, normalAt(b, threadIndex, lx, ly).dot(toLight));
        addLight(acc.at(lx, ly), modulate(colorOf(diffuse.at(x, y)), color_) * lambert);
    });
}

void PassDirectionalLight::setDirection(LightDirection d) noexcept { dir_ = normalised(d); }

void PassDirectionalLight::render(int threadIndex, const Box& tile, const PassBuffers& b) noexcept {
    const ImageRef<const RGBA> diffuse = b.diffuseMap->level(0);
    OwnedImage<RGBf>& acc = b.accumulatedLight[threadIndex];
    forTile(tile, [&](int x, int y, int lx, int ly) {
        const float lambert = std::max(0.0f, normalAt(b, threadIndex, lx, ly).dot(dir_));
        addLight(acc.at(lx, ly), modulate(colorOf(diffuse.at(x, y)), color_) * lambert);
    });
}

void PassSpecularLight::setDirection(LightDirection d) noexcept { dir_ = normalised(d); }

void PassSpecularLight::render(int threadIndex, const Box& tile, const PassBuffers& b) noexcept {
    const ImageRef<const RGBA> material = b.materialMap->level(0);
    OwnedImage<RGBf>& acc = b.accumulatedLight[threadIndex];
    const Vec3<float> halfway = normalised(dir_ + Vec3<float>{0.0f, 0.0f, 1.0f});
    forTile(tile, [&](int x, int y, int lx, int ly) {
        const RGBA m = material.at(x, y);
        const float c = std::max(0.0f, normalAt(b, threadIndex, lx, ly).dot(halfway));
        // Exponents 4 (rough) to 32 (smooth) by repeated squaring.
        const float c4 = (c * c) * (c * c);
        const float c32 = [&] {
            float v = c4 * c4;
            v *= v;
            return v * v;
        }();
        const float smooth = 1.0f - m.r * kInv255;
        const float highlight = (c4 + (c32 - c4) * smooth) * (m.b * kInv255);
        addLight(acc.at(lx, ly), color_ * highlight);
    });
}

void PassSkyboxReflections::render(int threadIndex, const Box& tile, const PassBuffers& b) noexcept {
    const ImageRef<const RGBA> material = b.materialMap->level(0);
    OwnedImage<RGBf>& acc = b.accumulatedLight[threadIndex];
    const Vec3<float> horizon{0.30f, 0.30f, 0.35f}, zenith{0.60f, 0.70f, 0.90f};
    forTile(tile, [&](int x, int y, int lx, int ly) {
        const float metal = material.at(x, y).g * kInv255;
        if (metal == 0.0f) return;
        const Vec3<float> n = normalAt(b, threadIndex, lx, ly);
        // Reflection of the view ray (0, 0, -1): r = v - 2 (n.v) n with v = (0, 0, -1); its
        // y component says up (negative) or down on screen.
        const float ry = 2.0f * n.z * n.y;
        const float t = std::clamp(0.5f - 0.5f * ry, 0.0f, 1.0f);
        addLight(acc.at(lx, ly), (horizon + (zenith - horizon) * t) * (amount_ * metal));
    });
}

void PassEmissiveContribution::render(int threadIndex, const Box& tile, const PassBuffers& b) noexcept {
    const ImageRef<const RGBA> diffuse = b.diffuseMap->level(0);
    OwnedImage<RGBf>& acc = b.accumulatedLight[threadIndex];
    forTile(tile, [&](int x, int y, int lx, int ly) {
        const RGBA d = diffuse.at(x, y);
        if (d.a != 0) addLight(acc.at(lx, ly), colorOf(d) * (d.a * kInv255));
    });
}

void PassClampAndConvertTo8bit::render(int threadIndex, const Box& tile, const PassBuffers& b) noexcept {
    const OwnedImage<RGBf>& acc = b.accumulatedLight[threadIndex];
    forTile(tile, [&](int x, int y, int lx, int ly) {
        const RGBf l = acc.at(lx, ly);
        b.output.at(x, y) = RGBA{convertComponent(l.r), convertComponent(l.g), convertComponent(l.b), 255};
    });
}

}  // namespace fw
