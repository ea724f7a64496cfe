#include "skinlib/window_roles_win.h"

namespace vantoip::skin {

Role RoleOf(HWND window, DWORD style) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  const auto is = [&](const wchar_t* cls) { return _wcsicmp(name, cls) == 0; };
  if (!(style & WS_CHILD))
    return (style & WS_CAPTION) == WS_CAPTION || is(L"#32770") ? Role::Frame : Role::None;
  if (is(L"Button")) {
    switch (style & BS_TYPEMASK) {
      case BS_PUSHBUTTON:
      case BS_DEFPUSHBUTTON: return Role::PushButton;
      case BS_GROUPBOX: return Role::GroupBox;
      default: return Role::Other;
    }
  }
  if (is(L"SysTabControl32")) return Role::TabControl;
  if (is(L"SysHeader32")) return Role::Header;
  if (is(L"SysListView32")) return Role::ListView;
  return Role::Other;
}

}  // namespace vantoip::skin
