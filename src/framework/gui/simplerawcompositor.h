#pragma once
// SimpleRawCompositor: a compositor without lighting, for editors whose
// lighting layers only carry flat colour: each tile of the output becomes the
// diffuse colour, opaque. Runs the tiles on the paint pool like the others.

#include "framework/gui/icompositor.h"

namespace fw {

class SimpleRawCompositor final : public ICompositor {
public:
    // UI thread.
    explicit SimpleRawCompositor(const CompositorCreationContext& context) noexcept
        : threadPool_(context.threadPool) {}

    // UI thread. Nothing to size: no scratch.
    void resizeBuffers(int, int, int, int) override {}
    // UI thread; the tiles run on the pool. Writes only inside `areas`, clipped to `output`.
    void compositeTile(ImageRef<RGBA> output, const Vec<Box>& areas, Mipmap<RGBA>& diffuseMap,
                       Mipmap<RGBA>& materialMap, Mipmap<L16>& depthMap, IProfiler& profiler) override;

private:
    ThreadPool* threadPool_;
};

}  // namespace fw
