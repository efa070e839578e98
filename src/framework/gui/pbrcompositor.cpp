#include "framework/gui/pbrcompositor.h"

namespace fw {

PBRCompositor::PBRCompositor(const CompositorCreationContext& context) : MultipassCompositor(context) {
    addPass(std::make_unique<PassComputeNormal>());
    ambient_ = addPass(std::make_unique<PassAmbientOcclusion>());
    shadowLight_ = addPass(std::make_unique<PassObliqueShadowLight>());
    directionalLight_ = addPass(std::make_unique<PassDirectionalLight>());
    specularLight_ = addPass(std::make_unique<PassSpecularLight>());
    skybox_ = addPass(std::make_unique<PassSkyboxReflections>());
    addPass(std::make_unique<PassEmissiveContribution>());
    addPass(std::make_unique<PassClampAndConvertTo8bit>());

    const std::size_t n = std::size_t(numThreads());
    accumulatedLight_.resize(n);
    normals_.resize(n);
    occlusion_.resize(n);
    passBuffers_.accumulatedLight = accumulatedLight_.data();
    passBuffers_.normals = normals_.data();
    passBuffers_.occlusion = occlusion_.data();
}

PBRCompositor::~PBRCompositor() = default;

void PBRCompositor::resizeBuffers(int width, int height, int maxTileWidth, int maxTileHeight) {
    MultipassCompositor::resizeBuffers(width, height, maxTileWidth, maxTileHeight);
    const int tw = maxTileWidth > 0 ? maxTileWidth : 1, th = maxTileHeight > 0 ? maxTileHeight : 1;
    for (std::size_t i = 0; i < accumulatedLight_.length(); ++i) {
        // Zeroed, so that the result stays deterministic with passes disabled.
        accumulatedLight_[i].size(tw, th);
        accumulatedLight_[i].fillAll(RGBf{});
        normals_[i].size(tw, th);
        normals_[i].fillAll(RGBAf{0, 0, 1, 0});
        occlusion_[i].size(tw, th);
        occlusion_[i].fillAll(L32f{1});
    }
}

}  // namespace fw
