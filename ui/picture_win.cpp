#include "ui/picture_win.h"

#include <ocidl.h>
#include <olectl.h>

#include "runtime/encoding_win.h"
#include "runtime/handle_win.h"

namespace vantoip {
namespace {

constexpr wchar_t kClassName[] = L"VantoipPicture";

// The box's extra bytes hold the one reference to its picture.
IPicture* PictureOf(HWND box) { return reinterpret_cast<IPicture*>(GetWindowLongPtrW(box, 0)); }

// Puts `picture` in the box and hands back the one it had.
ComPtr<IPicture> SwapPicture(HWND box, ComPtr<IPicture> picture) {
  const LONG_PTR old = SetWindowLongPtrW(box, 0, reinterpret_cast<LONG_PTR>(picture.Release()));
  return ComPtr<IPicture>(reinterpret_cast<IPicture*>(old));
}

void Paint(HWND box) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(box, &ps);
  RECT rc;
  GetClientRect(box, &rc);
  if (IPicture* picture = PictureOf(box)) {
    OLE_XSIZE_HIMETRIC width = 0;
    OLE_YSIZE_HIMETRIC height = 0;
    picture->get_Width(&width);
    picture->get_Height(&height);
    // HIMETRIC runs bottom-up: start at the source's top and go down by -height.
    picture->Render(dc, 0, 0, rc.right, rc.bottom, 0, height, width, -height, &rc);
  } else {
    FillRect(dc, &rc, GetSysColorBrush(COLOR_BTNFACE));
  }
  EndPaint(box, &ps);
}

LRESULT CALLBACK PictureProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint(box);
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCDESTROY:
      SwapPicture(box, {});
      break;
  }
  return DefWindowProcW(box, message, wParam, lParam);
}

}  // namespace

const wchar_t* PictureBoxClass() {
  static const ATOM atom = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &PictureProc;
    wc.cbWndExtra = sizeof(LONG_PTR);
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.lpszClassName = kClassName;
    return RegisterClassW(&wc);
  }();
  (void)atom;
  return kClassName;
}

bool SetStoredPicture(HWND box, const std::string& name) {
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC resource = FindResourceW(module, GbkToWide(name).c_str(), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!resource) return false;
  const DWORD size = SizeofResource(module, resource);
  const void* data = LockResource(LoadResource(module, resource));
  if (!data || size == 0) return false;
  GlobalMemory copy(GlobalAlloc(GMEM_MOVEABLE, size));
  if (!copy) return false;
  void* bytes = GlobalLock(copy.Get());
  if (!bytes) return false;
  memcpy(bytes, data, size);
  GlobalUnlock(copy.Get());
  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(copy.Get(), TRUE, stream.Receive()))) return false;
  copy.Release();  // the stream frees it now
  ComPtr<IPicture> picture;
  if (FAILED(OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_IPicture, picture.ReceiveVoid())) ||
      !picture)
    return false;
  SwapPicture(box, std::move(picture));
  InvalidateRect(box, nullptr, TRUE);
  return true;
}

bool HasPicture(HWND box) { return PictureOf(box) != nullptr; }

}  // namespace vantoip
