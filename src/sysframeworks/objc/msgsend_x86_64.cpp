// objc_msgSend and its variants for x86-64 (System V): each saves the argument
// registers, asks the runtime for the implementation, restores them and jumps
// to it, so the method receives exactly the caller's arguments. A nil receiver
// returns zero without a call.

#if !defined(__x86_64__)
#error "objc_msgSend is implemented for x86-64 only"
#endif

// Saves rdi..r9, rax (vector-register count of a variadic call) and xmm0..7
// in a 0xC0-byte frame; the stack stays 16-byte aligned for the call.
#define SAVE_ARGS                      \
    "pushq %rbp\n"                     \
    "movq %rsp, %rbp\n"                \
    "subq $0xC0, %rsp\n"               \
    "movq %rdi, 0x00(%rsp)\n"          \
    "movq %rsi, 0x08(%rsp)\n"          \
    "movq %rdx, 0x10(%rsp)\n"          \
    "movq %rcx, 0x18(%rsp)\n"          \
    "movq %r8, 0x20(%rsp)\n"           \
    "movq %r9, 0x28(%rsp)\n"           \
    "movq %rax, 0x30(%rsp)\n"          \
    "movdqa %xmm0, 0x40(%rsp)\n"       \
    "movdqa %xmm1, 0x50(%rsp)\n"       \
    "movdqa %xmm2, 0x60(%rsp)\n"       \
    "movdqa %xmm3, 0x70(%rsp)\n"       \
    "movdqa %xmm4, 0x80(%rsp)\n"       \
    "movdqa %xmm5, 0x90(%rsp)\n"       \
    "movdqa %xmm6, 0xA0(%rsp)\n"       \
    "movdqa %xmm7, 0xB0(%rsp)\n"

#define RESTORE_ARGS_AND_JUMP          \
    "movq %rax, %r11\n"                \
    "movq 0x00(%rsp), %rdi\n"          \
    "movq 0x08(%rsp), %rsi\n"          \
    "movq 0x10(%rsp), %rdx\n"          \
    "movq 0x18(%rsp), %rcx\n"          \
    "movq 0x20(%rsp), %r8\n"           \
    "movq 0x28(%rsp), %r9\n"           \
    "movq 0x30(%rsp), %rax\n"          \
    "movdqa 0x40(%rsp), %xmm0\n"       \
    "movdqa 0x50(%rsp), %xmm1\n"       \
    "movdqa 0x60(%rsp), %xmm2\n"       \
    "movdqa 0x70(%rsp), %xmm3\n"       \
    "movdqa 0x80(%rsp), %xmm4\n"       \
    "movdqa 0x90(%rsp), %xmm5\n"       \
    "movdqa 0xA0(%rsp), %xmm6\n"       \
    "movdqa 0xB0(%rsp), %xmm7\n"       \
    "movq %rbp, %rsp\n"                \
    "popq %rbp\n"

asm(".text\n"
    ".globl objc_msgSend\n"
    ".type objc_msgSend, @function\n"
    "objc_msgSend:\n"
    "testq %rdi, %rdi\n"
    "jz 1f\n"
    SAVE_ARGS
    "call sysfw_objc_lookUpForSend\n"
    RESTORE_ARGS_AND_JUMP
    "jmpq *%r11\n"
    "1:\n"
    "xorl %eax, %eax\n"
    "xorl %edx, %edx\n"
    "xorps %xmm0, %xmm0\n"
    "xorps %xmm1, %xmm1\n"
    "ret\n"
    ".size objc_msgSend, .-objc_msgSend\n"

    // long double results come back in st(0); a nil receiver gives 0.0L.
    ".globl objc_msgSend_fpret\n"
    ".type objc_msgSend_fpret, @function\n"
    "objc_msgSend_fpret:\n"
    "testq %rdi, %rdi\n"
    "jz 2f\n"
    SAVE_ARGS
    "call sysfw_objc_lookUpForSend\n"
    RESTORE_ARGS_AND_JUMP
    "jmpq *%r11\n"
    "2:\n"
    "fldz\n"
    "ret\n"
    ".size objc_msgSend_fpret, .-objc_msgSend_fpret\n"

    // Struct results in memory: rdi is the result buffer, rsi the receiver.
    ".globl objc_msgSend_stret\n"
    ".type objc_msgSend_stret, @function\n"
    "objc_msgSend_stret:\n"
    "testq %rsi, %rsi\n"
    "jz 3f\n"
    SAVE_ARGS
    "movq %rsi, %rdi\n"
    "movq %rdx, %rsi\n"
    "call sysfw_objc_lookUpForSend\n"
    RESTORE_ARGS_AND_JUMP
    "jmpq *%r11\n"
    "3:\n"
    "movq %rdi, %rax\n"
    "ret\n"
    ".size objc_msgSend_stret, .-objc_msgSend_stret\n"

    // rdi points to a struct objc_super; the method gets its receiver.
    ".globl objc_msgSendSuper\n"
    ".type objc_msgSendSuper, @function\n"
    "objc_msgSendSuper:\n"
    SAVE_ARGS
    "call sysfw_objc_lookUpForSendSuper\n"
    RESTORE_ARGS_AND_JUMP
    "movq (%rdi), %rdi\n"
    "jmpq *%r11\n"
    ".size objc_msgSendSuper, .-objc_msgSendSuper\n"

    // Struct result in memory with a struct objc_super in rsi.
    ".globl objc_msgSendSuper_stret\n"
    ".type objc_msgSendSuper_stret, @function\n"
    "objc_msgSendSuper_stret:\n"
    SAVE_ARGS
    "movq %rsi, %rdi\n"
    "movq %rdx, %rsi\n"
    "call sysfw_objc_lookUpForSendSuper\n"
    RESTORE_ARGS_AND_JUMP
    "movq (%rsi), %rsi\n"
    "jmpq *%r11\n"
    ".size objc_msgSendSuper_stret, .-objc_msgSendSuper_stret\n");
