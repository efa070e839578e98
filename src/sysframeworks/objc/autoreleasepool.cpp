// Autorelease pools: one stack per thread. A pool is a mark in the thread's
// list of autoreleased objects; popping it releases, newest first, everything
// added since the mark, including objects autoreleased while releasing.

#include "sysframeworks/common/diagnostics.h"

#include <objc/message.h>
#include <objc/runtime.h>

#include <cstdint>
#include <vector>

namespace {

struct PoolStack {
    std::vector<id> objects;
    std::vector<size_t> marks;  // objects.size() when each open pool was pushed
};

thread_local PoolStack t_pools;

void releaseObject(id obj) {
    using Release = void (*)(id, SEL);
    reinterpret_cast<Release>(objc_msgSend)(obj, sel_registerName("release"));
}

}  // namespace

namespace objcrt {

bool autoreleaseIntoPool(id obj) noexcept {
    PoolStack& s = t_pools;
    if (s.marks.empty()) return false;
    try {
        s.objects.push_back(obj);
    } catch (const std::exception&) {
        sysfw::reportMisuse("autorelease", "out of memory; the object is not released later");
    }
    return true;
}

}  // namespace objcrt

extern "C" __attribute__((visibility("default"))) void* objc_autoreleasePoolPush(void) {
    PoolStack& s = t_pools;
    try {
        s.marks.push_back(s.objects.size());
    } catch (const std::exception&) {
        sysfw::reportMisuse("objc_autoreleasePoolPush", "out of memory");
        return nullptr;
    }
    return reinterpret_cast<void*>(static_cast<uintptr_t>(s.marks.size()));
}

extern "C" __attribute__((visibility("default"))) void objc_autoreleasePoolPop(void* token) {
    PoolStack& s = t_pools;
    const auto depth = static_cast<size_t>(reinterpret_cast<uintptr_t>(token));
    if (depth == 0 || depth > s.marks.size()) {
        sysfw::reportMisuse("objc_autoreleasePoolPop", "not a pool of this thread, or already popped");
        return;
    }
    // Popping an outer pool pops the inner ones still open, as on macOS.
    while (s.marks.size() >= depth) {
        const size_t start = s.marks.back();
        while (s.objects.size() > start) {
            id obj = s.objects.back();
            s.objects.pop_back();
            releaseObject(obj);
        }
        s.marks.pop_back();
    }
}
