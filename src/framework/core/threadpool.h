#pragma once
// ThreadPool: a fixed set of worker threads for parallel loops.
//
// Driven by one thread at a time (the editor's render thread). A loop posts
// `count` tasks; each worker takes the next untaken index, runs the task for it
// and reports completion. Posting and waiting allocate nothing: the task is a
// borrowed callable that must stay alive until the loop has completed.

#include <pthread.h>

#include <cstddef>
#include <memory>
#include <type_traits>
#include <utility>

#include "framework/core/uncheckedmutex.h"

namespace fw {

class ThreadPool {
public:
    // numThreads 0 means the number of physical processor cores; a non-zero
    // maxThreads caps the count; stackSize 0 means the system default.
    // Every worker is started at once.
    explicit ThreadPool(int numThreads = 0, int maxThreads = 0, std::size_t stackSize = 0);
    // Finishes every posted task, then stops and joins the workers.
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    int numThreads() const noexcept { return int(workerCount_); }

    // Driving thread. Runs task(i, threadIndex) for every i in [0, count) and returns
    // when all have finished. count 1 runs task(0, 0) on the calling thread; 0 does nothing.
    template <typename Task>
    void parallelFor(int count, Task&& task) {
        if (count <= 0) return;
        if (count == 1) {
            task(0, 0);
            return;
        }
        parallelForAsync(count, task);
        waitForCompletion();
    }

    // Driving thread. The same in two halves; the caller may work in between.
    // `task` must outlive the matching waitForCompletion().
    template <typename Task>
    void parallelForAsync(int count, Task& task) {
        using T = std::remove_reference_t<Task>;
        post(count, [](void* context, int i, int threadIndex) {
            (*static_cast<T*>(context))(i, threadIndex);
        }, const_cast<void*>(static_cast<const void*>(&task)));
    }
    void waitForCompletion();

    // The number of physical cores, at least 1.
    static int physicalCoreCount() noexcept;

private:
    using TaskFn = void (*)(void* context, int i, int threadIndex);
    struct Worker;

    void post(int count, TaskFn fn, void* context);
    void workerLoop(int workerIndex);
    static void* workerEntry(void* worker);

    std::unique_ptr<Worker[]> workers_;
    std::size_t workerCount_ = 0;

    UncheckedMutex taskMutex_;
    pthread_cond_t workAvailable_;
    UncheckedMutex completionMutex_;
    pthread_cond_t taskFinished_;

    // Guarded by taskMutex_.
    TaskFn taskFn_ = nullptr;
    void* taskContext_ = nullptr;
    int taskCount_ = 0;
    int nextTask_ = 0;
    bool stop_ = false;
    // Guarded by completionMutex_.
    int finished_ = 0;
    // Driving thread only.
    bool workPending_ = false;
};

}  // namespace fw
