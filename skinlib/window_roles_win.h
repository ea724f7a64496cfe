// What the skin makes of a window, from its class and style.
#pragma once

#include <windows.h>

namespace vantoip::skin {

enum class Role {
  None,        // left alone: menus, tool tips, top-level windows without a caption
  Frame,       // a top-level window with a caption, or a dialog
  PushButton,
  GroupBox,
  TabControl,
  Header,
  ListView,
  Other,       // any other control: only its children's colours are answered
};

Role RoleOf(HWND window, DWORD style);

}  // namespace vantoip::skin
