#pragma once
// Rasterizer: exact-area antialiasing of paths made of straight segments.
//
// Coordinates are 24.8 fixed point (pixel x 256). Every segment is clipped to
// the target box and walked across the pixel grid; each cell it crosses gets
// the signed area it covers to the cell's right (sign from the segment's
// direction) in its row's accumulator, and the cell is marked in the row's
// bit mask. Along a row the running sum of the accumulators is the winding-
// weighted coverage, so runs of untouched cells carry the sum unchanged and
// interior spans are filled without visiting edges.
//
// Accumulator units: a segment crossing a whole row at the left edge of a cell
// adds 256 * 512 = 131072 there, so |running sum| / 2 is coverage on a 16-bit
// scale where 65536 is full (clamped to 65535).
//
// Buffers are sized at initialise and only grow; nothing is allocated while a
// path is built or filled once they have their working size. Paint threads.

#include <cstdint>

#include "framework/core/vec.h"

namespace fw {

enum class WindingRule : int { nonZero = 0, evenOdd = 1 };

// One row of coverage handed to a blitter: the touched cells are those whose
// bit is set in `mask` (bit x % 64 of word x / 64), between firstColumn and
// lastColumn inclusive. Cells up to width + 1 exist; only 0 .. width - 1 are pixels.
struct CoverageRow {
    int y = 0;
    int width = 0;
    int firstColumn = 0;
    int lastColumn = 0;
    std::int32_t* cells = nullptr;
    std::uint64_t* mask = nullptr;
    WindingRule rule = WindingRule::nonZero;
};

class IBlitter {
public:
    virtual ~IBlitter() = default;
    // Paint thread; never allocates. Must consume the row with scanCoverageRow
    // (which clears the cells and the mask as it goes).
    virtual void blitRow(const CoverageRow& row) noexcept = 0;
};

// Coverage (0 .. 65535) of a running accumulator sum under a winding rule.
inline int coverageOf(std::int32_t sum, WindingRule rule) noexcept {
    std::int64_t s = sum < 0 ? -std::int64_t(sum) : std::int64_t(sum);
    if (rule == WindingRule::evenOdd) {
        s &= 0x3FFFF;                  // modulo two full windings
        if (s > 0x20000) s = 0x40000 - s;  // fold: odd windings are inside
    }
    s >>= 1;
    return s > 65535 ? 65535 : int(s);
}

// Walks a coverage row in increasing x: onCell(x, coverage) for every touched
// pixel cell, onRun(x0, x1, coverage) for each stretch [x0, x1] of untouched
// pixel cells between (or after) touched ones whose carried coverage is not 0.
// Clears every touched cell and the mask words it covers. Empty 64-cell
// stretches cost one mask test.
template <typename OnCell, typename OnRun>
void scanCoverageRow(const CoverageRow& row, OnCell&& onCell, OnRun&& onRun) noexcept {
    std::int32_t sum = 0;
    int previous = row.firstColumn - 1;  // last visited cell
    bool inside = true;                  // still within the pixel cells
    const int firstWord = row.firstColumn >> 6, lastWord = row.lastColumn >> 6;
    for (int wi = firstWord; wi <= lastWord; ++wi) {
        std::uint64_t bits = row.mask[wi];
        row.mask[wi] = 0;
        while (bits != 0) {
            const int x = (wi << 6) + __builtin_ctzll(bits);
            bits &= bits - 1;
            if (!inside) {
                row.cells[x] = 0;
                continue;
            }
            const int runEnd = (x < row.width ? x : row.width) - 1;
            if (runEnd > previous) {
                const int c = coverageOf(sum, row.rule);
                if (c != 0) onRun(previous + 1, runEnd, c);
            }
            sum = std::int32_t(std::uint32_t(sum) + std::uint32_t(row.cells[x]));  // wraps, never overflows
            row.cells[x] = 0;
            if (x >= row.width) {
                inside = false;
                continue;
            }
            onCell(x, coverageOf(sum, row.rule));
            previous = x;
        }
    }
    if (inside && previous < row.width - 1) {
        const int c = coverageOf(sum, row.rule);
        if (c != 0) onRun(previous + 1, row.width - 1, c);
    }
}

class Rasterizer {
public:
    // Paint thread. Sets the clip box to (0, 0, width, height), grows the
    // buffers when needed (the only allocation) and discards any path.
    void initialise(int width, int height);

    // Discards the path built so far (clears the cells it touched).
    void reset() noexcept;

    // Path building in 24.8 fixed point. moveTo closes the current sub-path.
    void intMoveTo(std::int32_t x, std::int32_t y) noexcept;
    void intLineTo(std::int32_t x, std::int32_t y) noexcept;
    void closePath() noexcept;

    // Closes the path and hands every touched row, top to bottom, to the
    // blitter, which consumes it; the rasterizer is empty afterwards.
    void rasterize(WindingRule rule, IBlitter& blitter) noexcept;

    int width() const noexcept { return width_; }
    int height() const noexcept { return height_; }

private:
    void addSegment(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) noexcept;
    void addClippedSegment(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, int sign) noexcept;
    void addRowPiece(int row, std::int64_t xa, std::int64_t ya, std::int64_t xb, std::int64_t yb, int sign) noexcept;
    void addCellPiece(int row, std::int64_t xa, std::int64_t xb, std::int64_t dy, int sign) noexcept;

    int width_ = 0;
    int height_ = 0;
    int stride_ = 0;       // cells per row: width + 2
    int maskWords_ = 0;    // mask words per row
    Vec<std::int32_t, 64> cells_;
    Vec<std::uint64_t, 64> masks_;
    Vec<std::int32_t> rowFirst_;  // first touched cell per row
    Vec<std::int32_t> rowLast_;   // last touched cell per row
    int minRow_ = 0;
    int maxRow_ = -1;

    std::int64_t startX_ = 0, startY_ = 0;  // current sub-path start
    std::int64_t penX_ = 0, penY_ = 0;
    bool hasSubpath_ = false;
};

}  // namespace fw
