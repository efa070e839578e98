#include "framework/core/threadpool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "support/realtime_watch.h"

namespace {

TEST(ThreadPool, SingleTaskRunsOnTheCallingThreadWithIndexZero) {
    fw::ThreadPool pool(3);
    std::thread::id ranOn;
    int seenI = -1, seenThread = -1;
    pool.parallelFor(1, [&](int i, int t) {
        ranOn = std::this_thread::get_id();
        seenI = i;
        seenThread = t;
    });
    EXPECT_EQ(ranOn, std::this_thread::get_id());
    EXPECT_EQ(seenI, 0);
    EXPECT_EQ(seenThread, 0);
}

TEST(ThreadPool, RunsEveryIndexExactlyOnceAndReturnsAfterTheLast) {
    fw::ThreadPool pool(3);
    ASSERT_EQ(pool.numThreads(), 3);
    for (int count : {0, 2, 3, 10, 100}) {
        std::vector<std::atomic<int>> hits(std::size_t(count) + 1);
        std::atomic<int> done{0};
        pool.parallelFor(count, [&](int i, int threadIndex) {
            EXPECT_GE(threadIndex, 0);
            EXPECT_LT(threadIndex, 3);
            if (i == count - 1) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            hits[std::size_t(i)].fetch_add(1);
            done.fetch_add(1);
        });
        EXPECT_EQ(done.load(), count);  // parallelFor returned only after every task
        for (int i = 0; i < count; ++i) EXPECT_EQ(hits[std::size_t(i)].load(), 1) << "index " << i;
    }
}

TEST(ThreadPool, WorkerCountIsCoresCappedByMaximum) {
    fw::ThreadPool pool(0, 3);
    EXPECT_EQ(pool.numThreads(), std::min(fw::ThreadPool::physicalCoreCount(), 3));
    fw::ThreadPool one(0, 1);
    EXPECT_EQ(one.numThreads(), 1);
}

TEST(ThreadPool, AsyncLetsTheCallerWorkAndWaitLater) {
    fw::ThreadPool pool(2);
    std::atomic<int> sum{0};
    auto task = [&](int i, int) { sum.fetch_add(i + 1); };
    pool.parallelForAsync(50, task);
    int callerWork = 0;
    for (int i = 0; i < 1000; ++i) callerWork += i;
    pool.waitForCompletion();
    EXPECT_EQ(sum.load(), 50 * 51 / 2);
    EXPECT_EQ(callerWork, 499500);
    pool.waitForCompletion();  // nothing pending: returns at once
}

TEST(ThreadPool, DestroyingRightAfterPostingStillRunsEveryTask) {
    std::atomic<int> ran{0};
    auto task = [&](int, int) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ran.fetch_add(1);
    };
    {
        fw::ThreadPool pool(3);
        pool.parallelForAsync(20, task);
    }
    EXPECT_EQ(ran.load(), 20);
}

TEST(ThreadPool, PostingAllocatesNothing) {
    fw::ThreadPool pool(2);
    std::atomic<int> ran{0};
    auto task = [&](int, int) { ran.fetch_add(1); };
    pool.parallelFor(8, task);  // warm up
    testsupport::RealtimeWatch watch;
    for (int round = 0; round < 20; ++round) pool.parallelFor(8, task);
    EXPECT_EQ(watch.counts().allocations, 0);
    EXPECT_EQ(ran.load(), 21 * 8);
}

}  // namespace
