#include "framework/gui/dirtyrectlist.h"

#include <mutex>

#include "framework/gui/boxlist.h"

namespace fw {

DirtyRectList::DirtyRectList() { rects_.reserve(kCapacity); }

void DirtyRectList::collapseWith(const Box& rect) noexcept {
    const Box all = boundingBox(rects_).expand(rect);
    rects_.clearContents();
    rects_.pushBack(all);  // within capacity: no allocation
}

void DirtyRectList::addRect(const Box& rect) {
    if (rect.empty()) return;
    std::lock_guard<UncheckedMutex> lock(mutex_);
    for (std::size_t i = 0; i < rects_.length();) {
        const Box entry = rects_[i];
        if (entry.contains(rect)) return;
        if (rect.contains(entry)) {
            rects_.removeAndReplaceByLast(i);
            continue;
        }
        const Box overlap = entry.intersection(rect);
        if (overlap.empty()) {
            ++i;
            continue;
        }
        // Up to four pieces replace the entry: make sure they fit.
        if (rects_.length() + 3 > std::size_t(kCapacity)) {
            collapseWith(rect);
            return;
        }
        // The pieces lie outside `rect`, so later visits pass over them.
        rects_.removeAndReplaceByLast(i);
        appendPiecesOutside(entry, overlap, rects_);
    }
    if (rects_.length() == std::size_t(kCapacity)) {
        collapseWith(rect);
        return;
    }
    rects_.pushBack(rect);
}

void DirtyRectList::pullAllRectangles(Vec<Box>& destination) {
    std::lock_guard<UncheckedMutex> lock(mutex_);
    for (const Box& r : rects_) destination.pushBack(r);
    rects_.clearContents();
}

int DirtyRectList::numRects() {
    std::lock_guard<UncheckedMutex> lock(mutex_);
    return int(rects_.length());
}

}  // namespace fw
