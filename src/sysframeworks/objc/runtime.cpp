// The class runtime: classes created at run time, selectors, methods, instance
// variables, protocols and instances.

#include "sysframeworks/common/diagnostics.h"
#include "sysframeworks/objc/runtimeimpl.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace objcrt {

namespace {

struct Tables {
    std::unordered_set<std::string> selectors;      // node-based: names stay put
    std::unordered_map<std::string, Class> classes;  // registered and under construction
    std::unordered_map<std::string, ProtocolRecord*> protocols;
};

Tables& tables() {
    static auto* t = new Tables();
    return *t;
}

ProtocolRecord* protocolFrom(Protocol* p) { return reinterpret_cast<ProtocolRecord*>(p); }

bool isKnownClass(Class cls) {
    if (cls == nullptr) return false;
    for (auto& [name, c] : tables().classes)
        if (c == cls || c->isa == cls) return true;
    return false;
}

SEL internLocked(const char* name) {
    auto [it, inserted] = tables().selectors.insert(name);
    (void)inserted;
    return reinterpret_cast<SEL>(const_cast<char*>(it->c_str()));
}

}  // namespace

std::shared_mutex& lock() {
    static auto* m = new std::shared_mutex();
    return *m;
}

ObjectHeader* headerOf(id obj) noexcept {
    if (obj == nullptr) return nullptr;
    auto* h = reinterpret_cast<ObjectHeader*>(reinterpret_cast<char*>(obj) - sizeof(ObjectHeader));
    return h->magic == kObjectMagic ? h : nullptr;
}

Method findMethodLocked(Class cls, SEL sel) noexcept {
    for (Class c = cls; c != nullptr; c = c->superclass)
        for (auto& m : c->methods)
            if (m->name == sel) return m.get();
    return nullptr;
}

IMP lookUpLocked(Class cls, SEL sel) noexcept {
    Method m = findMethodLocked(cls, sel);
    return m ? m->imp : nullptr;
}

Ivar findIvarLocked(Class cls, const char* name) noexcept {
    for (Class c = cls; c != nullptr; c = c->superclass)
        for (auto& v : c->ivars)
            if (v->name == name) return v.get();
    return nullptr;
}

// Builds a class and its metaclass; the caller holds the lock exclusively.
Class allocatePairLocked(Class superclass, const char* name, bool registered) {
    auto cls = std::make_unique<objc_class>();
    auto meta = std::make_unique<objc_class>();
    cls->name = name;
    meta->name = name;
    meta->isMeta = true;
    cls->isa = meta.get();
    cls->superclass = superclass;
    cls->instanceSize = superclass ? superclass->instanceSize : sizeof(Class);
    if (superclass) {
        meta->superclass = superclass->isa;
        meta->isa = superclass->isa->isa;  // the root metaclass
    } else {
        meta->superclass = cls.get();  // a root metaclass inherits from its root class
        meta->isa = meta.get();
    }
    cls->registered = registered;
    meta->registered = registered;
    Class result = cls.release();
    meta.release();
    tables().classes.emplace(name, result);
    return result;
}

void addMethodLocked(Class cls, const char* selector, IMP imp, const char* types) {
    auto m = std::make_unique<objc_method>();
    m->name = internLocked(selector);
    m->imp = imp;
    m->types = types;
    cls->methods.push_back(std::move(m));
}

void installRootMethods(Class root);  // nsobject.cpp

void ensureRootClass() noexcept {
    static std::once_flag once;
    std::call_once(once, [] {
        std::unique_lock<std::shared_mutex> guard(lock());
        Class root = allocatePairLocked(nullptr, "NSObject", true);
        installRootMethods(root);
    });
}

}  // namespace objcrt

using objcrt::ensureRootClass;
using objcrt::lock;
using objcrt::tables;

extern "C" {

SEL sel_registerName(const char* str) {
    if (str == nullptr) return nullptr;
    ensureRootClass();
    return sysfw::guarded<SEL>(nullptr, [&] {
        std::unique_lock<std::shared_mutex> guard(lock());
        return objcrt::internLocked(str);
    });
}

SEL sel_getUid(const char* str) { return sel_registerName(str); }

const char* sel_getName(SEL sel) { return sel ? reinterpret_cast<const char*>(sel) : "<null selector>"; }

BOOL sel_isEqual(SEL lhs, SEL rhs) { return lhs == rhs; }

Class objc_getClass(const char* name) {
    if (name == nullptr) return nullptr;
    ensureRootClass();
    std::shared_lock<std::shared_mutex> guard(lock());
    auto found = tables().classes.find(name);
    return found != tables().classes.end() && found->second->registered ? found->second : nullptr;
}

Class objc_lookUpClass(const char* name) { return objc_getClass(name); }

Class objc_getMetaClass(const char* name) {
    Class cls = objc_getClass(name);
    return cls ? cls->isa : nullptr;
}

Class objc_allocateClassPair(Class superclass, const char* name, size_t extraBytes) {
    (void)extraBytes;
    if (name == nullptr || *name == '\0') return nullptr;
    ensureRootClass();
    return sysfw::guarded<Class>(nullptr, [&]() -> Class {
        std::unique_lock<std::shared_mutex> guard(lock());
        if (tables().classes.count(name) != 0) return nullptr;  // the name is taken
        if (superclass != nullptr && (!objcrt::isKnownClass(superclass) || superclass->isMeta || !superclass->registered))
            return nullptr;
        return objcrt::allocatePairLocked(superclass, name, false);
    });
}

void objc_registerClassPair(Class cls) {
    std::unique_lock<std::shared_mutex> guard(lock());
    if (!objcrt::isKnownClass(cls) || cls->isMeta) {
        sysfw::reportMisuse("objc_registerClassPair", "not a class made by objc_allocateClassPair");
        return;
    }
    if (cls->registered) {
        sysfw::reportMisuse("objc_registerClassPair", "the class is already registered");
        return;
    }
    cls->registered = true;
    cls->isa->registered = true;
    if (cls->superclass) ++cls->superclass->subclasses;
}

void objc_disposeClassPair(Class cls) {
    std::unique_lock<std::shared_mutex> guard(lock());
    if (!objcrt::isKnownClass(cls) || cls->isMeta || cls->name == "NSObject") {
        sysfw::reportMisuse("objc_disposeClassPair", "not a disposable class");
        return;
    }
    if (cls->liveInstances.load() > 0 || cls->subclasses > 0) {
        sysfw::reportMisuse("objc_disposeClassPair", "the class still has instances or subclasses");
        return;
    }
    if (cls->registered && cls->superclass) --cls->superclass->subclasses;
    tables().classes.erase(cls->name);
    delete cls->isa;
    delete cls;
}

int objc_getClassList(Class* buffer, int bufferCount) {
    ensureRootClass();
    std::shared_lock<std::shared_mutex> guard(lock());
    int n = 0;
    for (auto& [name, c] : tables().classes) {
        if (!c->registered) continue;
        if (buffer && n < bufferCount) buffer[n] = c;
        ++n;
    }
    return n;
}

const char* class_getName(Class cls) { return cls ? cls->name.c_str() : "nil"; }

Class class_getSuperclass(Class cls) { return cls ? cls->superclass : nullptr; }

BOOL class_isMetaClass(Class cls) { return cls && cls->isMeta; }

size_t class_getInstanceSize(Class cls) { return cls ? cls->instanceSize : 0; }

BOOL class_addMethod(Class cls, SEL name, IMP imp, const char* types) {
    if (cls == nullptr || name == nullptr || imp == nullptr) return NO;
    return sysfw::guarded<BOOL>(NO, [&]() -> BOOL {
        std::unique_lock<std::shared_mutex> guard(lock());
        for (auto& m : cls->methods)
            if (m->name == name) return NO;
        objcrt::addMethodLocked(cls, reinterpret_cast<const char*>(name), imp, types ? types : "");
        return YES;
    });
}

IMP class_replaceMethod(Class cls, SEL name, IMP imp, const char* types) {
    if (cls == nullptr || name == nullptr || imp == nullptr) return nullptr;
    return sysfw::guarded<IMP>(nullptr, [&]() -> IMP {
        std::unique_lock<std::shared_mutex> guard(lock());
        for (auto& m : cls->methods)
            if (m->name == name) return std::exchange(m->imp, imp);
        objcrt::addMethodLocked(cls, reinterpret_cast<const char*>(name), imp, types ? types : "");
        return nullptr;
    });
}

BOOL class_addIvar(Class cls, const char* name, size_t size, uint8_t alignment, const char* types) {
    if (cls == nullptr || name == nullptr || size == 0) return NO;
    // Instances are 16-byte aligned, so no variable can ask for more.
    if (alignment > 4) return NO;
    return sysfw::guarded<BOOL>(NO, [&]() -> BOOL {
        std::unique_lock<std::shared_mutex> guard(lock());
        if (cls->registered || cls->isMeta || objcrt::findIvarLocked(cls, name) != nullptr) return NO;
        const size_t align = size_t{1} << alignment;
        const size_t offset = (cls->instanceSize + align - 1) / align * align;
        auto v = std::make_unique<objc_ivar>();
        v->name = name;
        v->types = types ? types : "";
        v->offset = static_cast<ptrdiff_t>(offset);
        v->size = size;
        cls->ivars.push_back(std::move(v));
        cls->instanceSize = offset + size;
        return YES;
    });
}

BOOL class_addProtocol(Class cls, Protocol* protocol) {
    if (cls == nullptr || protocol == nullptr) return NO;
    return sysfw::guarded<BOOL>(NO, [&]() -> BOOL {
        std::unique_lock<std::shared_mutex> guard(lock());
        if (std::find(cls->protocols.begin(), cls->protocols.end(), protocol) != cls->protocols.end()) return NO;
        cls->protocols.push_back(protocol);
        return YES;
    });
}

BOOL class_conformsToProtocol(Class cls, Protocol* protocol) {
    if (cls == nullptr || protocol == nullptr) return NO;
    std::shared_lock<std::shared_mutex> guard(lock());
    for (Class c = cls; c != nullptr; c = c->superclass)
        if (std::find(c->protocols.begin(), c->protocols.end(), protocol) != c->protocols.end()) return YES;
    return NO;
}

BOOL class_respondsToSelector(Class cls, SEL sel) { return class_getMethodImplementation(cls, sel) != nullptr; }

Method class_getInstanceMethod(Class cls, SEL name) {
    if (cls == nullptr || name == nullptr) return nullptr;
    std::shared_lock<std::shared_mutex> guard(lock());
    return objcrt::findMethodLocked(cls, name);
}

Method class_getClassMethod(Class cls, SEL name) { return cls ? class_getInstanceMethod(cls->isa, name) : nullptr; }

IMP class_getMethodImplementation(Class cls, SEL name) {
    if (cls == nullptr || name == nullptr) return nullptr;
    std::shared_lock<std::shared_mutex> guard(lock());
    return objcrt::lookUpLocked(cls, name);
}

Ivar class_getInstanceVariable(Class cls, const char* name) {
    if (cls == nullptr || name == nullptr) return nullptr;
    std::shared_lock<std::shared_mutex> guard(lock());
    return objcrt::findIvarLocked(cls, name);
}

id class_createInstance(Class cls, size_t extraBytes) {
    if (cls == nullptr || cls->isMeta) return nullptr;
    const size_t size = sizeof(objcrt::ObjectHeader) + cls->instanceSize + extraBytes;
    void* memory = std::calloc(1, size);
    if (memory == nullptr) return nullptr;
    auto* header = static_cast<objcrt::ObjectHeader*>(memory);
    header->refCount.store(1, std::memory_order_relaxed);
    header->magic = objcrt::kObjectMagic;
    auto obj = reinterpret_cast<id>(header + 1);
    obj->isa = cls;
    cls->liveInstances.fetch_add(1, std::memory_order_relaxed);
    return obj;
}

id object_dispose(id obj) {
    objcrt::ObjectHeader* header = objcrt::headerOf(obj);
    if (header == nullptr) return nullptr;
    obj->isa->liveInstances.fetch_sub(1, std::memory_order_relaxed);
    header->magic = 0;
    std::free(header);
    return nullptr;
}

Class object_getClass(id obj) { return obj ? obj->isa : nullptr; }

const char* object_getClassName(id obj) { return class_getName(object_getClass(obj)); }

void* object_getIndexedIvars(id obj) {
    return obj ? reinterpret_cast<char*>(obj) + obj->isa->instanceSize : nullptr;
}

SEL method_getName(Method m) { return m ? m->name : nullptr; }
IMP method_getImplementation(Method m) { return m ? m->imp : nullptr; }
const char* method_getTypeEncoding(Method m) { return m ? m->types.c_str() : nullptr; }

IMP method_setImplementation(Method m, IMP imp) {
    if (m == nullptr || imp == nullptr) return nullptr;
    std::unique_lock<std::shared_mutex> guard(lock());
    return std::exchange(m->imp, imp);
}

const char* ivar_getName(Ivar v) { return v ? v->name.c_str() : nullptr; }
const char* ivar_getTypeEncoding(Ivar v) { return v ? v->types.c_str() : nullptr; }
ptrdiff_t ivar_getOffset(Ivar v) { return v ? v->offset : 0; }

Ivar object_getInstanceVariable(id obj, const char* name, void** outValue) {
    if (obj == nullptr || name == nullptr) return nullptr;
    Ivar v = class_getInstanceVariable(obj->isa, name);
    if (v && outValue) {
        *outValue = nullptr;
        std::memcpy(outValue, reinterpret_cast<char*>(obj) + v->offset, std::min(v->size, sizeof(void*)));
    }
    return v;
}

Ivar object_setInstanceVariable(id obj, const char* name, void* value) {
    if (obj == nullptr || name == nullptr) return nullptr;
    Ivar v = class_getInstanceVariable(obj->isa, name);
    if (v) std::memcpy(reinterpret_cast<char*>(obj) + v->offset, &value, std::min(v->size, sizeof(void*)));
    return v;
}

id object_getIvar(id obj, Ivar ivar) {
    void* value = nullptr;
    if (obj && ivar) std::memcpy(&value, reinterpret_cast<char*>(obj) + ivar->offset, std::min(ivar->size, sizeof(void*)));
    return static_cast<id>(value);
}

void object_setIvar(id obj, Ivar ivar, id value) {
    if (obj && ivar) std::memcpy(reinterpret_cast<char*>(obj) + ivar->offset, &value, std::min(ivar->size, sizeof(void*)));
}

Protocol* objc_getProtocol(const char* name) {
    if (name == nullptr) return nullptr;
    ensureRootClass();
    std::shared_lock<std::shared_mutex> guard(lock());
    auto found = tables().protocols.find(name);
    return found != tables().protocols.end() && found->second->registered ? reinterpret_cast<Protocol*>(found->second)
                                                                           : nullptr;
}

Protocol* objc_allocateProtocol(const char* name) {
    if (name == nullptr || *name == '\0') return nullptr;
    ensureRootClass();
    return sysfw::guarded<Protocol*>(nullptr, [&]() -> Protocol* {
        std::unique_lock<std::shared_mutex> guard(lock());
        if (tables().protocols.count(name) != 0) return nullptr;
        auto* p = new objcrt::ProtocolRecord();
        p->name = name;
        tables().protocols.emplace(name, p);
        return reinterpret_cast<Protocol*>(p);
    });
}

void objc_registerProtocol(Protocol* proto) {
    if (proto == nullptr) return;
    std::unique_lock<std::shared_mutex> guard(lock());
    objcrt::protocolFrom(proto)->registered = true;
}

void protocol_addMethodDescription(Protocol* proto, SEL name, const char* types, BOOL isRequiredMethod,
                                   BOOL isInstanceMethod) {
    if (proto == nullptr || name == nullptr) return;
    sysfw::guardedVoid("protocol_addMethodDescription", [&] {
        std::unique_lock<std::shared_mutex> guard(lock());
        objcrt::ProtocolRecord* p = objcrt::protocolFrom(proto);
        if (p->registered) {
            sysfw::reportMisuse("protocol_addMethodDescription", "the protocol is already registered");
            return;
        }
        p->methods.push_back({name, types ? types : "", isRequiredMethod != NO, isInstanceMethod != NO});
    });
}

const char* protocol_getName(Protocol* proto) { return proto ? objcrt::protocolFrom(proto)->name.c_str() : nullptr; }

struct objc_method_description protocol_getMethodDescription(Protocol* proto, SEL aSel, BOOL isRequiredMethod,
                                                             BOOL isInstanceMethod) {
    struct objc_method_description result = {nullptr, nullptr};
    if (proto == nullptr) return result;
    std::shared_lock<std::shared_mutex> guard(lock());
    for (auto& d : objcrt::protocolFrom(proto)->methods) {
        if (d.name == aSel && d.required == (isRequiredMethod != NO) && d.instance == (isInstanceMethod != NO)) {
            result.name = d.name;
            result.types = const_cast<char*>(d.types.c_str());
        }
    }
    return result;
}

}  // extern "C"
