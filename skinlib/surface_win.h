// A memory surface: a 32-bit DIB section
// selected into its own device context, drawn on by GDI and as a Canvas.
#pragma once

#include <windows.h>

#include <string>

#include "runtime/handle_win.h"
#include "skinlib/canvas.h"

namespace vantoip::skin {

constexpr Rgb kWhite{255, 255, 255};

inline Box ToBox(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

class Surface {
 public:
  Surface(int width, int height);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;

  bool Valid() const { return canvas_.pixels != nullptr; }
  HDC Dc() const { return dc_.Get(); }
  int Width() const { return canvas_.width; }
  int Height() const { return canvas_.height; }
  // The pixels, after GDI has finished drawing on them.
  const Canvas& Pixels() const;
  // A brush painting this surface's picture, its origin at the surface's top left.
  HBRUSH MakePatternBrush() const;
  // Copies the whole surface to `target` at (x, y).
  void CopyTo(HDC target, int x, int y) const;

 private:
  MemoryDc dc_;
  GdiObject bitmap_;
  HGDIOBJ previous_ = nullptr;
  Canvas canvas_;
};

// Selects an object into a device context for the scope of the guard.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() { SelectObject(dc_, previous_); }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// The control's font (the default GUI font when it has none).
HFONT FontOf(HWND control);
std::wstring TextOf(HWND window);
COLORREF ToColorRef(Rgb c);

}  // namespace vantoip::skin
