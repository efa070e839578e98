#include "framework/canvas/rasterizer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "support/realtime_watch.h"

namespace {

using fw::CoverageRow;
using fw::Rasterizer;
using fw::WindingRule;

struct Point {
    double x, y;
};

// Records the coverage the rasterizer hands out, as a fraction per pixel.
class CoverageCapture final : public fw::IBlitter {
public:
    CoverageCapture(int w, int h) : w_(w), h_(h), coverage_(std::size_t(w * h), 0.0) {}
    void blitRow(const CoverageRow& row) noexcept override {
        EXPECT_GE(row.y, 0);
        EXPECT_LT(row.y, h_);
        double* line = coverage_.data() + std::size_t(row.y * w_);
        fw::scanCoverageRow(
            row,
            [&](int x, int c) {
                EXPECT_LT(x, w_);
                line[x] = c / 65536.0;
            },
            [&](int x0, int x1, int c) {
                EXPECT_GE(x0, 0);
                EXPECT_LT(x1, w_);
                for (int x = x0; x <= x1; ++x) line[x] = c / 65536.0;
            });
        ++rows;
    }
    double at(int x, int y) const { return coverage_[std::size_t(y * w_ + x)]; }
    void clear() { std::fill(coverage_.begin(), coverage_.end(), 0.0); }
    int rows = 0;

private:
    int w_, h_;
    std::vector<double> coverage_;
};

// Reference: the area of a simple polygon inside the unit square at (px, py),
// by clipping it against the square's four sides and taking the shoelace area.
double referenceArea(const std::vector<Point>& poly, int px, int py) {
    std::vector<Point> p = poly;
    auto clip = [&](auto inside, auto intersect) {
        std::vector<Point> out;
        for (std::size_t i = 0; i < p.size(); ++i) {
            const Point a = p[i], b = p[(i + 1) % p.size()];
            if (inside(b)) {
                if (!inside(a)) out.push_back(intersect(a, b));
                out.push_back(b);
            } else if (inside(a)) {
                out.push_back(intersect(a, b));
            }
        }
        p = out;
    };
    auto atX = [](double x) {
        return [x](Point a, Point b) { return Point{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)}; };
    };
    auto atY = [](double y) {
        return [y](Point a, Point b) { return Point{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y}; };
    };
    clip([&](Point q) { return q.x >= px; }, atX(px));
    clip([&](Point q) { return q.x <= px + 1; }, atX(px + 1));
    clip([&](Point q) { return q.y >= py; }, atY(py));
    clip([&](Point q) { return q.y <= py + 1; }, atY(py + 1));
    double area = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const Point a = p[i], b = p[(i + 1) % p.size()];
        area += a.x * b.y - b.x * a.y;
    }
    return std::fabs(area) / 2;
}

// Feeds a polygon given in pixels; returns it snapped to the 1/256 grid the rasterizer sees.
std::vector<Point> addPolygon(Rasterizer& r, const std::vector<Point>& poly) {
    std::vector<Point> snapped;
    for (std::size_t i = 0; i < poly.size(); ++i) {
        const auto fx = std::int32_t(std::lround(poly[i].x * 256)), fy = std::int32_t(std::lround(poly[i].y * 256));
        if (i == 0)
            r.intMoveTo(fx, fy);
        else
            r.intLineTo(fx, fy);
        snapped.push_back(Point{fx / 256.0, fy / 256.0});
    }
    return snapped;
}

TEST(Rasterizer, CoverageIsTheExactAreaOfConvexShapes) {
    constexpr int W = 24, H = 20;
    Rasterizer r;
    r.initialise(W, H);
    CoverageCapture capture(W, H);
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> coord(-6.0, 30.0);
    for (int shape = 0; shape < 200; ++shape) {
        // A triangle, sometimes reaching outside the box on any side.
        std::vector<Point> tri = {{coord(rng), coord(rng)}, {coord(rng), coord(rng)}, {coord(rng), coord(rng)}};
        const std::vector<Point> snapped = addPolygon(r, tri);
        // Crossing points lie within half a 1/256 step of the true edges and a
        // pixel may hold two edges: coverage stays within 1.5/256 of the area.
        capture.clear();
        r.rasterize(WindingRule::nonZero, capture);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ASSERT_NEAR(capture.at(x, y), std::min(referenceArea(snapped, x, y), 65535 / 65536.0), 1.5 / 256)
                    << "shape " << shape << " pixel " << x << "," << y;
    }
}

TEST(Rasterizer, DirectionDoesNotMatterUnderEitherRule) {
    Rasterizer r;
    r.initialise(16, 16);
    CoverageCapture cw(16, 16), ccw(16, 16);
    addPolygon(r, {{2.3, 1.7}, {13.1, 4.2}, {6.6, 14.9}});
    r.rasterize(WindingRule::nonZero, cw);
    addPolygon(r, {{6.6, 14.9}, {13.1, 4.2}, {2.3, 1.7}});
    r.rasterize(WindingRule::evenOdd, ccw);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(cw.at(x, y), ccw.at(x, y));
}

TEST(Rasterizer, NonZeroCoversSelfOverlapOnceAndEvenOddLeavesItEmpty) {
    Rasterizer r;
    r.initialise(20, 10);
    CoverageCapture nonZero(20, 10), evenOdd(20, 10);
    for (auto* capture : {&nonZero, &evenOdd}) {
        addPolygon(r, {{1, 1}, {11, 1}, {11, 9}, {1, 9}});
        addPolygon(r, {{6.5, 1}, {16, 1}, {16, 9}, {6.5, 9}});  // same direction, overlapping
        r.rasterize(capture == &nonZero ? WindingRule::nonZero : WindingRule::evenOdd, *capture);
    }
    EXPECT_EQ(nonZero.at(8, 5), 65535 / 65536.0);  // full, not doubled
    EXPECT_EQ(nonZero.at(6, 5), 65535 / 65536.0);  // half + whole: still full
    EXPECT_EQ(evenOdd.at(8, 5), 0.0);
    EXPECT_EQ(evenOdd.at(6, 5), 0.5);  // the half not overlapped
    EXPECT_EQ(evenOdd.at(3, 5), 65535 / 65536.0);
}

TEST(Rasterizer, OppositeWindingsCancelUnderNonZero) {
    Rasterizer r;
    r.initialise(12, 12);
    CoverageCapture capture(12, 12);
    addPolygon(r, {{1, 1}, {11, 1}, {11, 11}, {1, 11}});
    addPolygon(r, {{3, 3}, {3, 9}, {9, 9}, {9, 3}});  // reversed: a hole
    r.rasterize(WindingRule::nonZero, capture);
    EXPECT_EQ(capture.at(5, 5), 0.0);
    EXPECT_EQ(capture.at(2, 5), 65535 / 65536.0);
}

TEST(Rasterizer, ShapesBeyondTheLeftEdgeStillCoverTheRowsTheyCross) {
    Rasterizer r;
    r.initialise(10, 4);
    CoverageCapture capture(10, 4);
    addPolygon(r, {{-50, 0}, {4.5, 0}, {4.5, 2}, {-50, 2}});
    r.rasterize(WindingRule::nonZero, capture);
    EXPECT_EQ(capture.at(0, 1), 65535 / 65536.0);
    EXPECT_EQ(capture.at(4, 1), 0.5);
    EXPECT_EQ(capture.at(5, 1), 0.0);
    EXPECT_EQ(capture.at(0, 2), 0.0);
}

TEST(Rasterizer, CoordinatesAtTheLimitsOfTheFixedPointRangeAreClipped) {
    Rasterizer r;
    r.initialise(10, 4);
    CoverageCapture capture(10, 4);
    r.intMoveTo(INT_MIN, INT_MIN);
    r.intLineTo(3 * 256, INT_MIN);
    r.intLineTo(3 * 256, INT_MAX);
    r.intLineTo(INT_MIN, INT_MAX);
    r.rasterize(WindingRule::nonZero, capture);
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(capture.at(2, y), 65535 / 65536.0);
        EXPECT_EQ(capture.at(3, y), 0.0);
    }
}

TEST(Rasterizer, EmptyAndFlatPathsProduceNoRows) {
    Rasterizer r;
    r.initialise(8, 8);
    CoverageCapture capture(8, 8);
    r.rasterize(WindingRule::nonZero, capture);
    addPolygon(r, {{1, 3}, {7, 3}});  // horizontal only
    r.rasterize(WindingRule::nonZero, capture);
    addPolygon(r, {{1, -5}, {7, -5}, {4, -1}});  // entirely above
    r.rasterize(WindingRule::nonZero, capture);
    EXPECT_EQ(capture.rows, 0);
}

TEST(Rasterizer, ResetDiscardsThePathAndLeavesCleanCells) {
    Rasterizer r;
    r.initialise(8, 8);
    addPolygon(r, {{0, 0}, {8, 0}, {8, 8}, {0, 8}});
    r.reset();
    CoverageCapture capture(8, 8);
    addPolygon(r, {{2, 2}, {4, 2}, {4, 4}, {2, 4}});
    r.rasterize(WindingRule::nonZero, capture);
    EXPECT_EQ(capture.at(0, 0), 0.0);
    EXPECT_EQ(capture.at(6, 6), 0.0);
    EXPECT_EQ(capture.at(3, 3), 65535 / 65536.0);
}

TEST(Rasterizer, ReinitialisingToAnotherSizeLeavesNoStaleCoverage) {
    Rasterizer r;
    r.initialise(40, 30);
    addPolygon(r, {{0, 0}, {40, 0}, {40, 30}, {0, 30}});  // abandoned, never filled
    r.initialise(17, 53);
    CoverageCapture capture(17, 53);
    addPolygon(r, {{2, 40}, {5, 40}, {5, 44}, {2, 44}});
    r.rasterize(WindingRule::nonZero, capture);
    for (int y = 0; y < 53; ++y)
        for (int x = 0; x < 17; ++x) {
            const bool inside = x >= 2 && x < 5 && y >= 40 && y < 44;
            ASSERT_EQ(capture.at(x, y), inside ? 65535 / 65536.0 : 0.0) << x << "," << y;
        }
}

TEST(Rasterizer, WarmRasterizerAllocatesNothing) {
    Rasterizer r;
    r.initialise(200, 100);
    CoverageCapture capture(200, 100);
    testsupport::RealtimeWatch watch;
    r.initialise(150, 80);  // smaller: buffers are reused
    for (int i = 0; i < 5; ++i) {
        r.intMoveTo(10 * 256, 5 * 256);
        r.intLineTo(140 * 256, 30 * 256);
        r.intLineTo(40 * 256, 75 * 256);
        r.rasterize(WindingRule::nonZero, capture);
    }
    EXPECT_EQ(watch.counts().allocations, 0);
}

}  // namespace
