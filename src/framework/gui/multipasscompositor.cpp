#include "framework/gui/multipasscompositor.h"

#include "framework/core/threadpool.h"
#include "framework/gui/profiler.h"

namespace fw {

MultipassCompositor::MultipassCompositor(const CompositorCreationContext& context) : threadPool_(context.threadPool) {}

MultipassCompositor::~MultipassCompositor() = default;

CompositorPass* MultipassCompositor::addPass(std::unique_ptr<CompositorPass> pass) {
    CompositorPass* raw = pass.get();
    passes_.pushBack(std::move(pass));
    return raw;
}

int MultipassCompositor::numThreads() const noexcept { return threadPool_ ? threadPool_->numThreads() : 1; }

void MultipassCompositor::resizeBuffers(int width, int height, int maxTileWidth, int maxTileHeight) {
    maxTileWidth_ = maxTileWidth > 0 ? maxTileWidth : 1;
    maxTileHeight_ = maxTileHeight > 0 ? maxTileHeight : 1;
    for (auto& p : passes_) p->resizeBuffers(width, height, maxTileWidth, maxTileHeight);
}

void MultipassCompositor::compositeTile(ImageRef<RGBA> output, const Vec<Box>& areas, Mipmap<RGBA>& diffuseMap,
                                        Mipmap<RGBA>& materialMap, Mipmap<L16>& depthMap, IProfiler& profiler) {
    profiler.begin("composite");
    passBuffers_.output = output;
    passBuffers_.diffuseMap = &diffuseMap;
    passBuffers_.materialMap = &materialMap;
    passBuffers_.depthMap = &depthMap;
    const PassBuffers& buffers = passBuffers_;
    auto renderTile = [&](int i, int threadIndex) {
        // Passes see only pixels of the output, in pieces no larger than their
        // scratch images, whatever the caller handed in.
        const Box area = areas[std::size_t(i)].intersection(output.bounds());
        if (area.empty()) return;
        for (int y = area.minY; y < area.maxY; y += maxTileHeight_) {
            for (int x = area.minX; x < area.maxX; x += maxTileWidth_) {
                const Box tile = Box{x, y, x + maxTileWidth_, y + maxTileHeight_}.intersection(area);
                for (auto& p : passes_)
                    if (p->enabled()) p->render(threadIndex, tile, buffers);
            }
        }
    };
    if (threadPool_) {
        threadPool_->parallelFor(int(areas.length()), renderTile);
    } else {
        for (int i = 0; i < int(areas.length()); ++i) renderTile(i, 0);
    }
    profiler.end();
}

}  // namespace fw
