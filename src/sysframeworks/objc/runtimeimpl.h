#pragma once
// The class runtime's data: classes and metaclasses, methods, instance
// variables, protocols and interned selectors, all guarded by one
// reader-writer lock. Classes, selectors and protocols live until the process
// ends (a disposed class is unlinked and freed only when nothing refers to it).

#include <objc/runtime.h>

#include <atomic>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

struct objc_method {
    SEL name;
    IMP imp;
    std::string types;
};

struct objc_ivar {
    std::string name;
    std::string types;
    ptrdiff_t offset;
    size_t size;
};

struct objc_class {
    Class isa = nullptr;  // the metaclass; a metaclass points to the root metaclass
    Class superclass = nullptr;
    std::string name;
    bool isMeta = false;
    bool registered = false;
    size_t instanceSize = sizeof(void*);
    std::vector<std::unique_ptr<objc_method>> methods;
    std::vector<std::unique_ptr<objc_ivar>> ivars;
    std::vector<Protocol*> protocols;
    std::atomic<long> liveInstances{0};
    int subclasses = 0;
};

namespace objcrt {

struct ProtocolRecord {
    Class isa = nullptr;  // makes the record look like an object
    std::string name;
    bool registered = false;
    struct Description {
        SEL name;
        std::string types;
        bool required;
        bool instance;
    };
    std::vector<Description> methods;
};

std::shared_mutex& lock();

// Creates NSObject the first time it is called; every runtime entry calls it.
void ensureRootClass() noexcept;

// Implementation of a selector for a class, through the superclass chain;
// the lock must be held (shared at least).
IMP lookUpLocked(Class cls, SEL sel) noexcept;
Method findMethodLocked(Class cls, SEL sel) noexcept;
Ivar findIvarLocked(Class cls, const char* name) noexcept;

// Instance memory: a reference count in a 16-byte header before the object.
struct ObjectHeader {
    std::atomic<long> refCount;
    std::uint64_t magic;
};
constexpr std::uint64_t kObjectMagic = 0x4F424A4543544F4Bull;
ObjectHeader* headerOf(id obj) noexcept;

}  // namespace objcrt
