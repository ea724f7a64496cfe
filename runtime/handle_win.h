// Owners of Windows handles, each with its own invalid value and release call.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

namespace vantoip {

// Traits: `Handle` type, `Invalid()` value and `Close(Handle)`.
template <class Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle h) : h_(h) {}
  UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
  UniqueHandle& operator=(UniqueHandle&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.h_, Traits::Invalid()));
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  ~UniqueHandle() { Reset(); }

  Handle Get() const { return h_; }
  Handle* Receive() {  // for out-parameters of API calls
    Reset();
    return &h_;
  }
  Handle Release() { return std::exchange(h_, Traits::Invalid()); }
  void Reset(Handle h = Traits::Invalid()) {
    if (h_ != Traits::Invalid()) Traits::Close(h_);
    h_ = h;
  }
  explicit operator bool() const { return h_ != Traits::Invalid(); }

 private:
  Handle h_ = Traits::Invalid();
};

template <class H, void (*CloseFn)(H)>
struct NullIsInvalid {
  using Handle = H;
  static H Invalid() { return nullptr; }
  static void Close(H h) { CloseFn(h); }
};

template <void (*CloseFn)(HANDLE)>
struct MinusOneIsInvalid {
  using Handle = HANDLE;
  static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { CloseFn(h); }
};

inline void CloseKernelHandle(HANDLE h) { ::CloseHandle(h); }
inline void CloseFind(HANDLE h) { ::FindClose(h); }
inline void CloseRegistryKey(HKEY k) { ::RegCloseKey(k); }
inline void ReleaseModule(HMODULE m) { ::FreeLibrary(m); }
inline void FreeGlobalMemory(HGLOBAL m) { ::GlobalFree(m); }
inline void DestroyMenuHandle(HMENU m) { ::DestroyMenu(m); }
template <class Interface>
void ReleaseInterface(Interface* p) {
  p->Release();
}

using KernelHandle = UniqueHandle<NullIsInvalid<HANDLE, &CloseKernelHandle>>;
using FileHandle = UniqueHandle<MinusOneIsInvalid<&CloseKernelHandle>>;
using FindHandle = UniqueHandle<MinusOneIsInvalid<&CloseFind>>;
using RegistryKey = UniqueHandle<NullIsInvalid<HKEY, &CloseRegistryKey>>;
using ModuleHandle = UniqueHandle<NullIsInvalid<HMODULE, &ReleaseModule>>;
using GlobalMemory = UniqueHandle<NullIsInvalid<HGLOBAL, &FreeGlobalMemory>>;
using MenuHandle = UniqueHandle<NullIsInvalid<HMENU, &DestroyMenuHandle>>;
// An owned COM interface pointer (one reference).
template <class Interface>
using ComPtr = UniqueHandle<NullIsInvalid<Interface*, &ReleaseInterface<Interface>>>;

// A window's device context (GetDC, GetWindowDC), released to that window at
// the end of the scope.
class WindowDc {
 public:
  WindowDc(HWND window, HDC dc) : window_(window), dc_(dc) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ::ReleaseDC(window_, dc_);
  }

  HDC Get() const { return dc_; }
  explicit operator bool() const { return dc_ != nullptr; }

 private:
  HWND window_;
  HDC dc_;
};

}  // namespace vantoip
