// Global allocation that turns an exhausted heap into the fatal error
// "分配 N 字节内存失败!" instead of an exception nobody catches.
// Linked into the program (not into libraries) so that every allocation obeys it.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "runtime/fatal.h"

namespace {

void* AllocateOrDie(std::size_t size) {
  if (size == 0) size = 1;
  if (void* p = std::malloc(size)) return p;
  char message[64];
  std::snprintf(message, sizeof message, "分配 %zu 字节内存失败!", size);
  vantoip::RaiseFatalError(message);
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrDie(size); }
void* operator new[](std::size_t size) { return AllocateOrDie(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
