// Allocators: the constant system allocators and allocators made from a
// CFAllocatorContext. The default allocator is per thread, as on macOS.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/cfruntime.h"

#include <cstdlib>

namespace cf {

namespace {

enum class AllocatorKind { System, Malloc, Null, UseContext, Custom };

struct Allocator final : Object {
    static constexpr CFTypeID kTypeID = kTypeAllocator;

    constexpr explicit Allocator(AllocatorKind k) noexcept : Object(kTypeAllocator, true), kind(k) {}
    Allocator(const CFAllocatorContext& c) noexcept : Object(kTypeAllocator, false), kind(AllocatorKind::Custom), context(c) {
        if (context.retain) context.info = const_cast<void*>(context.retain(context.info));
    }

    void destroy() noexcept override {
        if (context.release) context.release(context.info);
    }
    void destroySelfAllocated() noexcept override {
        CFAllocatorContext c = context;
        destroy();
        if (c.deallocate) c.deallocate(this, c.info);
    }
    void describe(std::string& out) const override {
        appendHeader(out, *this);
        static const char* const kNames[] = {"kCFAllocatorSystemDefault", "kCFAllocatorMalloc", "kCFAllocatorNull",
                                             "kCFAllocatorUseContext", "custom"};
        appendFormat(out, "{%s}", kNames[static_cast<int>(kind)]);
    }

    AllocatorKind kind;
    CFAllocatorContext context{};
};

constinit Allocator gSystem(AllocatorKind::System);
constinit Allocator gMalloc(AllocatorKind::Malloc);
constinit Allocator gNullAllocator(AllocatorKind::Null);
constinit Allocator gUseContext(AllocatorKind::UseContext);

thread_local CFAllocatorRef tDefault = nullptr;

Allocator* allocatorFrom(CFAllocatorRef ref, const char* api) noexcept {
    return as<Allocator>(resolveAllocator(ref), api);
}

}  // namespace

CFAllocatorRef resolveAllocator(CFAllocatorRef allocator) noexcept {
    if (allocator != nullptr) return allocator;
    return tDefault ? tDefault : reinterpret_cast<CFAllocatorRef>(&gSystem);
}

}  // namespace cf

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFAllocatorRef kCFAllocatorSystemDefault = reinterpret_cast<CFAllocatorRef>(&cf::gSystem);
const CFAllocatorRef kCFAllocatorMalloc = reinterpret_cast<CFAllocatorRef>(&cf::gMalloc);
const CFAllocatorRef kCFAllocatorMallocZone = reinterpret_cast<CFAllocatorRef>(&cf::gMalloc);
const CFAllocatorRef kCFAllocatorNull = reinterpret_cast<CFAllocatorRef>(&cf::gNullAllocator);
const CFAllocatorRef kCFAllocatorUseContext = reinterpret_cast<CFAllocatorRef>(&cf::gUseContext);

CFTypeID CFAllocatorGetTypeID(void) { return cf::kTypeAllocator; }

void CFAllocatorSetDefault(CFAllocatorRef allocator) {
    if (allocator == nullptr || cf::as<cf::Allocator>(allocator, "CFAllocatorSetDefault") == nullptr) return;
    if (allocator == kCFAllocatorUseContext) {
        sysfw::reportMisuse("CFAllocatorSetDefault", "kCFAllocatorUseContext cannot allocate");
        return;
    }
    // The previous default is kept alive: objects made with it still point to it.
    CFRetain(allocator);
    cf::tDefault = allocator;
}

CFAllocatorRef CFAllocatorGetDefault(void) { return cf::resolveAllocator(nullptr); }

CFAllocatorRef CFAllocatorCreate(CFAllocatorRef allocator, CFAllocatorContext* context) {
    if (context == nullptr || context->allocate == nullptr) {
        sysfw::reportMisuse("CFAllocatorCreate", "a context with an allocate callback is required");
        return nullptr;
    }
    if (allocator != kCFAllocatorUseContext) return reinterpret_cast<CFAllocatorRef>(cf::create<cf::Allocator>(allocator, *context));
    // The allocator lives in memory from its own context.
    void* memory = context->allocate(static_cast<CFIndex>(sizeof(cf::Allocator)), 0, context->info);
    if (memory == nullptr) return nullptr;
    auto* object = new (memory) cf::Allocator(*context);
    object->adoptAllocator(reinterpret_cast<CFAllocatorRef>(object));
    // An allocator that owns its own memory must not keep itself alive; its
    // last release frees it through its own context (see CFAllocatorDeallocate).
    return reinterpret_cast<CFAllocatorRef>(object);
}

void* CFAllocatorAllocate(CFAllocatorRef allocator, CFIndex size, CFOptionFlags hint) {
    cf::Allocator* a = cf::allocatorFrom(allocator, "CFAllocatorAllocate");
    if (a == nullptr || size <= 0) return nullptr;
    switch (a->kind) {
        case cf::AllocatorKind::System:
        case cf::AllocatorKind::Malloc: return std::malloc(static_cast<std::size_t>(size));
        case cf::AllocatorKind::Custom: return a->context.allocate(size, hint, a->context.info);
        default: return nullptr;
    }
}

void* CFAllocatorReallocate(CFAllocatorRef allocator, void* ptr, CFIndex newsize, CFOptionFlags hint) {
    cf::Allocator* a = cf::allocatorFrom(allocator, "CFAllocatorReallocate");
    if (a == nullptr || newsize < 0) return nullptr;
    if (ptr == nullptr) return newsize > 0 ? CFAllocatorAllocate(allocator, newsize, hint) : nullptr;
    if (newsize == 0) {
        CFAllocatorDeallocate(allocator, ptr);
        return nullptr;
    }
    switch (a->kind) {
        case cf::AllocatorKind::System:
        case cf::AllocatorKind::Malloc: return std::realloc(ptr, static_cast<std::size_t>(newsize));
        case cf::AllocatorKind::Custom:
            return a->context.reallocate ? a->context.reallocate(ptr, newsize, hint, a->context.info) : nullptr;
        default: return nullptr;
    }
}

void CFAllocatorDeallocate(CFAllocatorRef allocator, void* ptr) {
    if (ptr == nullptr) return;
    cf::Allocator* a = cf::allocatorFrom(allocator, "CFAllocatorDeallocate");
    if (a == nullptr) return;
    switch (a->kind) {
        case cf::AllocatorKind::System:
        case cf::AllocatorKind::Malloc: std::free(ptr); break;
        case cf::AllocatorKind::Custom:
            if (a->context.deallocate) a->context.deallocate(ptr, a->context.info);
            break;
        default: break;
    }
}

CFIndex CFAllocatorGetPreferredSizeForSize(CFAllocatorRef allocator, CFIndex size, CFOptionFlags hint) {
    cf::Allocator* a = cf::allocatorFrom(allocator, "CFAllocatorGetPreferredSizeForSize");
    if (a && a->kind == cf::AllocatorKind::Custom && a->context.preferredSize)
        return a->context.preferredSize(size, hint, a->context.info);
    return size;
}

void CFAllocatorGetContext(CFAllocatorRef allocator, CFAllocatorContext* context) {
    cf::Allocator* a = cf::allocatorFrom(allocator, "CFAllocatorGetContext");
    if (a == nullptr || context == nullptr) return;
    *context = a->context;
}

}  // extern "C"
