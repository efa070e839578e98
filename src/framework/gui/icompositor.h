#pragma once
// ICompositor: turns the three lighting layers that elements paint (diffuse
// RGBA8, depth L16, material RGBA8, each a mip chain) into the lit RGBA8 image
// that the raw layer is painted over. The editor hands it tiles of at most the
// maximum tile size and it writes the output only inside them.

#include "framework/core/vec.h"
#include "framework/graphics/image.h"
#include "framework/graphics/mipmap.h"
#include "framework/math/box.h"

namespace fw {

class IProfiler;
class ThreadPool;

// What a compositor is built with.
struct CompositorCreationContext {
    ThreadPool* threadPool = nullptr;  // the editor's paint pool
};

class ICompositor {
public:
    virtual ~ICompositor() = default;

    // UI thread. The UI size and the largest tile compositeTile will be given.
    virtual void resizeBuffers(int width, int height, int maxTileWidth, int maxTileHeight) = 0;

    // UI thread; runs its work on the paint pool and returns when all is done.
    // Writes `output` inside each of `areas` (tiles no larger than announced).
    virtual void compositeTile(ImageRef<RGBA> output, const Vec<Box>& areas, Mipmap<RGBA>& diffuseMap,
                               Mipmap<RGBA>& materialMap, Mipmap<L16>& depthMap, IProfiler& profiler) = 0;
};

}  // namespace fw
