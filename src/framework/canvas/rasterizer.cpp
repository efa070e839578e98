#include "framework/canvas/rasterizer.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace fw {

namespace {

using Wide = __int128;

// Division rounded to nearest (halves upwards), so that crossing points are
// within half a step of the true line; products of two 33-bit coordinate
// differences need 128 bits.
std::int64_t divRound(Wide numerator, std::int64_t denominator) noexcept {
    if (denominator < 0) {
        numerator = -numerator;
        denominator = -denominator;
    }
    // floor((2 n + d) / (2 d)) == floor(n / d + 1 / 2)
    const Wide n = 2 * numerator + denominator, d = 2 * Wide(denominator);
    Wide q = n / d;
    if (n % d != 0 && n < 0) --q;
    return std::int64_t(q);
}

}  // namespace

void Rasterizer::initialise(int width, int height) {
    reset();
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    stride_ = width_ + 2;
    maskWords_ = (stride_ + 63) / 64;
    // Every cell and mask word is zero between paths (reset and the blitters
    // clear what was touched), whatever the geometry, and resize zeroes what it
    // adds; so re-initialising on every dirty rectangle costs nothing per pixel.
    cells_.resize(std::size_t(stride_) * std::size_t(height_));
    masks_.resize(std::size_t(maskWords_) * std::size_t(height_));
    rowFirst_.resize(std::size_t(height_));
    rowLast_.resize(std::size_t(height_));
    for (int r = 0; r < height_; ++r) {
        rowFirst_[std::size_t(r)] = INT_MAX;
        rowLast_[std::size_t(r)] = -1;
    }
}

void Rasterizer::reset() noexcept {
    for (int r = minRow_; r <= maxRow_; ++r) {
        const std::size_t ri = std::size_t(r);
        if (rowFirst_[ri] <= rowLast_[ri]) {
            std::int32_t* cells = cells_.data() + ri * std::size_t(stride_);
            std::fill(cells + rowFirst_[ri], cells + rowLast_[ri] + 1, 0);
            std::uint64_t* mask = masks_.data() + ri * std::size_t(maskWords_);
            std::fill(mask + (rowFirst_[ri] >> 6), mask + (rowLast_[ri] >> 6) + 1, 0);
        }
        rowFirst_[ri] = INT_MAX;
        rowLast_[ri] = -1;
    }
    minRow_ = 0;
    maxRow_ = -1;
    hasSubpath_ = false;
}

void Rasterizer::intMoveTo(std::int32_t x, std::int32_t y) noexcept {
    closePath();
    startX_ = penX_ = x;
    startY_ = penY_ = y;
    hasSubpath_ = true;
}

void Rasterizer::intLineTo(std::int32_t x, std::int32_t y) noexcept {
    if (!hasSubpath_) {
        intMoveTo(x, y);
        return;
    }
    addSegment(penX_, penY_, x, y);
    penX_ = x;
    penY_ = y;
}

void Rasterizer::closePath() noexcept {
    if (!hasSubpath_) return;
    addSegment(penX_, penY_, startX_, startY_);
    penX_ = startX_;
    penY_ = startY_;
}

void Rasterizer::rasterize(WindingRule rule, IBlitter& blitter) noexcept {
    closePath();
    for (int r = minRow_; r <= maxRow_; ++r) {
        const std::size_t ri = std::size_t(r);
        if (rowFirst_[ri] > rowLast_[ri]) continue;
        CoverageRow row;
        row.y = r;
        row.width = width_;
        row.firstColumn = rowFirst_[ri];
        row.lastColumn = rowLast_[ri];
        row.cells = cells_.data() + ri * std::size_t(stride_);
        row.mask = masks_.data() + ri * std::size_t(maskWords_);
        row.rule = rule;
        blitter.blitRow(row);
        rowFirst_[ri] = INT_MAX;
        rowLast_[ri] = -1;
    }
    minRow_ = 0;
    maxRow_ = -1;
    hasSubpath_ = false;
}

void Rasterizer::addSegment(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) noexcept {
    if (y0 == y1 || width_ == 0 || height_ == 0) return;  // horizontal segments cover nothing
    int sign = 1;
    if (y0 > y1) {
        std::swap(x0, x1);
        std::swap(y0, y1);
        sign = -1;
    }
    const std::int64_t bottom = std::int64_t(height_) * 256;
    if (y1 <= 0 || y0 >= bottom) return;
    // Clip to the rows of the box.
    std::int64_t cx0 = x0, cy0 = y0, cx1 = x1, cy1 = y1;
    if (y0 < 0) {
        cy0 = 0;
        cx0 = x0 + divRound(Wide(-y0) * (x1 - x0), y1 - y0);
    }
    if (y1 > bottom) {
        cy1 = bottom;
        cx1 = x0 + divRound(Wide(bottom - y0) * (x1 - x0), y1 - y0);
    }
    addClippedSegment(cx0, cy0, cx1, cy1, sign);
}

// (x0, y0) -> (x1, y1), y0 < y1, inside the rows of the box; `sign` is -1 when
// the path ran upwards. Parts left or right of the box are projected onto its
// edge: left of it they still cover every pixel of the row, right of it none.
void Rasterizer::addClippedSegment(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                                   int sign) noexcept {
    const std::int64_t right = std::int64_t(width_) * 256;
    std::int64_t px[4] = {x0, 0, 0, 0}, py[4] = {y0, 0, 0, 0};
    int n = 1;
    const std::int64_t edges[2] = {x0 < x1 ? 0 : right, x0 < x1 ? right : 0};
    for (std::int64_t edge : edges) {
        if ((x0 < edge && edge < x1) || (x1 < edge && edge < x0)) {
            px[n] = edge;
            py[n] = y0 + divRound(Wide(edge - x0) * (y1 - y0), x1 - x0);
            ++n;
        }
    }
    px[n] = x1;
    py[n] = y1;
    ++n;
    for (int i = 0; i + 1 < n; ++i) {
        const std::int64_t ya = py[i], yb = py[i + 1];
        if (yb <= ya) continue;
        const std::int64_t xa = std::clamp(px[i], std::int64_t(0), right);
        const std::int64_t xb = std::clamp(px[i + 1], std::int64_t(0), right);
        const int firstRow = int(ya >> 8), lastRow = int((yb - 1) >> 8);
        for (int r = firstRow; r <= lastRow; ++r) {
            const std::int64_t top = std::max(ya, std::int64_t(r) * 256);
            const std::int64_t bot = std::min(yb, std::int64_t(r) * 256 + 256);
            const std::int64_t xt = top == ya ? xa : xa + divRound(Wide(top - ya) * (xb - xa), yb - ya);
            const std::int64_t xbt = bot == yb ? xb : xa + divRound(Wide(bot - ya) * (xb - xa), yb - ya);
            addRowPiece(r, xt, top, xbt, bot, sign);
        }
    }
}

void Rasterizer::addRowPiece(int row, std::int64_t xa, std::int64_t ya, std::int64_t xb, std::int64_t yb,
                             int sign) noexcept {
    const std::int64_t lo = std::min(xa, xb), hi = std::max(xa, xb);
    if (lo == hi || (lo >> 8) == ((hi - 1) >> 8)) {  // within one cell
        addCellPiece(row, xa, xb, yb - ya, sign);
        return;
    }
    // Split where the piece crosses cell boundaries; y at each crossing is
    // derived from the piece's ends, so the parts' heights add up exactly.
    const std::int64_t dy = yb - ya, dx = xb - xa;
    std::int64_t prevX = xa, prevY = ya;
    if (xa < xb) {
        for (std::int64_t bx = ((xa >> 8) + 1) * 256; bx < xb; bx += 256) {
            const std::int64_t y = ya + divRound(Wide(bx - xa) * dy, dx);
            addCellPiece(row, prevX, bx, y - prevY, sign);
            prevX = bx;
            prevY = y;
        }
    } else {
        for (std::int64_t bx = ((xa - 1) >> 8) * 256; bx > xb; bx -= 256) {
            const std::int64_t y = ya + divRound(Wide(bx - xa) * dy, dx);
            addCellPiece(row, prevX, bx, y - prevY, sign);
            prevX = bx;
            prevY = y;
        }
    }
    addCellPiece(row, prevX, xb, yb - prevY, sign);
}

void Rasterizer::addCellPiece(int row, std::int64_t xa, std::int64_t xb, std::int64_t dy, int sign) noexcept {
    if (dy == 0) return;
    const int cell = int(std::min(xa, xb) >> 8);
    const int fa = int(xa - std::int64_t(cell) * 256), fb = int(xb - std::int64_t(cell) * 256);  // 0 .. 256
    // Area right of the piece inside the cell: dy * (256 - (fa + fb) / 2), doubled
    // to stay integral; the rest of the row's width lies right of the cell.
    const std::int32_t area = std::int32_t(sign * dy * (512 - fa - fb));
    const std::int32_t rest = std::int32_t(sign * dy * (fa + fb));
    const std::size_t ri = std::size_t(row);
    std::int32_t* cells = cells_.data() + ri * std::size_t(stride_);
    std::uint64_t* mask = masks_.data() + ri * std::size_t(maskWords_);
    // Added as unsigned: thousands of overlapping windings in one cell would wrap
    // (garbage coverage) rather than overflow.
    cells[cell] = std::int32_t(std::uint32_t(cells[cell]) + std::uint32_t(area));
    cells[cell + 1] = std::int32_t(std::uint32_t(cells[cell + 1]) + std::uint32_t(rest));
    mask[cell >> 6] |= std::uint64_t(1) << (cell & 63);
    mask[(cell + 1) >> 6] |= std::uint64_t(1) << ((cell + 1) & 63);
    rowFirst_[ri] = std::min(rowFirst_[ri], cell);
    rowLast_[ri] = std::max(rowLast_[ri], cell + 1);
    if (minRow_ > maxRow_) {
        minRow_ = maxRow_ = row;
    } else {
        minRow_ = std::min(minRow_, row);
        maxRow_ = std::max(maxRow_, row);
    }
}

}  // namespace fw
