// The call thunk of the native bridge for i686 (stdcall), in GNU assembler
// syntax. (An MSVC build would need the same dozen instructions as a MASM file.)
#include "runtime/native_thunk_win.h"

static_assert(sizeof(void*) == 4, "this thunk calls 32-bit stdcall functions");

asm(R"(
    .text
    .globl _VantoipInvokeNative
    .def _VantoipInvokeNative; .scl 2; .type 32; .endef
_VantoipInvokeNative:
    pushl %ebp
    movl  %esp, %ebp
    pushl %esi
    pushl %edi
    movl  12(%ebp), %esi        # words
    movl  16(%ebp), %ecx        # count
    movl  %esp, %edi            # stack position noted before the arguments
1:  testl %ecx, %ecx
    jz    2f
    pushl -4(%esi,%ecx,4)       # last word first
    decl  %ecx
    jmp   1b
2:  call  *8(%ebp)              # edi survives: callee-saved in stdcall
    movl  %esp, %ecx
    subl  %edi, %ecx            # what the callee left on (or took off) the stack
    movl  %edi, %esp            # repair
    movl  20(%ebp), %edx
    movl  %ecx, (%edx)
    popl  %edi
    popl  %esi
    popl  %ebp
    ret
)");
