#include "framework/core/lockedqueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "support/realtime_watch.h"

namespace {

TEST(LockedQueue, PopsInOrderAndReportsEmptyWithoutWaiting) {
    fw::LockedQueue<int> q(256);
    int x = 42;
    EXPECT_FALSE(q.tryPopFront(x));
    EXPECT_EQ(x, 0);  // the element type's initial value
    q.pushBack(1);
    q.pushBack(2);
    q.pushBack(3);
    for (int expected : {1, 2, 3}) {
        ASSERT_TRUE(q.tryPopFront(x));
        EXPECT_EQ(x, expected);
    }
    EXPECT_FALSE(q.tryPopFront(x));
}

TEST(LockedQueue, FullQueueDropsTheOldest) {
    fw::LockedQueue<int> q(4);
    for (int i = 1; i <= 10; ++i) q.pushBack(i);
    int x = 0;
    for (int expected : {7, 8, 9, 10}) {
        ASSERT_TRUE(q.tryPopFront(x));
        EXPECT_EQ(x, expected);
    }
    EXPECT_FALSE(q.tryPopFront(x));
    q.pushBack(11);  // the slot accounting survived the drops
    ASSERT_TRUE(q.tryPopFront(x));
    EXPECT_EQ(x, 11);
    EXPECT_FALSE(q.tryPopFront(x));
}

TEST(LockedQueue, ClearDiscardsEverything) {
    fw::LockedQueue<int> q(8);
    for (int i = 0; i < 5; ++i) q.pushBack(i);
    q.clear();
    int x = 0;
    EXPECT_FALSE(q.tryPopFront(x));
}

TEST(LockedQueue, ConsumerNeverAllocates) {
    fw::LockedQueue<int> q(16);
    q.pushBack(5);
    testsupport::RealtimeWatch watch;
    int x = 0;
    EXPECT_TRUE(q.tryPopFront(x));
    EXPECT_FALSE(q.tryPopFront(x));
    EXPECT_EQ(watch.counts().allocations, 0);
}

TEST(LockedQueue, ManyProducersOneConsumerLoseOnlyWhatOverflowed) {
    // Producers push increasing values tagged by producer; the consumer drains
    // concurrently. Per producer, values must come out strictly increasing (order kept,
    // drops allowed); once producers stop, at most a full ring is left and the newest
    // element is never the one dropped.
    constexpr int kProducers = 3, kPerProducer = 20000;
    fw::LockedQueue<int> q(256);
    std::atomic<int> running{kProducers};
    std::vector<std::thread> producers;
    for (int p = 0; p < kProducers; ++p)
        producers.emplace_back([&, p] {
            for (int i = 0; i < kPerProducer; ++i) q.pushBack(p * 1000000 + i);
            running.fetch_sub(1);
        });
    int last[kProducers] = {-1, -1, -1};
    long received = 0;
    int x = 0;
    auto take = [&] {
        const int p = x / 1000000, v = x % 1000000;
        ASSERT_GE(p, 0);
        ASSERT_LT(p, kProducers);
        EXPECT_GT(v, last[p]);
        last[p] = v;
        ++received;
    };
    while (running.load() > 0)
        if (q.tryPopFront(x)) take();
    for (auto& t : producers) t.join();
    q.pushBack(kPerProducer);  // producer 0's sentinel, pushed after everything else
    long leftover = 0;
    while (q.tryPopFront(x)) {
        take();
        ++leftover;
    }
    EXPECT_LE(leftover, 256);
    EXPECT_EQ(last[0], kPerProducer);
    EXPECT_FALSE(q.tryPopFront(x));
    EXPECT_LE(received, long(kProducers) * kPerProducer + 1);
}

}  // namespace
