#include "framework/core/uncheckedmutex.h"

#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

namespace {

TEST(UncheckedMutex, IsRecursive) {
    fw::UncheckedMutex m;
    m.lock();
    m.lock();
    EXPECT_TRUE(m.try_lock());
    m.unlock();
    m.unlock();
    m.unlock();
}

TEST(UncheckedMutex, ExcludesOtherThreads) {
    fw::UncheckedMutex m;
    std::lock_guard<fw::UncheckedMutex> hold(m);
    bool acquired = true;
    std::thread other([&] { acquired = m.try_lock(); });
    other.join();
    EXPECT_FALSE(acquired);
}

TEST(UncheckedMutex, ThreadsRacingToCreateItShareOneMutex) {
    // Many fresh mutexes, each first touched by several threads at once: every
    // increment must be protected by the same underlying mutex.
    for (int round = 0; round < 50; ++round) {
        fw::UncheckedMutex m;
        long counter = 0;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < 1000; ++i) {
                    std::lock_guard<fw::UncheckedMutex> g(m);
                    ++counter;
                }
            });
        for (auto& t : threads) t.join();
        EXPECT_EQ(counter, 4000);
    }
}

}  // namespace
