#include "framework/gui/boxlist.h"

#include <climits>
#include <cstdint>

namespace fw {

namespace {

int addSaturated(int v, int d) noexcept {
    const std::int64_t s = std::int64_t(v) + d;
    return s > INT_MAX ? INT_MAX : s < INT_MIN ? INT_MIN : int(s);
}

}  // namespace

Box translateSaturated(const Box& r, int dx, int dy) noexcept {
    return Box{addSaturated(r.minX, dx), addSaturated(r.minY, dy), addSaturated(r.maxX, dx), addSaturated(r.maxY, dy)};
}

void appendPiecesOutside(const Box& a, const Box& overlap, Vec<Box>& out) {
    const Box pieces[4] = {
        Box{a.minX, a.minY, a.maxX, overlap.minY},
        Box{a.minX, overlap.minY, overlap.minX, overlap.maxY},
        Box{overlap.maxX, overlap.minY, a.maxX, overlap.maxY},
        Box{a.minX, overlap.maxY, a.maxX, a.maxY},
    };
    for (const Box& p : pieces)
        if (!p.empty()) out.pushBack(p);
}

void removeOverlappingAreas(Vec<Box>& input, Vec<Box>& output) {
    for (std::size_t i = 0; i < input.length(); ++i) {
        const Box a = input[i];
        if (a.empty()) continue;
        bool keep = true;
        for (std::size_t j = i + 1; j < input.length();) {
            const Box b = input[j];
            if (a.contains(b)) {
                input.removeAndReplaceByLast(j);  // look at slot j again
                continue;
            }
            if (b.contains(a)) {
                keep = false;
                break;
            }
            const Box overlap = a.intersection(b);
            if (!overlap.empty()) {
                // The pieces are visited later in this walk and meet b again there.
                appendPiecesOutside(a, overlap, input);
                keep = false;
                break;
            }
            ++j;
        }
        if (keep) output.pushBack(a);
    }
}

void splitIntoTiles(const Box& area, int maxWidth, int maxHeight, Vec<Box>& out) {
    if (area.empty() || maxWidth <= 0 || maxHeight <= 0) return;
    for (int y = area.minY; y < area.maxY; y += maxHeight) {
        const int y1 = area.maxY - y > maxHeight ? y + maxHeight : area.maxY;
        for (int x = area.minX; x < area.maxX; x += maxWidth) {
            const int x1 = area.maxX - x > maxWidth ? x + maxWidth : area.maxX;
            out.pushBack(Box{x, y, x1, y1});
        }
    }
}

Box boundingBox(const Vec<Box>& list) noexcept {
    Box r{};
    for (const Box& b : list) r = r.expand(b);
    return r;
}

}  // namespace fw
