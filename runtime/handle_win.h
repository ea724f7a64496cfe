// Owners of Windows handles, each with its own invalid value and release call.
#pragma once

#include <windows.h>
#include <objbase.h>
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
inline void FreeLocalMemory(HLOCAL m) { ::LocalFree(m); }
inline void DestroyMenuHandle(HMENU m) { ::DestroyMenu(m); }
inline void DestroyWindowHandle(HWND w) { ::DestroyWindow(w); }
inline void DeleteGdiObject(HGDIOBJ object) { ::DeleteObject(object); }
inline void DeleteMemoryDc(HDC dc) { ::DeleteDC(dc); }
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
using LocalMemory = UniqueHandle<NullIsInvalid<HLOCAL, &FreeLocalMemory>>;
using MenuHandle = UniqueHandle<NullIsInvalid<HMENU, &DestroyMenuHandle>>;
using GdiObject = UniqueHandle<NullIsInvalid<HGDIOBJ, &DeleteGdiObject>>;  // pens, brushes, fonts, bitmaps
using MemoryDc = UniqueHandle<NullIsInvalid<HDC, &DeleteMemoryDc>>;
// A window this thread made and destroys (only its own thread may).
using WindowHandle = UniqueHandle<NullIsInvalid<HWND, &DestroyWindowHandle>>;

// An owned COM interface pointer (one reference).
template <class Interface>
class ComPtr : public UniqueHandle<NullIsInvalid<Interface*, &ReleaseInterface<Interface>>> {
 public:
  using UniqueHandle<NullIsInvalid<Interface*, &ReleaseInterface<Interface>>>::UniqueHandle;

  Interface* operator->() const { return this->Get(); }
  // For the `void**` out-parameter of calls that hand back an interface named by its IID.
  void** ReceiveVoid() { return reinterpret_cast<void**>(this->Receive()); }
  // The object's `Other` interface; empty when it has none.
  template <class Other>
  ComPtr<Other> As() const {
    ComPtr<Other> other;
    if (this->Get()) this->Get()->QueryInterface(__uuidof(Other), other.ReceiveVoid());
    return other;
  }
};

// A new object of class `classId`, as its `Interface`; empty when it cannot be
// made, and then `result` (when given) says why.
template <class Interface>
ComPtr<Interface> CoCreate(REFCLSID classId, DWORD context, HRESULT* result = nullptr) {
  ComPtr<Interface> object;
  const HRESULT hr = CoCreateInstance(classId, nullptr, context, __uuidof(Interface), object.ReceiveVoid());
  if (result) *result = hr;
  return object;
}

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
