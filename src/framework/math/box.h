#pragma once
// Box: an integer rectangle in editor pixel space (origin top left, y downwards).
// minX/minY are inclusive, maxX/maxY exclusive; a box with zero or negative
// width or height is empty and contains nothing.

#include <algorithm>

namespace fw {

struct Box {
    int minX = 0;
    int minY = 0;
    int maxX = 0;
    int maxY = 0;

    static constexpr Box rectangle(int x, int y, int width, int height) noexcept {
        return Box{x, y, x + width, y + height};
    }

    constexpr int width() const noexcept { return maxX - minX; }
    constexpr int height() const noexcept { return maxY - minY; }
    constexpr bool empty() const noexcept { return maxX <= minX || maxY <= minY; }

    constexpr bool contains(int x, int y) const noexcept {
        return x >= minX && x < maxX && y >= minY && y < maxY;
    }
    // An empty box is contained in every box.
    constexpr bool contains(const Box& o) const noexcept {
        return o.empty() || (o.minX >= minX && o.maxX <= maxX && o.minY >= minY && o.maxY <= maxY);
    }

    // The common area; empty (not necessarily all zeros) when they do not overlap.
    constexpr Box intersection(const Box& o) const noexcept {
        return Box{std::max(minX, o.minX), std::max(minY, o.minY), std::min(maxX, o.maxX), std::min(maxY, o.maxY)};
    }
    constexpr bool intersects(const Box& o) const noexcept { return !intersection(o).empty(); }

    // Smallest box holding both; an empty operand is ignored.
    constexpr Box expand(const Box& o) const noexcept {
        if (o.empty()) return *this;
        if (empty()) return o;
        return Box{std::min(minX, o.minX), std::min(minY, o.minY), std::max(maxX, o.maxX), std::max(maxY, o.maxY)};
    }

    constexpr Box translate(int dx, int dy) const noexcept { return Box{minX + dx, minY + dy, maxX + dx, maxY + dy}; }
    constexpr Box grow(int margin) const noexcept {
        return Box{minX - margin, minY - margin, maxX + margin, maxY + margin};
    }

    friend constexpr bool operator==(const Box&, const Box&) noexcept = default;
};

}  // namespace fw
