/* Message sending. objc_msgSend finds the receiver's implementation of the
   selector (through the superclass chain) and jumps to it with the original
   arguments; call it through a cast to the method's exact prototype:
       ((unsigned (*)(id, SEL))objc_msgSend)(obj, sel_registerName("interfaceVersion"))
   A nil receiver returns zero. A selector nobody implements stops the process
   with a message naming the class and selector, as an unrecognised selector
   does on macOS. Available on x86-64. */
#ifndef OBJC_MESSAGE_H_
#define OBJC_MESSAGE_H_

#include <objc/objc.h>
#include <objc/runtime.h>

OBJC_EXTERN_C_BEGIN

struct objc_super {
    id receiver;
    Class super_class;
};

OBJC_EXPORT void objc_msgSend(void);
OBJC_EXPORT void objc_msgSendSuper(void);
OBJC_EXPORT void objc_msgSend_stret(void);
OBJC_EXPORT void objc_msgSend_fpret(void);
/* Struct results in memory (CGRect): the result buffer comes first. */
OBJC_EXPORT void objc_msgSendSuper_stret(void);

OBJC_EXTERN_C_END

#endif /* OBJC_MESSAGE_H_ */
