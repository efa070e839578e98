#pragma once
// CompositorPass: one step of a multi-pass compositor, run per tile. A pass
// reads the lighting layers and the scratch images of the thread it runs on,
// and writes only inside its tile (of the scratch images, tile-local, or of the
// output, in image coordinates).

#include "framework/graphics/image.h"
#include "framework/graphics/mipmap.h"
#include "framework/math/box.h"

namespace fw {

// The images a pass works on. The scratch arrays hold one image per pool
// thread, each of the maximum tile size; pixel (0, 0) of a scratch image is the
// tile's top-left. Arrays a compositor does not provide are null.
struct PassBuffers {
    ImageRef<RGBA> output;
    const Mipmap<RGBA>* diffuseMap = nullptr;
    const Mipmap<RGBA>* materialMap = nullptr;
    const Mipmap<L16>* depthMap = nullptr;
    OwnedImage<RGBf>* accumulatedLight = nullptr;  // light gathered so far
    OwnedImage<RGBAf>* normals = nullptr;           // x, y, z of the surface normal
    OwnedImage<L32f>* occlusion = nullptr;          // ambient light reaching the pixel, 0..1
};

class CompositorPass {
public:
    explicit CompositorPass(const char* name) noexcept : name_(name) {}
    virtual ~CompositorPass() = default;
    CompositorPass(const CompositorPass&) = delete;
    CompositorPass& operator=(const CompositorPass&) = delete;

    const char* name() const noexcept { return name_; }
    // UI thread, between frames.
    bool enabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled) noexcept { enabled_ = enabled; }

    // UI thread. The UI size and the largest tile.
    virtual void resizeBuffers(int, int, int, int) {}
    // Paint pool thread `threadIndex`. Processes `tile` (image coordinates).
    virtual void render(int threadIndex, const Box& tile, const PassBuffers& buffers) noexcept = 0;

private:
    const char* name_;
    bool enabled_ = true;
};

}  // namespace fw
