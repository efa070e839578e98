#include "framework/core/threadpool.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <thread>
#include <utility>

#include "framework/core/fatal.h"

namespace fw {

struct ThreadPool::Worker {
    pthread_t handle{};
    ThreadPool* pool = nullptr;
    int index = 0;
};

namespace {

void check(int result, const char* what) {
    if (result != 0) fatalError(what);
}

}  // namespace

int ThreadPool::physicalCoreCount() noexcept {
    // Distinct (package, core) pairs among the online processors; hyper-threads share a core.
    std::set<std::pair<int, int>> cores;
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    for (long cpu = 0; cpu < online; ++cpu) {
        char path[128];
        int package = -1, core = -1;
        std::snprintf(path, sizeof path, "/sys/devices/system/cpu/cpu%ld/topology/physical_package_id", cpu);
        if (FILE* f = std::fopen(path, "r")) {
            if (std::fscanf(f, "%d", &package) != 1) package = -1;
            std::fclose(f);
        }
        std::snprintf(path, sizeof path, "/sys/devices/system/cpu/cpu%ld/topology/core_id", cpu);
        if (FILE* f = std::fopen(path, "r")) {
            if (std::fscanf(f, "%d", &core) != 1) core = -1;
            std::fclose(f);
        }
        if (package < 0 || core < 0) return std::max(1, int(online));  // topology unknown
        cores.insert({package, core});
    }
    return std::max<int>(1, int(cores.size()));
}

ThreadPool::ThreadPool(int numThreads, int maxThreads, std::size_t stackSize) {
    int count = numThreads > 0 ? numThreads : physicalCoreCount();
    if (maxThreads > 0) count = std::min(count, maxThreads);
    count = std::max(count, 1);

    check(pthread_cond_init(&workAvailable_, nullptr), "pthread_cond_init failed");
    check(pthread_cond_init(&taskFinished_, nullptr), "pthread_cond_init failed");

    workers_ = std::make_unique<Worker[]>(std::size_t(count));
    workerCount_ = std::size_t(count);
    pthread_attr_t attr;
    check(pthread_attr_init(&attr), "pthread_attr_init failed");
    if (stackSize != 0) check(pthread_attr_setstacksize(&attr, stackSize), "invalid thread stack size");
    for (int i = 0; i < count; ++i) {
        workers_[i].pool = this;
        workers_[i].index = i;
        check(pthread_create(&workers_[i].handle, &attr, &ThreadPool::workerEntry, &workers_[i]),
              "failed to start a worker thread");
    }
    pthread_attr_destroy(&attr);
}

ThreadPool::~ThreadPool() {
    taskMutex_.lock();
    stop_ = true;
    check(pthread_cond_broadcast(&workAvailable_), "pthread_cond_broadcast failed");
    taskMutex_.unlock();
    for (std::size_t i = 0; i < workerCount_; ++i) check(pthread_join(workers_[i].handle, nullptr), "pthread_join failed");
    pthread_cond_destroy(&workAvailable_);
    pthread_cond_destroy(&taskFinished_);
}

void* ThreadPool::workerEntry(void* worker) {
    auto* w = static_cast<Worker*>(worker);
    w->pool->workerLoop(w->index);
    return nullptr;
}

void ThreadPool::post(int count, TaskFn fn, void* context) {
    if (count <= 0) return;
    taskMutex_.lock();
    taskFn_ = fn;
    taskContext_ = context;
    taskCount_ = count;
    nextTask_ = 0;
    completionMutex_.lock();
    finished_ = 0;
    completionMutex_.unlock();
    // Wake only as many workers as there are tasks.
    if (std::size_t(count) < workerCount_) {
        for (int i = 0; i < count; ++i) check(pthread_cond_signal(&workAvailable_), "pthread_cond_signal failed");
    } else {
        check(pthread_cond_broadcast(&workAvailable_), "pthread_cond_broadcast failed");
    }
    taskMutex_.unlock();
    workPending_ = true;
}

void ThreadPool::waitForCompletion() {
    if (!workPending_) return;
    completionMutex_.lock();
    while (finished_ < taskCount_)
        check(pthread_cond_wait(&taskFinished_, completionMutex_.nativeHandle()), "pthread_cond_wait failed");
    completionMutex_.unlock();
    workPending_ = false;
}

void ThreadPool::workerLoop(int workerIndex) {
    for (;;) {
        taskMutex_.lock();
        while (nextTask_ >= taskCount_) {
            if (stop_) {
                taskMutex_.unlock();
                return;
            }
            check(pthread_cond_wait(&workAvailable_, taskMutex_.nativeHandle()), "pthread_cond_wait failed");
        }
        const int i = nextTask_++;
        TaskFn fn = taskFn_;
        void* context = taskContext_;
        taskMutex_.unlock();

        fn(context, i, workerIndex);

        completionMutex_.lock();
        ++finished_;
        check(pthread_cond_signal(&taskFinished_), "pthread_cond_signal failed");
        completionMutex_.unlock();
    }
}

}  // namespace fw
