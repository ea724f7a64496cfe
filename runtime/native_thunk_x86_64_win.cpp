// The call thunk of the native bridge for x86_64 (the Microsoft x64 calling
// convention), in GNU assembler syntax. The caller removes the arguments, so
// there is no stack to check: the delta is always 0.
#include "runtime/native_thunk_win.h"

static_assert(sizeof(void*) == 8, "this thunk calls 64-bit functions");

// The words go into a stack area of at least four slots (the callee's shadow
// space for RCX, RDX, R8, R9), rounded so that RSP is 16-byte aligned at the
// call; the first four are then loaded into those registers. Unwind data is
// declared so that a stack walk through the thunk finds the caller.
asm(R"(
    .text
    .globl VantoipInvokeNative
    .def VantoipInvokeNative; .scl 2; .type 32; .endef
    .seh_proc VantoipInvokeNative
VantoipInvokeNative:
    pushq %rbp
    .seh_pushreg %rbp
    pushq %rsi
    .seh_pushreg %rsi
    pushq %rdi
    .seh_pushreg %rdi
    movq  %rsp, %rbp            # return address and three pushes: RSP is 0 mod 16
    .seh_setframe %rbp, 0
    .seh_endprologue
    movl  $0, (%r9)             # stackDelta
    movq  %rcx, %rax            # function
    movq  %rdx, %rsi            # words
    movq  %r8, %rcx             # count
    movq  %r8, %rdx
    cmpq  $4, %rdx
    jae   1f
    movl  $4, %edx
1:  shlq  $3, %rdx
    addq  $15, %rdx
    andq  $-16, %rdx            # keeps RSP 0 mod 16 at the call
    subq  %rdx, %rsp
    movq  %rsp, %rdi
    rep movsq                   # words[0..count) to the argument slots
    movq  (%rsp), %rcx
    movq  8(%rsp), %rdx
    movq  16(%rsp), %r8
    movq  24(%rsp), %r9
    call  *%rax
    leaq  0(%rbp), %rsp
    popq  %rdi
    popq  %rsi
    popq  %rbp
    ret
    .seh_endproc
)");
