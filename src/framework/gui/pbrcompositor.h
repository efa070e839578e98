#pragma once
// PBRCompositor: the editor's lighting compositor, a MultipassCompositor with
// per-thread scratch images and eight passes in this order: compute normal,
// ambient occlusion, oblique shadow light, directional light, specular light,
// skybox reflections, emissive contribution, clamp and convert to 8 bits.
// The setters change the lights between frames (UI thread).

#include "framework/gui/multipasscompositor.h"
#include "framework/gui/pbrpasses.h"

namespace fw {

class PBRCompositor final : public MultipassCompositor {
public:
    // UI thread.
    explicit PBRCompositor(const CompositorCreationContext& context);
    ~PBRCompositor() override;

    // UI thread. Sizes every pool thread's scratch images to the largest tile.
    void resizeBuffers(int width, int height, int maxTileWidth, int maxTileHeight) override;

    // UI thread, between frames.
    void light1Color(LightColor c) noexcept { shadowLight_->setColor(c); }
    void light2Dir(LightDirection d) noexcept { directionalLight_->setDirection(d); }
    void light2Color(LightColor c) noexcept { directionalLight_->setColor(c); }
    void light3Dir(LightDirection d) noexcept { specularLight_->setDirection(d); }
    void light3Color(LightColor c) noexcept { specularLight_->setColor(c); }
    void skyboxAmount(float amount) noexcept { skybox_->setAmount(amount); }
    void ambientLight(float amount) noexcept { ambient_->setAmbientLight(amount); }

private:
    Vec<OwnedImage<RGBf>> accumulatedLight_;
    Vec<OwnedImage<RGBAf>> normals_;
    Vec<OwnedImage<L32f>> occlusion_;
    PassAmbientOcclusion* ambient_;
    PassObliqueShadowLight* shadowLight_;
    PassDirectionalLight* directionalLight_;
    PassSpecularLight* specularLight_;
    PassSkyboxReflections* skybox_;
};

}  // namespace fw
