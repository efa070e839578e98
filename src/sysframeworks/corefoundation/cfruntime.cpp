#include "sysframeworks/corefoundation/cfruntime.h"

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/corefoundation/cfstringimpl.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>

namespace cf {

namespace {

struct NullObject final : Object {
    constexpr NullObject() noexcept : Object(kTypeNull, true) {}
    bool equals(const Object&) const noexcept override { return true; }
    CFHashCode hash() const noexcept override { return 0x4E554C4C; }
    void describe(std::string& out) const override { out += "<CFNull>"; }
};

constinit NullObject gNull;

}  // namespace

std::ptrdiff_t magicOffset() noexcept {
    const Object& probe = gNull;
    return reinterpret_cast<const char*>(&probe.magic_) - reinterpret_cast<const char*>(&probe);
}

bool Object::isObject(const void* p) noexcept {
    if (p == nullptr) return false;
    std::uint32_t magic;
    std::memcpy(&magic, static_cast<const char*>(p) + magicOffset(), sizeof magic);
    return magic == kMagic;
}

const char* typeName(CFTypeID type) noexcept {
    switch (type) {
        case kTypeAllocator: return "CFAllocator";
        case kTypeNull: return "CFNull";
        case kTypeBoolean: return "CFBoolean";
        case kTypeNumber: return "CFNumber";
        case kTypeString: return "CFString";
        case kTypeData: return "CFData";
        case kTypeArray: return "CFArray";
        case kTypeDictionary: return "CFDictionary";
        case kTypeDate: return "CFDate";
        case kTypeError: return "CFError";
        case kTypeURL: return "CFURL";
        case kTypeBundle: return "CFBundle";
        case kTypeRunLoop: return "CFRunLoop";
        default: return nullptr;
    }
}

void Object::retain() noexcept {
    if (immortal_) return;
    // Taking another reference needs no ordering: the caller already holds one.
    refCount_.fetch_add(1, std::memory_order_relaxed);
}

bool Object::release() noexcept {
    if (immortal_) return false;
    // acq_rel: the thread that frees the object must see every other thread's
    // writes made before their releases.
    if (refCount_.fetch_sub(1, std::memory_order_acq_rel) != 1) return false;
    CFAllocatorRef alloc = allocator_;
    magic_ = 0;
    if (static_cast<const void*>(alloc) == this) {
        destroySelfAllocated();
        return true;
    }
    destroy();
    CFAllocatorDeallocate(alloc, this);
    CFRelease(alloc);
    return true;
}

CFIndex Object::retainCount() const noexcept {
    if (immortal_) return std::numeric_limits<CFIndex>::max();
    return refCount_.load(std::memory_order_relaxed);
}

void Object::describe(std::string& out) const {
    appendHeader(out, *this);
    out += "{}";
}

Object* objectFrom(CFTypeRef ref, const char* api) noexcept {
    if (ref == nullptr) {
        sysfw::reportMisuse(api, "null object");
        return nullptr;
    }
    if (!Object::isObject(ref)) {
        sysfw::reportMisuse(api, "not a CoreFoundation object");
        return nullptr;
    }
    return static_cast<Object*>(const_cast<void*>(ref));
}

void badType(const char* api, CFTypeID wanted, CFTypeID got) noexcept {
    char text[96];
    const char* w = typeName(wanted);
    const char* g = typeName(got);
    std::snprintf(text, sizeof text, "expected a %s, got a %s", w ? w : "?", g ? g : "?");
    sysfw::reportMisuse(api, text);
}

void refuseImmutable(const char* api, CFTypeID type) noexcept {
    char text[96];
    const char* name = typeName(type);
    std::snprintf(text, sizeof text, "the %s is immutable", name ? name : "object");
    sysfw::reportMisuse(api, text);
}

void appendHeader(std::string& out, const Object& object) {
    const char* name = typeName(object.typeID());
    appendFormat(out, "<%s %p [%p]>", name ? name : "CFType", static_cast<const void*>(&object),
                 static_cast<const void*>(object.allocator()));
}

void appendFormat(std::string& out, const char* format, ...) {
    char small[256];
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n >= 0 && static_cast<std::size_t>(n) < sizeof small) {
        out.append(small, static_cast<std::size_t>(n));
    } else if (n > 0) {
        std::string big(static_cast<std::size_t>(n) + 1, '\0');
        std::vsnprintf(big.data(), big.size(), format, copy);
        out.append(big.data(), static_cast<std::size_t>(n));
    }
    va_end(copy);
}

}  // namespace cf

extern "C" {

const CFNullRef kCFNull = reinterpret_cast<CFNullRef>(&cf::gNull);

CFTypeID CFNullGetTypeID(void) { return cf::kTypeNull; }

CFTypeRef CFRetain(CFTypeRef cf) {
    if (cf == nullptr) sysfw::fatalMisuse("CFRetain", "called with NULL");
    if (cf::Object* object = cf::objectFrom(cf, "CFRetain")) object->retain();
    return cf;
}

void CFRelease(CFTypeRef cf) {
    if (cf == nullptr) sysfw::fatalMisuse("CFRelease", "called with NULL");
    if (cf::Object* object = cf::objectFrom(cf, "CFRelease")) object->release();
}

CFIndex CFGetRetainCount(CFTypeRef cf) {
    cf::Object* object = cf::objectFrom(cf, "CFGetRetainCount");
    return object ? object->retainCount() : 0;
}

CFTypeID CFGetTypeID(CFTypeRef cf) {
    cf::Object* object = cf::objectFrom(cf, "CFGetTypeID");
    return object ? object->typeID() : cf::kTypeNotAnObject;
}

CFStringRef CFCopyTypeIDDescription(CFTypeID type_id) {
    const char* name = cf::typeName(type_id);
    return name ? CFStringCreateWithCString(nullptr, name, kCFStringEncodingUTF8) : nullptr;
}

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2) {
    cf::Object* a = cf::objectFrom(cf1, "CFEqual");
    cf::Object* b = cf::objectFrom(cf2, "CFEqual");
    if (a == nullptr || b == nullptr) return false;
    if (a == b) return true;
    if (a->typeID() != b->typeID()) return false;
    return a->equals(*b);
}

CFHashCode CFHash(CFTypeRef cf) {
    cf::Object* object = cf::objectFrom(cf, "CFHash");
    return object ? object->hash() : 0;
}

CFStringRef CFCopyDescription(CFTypeRef cf) {
    cf::Object* object = cf::objectFrom(cf, "CFCopyDescription");
    if (object == nullptr) return nullptr;
    return sysfw::guarded<CFStringRef>(nullptr, [&] {
        std::string text;
        object->describe(text);
        return cf::makeStringFromUTF8(nullptr, text);
    });
}

CFAllocatorRef CFGetAllocator(CFTypeRef cf) {
    cf::Object* object = cf::objectFrom(cf, "CFGetAllocator");
    return object ? object->allocator() : nullptr;
}

CFTypeRef CFMakeCollectable(CFTypeRef cf) { return cf; }

}  // extern "C"
