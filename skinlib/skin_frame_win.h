// The title bar and border of a skinned top-level window: drawn by the skin,
// with caption buttons of its own (their positions, hot and pressed looks).
#pragma once

#include <windows.h>

#include "skinlib/skin_description.h"

namespace vantoip::skin {

struct CaptionState {
  bool active = true;
  int hot = HTNOWHERE;      // caption button under the mouse
  int pressed = HTNOWHERE;  // caption button held down
  bool pressedInside = false;
};

// A caption without menu or scroll bars, which the skin can draw.
bool DrawsFrame(HWND window);

// Draws the non-client area; false when the window has none to draw now
// (minimised), so that the system draws it.
bool PaintFrame(const Skin& skin, HWND window, const CaptionState& state);

// HTCLOSE, HTMAXBUTTON or HTMINBUTTON when `screen` lies on that caption
// button as the skin draws it, else HTNOWHERE.
int CaptionButtonAt(HWND window, POINT screen);

// The system command a click on caption button `part` gives.
WPARAM CommandOf(HWND window, int part);

}  // namespace vantoip::skin
