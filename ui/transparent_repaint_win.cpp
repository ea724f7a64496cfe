#include "ui/transparent_repaint_win.h"

namespace vantoip {

void RepaintTransparentAbove(HWND window, RECT painted) {
  MapWindowPoints(window, HWND_DESKTOP, reinterpret_cast<POINT*>(&painted), 2);
  for (HWND sibling = GetWindow(window, GW_HWNDPREV); sibling; sibling = GetWindow(sibling, GW_HWNDPREV)) {
    RECT r, overlap;
    if (!(GetWindowLongW(sibling, GWL_EXSTYLE) & WS_EX_TRANSPARENT) || !IsWindowVisible(sibling)) continue;
    GetWindowRect(sibling, &r);
    if (!IntersectRect(&overlap, &r, &painted)) continue;
    MapWindowPoints(HWND_DESKTOP, sibling, reinterpret_cast<POINT*>(&overlap), 2);
    InvalidateRect(sibling, &overlap, FALSE);
  }
}

}  // namespace vantoip
