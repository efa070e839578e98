#pragma once
// Gradient: colour stops and the 256-entry colour table built from them.
// CanvasGradient: a gradient with its geometry, as a canvas fill style.

#include <cstdint>

#include "framework/core/vec.h"
#include "framework/graphics/color.h"

namespace fw {

class Gradient {
public:
    static constexpr int lutLength = 256;

    struct Stop {
        float position = 0;  // 0 .. 1
        RGBA color;
    };

    // Paint thread; grows the stop list (no allocation once it has the capacity).
    // The position is clamped to [0, 1] (NaN counts as 0).
    void addStop(float position, RGBA color);
    // Paint thread. Removes all stops, keeping the capacity.
    void reset() noexcept;

    int numStops() const noexcept { return int(stops_.size()); }
    const Stop& stop(int i) const noexcept { return stops_[std::size_t(i)]; }

    // Paint thread; never allocates. The colour table, rebuilt first when stops changed: stops are sorted by
    // position (stable, so equal positions keep their order); with one stop
    // every entry is its colour; otherwise entries before the first stop's
    // position x 256 take the first colour, entries between two stops are
    // interpolated per channel, and entries after the last stop take the last
    // colour. No stops give transparent black.
    const RGBA* lookupTable() noexcept;

private:
    void initLookup() noexcept;

    Vec<Stop> stops_;
    RGBA lut_[lutLength];
    bool changed_ = true;
};

enum class CanvasGradientKind : int { linear = 0, elliptical = 2 };

class CanvasGradient {
public:
    // Paint thread. Same as Gradient::addStop.
    void addColorStop(float offset, RGBA color) { gradient.addStop(offset, color); }

    // Makes the gradient fresh for reuse from the canvas pool.
    void reset() noexcept {
        kind = CanvasGradientKind::linear;
        x0 = y0 = x1 = y1 = 0;
        ratio = 1;
        gradient.reset();
    }

    CanvasGradientKind kind = CanvasGradientKind::linear;
    // Start and end point in the canvas's user space; for an elliptical gradient
    // the start is the centre and the end the tip of the first axis, whose
    // perpendicular axis is `ratio` times as long.
    float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    float ratio = 1;
    Gradient gradient;
};

}  // namespace fw
