#pragma once

#include <cstdint>

// Pushes `count` words right to left, calls `function` (stdcall: the callee
// removes its arguments), and reports in *stackDelta how far the stack pointer
// ended up from where it was before the arguments were pushed (0 when the
// callee removed exactly what the declaration promised). The stack is repaired
// either way. i686 only.
extern "C" std::uint32_t VantoipInvokeNative(const void* function, const std::uint32_t* words,
                                              std::uint32_t count, std::int32_t* stackDelta);
