#include "framework/math/box.h"

#include <gtest/gtest.h>

namespace {

using fw::Box;

TEST(Box, MaxEdgesAreExclusive) {
    const Box b{2, 3, 5, 7};
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.height(), 4);
    EXPECT_TRUE(b.contains(2, 3));
    EXPECT_TRUE(b.contains(4, 6));
    EXPECT_FALSE(b.contains(5, 3));
    EXPECT_FALSE(b.contains(2, 7));
}

TEST(Box, ZeroOrNegativeExtentIsEmptyAndContainsNothing) {
    EXPECT_TRUE((Box{1, 1, 1, 5}).empty());
    EXPECT_TRUE((Box{4, 1, 2, 5}).empty());
    EXPECT_FALSE((Box{4, 1, 2, 5}).contains(3, 2));
    EXPECT_FALSE((Box{0, 0, 1, 1}).empty());
}

TEST(Box, IntersectionOfDisjointBoxesIsEmpty) {
    const Box a{0, 0, 10, 10};
    EXPECT_EQ(a.intersection(Box{5, 5, 20, 20}), (Box{5, 5, 10, 10}));
    EXPECT_TRUE(a.intersection(Box{10, 0, 20, 10}).empty());  // touching edges share no pixel
    EXPECT_FALSE(a.intersects(Box{10, 0, 20, 10}));
    EXPECT_TRUE(a.intersects(Box{9, 9, 20, 20}));
}

TEST(Box, ExpandIgnoresEmptyOperands) {
    const Box a{0, 0, 2, 2};
    EXPECT_EQ(a.expand(Box{}), a);
    EXPECT_EQ(Box{}.expand(a), a);
    EXPECT_EQ(a.expand(Box{5, -1, 6, 1}), (Box{0, -1, 6, 2}));
}

TEST(Box, ContainsBoxAcceptsEmptyAndRejectsOverhang) {
    const Box a{0, 0, 10, 10};
    EXPECT_TRUE(a.contains(Box{0, 0, 10, 10}));
    EXPECT_TRUE(a.contains(Box{50, 50, 50, 50}));
    EXPECT_FALSE(a.contains(Box{5, 5, 11, 6}));
}

TEST(Box, TranslateAndGrowMoveEveryEdge) {
    EXPECT_EQ((Box{1, 2, 3, 4}).translate(10, -2), (Box{11, 0, 13, 2}));
    EXPECT_EQ((Box{1, 2, 3, 4}).grow(2), (Box{-1, 0, 5, 6}));
    EXPECT_EQ(Box::rectangle(3, 4, 5, 6), (Box{3, 4, 8, 10}));
}

}  // namespace
