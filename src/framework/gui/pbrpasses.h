#pragma once
// The passes of the lighting compositor, in the order PBRCompositor runs them.
// The lighting model is small and deterministic: a height field from the depth
// map gives normals; ambient light is dimmed where the neighbourhood stands
// higher; an oblique light casts short shadows; a directional and a specular
// (Blinn-Phong) light follow; metallic surfaces reflect a procedural sky;
// diffuse alpha is emission; the sum is clamped to 8 bits.
//
// Conventions: colours are linear floats 0..1 (bytes / 255); the material map's
// channels are roughness, metalness, specular and a fourth that is unused; 1024
// depth units stand for one pixel of height. Every render() is called on a
// paint pool thread with that thread's scratch images.

#include <cstdint>

#include "framework/gui/compositorpass.h"
#include "framework/math/vector.h"

namespace fw {

using LightColor = Vec3<float>;
using LightDirection = Vec3<float>;  // towards the light; normalised when set

// Normals from the depth map's slopes; also clears the accumulated light.
class PassComputeNormal final : public CompositorPass {
public:
    PassComputeNormal() : CompositorPass("Compute normal") {}
    void render(int threadIndex, const Box& tile, const PassBuffers& buffers) noexcept override;
};

// accumulated = ambient x diffuse x occlusion, the occlusion from how far the
// blurred depth (mip level 2) stands above the pixel.
class PassAmbientOcclusion final : public CompositorPass {
public:
    PassAmbientOcclusion() : CompositorPass("Ambient occlusion") {}
    void setAmbientLight(float amount) noexcept { ambient_ = amount; }
    void render(int threadIndex, const Box& tile, const PassBuffers& buffers) noexcept override;

private:
    float ambient_ = 0.15f;
};

// A light from the top-left at 45 degrees that neighbours standing higher
// along its direction shadow.
class PassObliqueShadowLight final : public CompositorPass {
public:
    PassObliqueShadowLight() : CompositorPass("Oblique shadow light") {}
    void setColor(LightColor c) noexcept { color_ = c; }
    void render(int threadIndex, const Box& tile, const PassBuffers& buffers) noexcept override;

private:
    LightColor color_{0.25f, 0.25f, 0.25f};
};

// Lambert lighting from one direction.
class PassDirectionalLight final : public CompositorPass {
public:
    PassDirectionalLight() : CompositorPass("Directional light") {}
    void setDirection(LightDirection d) noexcept;
    void setColor(LightColor c) noexcept { color_ = c; }
    void render(int threadIndex, const Box& tile, const PassBuffers& buffers) noexcept override;

private:
    LightDirection dir_{0.0f, -0.6f, 0.8f};
    LightColor color_{0.5f, 0.5f, 0.5f};
};

// Blinn-Phong highlight, sharper where the material is smoother.
class PassSpecularLight final : public CompositorPass {
public:
    PassSpecularLight() : CompositorPass("Specular light") {}
    void setDirection(LightDirection d) noexcept;
    void setColor(LightColor c) noexcept { color_ = c; }
    void render(int threadIndex, const Box& tile, const PassBuffers& buffers) noexcept override;

private:
    LightDirection dir_{-0.4f, -0.4f, 0.82f};
    LightColor color_{0.4f, 0.4f, 0.4f};
};

// Metallic surfaces reflect a sky that fades from the horizon to the zenith.
class PassSkyboxReflections final : public CompositorPass {
public:
    PassSkyboxReflections() : CompositorPass("Skybox reflections") {}
    void setAmount(float amount) noexcept { amount_ = amount; }
    void render(int threadIndex, const Box& tile, const PassBuffers& buffers) noexcept override;

private:
    float amount_ = 0.4f;
};

// Diffuse alpha is light the surface emits in its own colour.
class PassEmissiveContribution final : public CompositorPass {
public:
    PassEmissiveContribution() : CompositorPass("Emissive contribution") {}
    void render(int threadIndex, const Box& tile, const PassBuffers& buffers) noexcept override;
};

// Each component x 255.99, truncated and clamped to 0..255; alpha 255.
class PassClampAndConvertTo8bit final : public CompositorPass {
public:
    PassClampAndConvertTo8bit() : CompositorPass("Clamp and convert to 8-bit") {}
    void render(int threadIndex, const Box& tile, const PassBuffers& buffers) noexcept override;

    // Any thread. One component: x 255.99, truncated, clamped; NaN gives 0.
    static std::uint8_t convertComponent(float light) noexcept {
        const float v = light * 255.99f;
        if (!(v > 0.0f)) return 0;
        if (v >= 255.0f) return 255;
        return std::uint8_t(v);
    }
};

}  // namespace fw
