#pragma once
// A merge-based stable sort that takes its scratch memory from the caller, so
// that sorting a reused array on a warm path allocates nothing beyond the
// scratch's first growth. Elements that compare equal keep their order.

#include <cstddef>
#include <utility>

#include "framework/core/vec.h"

namespace fw {

// Sorts `items` by `less`; `scratch` is resized to items.length() (keeping its capacity).
template <typename T, typename Less>
void stableSort(Vec<T>& items, Vec<T>& scratch, Less less) {
    const std::size_t n = items.length();
    if (n < 2) return;
    scratch.resize(n);
    T* src = items.data();
    T* dst = scratch.data();
    // Bottom-up: merge runs of width 1, 2, 4, ... alternating between the buffers.
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo < n; lo += 2 * width) {
            const std::size_t mid = lo + width < n ? lo + width : n;
            const std::size_t hi = lo + 2 * width < n ? lo + 2 * width : n;
            std::size_t i = lo, j = mid, k = lo;
            // Take from the right run only when strictly smaller: that keeps it stable.
            while (i < mid && j < hi) dst[k++] = less(src[j], src[i]) ? src[j++] : src[i++];
            while (i < mid) dst[k++] = src[i++];
            while (j < hi) dst[k++] = src[j++];
        }
        std::swap(src, dst);
    }
    if (src != items.data())
        for (std::size_t i = 0; i < n; ++i) items[i] = src[i];
}

}  // namespace fw
