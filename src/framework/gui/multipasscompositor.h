#pragma once
// MultipassCompositor: an ICompositor that runs an ordered list of passes over
// each tile, the tiles spread over the paint pool. Every pool thread has its
// own scratch images (provided by the derived class in `passBuffers_`), so
// passes of different tiles never share memory.

#include <memory>

#include "framework/core/vec.h"
#include "framework/gui/compositorpass.h"
#include "framework/gui/icompositor.h"

namespace fw {

class MultipassCompositor : public ICompositor {
public:
    // UI thread.
    explicit MultipassCompositor(const CompositorCreationContext& context);
    ~MultipassCompositor() override;

    // UI thread, at construction. Appends a pass; returns it (borrowed).
    CompositorPass* addPass(std::unique_ptr<CompositorPass> pass);
    template <typename T>
    T* addPass(std::unique_ptr<T> pass) {
        T* raw = pass.get();
        addPass(std::unique_ptr<CompositorPass>(std::move(pass)));
        return raw;
    }
    int numPasses() const noexcept { return int(passes_.length()); }
    CompositorPass* pass(int i) const noexcept { return passes_[std::size_t(i)].get(); }

    // UI thread. Forwards to every pass in order.
    void resizeBuffers(int width, int height, int maxTileWidth, int maxTileHeight) override;
    // UI thread; the passes run on the pool, tile by tile.
    void compositeTile(ImageRef<RGBA> output, const Vec<Box>& areas, Mipmap<RGBA>& diffuseMap,
                       Mipmap<RGBA>& materialMap, Mipmap<L16>& depthMap, IProfiler& profiler) override;

    // The number of scratch sets a derived class must provide (one per pool thread).
    int numThreads() const noexcept;

protected:
    ThreadPool* threadPool_;
    PassBuffers passBuffers_;  // the scratch arrays are the derived class's

private:
    Vec<std::unique_ptr<CompositorPass>> passes_;
    int maxTileWidth_ = 64;
    int maxTileHeight_ = 64;
};

}  // namespace fw
