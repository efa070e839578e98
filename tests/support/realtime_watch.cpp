#include "support/realtime_watch.h"

#include <dlfcn.h>
#include <pthread.h>
#include <semaphore.h>
#include <unistd.h>

#include <cstddef>
#include <cstdlib>
#include <ctime>
#include <new>

namespace testsupport {
namespace {

thread_local int watchDepth = 0;
thread_local RealtimeCounts threadCounts;

[[maybe_unused]] inline bool watching() noexcept { return watchDepth > 0; }

}  // namespace

RealtimeWatch::RealtimeWatch() noexcept {
    if (watchDepth++ == 0) threadCounts = RealtimeCounts{};
}

RealtimeWatch::~RealtimeWatch() { --watchDepth; }

RealtimeCounts RealtimeWatch::counts() const noexcept { return threadCounts; }

bool RealtimeWatch::countsAllocations() noexcept {
#if defined(KESTRIN_THREAD_SANITIZED)
    return false;
#else
    return true;
#endif
}

bool RealtimeWatch::interposesSystemCalls() noexcept {
#if defined(KESTRIN_SANITIZED)
    return false;
#else
    return true;
#endif
}

#if !defined(KESTRIN_THREAD_SANITIZED)
namespace {

void* countedAlloc(std::size_t size, std::size_t align) {
    if (watching()) ++threadCounts.allocations;
    if (size == 0) size = 1;
    void* p = nullptr;
    if (align <= alignof(std::max_align_t)) {
        p = std::malloc(size);
    } else if (posix_memalign(&p, align, size) != 0) {
        p = nullptr;
    }
    return p;
}

void countedFree(void* p) noexcept {
    if (p == nullptr) return;
    if (watching()) ++threadCounts.allocations;
    std::free(p);
}

void* throwingAlloc(std::size_t size, std::size_t align) {
    void* p = countedAlloc(size, align);
    if (p == nullptr) throw std::bad_alloc();
    return p;
}

}  // namespace
#endif
}  // namespace testsupport

#if !defined(KESTRIN_THREAD_SANITIZED)
// ThreadSanitizer's runtime owns operator new; under it allocations are not counted.
using testsupport::countedFree;
using testsupport::throwingAlloc;

void* operator new(std::size_t n) { return throwingAlloc(n, 0); }
void* operator new[](std::size_t n) { return throwingAlloc(n, 0); }
void* operator new(std::size_t n, std::align_val_t a) {
    return throwingAlloc(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a) {
    return throwingAlloc(n, static_cast<std::size_t>(a));
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    return testsupport::countedAlloc(n, 0);
}
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept {
    return testsupport::countedAlloc(n, 0);
}
void* operator new(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return testsupport::countedAlloc(n, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {
    return testsupport::countedAlloc(n, static_cast<std::size_t>(a));
}
void operator delete(void* p) noexcept { countedFree(p); }
void operator delete[](void* p) noexcept { countedFree(p); }
void operator delete(void* p, std::size_t) noexcept { countedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { countedFree(p); }
void operator delete(void* p, std::align_val_t) noexcept { countedFree(p); }
void operator delete[](void* p, std::align_val_t) noexcept { countedFree(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { countedFree(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { countedFree(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { countedFree(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { countedFree(p); }
void operator delete(void* p, std::align_val_t, const std::nothrow_t&) noexcept { countedFree(p); }
void operator delete[](void* p, std::align_val_t, const std::nothrow_t&) noexcept {
    countedFree(p);
}
#endif

#if !defined(KESTRIN_SANITIZED)
// Interposed C functions: count when watched, then forward to the next definition
// (glibc's). The lookup is done once per function.
#define TESTSUPPORT_FORWARD(ret, name, counter, params, args)                  \
    extern "C" ret name params {                                               \
        using Fn = ret(*) params;                                              \
        static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, #name));        \
        if (testsupport::watching()) ++testsupport::threadCounts.counter;      \
        return real args;                                                      \
    }

// The calls that can wait count as locks and as waits.
#define TESTSUPPORT_FORWARD_WAIT(ret, name, params, args)                      \
    extern "C" ret name params {                                               \
        using Fn = ret(*) params;                                              \
        static Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, #name));        \
        if (testsupport::watching()) {                                         \
            ++testsupport::threadCounts.locks;                                 \
            ++testsupport::threadCounts.waits;                                 \
        }                                                                      \
        return real args;                                                      \
    }

TESTSUPPORT_FORWARD_WAIT(int, pthread_mutex_lock, (pthread_mutex_t * m), (m))
TESTSUPPORT_FORWARD(int, pthread_mutex_trylock, locks, (pthread_mutex_t * m), (m))
TESTSUPPORT_FORWARD_WAIT(int, pthread_cond_wait, (pthread_cond_t * c, pthread_mutex_t* m), (c, m))
TESTSUPPORT_FORWARD_WAIT(int, pthread_cond_timedwait,
                         (pthread_cond_t * c, pthread_mutex_t* m, const struct timespec* t), (c, m, t))
TESTSUPPORT_FORWARD_WAIT(int, sem_wait, (sem_t * s), (s))
TESTSUPPORT_FORWARD(int, sem_trywait, locks, (sem_t * s), (s))
TESTSUPPORT_FORWARD_WAIT(int, sem_timedwait, (sem_t * s, const struct timespec* t), (s, t))
TESTSUPPORT_FORWARD(int, sem_post, locks, (sem_t * s), (s))
TESTSUPPORT_FORWARD(int, nanosleep, blockingCalls,
                    (const struct timespec* a, struct timespec* b), (a, b))
TESTSUPPORT_FORWARD(int, usleep, blockingCalls, (useconds_t u), (u))
TESTSUPPORT_FORWARD(ssize_t, write, blockingCalls, (int fd, const void* b, size_t n), (fd, b, n))
TESTSUPPORT_FORWARD(ssize_t, read, blockingCalls, (int fd, void* b, size_t n), (fd, b, n))
TESTSUPPORT_FORWARD(int, sched_yield, blockingCalls, (void), ())
#undef TESTSUPPORT_FORWARD
#undef TESTSUPPORT_FORWARD_WAIT
#endif
