#pragma once
// LockedQueue<T>: a bounded queue from any number of producer threads to one
// consumer (the audio thread), which never blocks.
//
// The ring holds `capacity` elements. pushBack never waits for the consumer:
// when the ring is full the oldest element is dropped. tryPopFront never waits
// either: it returns false when the queue is empty, and also when a producer
// holds the lock at that instant (the element is then taken on the next call).
// Two counting semaphores track filled and free slots.

#include <semaphore.h>

#include <cerrno>
#include <cstddef>
#include <memory>
#include <mutex>

#include "framework/core/fatal.h"
#include "framework/core/uncheckedmutex.h"

namespace fw {

template <typename T>
class LockedQueue {
public:
    explicit LockedQueue(std::size_t capacity)
        : ring_(std::make_unique<T[]>(capacity == 0 ? 1 : capacity)), capacity_(capacity == 0 ? 1 : capacity) {
        if (sem_init(&filled_, 0, 0) != 0 || sem_init(&free_, 0, unsigned(capacity_)) != 0)
            fatalError("sem_init failed");
    }
    ~LockedQueue() {
        sem_destroy(&filled_);
        sem_destroy(&free_);
    }
    LockedQueue(const LockedQueue&) = delete;
    LockedQueue& operator=(const LockedQueue&) = delete;

    // Any thread but the consumer. Never waits for the consumer.
    void pushBack(const T& x) noexcept {
        // Tokens in filled_ equal the element count outside the lock; a consumer that
        // has taken a token but not yet the lock still owns one element's worth.
        {
            std::lock_guard<UncheckedMutex> hold(mutex_);
            const bool full = count_ == capacity_;
            if (full) {
                // Drop the oldest. Its filled-slot token stays posted and now counts the
                // new element; there is still no free slot.
                first_ = (first_ + 1) % capacity_;
                --count_;
            } else {
                tryWait(free_);
            }
            ring_[(first_ + count_) % capacity_] = x;
            ++count_;
            if (!full) post(filled_);
        }
    }

    // Consumer thread (the audio thread); never blocks.
    bool tryPopFront(T& out) noexcept {
        if (!tryWait(filled_)) {
            out = T{};
            return false;
        }
        if (!mutex_.try_lock()) {
            post(filled_);  // give the token back; the element is taken next time
            out = T{};
            return false;
        }
        out = ring_[first_];
        first_ = (first_ + 1) % capacity_;
        --count_;
        mutex_.unlock();
        post(free_);
        return true;
    }

    // Any thread. Discards every element.
    void clear() noexcept {
        T x;
        while (tryPopFront(x)) {
        }
    }

    std::size_t capacity() const noexcept { return capacity_; }

private:
    static bool tryWait(sem_t& s) noexcept {
        for (;;) {
            if (sem_trywait(&s) == 0) return true;
            if (errno == EINTR) continue;  // interrupted by a signal: try again
            return false;
        }
    }
    static void post(sem_t& s) noexcept {
        if (sem_post(&s) != 0) fatalError("sem_post failed");
    }

    std::unique_ptr<T[]> ring_;
    std::size_t capacity_;
    std::size_t first_ = 0;
    std::size_t count_ = 0;
    UncheckedMutex mutex_;
    sem_t filled_;
    sem_t free_;
};

}  // namespace fw
