#include "framework/core/vec.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "support/realtime_watch.h"

namespace {

TEST(Vec, CapacityBecomesTwiceTheNeededLength) {
    fw::Vec<int> v;
    v.pushBack(1);
    EXPECT_EQ(v.capacity(), 2u);
    v.pushBack(2);
    v.pushBack(3);
    EXPECT_EQ(v.capacity(), 6u);
    v.resize(10);
    EXPECT_EQ(v.capacity(), 20u);
    EXPECT_EQ(v[0], 1);
    EXPECT_EQ(v[2], 3);
    EXPECT_EQ(v[9], 0);  // value-initialised
}

TEST(Vec, ClearingKeepsCapacitySoRefillingDoesNotAllocate) {
    fw::Vec<float> v;
    v.resize(512);
    v.clearContents();
    EXPECT_EQ(v.length(), 0u);
    testsupport::RealtimeWatch watch;
    for (int i = 0; i < 512; ++i) v.pushBack(float(i));
    v.resize(100);
    v.resize(300);
    EXPECT_EQ(watch.counts().allocations, 0);
    EXPECT_EQ(v[99], 99.0f);
}

TEST(Vec, HonoursLargeAlignment) {
    fw::Vec<float, 64> v;
    for (int i = 1; i < 200; ++i) {
        v.resize(std::size_t(i) * 7);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(v.data()) % 64, 0u);
    }
}

TEST(Vec, MovesNonTrivialElementsOnGrowthAndDestroysThemOnce) {
    auto counter = std::make_shared<int>(0);
    {
        fw::Vec<std::shared_ptr<int>> v;
        for (int i = 0; i < 37; ++i) v.pushBack(counter);
        EXPECT_EQ(counter.use_count(), 38);
        v.removeAndReplaceByLast(0);
        EXPECT_EQ(v.length(), 36u);
        EXPECT_EQ(counter.use_count(), 37);
        fw::Vec<std::shared_ptr<int>> moved(std::move(v));
        EXPECT_EQ(v.length(), 0u);
        EXPECT_EQ(counter.use_count(), 37);
    }
    EXPECT_EQ(counter.use_count(), 1);
}

TEST(Vec, RemoveAndReplaceByLastPutsTheLastInPlace) {
    fw::Vec<std::string> v{"a", "b", "c"};
    v.removeAndReplaceByLast(0);
    ASSERT_EQ(v.length(), 2u);
    EXPECT_EQ(v[0], "c");
    EXPECT_EQ(v[1], "b");
    v.removeAndReplaceByLast(1);
    ASSERT_EQ(v.length(), 1u);
    EXPECT_EQ(v[0], "c");
}

}  // namespace
