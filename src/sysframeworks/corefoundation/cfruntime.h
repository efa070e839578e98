#pragma once
// The CoreFoundation object model behind the opaque CF references.
//
// Every CF object is a cf::Object: a type id, an atomic reference count, the
// allocator its memory came from and a magic word that lets the polymorphic
// functions refuse pointers that are not CF objects. Objects are created with
// cf::create<T>() in memory from their allocator and freed by the last
// CFRelease, which runs destroy() (the member destructors) and gives the memory
// back. Constant objects (CFSTR strings, booleans, kCFNull, the constant
// allocators and numbers) are immortal: retain and release leave them alone.

#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <utility>

namespace cf {

enum TypeId : CFTypeID {
    kTypeNotAnObject = 0,
    kTypeAllocator = 2,
    kTypeNull = 3,
    kTypeBoolean = 4,
    kTypeNumber = 5,
    kTypeString = 6,
    kTypeData = 7,
    kTypeArray = 8,
    kTypeDictionary = 9,
    kTypeDate = 10,
    kTypeError = 11,
    kTypeURL = 12,
    kTypeBundle = 13,
    kTypeRunLoop = 14,
};

// Name of a type id ("CFString"), or nullptr for an unknown one.
const char* typeName(CFTypeID type) noexcept;

std::ptrdiff_t magicOffset() noexcept;

class Object {
public:
    static constexpr std::uint32_t kMagic = 0xCF0B7EC7u;

    constexpr Object(CFTypeID type, bool immortal) noexcept : type_(type), immortal_(immortal) {}
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    CFTypeID typeID() const noexcept { return type_; }
    bool isImmortal() const noexcept { return immortal_; }
    CFAllocatorRef allocator() const noexcept { return allocator_; }

    void retain() noexcept;
    // True when this call freed the object.
    bool release() noexcept;
    CFIndex retainCount() const noexcept;

    // Same-type comparison and hashing (CFEqual has checked the types).
    virtual bool equals(const Object& other) const noexcept { return this == &other; }
    virtual CFHashCode hash() const noexcept { return reinterpret_cast<std::uintptr_t>(this) >> 4; }
    // CFCopyDescription text, UTF-8.
    virtual void describe(std::string& out) const;
    // What "%@" prints; the description unless the type has a plainer form.
    virtual void describeForFormat(std::string& out) const { describe(out); }

    // Set once by create(): the (retained) allocator the memory came from.
    void adoptAllocator(CFAllocatorRef allocator) noexcept { allocator_ = allocator; }

    // Runs the member destructors; the memory is freed by the caller.
    virtual void destroy() noexcept {}
    // For an object whose allocator is itself (an allocator created with
    // kCFAllocatorUseContext): destroys it and frees its memory.
    virtual void destroySelfAllocated() noexcept {}

    // True when `p` points at a live CF object. Reads only the magic word, as
    // raw memory, so it is safe (and sanitizer-clean) for any readable pointer.
    static bool isObject(const void* p) noexcept;

protected:
    ~Object() = default;

private:
    friend std::ptrdiff_t magicOffset() noexcept;

    std::uint32_t magic_ = kMagic;
    CFTypeID type_;
    bool immortal_;
    std::atomic<CFIndex> refCount_{1};
    CFAllocatorRef allocator_ = nullptr;
};

void badType(const char* api, CFTypeID wanted, CFTypeID got) noexcept;
void refuseImmutable(const char* api, CFTypeID type) noexcept;

// The CF object behind a reference, or nullptr (with a message naming `api`)
// when it is null or not a CF object.
Object* objectFrom(CFTypeRef ref, const char* api) noexcept;

// The object of the wanted type behind a reference, or nullptr (with a message)
// when it is null or of another type.
template <typename T>
T* as(CFTypeRef ref, const char* api) noexcept {
    Object* object = objectFrom(ref, api);
    if (object == nullptr) return nullptr;
    if (object->typeID() != T::kTypeID) {
        badType(api, T::kTypeID, object->typeID());
        return nullptr;
    }
    return static_cast<T*>(object);
}

// The object behind a reference that a mutation wants: of the right type and
// created mutable (T has an isMutable member); nullptr with a message otherwise.
template <typename T>
T* asMutable(CFTypeRef ref, const char* api) noexcept {
    T* object = as<T>(ref, api);
    if (object != nullptr && !object->isMutable) {
        refuseImmutable(api, T::kTypeID);
        return nullptr;
    }
    return object;
}

// Quiet type test, for code that accepts several types.
template <typename T>
T* tryAs(CFTypeRef ref) noexcept {
    if (!Object::isObject(ref)) return nullptr;
    auto* object = static_cast<Object*>(const_cast<void*>(ref));
    if (object->typeID() != T::kTypeID) return nullptr;
    return static_cast<T*>(object);
}

// The allocator to use for a given one (NULL = the current default).
CFAllocatorRef resolveAllocator(CFAllocatorRef allocator) noexcept;

// Allocates and constructs a T with the given allocator; nullptr when the
// allocator gives no memory or construction runs out of memory.
template <typename T, typename... Args>
T* create(CFAllocatorRef allocator, Args&&... args) noexcept {
    CFAllocatorRef alloc = resolveAllocator(allocator);
    void* memory = CFAllocatorAllocate(alloc, static_cast<CFIndex>(sizeof(T)), 0);
    if (memory == nullptr) return nullptr;
    T* object = nullptr;
    try {
        object = new (memory) T(std::forward<Args>(args)...);
    } catch (...) {
        CFAllocatorDeallocate(alloc, memory);
        return nullptr;
    }
    CFRetain(alloc);
    object->adoptAllocator(alloc);
    return object;
}

template <typename T>
T* retained(T* object) noexcept {
    if (object) object->retain();
    return object;
}

// Appends "<TypeName 0x...>" to a description.
void appendHeader(std::string& out, const Object& object);
// Appends printf-style text.
void appendFormat(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace cf
