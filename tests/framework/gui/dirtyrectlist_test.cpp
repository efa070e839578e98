#include "framework/gui/dirtyrectlist.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <vector>

#include "framework/gui/boxlist.h"
#include "support/realtime_watch.h"

namespace {

using fw::Box;
using fw::DirtyRectList;
using fw::Vec;

constexpr int kSide = 48;

// A plain pixel mask of a kSide x kSide area: the reference for unions.
struct Mask {
    std::vector<int> count = std::vector<int>(kSide * kSide, 0);
    void add(const Box& r) {
        for (int y = std::max(r.minY, 0); y < std::min(r.maxY, kSide); ++y)
            for (int x = std::max(r.minX, 0); x < std::min(r.maxX, kSide); ++x) ++count[y * kSide + x];
    }
    bool covered(int x, int y) const { return count[y * kSide + x] > 0; }
};

std::vector<Box> pull(DirtyRectList& list) {
    Vec<Box> out;
    list.pullAllRectangles(out);
    return std::vector<Box>(out.begin(), out.end());
}

// Non-empty, pairwise disjoint, and covering exactly the reference union.
void expectDisjointCover(const std::vector<Box>& rects, const Mask& reference) {
    Mask got;
    for (const Box& r : rects) {
        EXPECT_FALSE(r.empty());
        got.add(r);
    }
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            ASSERT_LE(got.count[y * kSide + x], 1) << "overlap at " << x << "," << y;
            ASSERT_EQ(got.covered(x, y), reference.covered(x, y)) << "union differs at " << x << "," << y;
        }
    }
}

Box randomBox(std::mt19937& rng, bool allowDegenerate) {
    std::uniform_int_distribution<int> c(0, kSide);
    Box b{c(rng), c(rng), c(rng), c(rng)};
    if (!allowDegenerate) {
        if (b.minX > b.maxX) std::swap(b.minX, b.maxX);
        if (b.minY > b.maxY) std::swap(b.minY, b.maxY);
    }
    return b;  // may be empty or inverted
}

TEST(DirtyRectList, RectangleInsideAnEntryChangesNothing) {
    DirtyRectList list;
    list.addRect(Box{10, 10, 50, 50});
    list.addRect(Box{20, 20, 30, 30});
    EXPECT_EQ(pull(list), (std::vector<Box>{Box{10, 10, 50, 50}}));
}

TEST(DirtyRectList, RectangleCoveringTwoEntriesReplacesBoth) {
    DirtyRectList list;
    list.addRect(Box{0, 0, 10, 10});
    list.addRect(Box{20, 0, 30, 10});
    list.addRect(Box{0, 0, 40, 20});
    EXPECT_EQ(pull(list), (std::vector<Box>{Box{0, 0, 40, 20}}));
}

TEST(DirtyRectList, OverlapOnTheRightHalfKeepsTheLeftPartOfTheEntry) {
    DirtyRectList list;
    list.addRect(Box{0, 0, 20, 10});
    list.addRect(Box{10, 0, 30, 10});
    EXPECT_EQ(pull(list), (std::vector<Box>{Box{0, 0, 10, 10}, Box{10, 0, 30, 10}}));
}

TEST(DirtyRectList, PiecesComeAboveLeftRightBelowInThatOrder) {
    DirtyRectList list;
    list.addRect(Box{0, 0, 30, 30});
    list.addRect(Box{10, 10, 20, 20});  // inside: dropped
    list.addRect(Box{10, 10, 40, 20});  // cuts the entry around the overlap (10,10)-(30,20)
    const std::vector<Box> expected{Box{0, 0, 30, 10}, Box{0, 10, 10, 20}, Box{0, 20, 30, 30}, Box{10, 10, 40, 20}};
    EXPECT_EQ(pull(list), expected);
}

TEST(DirtyRectList, EmptyInvertedAndEnormousRectanglesAreSafe) {
    DirtyRectList list;
    list.addRect(Box{5, 5, 5, 50});
    list.addRect(Box{50, 50, 10, 10});
    list.addRect(Box{INT_MAX, INT_MAX, INT_MIN, INT_MIN});
    EXPECT_EQ(list.numRects(), 0);
    list.addRect(Box{INT_MIN, INT_MIN, INT_MAX, INT_MAX});
    list.addRect(Box{0, 0, 10, 10});
    EXPECT_EQ(pull(list), (std::vector<Box>{Box{INT_MIN, INT_MIN, INT_MAX, INT_MAX}}));
    EXPECT_EQ(list.numRects(), 0);  // pulling empties the list
}

TEST(DirtyRectList, RandomAdditionsStayDisjointAndKeepTheUnion) {
    std::mt19937 rng(12);
    for (int trial = 0; trial < 250; ++trial) {
        DirtyRectList list;
        Mask reference;
        const int n = 1 + trial % 24;
        for (int i = 0; i < n; ++i) {
            const Box b = randomBox(rng, trial % 3 == 0);
            reference.add(b);
            list.addRect(b);
        }
        expectDisjointCover(pull(list), reference);
        if (HasFatalFailure()) return;
    }
}

TEST(DirtyRectList, AFullListCollapsesIntoOneCoveringBoxWithoutAllocating) {
    DirtyRectList list;
    Mask reference;
    std::mt19937 rng(3);
    {
        testsupport::RealtimeWatch watch;
        // 300 separate pixels overfill the list; random boxes then cut up what is left.
        for (int i = 0; i < 400; ++i) {
            const int x = i % kSide, y = i / kSide * 2;
            const Box b = i < 300 ? Box{x, y, x + 1, y + 1} : randomBox(rng, false);
            reference.add(b);
            list.addRect(b);
        }
        EXPECT_EQ(watch.counts().allocations, 0);
    }
    const std::vector<Box> rects = pull(list);
    Mask got;
    for (const Box& r : rects) got.add(r);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            ASSERT_LE(got.count[y * kSide + x], 1);
            ASSERT_TRUE(!reference.covered(x, y) || got.covered(x, y)) << x << "," << y;
        }
    EXPECT_LE(rects.size(), std::size_t(DirtyRectList::kCapacity));
}

TEST(RemoveOverlappingAreas, RandomListsBecomeDisjointWithTheSameUnion) {
    std::mt19937 rng(7);
    for (int trial = 0; trial < 250; ++trial) {
        Vec<Box> input;
        Mask reference;
        const int n = trial % 30;
        for (int i = 0; i < n; ++i) {
            const Box b = randomBox(rng, true);
            reference.add(b);
            input.pushBack(b);
        }
        Vec<Box> output;
        fw::removeOverlappingAreas(input, output);
        expectDisjointCover(std::vector<Box>(output.begin(), output.end()), reference);
        if (HasFatalFailure()) return;
    }
}

TEST(RemoveOverlappingAreas, DisjointInputIsKeptAsItIs) {
    Vec<Box> input{Box{0, 0, 10, 10}, Box{10, 0, 20, 10}, Box{0, 10, 20, 20}};
    Vec<Box> output;
    fw::removeOverlappingAreas(input, output);
    EXPECT_EQ(std::vector<Box>(output.begin(), output.end()),
              (std::vector<Box>{Box{0, 0, 10, 10}, Box{10, 0, 20, 10}, Box{0, 10, 20, 20}}));
}

TEST(SplitIntoTiles, RowsOfAtMost64WithNarrowerLastRowAndColumn) {
    Vec<Box> tiles;
    fw::splitIntoTiles(Box{10, 20, 10 + 150, 20 + 70}, 64, 64, tiles);
    const std::vector<Box> expected{Box{10, 20, 74, 84},   Box{74, 20, 138, 84},  Box{138, 20, 160, 84},
                                    Box{10, 84, 74, 90},   Box{74, 84, 138, 90},  Box{138, 84, 160, 90}};
    EXPECT_EQ(std::vector<Box>(tiles.begin(), tiles.end()), expected);
}

TEST(TranslateSaturated, StopsAtTheIntRange) {
    EXPECT_EQ(fw::translateSaturated(Box{INT_MAX - 1, 0, INT_MAX, 5}, 10, -10), (Box{INT_MAX, -10, INT_MAX, -5}));
    EXPECT_EQ(fw::translateSaturated(Box{INT_MIN, 0, 0, 1}, -1, 0), (Box{INT_MIN, 0, -1, 1}));
}

}  // namespace
