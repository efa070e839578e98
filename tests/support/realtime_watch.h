#pragma once
// RealtimeWatch: counts what the current thread does that real-time code must not.
//
// While a RealtimeWatch is alive on a thread, every global operator new/delete on
// that thread is counted as an allocation. Outside sanitizer builds, calls to the
// pthread mutex, condition-variable and semaphore functions and to sleeping or I/O
// functions are counted too (they are interposed for the whole test executable).
// Other threads are not affected, so a test can automate parameters from a second
// thread while the watched thread renders.

namespace testsupport {

struct RealtimeCounts {
    long allocations = 0;    // operator new / delete calls
    long locks = 0;          // mutex lock/trylock, condition waits, semaphore waits/posts
    long blockingCalls = 0;  // sleeps, read/write/open and similar system calls
    long waits = 0;          // those of `locks` that can wait: mutex lock, condition and semaphore waits
};

class RealtimeWatch {
public:
    RealtimeWatch() noexcept;
    ~RealtimeWatch();
    RealtimeWatch(const RealtimeWatch&) = delete;
    RealtimeWatch& operator=(const RealtimeWatch&) = delete;

    RealtimeCounts counts() const noexcept;

    // True when allocations are counted (false under ThreadSanitizer, whose runtime
    // owns operator new).
    static bool countsAllocations() noexcept;
    // True when locks and blocking calls are interposed in this build (false under
    // sanitizers, whose runtimes own these symbols); allocations are always counted.
    static bool interposesSystemCalls() noexcept;
};

}  // namespace testsupport
