#include "skinlib/surface_win.h"

namespace vantoip::skin {

Surface::Surface(int width, int height) {
  if (width <= 0 || height <= 0) return;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  dc_.Reset(CreateCompatibleDC(nullptr));
  if (!dc_) return;
  bitmap_.Reset(CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap_ || !bits) return;
  previous_ = SelectObject(dc_.Get(), bitmap_.Get());
  canvas_ = {static_cast<std::uint32_t*>(bits), width, height};
}

Surface::~Surface() {
  if (previous_) SelectObject(dc_.Get(), previous_);  // a selected bitmap cannot be deleted
}

const Canvas& Surface::Pixels() const {
  GdiFlush();
  return canvas_;
}

HBRUSH Surface::MakePatternBrush() const {
  if (!Valid()) return nullptr;
  SelectObject(dc_.Get(), previous_);
  HBRUSH brush = CreatePatternBrush(static_cast<HBITMAP>(bitmap_.Get()));
  SelectObject(dc_.Get(), bitmap_.Get());
  return brush;
}

void Surface::CopyTo(HDC target, int x, int y) const {
  if (Valid()) BitBlt(target, x, y, canvas_.width, canvas_.height, dc_.Get(), 0, 0, SRCCOPY);
}

HFONT FontOf(HWND control) {
  if (auto font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0))) return font;
  return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

std::wstring TextOf(HWND window) {
  const int n = GetWindowTextLengthW(window);
  std::wstring text(n + 1, L'\0');
  text.resize(GetWindowTextW(window, text.data(), n + 1));
  return text;
}

COLORREF ToColorRef(Rgb c) { return RGB(c.r, c.g, c.b); }

}  // namespace vantoip::skin
