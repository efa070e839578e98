// The root class NSObject, and the method lookup behind objc_msgSend.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/objc/runtimeimpl.h"

#include <objc/message.h>

#include <cstdio>

namespace objcrt {

void addMethodLocked(Class cls, const char* selector, IMP imp, const char* types);
bool autoreleaseIntoPool(id obj) noexcept;  // autoreleasepool.cpp

namespace {

template <typename F>
IMP asIMP(F f) {
    return reinterpret_cast<IMP>(f);
}

IMP lookUp(Class cls, const char* name) {
    SEL sel = sel_registerName(name);
    return class_getMethodImplementation(cls, sel);
}

id classAlloc(Class self, SEL) { return class_createInstance(self, 0); }

id classNew(Class self, SEL) {
    id obj = class_createInstance(self, 0);
    if (obj == nullptr) return nullptr;
    auto init = reinterpret_cast<id (*)(id, SEL)>(lookUp(self, "init"));
    return init ? init(obj, sel_registerName("init")) : obj;
}

Class classClass(Class self, SEL) { return self; }

id instanceInit(id self, SEL) { return self; }

void instanceDealloc(id self, SEL) { object_dispose(self); }

id instanceRetain(id self, SEL) {
    if (ObjectHeader* h = headerOf(self)) h->refCount.fetch_add(1, std::memory_order_relaxed);
    return self;
}

void instanceRelease(id self, SEL) {
    ObjectHeader* h = headerOf(self);
    if (h == nullptr) return;
    // acq_rel: the thread that deallocates sees every other owner's writes.
    if (h->refCount.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    auto dealloc = reinterpret_cast<void (*)(id, SEL)>(lookUp(self->isa, "dealloc"));
    if (dealloc) dealloc(self, sel_registerName("dealloc"));
}

// Into the thread's innermost pool; with no pool open the object keeps its
// reference (it is never released for the caller).
id instanceAutorelease(id self, SEL) {
    autoreleaseIntoPool(self);
    return self;
}

unsigned long instanceRetainCount(id self, SEL) {
    ObjectHeader* h = headerOf(self);
    return h ? static_cast<unsigned long>(h->refCount.load(std::memory_order_relaxed)) : 0;
}

Class instanceClass(id self, SEL) { return self->isa; }

BOOL instanceRespondsToSelector(id self, SEL, SEL query) {
    return class_getMethodImplementation(self->isa, query) != nullptr;
}

BOOL instanceConformsToProtocol(id self, SEL, Protocol* protocol) {
    return class_conformsToProtocol(self->isa, protocol);
}

BOOL instanceIsKindOfClass(id self, SEL, Class cls) {
    for (Class c = self->isa; c != nullptr; c = class_getSuperclass(c))
        if (c == cls) return YES;
    return NO;
}

}  // namespace

void installRootMethods(Class root) {
    Class meta = root->isa;
    addMethodLocked(meta, "alloc", asIMP(classAlloc), "@@:");
    addMethodLocked(meta, "new", asIMP(classNew), "@@:");
    addMethodLocked(meta, "class", asIMP(classClass), "#@:");
    addMethodLocked(root, "init", asIMP(instanceInit), "@@:");
    addMethodLocked(root, "dealloc", asIMP(instanceDealloc), "v@:");
    addMethodLocked(root, "retain", asIMP(instanceRetain), "@@:");
    addMethodLocked(root, "release", asIMP(instanceRelease), "v@:");
    addMethodLocked(root, "autorelease", asIMP(instanceAutorelease), "@@:");
    addMethodLocked(root, "retainCount", asIMP(instanceRetainCount), "Q@:");
    addMethodLocked(root, "class", asIMP(instanceClass), "#@:");
    addMethodLocked(root, "respondsToSelector:", asIMP(instanceRespondsToSelector), "c@::");
    addMethodLocked(root, "conformsToProtocol:", asIMP(instanceConformsToProtocol), "c@:@");
    addMethodLocked(root, "isKindOfClass:", asIMP(instanceIsKindOfClass), "c@:#");
}

namespace {

[[noreturn]] void unrecognized(Class cls, SEL sel) {
    char text[512];
    std::snprintf(text, sizeof text, "%c[%s %s]: unrecognized selector sent to %s", cls->isMeta ? '+' : '-',
                  cls->name.c_str(), sel_getName(sel), cls->isMeta ? "class" : "instance");
    sysfw::fatalMisuse("objc_msgSend", text);
}

}  // namespace

}  // namespace objcrt

// Called by the objc_msgSend trampolines with the argument registers saved.
extern "C" __attribute__((visibility("hidden"))) IMP sysfw_objc_lookUpForSend(id self, SEL sel) {
    IMP imp = class_getMethodImplementation(self->isa, sel);
    if (imp == nullptr) objcrt::unrecognized(self->isa, sel);
    return imp;
}

extern "C" __attribute__((visibility("hidden"))) IMP sysfw_objc_lookUpForSendSuper(struct objc_super* super, SEL sel) {
    IMP imp = class_getMethodImplementation(super->super_class, sel);
    if (imp == nullptr) objcrt::unrecognized(super->super_class, sel);
    return imp;
}
