// How a skin draws the parts of a window. Backgrounds come from one picture per
// top-level window, its backdrop: the window's gradient and pattern with the
// panels of its group boxes and tab controls, so that every control shows
// exactly what lies behind it.
#pragma once

#include <windows.h>

#include "skinlib/skin_description.h"
#include "skinlib/surface_win.h"

namespace vantoip::skin {

// What lies behind a window: its top-level window's backdrop (null while there
// is none) and where the window's client area starts in it.
struct Backdrop {
  const Surface* picture = nullptr;
  POINT origin{};
};

struct ButtonVisual {
  ButtonState state = kButtonNormal;
  bool focused = false;
  bool isDefault = false;
  bool operator==(const ButtonVisual&) const = default;
};

// Draws the backdrop of top-level window `root` onto `picture` (its client size).
void ComposeBackdrop(const Skin& skin, HWND root, const Surface& picture);

// Fills the window's client area with what lies behind it.
void PaintBackdrop(const Skin& skin, HWND window, HDC target, const Backdrop& backdrop);

void PaintButton(const Skin& skin, HWND button, HDC target, const Backdrop& backdrop, const ButtonVisual& visual);
void PaintHeader(const Skin& skin, HWND header, HDC target, int hotItem, int pressedItem);
void PaintTabs(const Skin& skin, HWND tabs, HDC target, const Backdrop& backdrop, int hotItem);
// The sunken edge of a list view, redrawn flat in the skin's frame colour.
void PaintListFrame(const Skin& skin, HWND list);

}  // namespace vantoip::skin
