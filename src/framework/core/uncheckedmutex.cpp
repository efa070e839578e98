#include "framework/core/uncheckedmutex.h"

#include <cerrno>
#include <cstdlib>
#include <new>

#include "framework/core/fatal.h"

namespace fw {

namespace {

pthread_mutex_t* createRecursiveMutex() noexcept {
    void* block = nullptr;
    if (posix_memalign(&block, 64, sizeof(pthread_mutex_t)) != 0 || block == nullptr)
        fatalOutOfMemory();
    auto* m = static_cast<pthread_mutex_t*>(block);
    pthread_mutexattr_t attr;
    if (pthread_mutexattr_init(&attr) != 0) fatalError("pthread_mutexattr_init failed");
    if (pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE) != 0)
        fatalError("pthread_mutexattr_settype failed");
    if (pthread_mutex_init(m, &attr) != 0) fatalError("pthread_mutex_init failed");
    pthread_mutexattr_destroy(&attr);
    return m;
}

void destroyMutex(pthread_mutex_t* m) noexcept {
    pthread_mutex_destroy(m);
    std::free(m);
}

}  // namespace

UncheckedMutex::~UncheckedMutex() {
    if (pthread_mutex_t* m = mutex_.load(std::memory_order_acquire)) destroyMutex(m);
}

pthread_mutex_t* UncheckedMutex::get() noexcept {
    // Acquire pairs with the release of the winning compare-and-swap, so a thread that
    // sees the pointer also sees the initialised mutex behind it.
    pthread_mutex_t* m = mutex_.load(std::memory_order_acquire);
    if (m != nullptr) return m;
    pthread_mutex_t* created = createRecursiveMutex();
    if (mutex_.compare_exchange_strong(m, created, std::memory_order_acq_rel,
                                       std::memory_order_acquire))
        return created;
    destroyMutex(created);  // another thread installed its mutex first
    return m;
}

void UncheckedMutex::lock() noexcept {
    if (pthread_mutex_lock(get()) != 0) fatalError("failed to lock a mutex");
}

void UncheckedMutex::unlock() noexcept {
    if (pthread_mutex_unlock(get()) != 0) fatalError("failed to unlock a mutex");
}

bool UncheckedMutex::try_lock() noexcept {
    int r = pthread_mutex_trylock(get());
    if (r == 0) return true;
    if (r == EBUSY) return false;
    fatalError("failed to try-lock a mutex");
}

}  // namespace fw
