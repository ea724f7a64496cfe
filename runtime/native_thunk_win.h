#pragma once

#include <cstddef>
#include <cstdint>

// One argument or result word of a native call: as wide as an address.
using NativeWord = std::uintptr_t;

// Calls `function` with `count` words as its arguments in the platform's
// calling convention and returns its result register. On i686 (stdcall: the
// callee removes its arguments) *stackDelta tells how far the stack pointer
// ended up from where it was before the arguments were pushed (0 when the
// callee removed exactly what the declaration promised); the stack is repaired
// either way. On x86_64 the caller removes the arguments and *stackDelta is 0.
extern "C" NativeWord VantoipInvokeNative(const void* function, const NativeWord* words, std::size_t count,
                                          std::intptr_t* stackDelta);
