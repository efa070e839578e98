/* Objective-C basic types: objects, classes, selectors, method implementations. */
#ifndef OBJC_OBJC_H_
#define OBJC_OBJC_H_

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define OBJC_EXTERN_C_BEGIN extern "C" {
#define OBJC_EXTERN_C_END }
#else
#define OBJC_EXTERN_C_BEGIN
#define OBJC_EXTERN_C_END
#endif
#define OBJC_EXPORT extern __attribute__((visibility("default")))

OBJC_EXTERN_C_BEGIN

typedef struct objc_class* Class;

/* Every object starts with its class pointer. */
struct objc_object {
    Class isa;
};
typedef struct objc_object* id;

typedef struct objc_selector* SEL;

/* Called through a cast to the method's exact prototype: R (*)(id self, SEL _cmd, args...). */
typedef void (*IMP)(void);

typedef signed char BOOL;
#define YES ((BOOL)1)
#define NO ((BOOL)0)

#ifndef Nil
#define Nil ((Class)0)
#endif
#ifndef nil
#define nil ((id)0)
#endif

/* Selectors are interned: equal names give equal SELs. */
OBJC_EXPORT const char* sel_getName(SEL sel);
OBJC_EXPORT SEL sel_registerName(const char* str);
OBJC_EXPORT SEL sel_getUid(const char* str);
OBJC_EXPORT BOOL sel_isEqual(SEL lhs, SEL rhs);
OBJC_EXPORT const char* object_getClassName(id obj);
OBJC_EXPORT void* object_getIndexedIvars(id obj);

OBJC_EXTERN_C_END

#endif /* OBJC_OBJC_H_ */
