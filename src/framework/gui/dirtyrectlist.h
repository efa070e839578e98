#pragma once
// DirtyRectList: the rectangles that elements posted for repainting, kept
// non-empty and pairwise disjoint so that no pixel is painted twice. Widgets
// post from any thread (parameter changes arrive on host and audio threads);
// the render pipeline drains the list once per frame on the UI thread.

#include "framework/core/uncheckedmutex.h"
#include "framework/core/vec.h"
#include "framework/math/box.h"

namespace fw {

class DirtyRectList {
public:
    // Room for this many rectangles is made at construction and the list never
    // grows beyond it, so posting never allocates (widgets post from the audio
    // thread too). A rectangle that would not fit makes the whole list collapse
    // into the bounding box of its entries and the rectangle: a larger area is
    // repainted, none is lost.
    static constexpr int kCapacity = 256;

    DirtyRectList();
    DirtyRectList(const DirtyRectList&) = delete;
    DirtyRectList& operator=(const DirtyRectList&) = delete;

    // Any thread; only posts a dirty rectangle. Empty (or inverted) rectangles
    // are ignored without locking. A rectangle inside an entry is dropped, entries
    // inside it are removed, and entries it overlaps are cut into the parts
    // outside it; then it is appended. Never allocates.
    void addRect(const Box& rect);

    // UI thread. Appends every rectangle to `destination` and empties the list.
    void pullAllRectangles(Vec<Box>& destination);

    // Any thread. Locks; for tests and diagnostics.
    int numRects();

private:
    // With the mutex held: replaces every entry by one box covering them and `rect`.
    void collapseWith(const Box& rect) noexcept;

    UncheckedMutex mutex_;
    Vec<Box> rects_;  // guarded by mutex_
};

}  // namespace fw
