#pragma once
// A recursive, process-private mutex created lazily on first use.
//
// Objects that own one can be constructed without touching the system; the
// pthread mutex is allocated (64-byte aligned) and initialised the first time
// it is locked, and installed with a compare-and-swap so that two threads
// racing to create it agree on one. Failing to lock or unlock is fatal.
// Satisfies Lockable, so std::lock_guard / std::unique_lock work with it.

#include <atomic>
#include <pthread.h>

namespace fw {

class UncheckedMutex {
public:
    UncheckedMutex() noexcept = default;
    ~UncheckedMutex();
    UncheckedMutex(const UncheckedMutex&) = delete;
    UncheckedMutex& operator=(const UncheckedMutex&) = delete;

    // Any thread. Never call from the audio thread.
    void lock() noexcept;
    void unlock() noexcept;
    bool try_lock() noexcept;

    // The underlying mutex, created if needed (for condition variables).
    pthread_mutex_t* nativeHandle() noexcept { return get(); }

private:
    pthread_mutex_t* get() noexcept;
    std::atomic<pthread_mutex_t*> mutex_{nullptr};
};

}  // namespace fw
