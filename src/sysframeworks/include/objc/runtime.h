/* The Objective-C class runtime: classes created at run time, their instance
   variables, methods and protocols, and instances of them.

   The runtime provides the root class "NSObject" (instance methods "init",
   "dealloc", "retain", "release", "autorelease", "retainCount", "class",
   "respondsToSelector:", "conformsToProtocol:", "isKindOfClass:"; class
   methods "alloc", "new", "class"). All functions may be called from any
   thread; class and selector tables are guarded by one lock. Instances are
   reference counted ("release" at a count of one runs "dealloc", which frees
   them). A class cannot be disposed while it has instances or subclasses. */
#ifndef OBJC_RUNTIME_H_
#define OBJC_RUNTIME_H_

#include <objc/objc.h>

OBJC_EXTERN_C_BEGIN

typedef struct objc_method* Method;
typedef struct objc_ivar* Ivar;
typedef struct objc_category* Category;
typedef struct objc_property* objc_property_t;

#ifdef __OBJC__
@class Protocol;
#else
typedef struct objc_object Protocol;
#endif

struct objc_method_description {
    SEL name;
    char* types;
};

typedef struct {
    const char* name;
    const char* value;
} objc_property_attribute_t;

/* Classes. */
OBJC_EXPORT Class objc_getClass(const char* name);
OBJC_EXPORT Class objc_lookUpClass(const char* name);
OBJC_EXPORT Class objc_getMetaClass(const char* name);
/* Nil when the name is taken by a registered class or one being built. */
OBJC_EXPORT Class objc_allocateClassPair(Class superclass, const char* name, size_t extraBytes);
OBJC_EXPORT void objc_registerClassPair(Class cls);
/* Refused (the class stays) while instances or subclasses of it exist. */
OBJC_EXPORT void objc_disposeClassPair(Class cls);
OBJC_EXPORT int objc_getClassList(Class* buffer, int bufferCount);

OBJC_EXPORT const char* class_getName(Class cls);
OBJC_EXPORT Class class_getSuperclass(Class cls);
OBJC_EXPORT BOOL class_isMetaClass(Class cls);
OBJC_EXPORT size_t class_getInstanceSize(Class cls);
/* NO when the class itself (not a superclass) already has the selector. */
OBJC_EXPORT BOOL class_addMethod(Class cls, SEL name, IMP imp, const char* types);
OBJC_EXPORT IMP class_replaceMethod(Class cls, SEL name, IMP imp, const char* types);
/* Only between objc_allocateClassPair and objc_registerClassPair, never on a
   metaclass; alignment is log2 of the byte alignment. */
OBJC_EXPORT BOOL class_addIvar(Class cls, const char* name, size_t size, uint8_t alignment, const char* types);
OBJC_EXPORT BOOL class_addProtocol(Class cls, Protocol* protocol);
OBJC_EXPORT BOOL class_conformsToProtocol(Class cls, Protocol* protocol);
OBJC_EXPORT BOOL class_respondsToSelector(Class cls, SEL sel);
OBJC_EXPORT Method class_getInstanceMethod(Class cls, SEL name);
OBJC_EXPORT Method class_getClassMethod(Class cls, SEL name);
/* The implementation found through the superclass chain; NULL when none has it. */
OBJC_EXPORT IMP class_getMethodImplementation(Class cls, SEL name);
OBJC_EXPORT Ivar class_getInstanceVariable(Class cls, const char* name);
OBJC_EXPORT id class_createInstance(Class cls, size_t extraBytes);

OBJC_EXPORT SEL method_getName(Method m);
OBJC_EXPORT IMP method_getImplementation(Method m);
OBJC_EXPORT const char* method_getTypeEncoding(Method m);
OBJC_EXPORT IMP method_setImplementation(Method m, IMP imp);

OBJC_EXPORT const char* ivar_getName(Ivar v);
OBJC_EXPORT const char* ivar_getTypeEncoding(Ivar v);
OBJC_EXPORT ptrdiff_t ivar_getOffset(Ivar v);

/* Objects. */
OBJC_EXPORT Class object_getClass(id obj);
OBJC_EXPORT id object_dispose(id obj);
/* Read and write a pointer-sized variable; for a smaller variable only its own
   bytes are read or written. */
OBJC_EXPORT Ivar object_getInstanceVariable(id obj, const char* name, void** outValue);
OBJC_EXPORT Ivar object_setInstanceVariable(id obj, const char* name, void* value);
OBJC_EXPORT id object_getIvar(id obj, Ivar ivar);
OBJC_EXPORT void object_setIvar(id obj, Ivar ivar, id value);

/* Autorelease pools, per thread. Push opens a pool and returns its token; Pop
   releases every object autoreleased on this thread since that push (and pops
   pools opened inside it). "autorelease" with no pool open keeps the object's
   reference. Any thread; a token is only valid on the thread that pushed it. */
OBJC_EXPORT void* objc_autoreleasePoolPush(void);
OBJC_EXPORT void objc_autoreleasePoolPop(void* token);

/* Protocols. */
OBJC_EXPORT Protocol* objc_getProtocol(const char* name);
/* nil when a protocol of that name exists (registered or being built). */
OBJC_EXPORT Protocol* objc_allocateProtocol(const char* name);
OBJC_EXPORT void objc_registerProtocol(Protocol* proto);
OBJC_EXPORT void protocol_addMethodDescription(Protocol* proto, SEL name, const char* types,
                                               BOOL isRequiredMethod, BOOL isInstanceMethod);
OBJC_EXPORT const char* protocol_getName(Protocol* proto);
OBJC_EXPORT struct objc_method_description protocol_getMethodDescription(Protocol* proto, SEL aSel,
                                                                         BOOL isRequiredMethod,
                                                                         BOOL isInstanceMethod);

OBJC_EXTERN_C_END

#endif /* OBJC_RUNTIME_H_ */
