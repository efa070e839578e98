#include "framework/gui/simplerawcompositor.h"

#include "framework/core/threadpool.h"
#include "framework/gui/profiler.h"

namespace fw {

void SimpleRawCompositor::compositeTile(ImageRef<RGBA> output, const Vec<Box>& areas, Mipmap<RGBA>& diffuseMap,
                                        Mipmap<RGBA>&, Mipmap<L16>&, IProfiler& profiler) {
    profiler.begin("composite");
    const ImageRef<const RGBA> diffuse = diffuseMap.level(0);
    auto copyTile = [&](int i, int) {
        const Box tile = areas[std::size_t(i)].intersection(output.bounds()).intersection(diffuse.bounds());
        for (int y = tile.minY; y < tile.maxY; ++y) {
            const RGBA* in = diffuse.scanline(y);
            RGBA* out = output.scanline(y);
            for (int x = tile.minX; x < tile.maxX; ++x) out[x] = RGBA{in[x].r, in[x].g, in[x].b, 255};
        }
    };
    if (threadPool_) {
        threadPool_->parallelFor(int(areas.length()), copyTile);
    } else {
        for (int i = 0; i < int(areas.length()); ++i) copyTile(i, 0);
    }
    profiler.end();
}

}  // namespace fw
