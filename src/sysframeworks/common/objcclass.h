#pragma once
// Helpers for the frameworks that define Objective-C classes with the class
// runtime: message sends with typed prototypes, and C++ state kept behind one
// pointer instance variable of a base class (subclasses made at run time
// inherit it). Header-only; each library gets its own copy. A class is built
// once (thread-safe static); an instance's state is for the threads the
// class allows.

#include "sysframeworks/common/diagnostics.h"

#include <CoreGraphics/CGGeometry.h>
#include <objc/message.h>
#include <objc/runtime.h>

#include <cstddef>

namespace sysfw::objc {

template <typename F>
IMP imp(F f) {
    return reinterpret_cast<IMP>(f);
}

inline SEL sel(const char* name) { return sel_registerName(name); }

inline Class metaclass(Class cls) { return object_getClass(reinterpret_cast<id>(cls)); }

// [obj name:args...] returning R in registers (integers, pointers, doubles,
// NSPoint/NSSize). A nil receiver gives zero.
template <typename R = void, typename... A>
R send(id obj, const char* name, A... args) {
    return reinterpret_cast<R (*)(id, SEL, A...)>(objc_msgSend)(obj, sel(name), args...);
}

// Class messages.
template <typename R = void, typename... A>
R sendClass(Class cls, const char* name, A... args) {
    return reinterpret_cast<R (*)(Class, SEL, A...)>(objc_msgSend)(cls, sel(name), args...);
}

// A CGRect result (32 bytes, returned in memory). A nil receiver gives zero.
template <typename... A>
CGRect sendRect(id obj, const char* name, A... args) {
    CGRect r{};
    if (obj == nullptr) return r;
    return reinterpret_cast<CGRect (*)(id, SEL, A...)>(objc_msgSend_stret)(obj, sel(name), args...);
}

inline bool responds(id obj, const char* name) {
    return obj != nullptr && class_respondsToSelector(object_getClass(obj), sel(name));
}

inline id retain(id obj) { return obj ? send<id>(obj, "retain") : nullptr; }
inline void release(id obj) {
    if (obj) send(obj, "release");
}
inline id autorelease(id obj) { return obj ? send<id>(obj, "autorelease") : nullptr; }

inline bool isKindOf(id obj, Class cls) { return obj != nullptr && send<BOOL>(obj, "isKindOfClass:", cls); }

// Holds a reference for a scope: a callback may release the object it is sent to.
class Retained {
public:
    explicit Retained(id obj) : obj_(retain(obj)) {}
    ~Retained() { release(obj_); }
    Retained(const Retained&) = delete;
    Retained& operator=(const Retained&) = delete;

private:
    id obj_;
};

// An autorelease pool for a scope.
class PoolScope {
public:
    PoolScope() : token_(objc_autoreleasePoolPush()) {}
    ~PoolScope() {
        if (token_) objc_autoreleasePoolPop(token_);
    }
    PoolScope(const PoolScope&) = delete;
    PoolScope& operator=(const PoolScope&) = delete;

private:
    void* token_;
};

// Runs the superclass's implementation (used by dealloc overrides).
inline void sendSuper(id obj, Class cls, const char* name) {
    objc_super s{obj, class_getSuperclass(cls)};
    reinterpret_cast<void (*)(objc_super*, SEL)>(objc_msgSendSuper)(&s, sel(name));
}

// A base class whose instances own a T, created on first use and deleted by
// the class's dealloc. Define() builds and registers the class once.
template <typename T>
class StatefulClass {
public:
    // `addMethods(cls)` adds the instance and class methods before registration.
    template <typename AddMethods>
    StatefulClass(const char* name, Class superclass, AddMethods addMethods) {
        cls_ = objc_allocateClassPair(superclass, name, 0);
        // Another class of that name would have no room for the state.
        if (cls_ == Nil) sysfw::fatalMisuse(name, "a class of this name exists already; the framework cannot define it");
        class_addIvar(cls_, "_sysfwState", sizeof(void*), 3, "^v");
        class_addMethod(cls_, sel("dealloc"), imp(&StatefulClass::dealloc), "v@:");
        addMethods(cls_);
        objc_registerClassPair(cls_);
        offset_ = ivar_getOffset(class_getInstanceVariable(cls_, "_sysfwState"));
        self_() = this;
    }

    Class cls() const { return cls_; }

    // The state of an instance of this class (or of a subclass); null for nil
    // or an object of another class.
    T* of(id obj) const {
        if (obj == nullptr || offset_ == 0 || !isKindOf(obj, cls_)) return nullptr;
        return stateOf(obj);
    }

    // Without the class check: for methods of this class, whose receiver is one.
    T* stateOf(id obj) const {
        auto** slot = reinterpret_cast<T**>(reinterpret_cast<char*>(obj) + offset_);
        if (*slot == nullptr) *slot = new T();
        return *slot;
    }

    id create() const { return class_createInstance(cls_, 0); }

private:
    static StatefulClass*& self_() {
        static StatefulClass* s = nullptr;
        return s;
    }

    static void dealloc(id obj, SEL) {
        StatefulClass* c = self_();
        auto** slot = reinterpret_cast<T**>(reinterpret_cast<char*>(obj) + c->offset_);
        // The state stays reachable while it lets go of what it holds: that
        // code may still ask for it.
        T* state = *slot;
        if (state) state->destroy(obj);
        *slot = nullptr;
        delete state;
        sendSuper(obj, c->cls_, "dealloc");
    }

    Class cls_ = Nil;
    ptrdiff_t offset_ = 0;
};

}  // namespace sysfw::objc
