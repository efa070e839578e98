#pragma once
// DragEndHold: the rule that keeps a dragged value at an end of its [0, 1]
// range while the pointer is beyond the point where the value got there, so
// that on the way back the value changes only once the pointer passes that
// point again. Shared by every widget that drags a normalized value.
//
// UI thread; one per widget.

#include <algorithm>
#include <limits>

namespace fw {

struct DragEndHold {
    static constexpr float kNone = std::numeric_limits<float>::infinity();

    // Pointer coordinates where the value reached 0 (low) and 1 (high); +inf
    // and -inf mean none, and so does NaN (it compares false).
    float low = kNone;
    float high = -kNone;

    void clear() noexcept {
        low = kNone;
        high = -kNone;
    }

    // One drag step at pointer coordinate `c` (growing in the direction that
    // lowers the value) from `old` towards `candidate`. False while the pointer
    // is still beyond a point where an end was reached: ignore the step.
    // Otherwise records an end reached now, clamps `candidate` to [0, 1],
    // forgets the ends the clamped value has left, and returns true.
    template <typename T>
    bool step(float c, T old, T& candidate) noexcept {
        if (c > low || c < high) return false;
        if (old > T(0) && candidate <= T(0)) low = c;
        if (old < T(1) && candidate >= T(1)) high = c;
        candidate = std::clamp(candidate, T(0), T(1));
        if (candidate > T(0)) low = kNone;
        if (candidate < T(1)) high = -kNone;
        return true;
    }
};

}  // namespace fw
