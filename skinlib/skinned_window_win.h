// What the attached skin keeps of each window it skins, shared by the session
// (which meets windows and keeps their state and backdrops) and the message
// handlers (which draw them). Everything here runs on the session's thread.
#pragma once

#include <windows.h>

#include <optional>

#include "skinlib/skin_description.h"
#include "skinlib/skin_frame_win.h"
#include "skinlib/skin_paint_win.h"
#include "skinlib/window_roles_win.h"

namespace vantoip::skin {

struct WindowState {
  Role role = Role::Other;
  bool hot = false;        // push buttons: the mouse is over it
  int hotItem = -1;        // headers and tab controls: the item under the mouse
  int pressedItem = -1;    // headers: the item held down
  bool isDefault = false;  // push buttons: BS_DEFPUSHBUTTON before the skin drew it
  std::optional<ButtonVisual> shown;
  CaptionState caption;  // top-level windows
};

// The session's side.
const Skin* AttachedSkin();      // null while none is attached
WindowState* Find(HWND window);  // null for a window the skin does not draw
void Forget(HWND window);        // the window is going
Backdrop BackdropOf(HWND window);
HGDIOBJ BackdropBrushOf(HWND root);  // a pattern brush of the root's backdrop; null when there is none
POINT OriginInRoot(HWND window, HWND root);
void RedrawBackdrop(HWND window);  // its root's backdrop changed

// The handlers' side: the procedure put in front of every skinned window.
LRESULT CALLBACK SkinProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void SetButtonType(HWND button, LONG type);
// Owner drawing keeps the control from painting its own face on state changes.
inline void DrawButtonBySkin(HWND button) { SetButtonType(button, BS_OWNERDRAW); }

}  // namespace vantoip::skin
